#include "browse/FileListBox.h"

#include <algorithm>
#include <array>
#include <vector>

#include "framework/MessageTexts.h"
#include "browse/DirectoryListBox.h"
#include "browse/FileCtrlIds.h"
#include "framework/Forms.h"
#include "framework/Streaming.h"
#include "framework/SysUtils.h"

namespace {

constexpr std::array<unsigned, 6> kAttributeValues = {faReadOnly, faHidden,    faSysFile,
                                                      faVolumeID, faDirectory, faArchive};
constexpr TIdentMapEntry kFileTypes[] = {{"ftReadOnly", 1 << ftReadOnly},   {"ftHidden", 1 << ftHidden},
                                         {"ftSystem", 1 << ftSystem},       {"ftVolumeID", 1 << ftVolumeID},
                                         {"ftDirectory", 1 << ftDirectory}, {"ftArchive", 1 << ftArchive},
                                         {"ftNormal", 1 << ftNormal}};

bool IsProgramExtension(const std::string& name) {
  std::string ext = ExtractFileExt(name);
  // Lower-casing keeps the length: other extensions need no platform call.
  if (ext.size() != 4) return false;
  // ASCII lower-cases alike in every code page, so the usual extension (".pdf" on every line of
  // a folder of documents) needs no platform call either; another character may lower-case to
  // ASCII by the code page's own rule.
  if (std::all_of(ext.begin(), ext.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    for (char& c : ext)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  } else {
    ext = AnsiLowerCase(ext);
  }
  return ext == ".exe" || ext == ".com" || ext == ".bat" || ext == ".pif";
}

std::vector<std::string> SplitMask(const std::string& mask) {
  std::vector<std::string> patterns;
  std::size_t start = 0;
  for (;;) {
    std::size_t at = mask.find(';', start);
    patterns.push_back(mask.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) break;
    start = at + 1;
  }
  return patterns;
}

// Puts the program-wide cursor back on every way out.
class ScreenCursorScope {
 public:
  ScreenCursorScope() : saved_(Screen->Cursor()) {}
  ScreenCursorScope(const ScreenCursorScope&) = delete;
  ScreenCursorScope& operator=(const ScreenCursorScope&) = delete;
  ~ScreenCursorScope() { Screen->SetCursor(saved_); }

 private:
  TCursor saved_;
};

class UpdateScope {
 public:
  explicit UpdateScope(TStrings& lines) : lines_(lines) { lines_.BeginUpdate(); }
  UpdateScope(const UpdateScope&) = delete;
  UpdateScope& operator=(const UpdateScope&) = delete;
  ~UpdateScope() { lines_.EndUpdate(); }

 private:
  TStrings& lines_;
};

}  // namespace

struct TFileListBox::SharedLines {
  std::string directory;
  std::string mask;
  TFileType fileType = 0;
  std::vector<std::string> patterns;
  // One list per pattern, joined in the order of the patterns as separate searches give them.
  std::vector<std::vector<TListLine>> lines;
  std::size_t total = 0;
  ScreenCursorScope cursor;
};

TFileListBox::TFileListBox(TComponent* owner) : TCustomListBox(owner) {
  SetWidth(145);
  fileType_ = FileTypeOf({ftNormal});
  directory_ = CurrentDirectory();
  mask_ = "*.*";
  SetMultiSelect(false);
  lastSelection_ = -1;
  LoadGlyphs();
  SetSorted(true);
  SetStyle(lbOwnerDrawFixed);
  FitItemHeight();
}

TFileListBox::~TFileListBox() {
  shared_.reset();
  programGlyph_.reset();
  directoryGlyph_.reset();
  otherFileGlyph_.reset();
}

bool TFileListBox::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "Mask") {
    SetMask(reader.ReadString());
  } else if (name == "ShowGlyphs") {
    SetShowGlyphs(reader.ReadBoolean());
  } else if (name == "FileType") {
    SetFileType(static_cast<TFileType>(ReadIdentSet(reader, kFileTypes)));
  } else if (name == "FileEdit") {
    reader.ReadReference<TEdit>([this](TEdit* edit) { SetFileEdit(edit); });
  } else if (name == "OnChange") {
    reader.ReadEvent([this](TNotifyEvent e) { OnChange = std::move(e); });
  } else {
    return TCustomListBox::ReadProperty(reader, name);
  }
  return true;
}

void TFileListBox::LoadGlyphs() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  programGlyph_ = std::make_unique<TBitmap>();
  programGlyph_->LoadFromResourceName(instance, "EXECUTABLE");
  directoryGlyph_ = std::make_unique<TBitmap>();
  directoryGlyph_->LoadFromResourceName(instance, "CLOSEDFOLDER");
  otherFileGlyph_ = std::make_unique<TBitmap>();
  otherFileGlyph_->LoadFromResourceName(instance, "UNKNOWNFILE");
}

void TFileListBox::FitItemHeight() {
  int height = FontLineHeight(Font());
  if (showGlyphs_ && height < programGlyph_->Height() + 1) height = programGlyph_->Height() + 1;
  SetItemHeight(height);
}

void TFileListBox::CreateWnd() {
  TCustomListBox::CreateWnd();
  RefreshFiles();
}

void TFileListBox::WndProc(TMessage& m) {
  if (m.Msg == CM_FONTCHANGED) {
    TCustomListBox::WndProc(m);
    FitItemHeight();
    return;
  }
  TCustomListBox::WndProc(m);
}

void TFileListBox::SetDirectory(const std::string& directory) {
  if (SameFileName(directory, directory_)) return;
  // A relative path is taken relative to the list's own directory.
  if (IsExistingDirectory(directory_)) ChangeDirectory(directory_);
  ChangeDirectory(directory);
  directory_ = CurrentDirectory();
  RefreshFiles();
}

void TFileListBox::SetMask(const std::string& mask) {
  if (mask == mask_) return;
  mask_ = mask;
  RefreshFiles();
}

void TFileListBox::SetFileType(TFileType fileType) {
  if (fileType == fileType_) return;
  fileType_ = fileType;
  RefreshFiles();
}

void TFileListBox::SetShowGlyphs(bool value) {
  if (value == showGlyphs_) return;
  showGlyphs_ = value;
  if (value && ItemHeight() < programGlyph_->Height() + 1) FitItemHeight();
  Invalidate();
}

void TFileListBox::SetFileEdit(TEdit* edit) {
  fileEdit_ = edit;
  if (!edit) return;
  FreeNotification(edit);
  std::string selected = SelectedItemText();
  edit->SetText(selected.empty() ? mask_ : selected);
}

std::string TFileListBox::SelectedItemText() {
  int index = ItemIndex();
  int count = Items().Count();
  if (index < 0 || count == 0 || index >= count || !Selected(index)) return std::string();
  return Items().Get(index);
}

std::string TFileListBox::FileName() {
  std::string selected = SelectedItemText();
  if (selected.empty()) return std::string();
  // A path beyond MAX_PATH reaches the viewer and the search only in its short form.
  return ReachableShortPath(JoinPath(directory_, selected));
}

void TFileListBox::SelectItemByName(const std::string& name) {
  if (SameFileName(name, SelectedItemText())) return;
  int index = -1;
  if (HandleAllocated()) {
    LRESULT found = SendMessageA(Handle(), LB_FINDSTRINGEXACT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    index = found == LB_ERR ? -1 : static_cast<int>(found);
  }
  SetItemIndex(index);
  NotifyChanged();
}

void TFileListBox::SetFileName(const std::string& text) {
  if (text.empty() || SameFileName(text, FileName())) return;
  SplitPathResult parts = SplitPathText(text);
  if (dirList_) {
    dirList_->SetDirectory(text);
  } else if (parts.drive != '\0') {
    SetDirectory(Format("%c:%s", parts.drive, parts.directory.c_str()));
  } else {
    SetDirectory(parts.directory);
  }
  if (parts.file.find_first_of("*?") != std::string::npos) {
    SetMask(parts.file);
    return;
  }
  if (parts.file.empty()) return;
  SelectItemByName(parts.file);
  // Looked up in the list's own directory: the process may have been moved elsewhere since.
  if (!IsExistingFile(JoinPath(directory_, parts.file)))
    throw EInvalidOperation(ResFmt(SInvalidFileName, text.c_str()));
  if (SelectedItemText().empty()) {
    // A semicolon would split the name into two patterns that match neither it nor each other;
    // "?" in its place matches it.
    std::string pattern = parts.file;
    std::replace(pattern.begin(), pattern.end(), ';', '?');
    SetMask(pattern);
    SelectItemByName(parts.file);
  }
}

unsigned TFileListBox::SearchAttributes() const {
  unsigned attributes = 0;
  for (std::size_t i = 0; i < kAttributeValues.size(); ++i)
    if (FileTypeHas(fileType_, static_cast<TFileAttr>(i))) attributes |= kAttributeValues[i];
  return attributes;
}

void TFileListBox::AddLine(std::vector<TListLine>& lines, std::size_t& total, const char* name, unsigned attr) {
  unsigned attributes = SearchAttributes();
  if (LeftOutOfSearch(attr, attributes)) return;
  if (!FileTypeHas(fileType_, ftNormal) && (attr & attributes) == 0) return;
  if (attr & faDirectory) {
    lines.push_back({Concat({"[", name, "]"}), showGlyphs_ ? directoryGlyph_.get() : nullptr});
  } else {
    std::string text(name);
    TBitmap* glyph = IsProgramExtension(text) ? programGlyph_.get() : otherFileGlyph_.get();
    lines.push_back({std::move(text), glyph});
  }
  // A line at position 100: the directory is a large one.
  if (++total == 101) Screen->SetCursor(crHourGlass);
}

bool TFileListBox::BeginSharedRead(const std::string& directory, unsigned& attributes) {
  shared_.reset();
  if (!HandleAllocated() || SameFileName(directory, directory_)) return false;
  std::vector<std::string> patterns = SplitMask(mask_);
  if (!std::all_of(patterns.begin(), patterns.end(), [](const std::string& p) { return IsPlainPattern(p); }))
    return false;
  shared_ = std::make_unique<SharedLines>();
  shared_->directory = directory;
  shared_->mask = mask_;
  shared_->fileType = fileType_;
  shared_->lines.resize(patterns.size());
  shared_->patterns = std::move(patterns);
  attributes |= SearchAttributes();
  return true;
}

void TFileListBox::SharedEntry(const char* name, const WIN32_FIND_DATAW& entry) {
  if (!shared_) return;
  for (std::size_t i = 0; i < shared_->patterns.size(); ++i) {
    PatternMatch match = MatchPlainPattern(shared_->patterns[i], entry);
    if (match == PatternMatch::unknown) {
      // The refresh asks the system's search instead.
      shared_.reset();
      return;
    }
    if (match == PatternMatch::yes) AddLine(shared_->lines[i], shared_->total, name, entry.dwFileAttributes);
  }
}

void TFileListBox::EndSharedRead() { shared_.reset(); }

void TFileListBox::RefreshFiles() {
  if (!HandleAllocated()) return;
  // Gone at the end of the refresh, with the cursor that the shared read found.
  std::unique_ptr<SharedLines> shared = std::move(shared_);
  bool useShared = shared && shared->directory == directory_ && shared->mask == mask_ && shared->fileType == fileType_;
  ChangeDirectory(directory_);
  Items().Clear();
  {
    ScreenCursorScope cursor;
    // Nothing is painted before the refresh returns anyway; without redrawing the platform
    // list also skips its scroll bar work for each line.
    UpdateScope update(Items());
    // Collected first and added in one pass, in the order the sorted list would give them.
    std::vector<TListLine> lines;
    if (useShared) {
      for (std::vector<TListLine>& part : shared->lines)
        lines.insert(lines.end(), std::make_move_iterator(part.begin()), std::make_move_iterator(part.end()));
    } else {
      shared.reset();
      std::size_t total = 0;
      unsigned attributes = SearchAttributes();
      for (const std::string& pattern : SplitMask(mask_))
        ListDirectory(pattern, attributes, [&](const char* name, unsigned attr) { AddLine(lines, total, name, attr); });
    }
    AddObjects(lines);
  }
  shared.reset();
  NotifyChanged();
}

void TFileListBox::NotifyChanged() {
  lastSelection_ = ItemIndex();
  if (fileEdit_) {
    std::string selected = SelectedItemText();
    fileEdit_->SetText(selected.empty() ? mask_ : selected);
    fileEdit_->SelectAll();
  }
  if (OnChange) OnChange(this);
}

void TFileListBox::Click() {
  auto alive = AliveToken();
  TCustomListBox::Click();
  if (alive.expired()) return;  // the handler freed the list
  if (ItemIndex() != lastSelection_) NotifyChanged();
}

void TFileListBox::Notification(TComponent* component, TOperation operation) {
  TCustomListBox::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == fileEdit_) fileEdit_ = nullptr;
  if (component == dirList_) dirList_ = nullptr;
}

void TFileListBox::DrawItem(int index, const RECT& rect, unsigned) {
  TCanvas& canvas = Canvas();
  canvas.FillRect(rect);
  int offset = 2;
  auto* glyph = dynamic_cast<TBitmap*>(Items().Object(index));
  if (showGlyphs_ && glyph) {
    DrawGlyph(canvas, glyph->Handle(), rect, 2);
    offset = glyph->Width() + 6;
  }
  canvas.TextOut(rect.left + offset, rect.top, Items().Get(index));
}
