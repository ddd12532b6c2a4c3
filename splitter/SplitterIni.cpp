// The splitter panel's persistence: the arrangement written to an ini control at destruction
// and read back at the end of loading.
#include <algorithm>
#include <cstdint>

#include "splitter/lmdsplt.h"
#include "splitter/SplitterList.h"
#include "framework/SysUtils.h"

namespace {

constexpr char kSeparator = ',';
constexpr char kFontSeparator = '|';

// The colour text form writes an unnamed colour as "$" and eight hex digits; system colours
// among them have the top bit set, which a signed number cannot read back.
TColor ColorFromText(const std::string& text) {
  TColor color;
  if (IdentToColor(text, color)) return color;
  if (text.size() >= 2 && text.size() <= 9 && text[0] == '$' &&
      text.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos)
    return static_cast<TColor>(static_cast<std::uint32_t>(std::stoul(text.substr(1), nullptr, 16)));
  return static_cast<TColor>(StrToInt(text));
}

int IntOrDefault(const std::string& text, int fallback) {
  try {
    return StrToInt(text);
  } catch (const EConvertError&) {
    return fallback;
  }
}

std::string FontText(TFont& font) {
  unsigned style = font.Style();
  auto flag = [style](unsigned f) { return std::string((style & f) ? "1" : "0"); };
  return JoinIniList({font.Name(), std::to_string(font.Size()), ColorToString(font.Color()), flag(fsBold),
                      flag(fsItalic), flag(fsUnderline), flag(fsStrikeOut)},
                     kSeparator);
}

void ApplyFontText(TFont& font, const std::string& text) {
  std::vector<std::string> fields = SplitIniList(text, kSeparator);
  if (fields.size() != 7) return;
  font.SetName(fields[0]);
  font.SetSize(IntOrDefault(fields[1], 10));
  font.SetColor(ColorFromText(fields[2]));
  unsigned style = 0;
  const unsigned flags[] = {fsBold, fsItalic, fsUnderline, fsStrikeOut};
  for (int i = 0; i < 4; ++i)
    if (fields[static_cast<std::size_t>(3 + i)] == "1") style |= flags[i];
  font.SetStyle(style);
}

}  // namespace

void TLMDSplitterPanel::SetIniLink(TLMDIniCtrl* value) {
  if (value == iniLink_) return;
  if (iniLink_) iniLink_->RemoveFreeNotification(this);
  iniLink_ = value;
  if (iniLink_) iniLink_->FreeNotification(this);
}

void TLMDSplitterPanel::Notification(TComponent* component, TOperation operation) {
  TLMDCustomBevelPanel::Notification(component, operation);
  if (operation == opRemove && component == iniLink_) iniLink_ = nullptr;
  // An ini control placed beside the panel becomes its link when one is wanted and missing.
  if (operation == opInsert && iniUse_ == ioUseLink && !iniLink_ && !HasState(csDestroying))
    if (auto* ini = dynamic_cast<TLMDIniCtrl*>(component); ini && ini->Owner() == Owner()) SetIniLink(ini);
}

TLMDIniCtrl* TLMDSplitterPanel::ChosenIniCtrl() const {
  if (iniUse_ == ioUseLink) return iniLink_;
  if (iniUse_ == ioUseGlobal) return LMDGlobalIniCtrl();
  return nullptr;
}

void TLMDSplitterPanel::ReadIniData() {
  TLMDIniCtrl* ini = ChosenIniCtrl();
  if (!ini) {
    if (OnIniReadData) OnIniReadData(this, nullptr, section_);
    return;
  }
  auto read = [&](const char* suffix) { return ini->ReadString(section_, iniKey_ + suffix); };
  std::size_t paneCount = panes_.size();
  if (iniSaveOptions_ & ssOrderVisible) {
    std::string order = read("PaneO");
    if (!order.empty()) {
      std::vector<std::string> entries = SplitIniList(order, kSeparator);
      if (entries.size() == paneCount) {
        std::vector<TLMDSplitterPane*> reordered;
        for (const std::string& entry : entries) {
          int index = StrToInt(entry);
          if (index < 0 || index >= static_cast<int>(paneCount)) ListIndexError(index);
          reordered.push_back(panes_[static_cast<std::size_t>(index)]);
        }
        // A pane named twice would be placed twice and another one lost from the list (and
        // left pointing at the panel after it is gone): such an order does not fit the panel.
        std::vector<TLMDSplitterPane*> sorted = reordered;
        std::sort(sorted.begin(), sorted.end());
        if (std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end()) panes_ = reordered;
      }
    }
    std::string visible = read("PaneV");
    if (!visible.empty()) {
      std::vector<std::string> entries = SplitIniList(visible, kSeparator);
      // Nothing in the window can show a pane again: a list that hides them all, or that is
      // not made of 0 and 1, is not applied (and so not saved again).
      bool wellFormed =
          std::all_of(entries.begin(), entries.end(), [](const std::string& e) { return e == "0" || e == "1"; });
      bool showsOne = std::find(entries.begin(), entries.end(), "1") != entries.end();
      if (entries.size() == paneCount && wellFormed && showsOne)
        for (std::size_t i = 0; i < paneCount; ++i) panes_[i]->SetVisible(entries[i] == "1");
    }
  }
  if (iniSaveOptions_ & ssPosition) {
    std::size_t barCount = static_cast<std::size_t>(bars_->Count());
    std::string percents = read("Bars");
    if (!percents.empty()) {
      std::vector<std::string> entries = SplitIniList(percents, kSeparator);
      if (entries.size() == barCount)
        for (std::size_t i = 0; i < barCount; ++i)
          bars_->Items(static_cast<int>(i))->SetPosPercent(StrToInt(entries[i]));
    }
    std::string old = read("BarsOld");
    if (!old.empty()) {
      std::vector<std::string> entries = SplitIniList(old, kSeparator);
      if (entries.size() == barCount)
        for (std::size_t i = 0; i < barCount; ++i)
          bars_->Items(static_cast<int>(i))->oldPosition_ = StrToInt(entries[i]);
    }
  }
  if (iniSaveOptions_ & soColor) {
    std::vector<std::string> entries = SplitIniList(read("Colors"), kSeparator);
    if (!entries.empty() && entries.size() == paneCount)
      for (std::size_t i = 0; i < paneCount; ++i) panes_[i]->SetColor(ColorFromText(entries[i]));
  }
  if (iniSaveOptions_ & soFont) {
    std::vector<std::string> entries = SplitIniList(read("Fonts"), kFontSeparator);
    if (!entries.empty() && entries.size() == paneCount)
      for (std::size_t i = 0; i < paneCount; ++i) ApplyFontText(panes_[i]->Font(), entries[i]);
  }
  if (OnIniReadData) OnIniReadData(this, ini, section_);
}

void TLMDSplitterPanel::WriteIniData() {
  TLMDIniCtrl* ini = ChosenIniCtrl();
  if (!ini) {
    if (OnIniWriteData) OnIniWriteData(this, nullptr, section_);
    return;
  }
  auto write = [&](const char* suffix, const std::string& value) {
    ini->WriteString(section_, iniKey_ + suffix, value);
  };
  auto remove = [&](const char* suffix) { ini->DeleteKey(section_, iniKey_ + suffix); };
  if (iniSaveOptions_ & ssOrderVisible) {
    std::vector<std::string> order, visible;
    for (TLMDSplitterPane* pane : panes_) {
      order.push_back(std::to_string(pane->PaneIndex()));
      visible.push_back(pane->Visible() ? "1" : "0");
    }
    write("PaneO", JoinIniList(order, kSeparator));
    write("PaneV", JoinIniList(visible, kSeparator));
  } else {
    remove("PaneO");
    remove("PaneV");
  }
  if (iniSaveOptions_ & ssPosition) {
    // One entry per item, active or not, as reading expects: a pane hidden now must not
    // cost the saved percentages.
    std::vector<std::string> percents, old;
    for (int i = 0; i < bars_->Count(); ++i) {
      percents.push_back(std::to_string(bars_->Items(i)->PosPercent()));
      old.push_back(std::to_string(bars_->Items(i)->OldPosition()));
    }
    write("Bars", JoinIniList(percents, kSeparator));
    write("BarsOld", JoinIniList(old, kSeparator));
  } else {
    remove("Bars");
  }
  if (iniSaveOptions_ & soColor) {
    std::vector<std::string> colors;
    for (TLMDSplitterPane* pane : panes_) colors.push_back(ColorToString(pane->Color()));
    write("Colors", JoinIniList(colors, kSeparator));
  } else {
    remove("Colors");
  }
  if (iniSaveOptions_ & soFont) {
    std::vector<std::string> fonts;
    for (TLMDSplitterPane* pane : panes_) fonts.push_back(FontText(pane->Font()));
    write("Fonts", JoinIniList(fonts, kFontSeparator));
  } else {
    remove("Fonts");
  }
  if (OnIniWriteData) OnIniWriteData(this, ini, section_);
}
