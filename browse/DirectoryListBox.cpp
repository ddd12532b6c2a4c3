#include "browse/DirectoryListBox.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/MessageTexts.h"
#include "browse/DriveComboBox.h"
#include "browse/FileListBox.h"
#include "framework/Streaming.h"
#include "framework/SysUtils.h"

namespace {

char UpCase(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Redrawing of the lines is resumed on every way out.
class RedrawSuspended {
 public:
  explicit RedrawSuspended(TStrings& lines) : lines_(lines) { lines_.BeginUpdate(); }
  RedrawSuspended(const RedrawSuspended&) = delete;
  RedrawSuspended& operator=(const RedrawSuspended&) = delete;
  ~RedrawSuspended() { lines_.EndUpdate(); }

 private:
  TStrings& lines_;
};

}  // namespace

TDirectoryListBox::TDirectoryListBox(TComponent* owner) : TCustomListBox(owner) {
  SetWidth(145);
  SetStyle(lbOwnerDrawFixed);
  SetSorted(false);
  LoadGlyphs();
  directory_ = CurrentDirectory();
  FitItemHeight();
}

TDirectoryListBox::~TDirectoryListBox() {
  closedGlyph_.reset();
  openGlyph_.reset();
  currentGlyph_.reset();
}

bool TDirectoryListBox::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "FileList") {
    reader.ReadReference<TFileListBox>([this](TFileListBox* list) { SetFileList(list); });
  } else if (name == "DirLabel") {
    reader.ReadReference<TLabel>([this](TLabel* label) { SetDirLabel(label); });
  } else if (name == "OnChange") {
    reader.ReadEvent([this](TNotifyEvent e) { OnChange = std::move(e); });
  } else {
    return TCustomListBox::ReadProperty(reader, name);
  }
  return true;
}

void TDirectoryListBox::LoadGlyphs() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  openGlyph_ = std::make_unique<TBitmap>();
  openGlyph_->LoadFromResourceName(instance, "OPENFOLDER");
  closedGlyph_ = std::make_unique<TBitmap>();
  closedGlyph_->LoadFromResourceName(instance, "CLOSEDFOLDER");
  // Subdirectory lines are most of a long list: one call each instead of two.
  SetImplicitObject(closedGlyph_.get());
  currentGlyph_ = std::make_unique<TBitmap>();
  currentGlyph_->LoadFromResourceName(instance, "CURRENTFOLDER");
}

void TDirectoryListBox::FitItemHeight() {
  int height = FontLineHeight(Font());
  if (height < openGlyph_->Height() + 1) height = openGlyph_->Height() + 1;
  SetItemHeight(height);
}

void TDirectoryListBox::CreateWnd() {
  TCustomListBox::CreateWnd();
  RebuildItems();
  // Handed to the platform as it is, also beyond the last line.
  SendMessageA(Handle(), LB_SETCURSEL, static_cast<WPARAM>(PathDepth(directory_)), 0);
}

void TDirectoryListBox::WndProc(TMessage& m) {
  if (m.Msg == CM_FONTCHANGED) {
    TCustomListBox::WndProc(m);
    FitItemHeight();
    return;
  }
  if (m.Msg == WM_CHAR) {
    TCustomListBox::WndProc(m);
    if (m.WParam == VK_RETURN) OpenSelectedItem();
    return;
  }
  TCustomListBox::WndProc(m);
}

void TDirectoryListBox::RebuildItems() {
  {
    RedrawSuspended suspended(Items());
    Items().Clear();
    std::string root = ExtractFileDrive(directory_) + "\\";
    DWORD flags = 0;
    {
      QuietDriveAccess quiet;
      GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0);
    }
    casePreserving_ = (flags & (FS_CASE_SENSITIVE | FS_CASE_IS_PRESERVED)) != 0;
    caseSensitive_ = (flags & FS_CASE_SENSITIVE) != 0;

    std::string remainder;
    int steps = 0;
    if (root.size() >= 2 && root[1] == '\\') {
      Items().AddObject(root, openGlyph_.get());
      remainder = directory_.substr(std::min(root.size(), directory_.size()));
      steps = 1;
    } else {
      remainder = directory_;
    }
    if (!remainder.empty()) {
      if (!EndsWithBackslash(remainder)) {
        for (std::size_t at = LastDelimiter("\\", remainder); at != std::string::npos;
             at = LastDelimiter("\\", remainder)) {
          // The first backslash, stepping over double-byte pairs.
          std::size_t first = std::string::npos;
          for (std::size_t i = 0; i < remainder.size();
               i += IsPathLeadByte(static_cast<unsigned char>(remainder[i])) ? 2 : 1)
            if (remainder[i] == '\\') {
              first = i;
              break;
            }
          std::string step = remainder.substr(0, first);
          if (steps == 0) step += '\\';
          remainder.erase(0, first + 1);
          Items().AddObject(step, openGlyph_.get());
          ++steps;
        }
      }
      Items().AddObject(remainder, currentGlyph_.get());
    }
    const int current = Items().Count() - 1;

    // Subdirectory lines go into the list while the folder is still being read (a large folder is
    // read a batch ahead): the platform mostly gives names in an order close to the list's, so
    // most lines land in place at once; one that would not is held back and placed at the end.
    std::vector<TListLine> names;
    std::vector<bool> listed;
    TOrderCheck order(LOCALE_USER_DEFAULT);
    std::size_t inserted = 0, reserved = 0;
    unsigned attributes = faDirectory;
    TFileListBox* sharing =
        sharingRead_ && fileList_ && fileList_->BeginSharedRead(directory_, attributes) ? fileList_ : nullptr;
    ReadDirectory(
        JoinPath(directory_, "*.*"), attributes,
        [&](const char* name, const WIN32_FIND_DATAW& entry) {
          unsigned attr = entry.dwFileAttributes;
          if ((attr & faDirectory) && !LeftOutOfSearch(attr, faDirectory) && std::strcmp(name, ".") != 0 &&
              std::strcmp(name, "..") != 0) {
            names.push_back({name, closedGlyph_.get()});
            listed.push_back(order.Follows(names.back().Text));
            if (listed.back()) {
              if (inserted == reserved) {
                std::size_t more = std::max<std::size_t>(256, inserted);
                ReserveLines(more, more * names.back().Text.size());
                reserved += more;
              }
              Items().AddObject(names.back().Text, names.back().Object);
              ++inserted;
            }
          }
          if (sharing) sharing->SharedEntry(name, entry);
        },
        sharing ? TEntryLevel::standard : TEntryLevel::basic);
    if (inserted < names.size()) PlaceHeldBack(names, listed, inserted, current + 1);
    // Selected while the list does not draw: it is drawn once, selection and all.
    if (HandleAllocated()) SetItemIndex(current);
  }
}

// Puts the lines held back while reading in their places among those already listed (which
// keep their order), or lists them all again when placing would cost more.
void TDirectoryListBox::PlaceHeldBack(const std::vector<TListLine>& names, const std::vector<bool>& listed,
                                      std::size_t inserted, int first) {
  const std::vector<int> order = CaseInsensitiveOrder(names, LOCALE_USER_DEFAULT);
  // Each line placed moves the listed lines after it in the window's storage.
  std::size_t seen = 0, moved = 0;
  int lastListed = -1;
  bool keptOrder = true;
  for (int i : order) {
    if (listed[static_cast<std::size_t>(i)]) {
      keptOrder = keptOrder && i > lastListed;
      lastListed = i;
      ++seen;
    } else {
      moved += inserted - seen;
    }
  }
  if (keptOrder && moved <= 64 * names.size()) {
    int at = first;
    for (int i : order) {
      const TListLine& line = names[static_cast<std::size_t>(i)];
      if (!listed[static_cast<std::size_t>(i)]) Items().InsertObject(at, line.Text, line.Object);
      ++at;
    }
    return;
  }
  for (std::size_t left = inserted; left > 0; --left) Items().Delete(first + static_cast<int>(left) - 1);
  std::vector<TListLine> sorted;
  sorted.reserve(names.size());
  for (int i : order) sorted.push_back(names[static_cast<std::size_t>(i)]);
  AddObjects(sorted);
}

std::string TDirectoryListBox::PathOfItem(int index) {
  if (index >= Items().Count()) return std::string();
  TObject* glyph = Items().Object(index);
  std::string drive = ExtractFileDrive(directory_);
  if (index == 0) return drive + "\\";
  if (glyph == closedGlyph_.get()) return JoinPath(directory_, Items().Get(index));
  if (glyph == currentGlyph_.get()) return directory_;
  std::string rest = directory_.substr(drive.size());
  int seen = 0;
  std::size_t i = 0;
  while (i < rest.size()) {
    if (IsPathLeadByte(static_cast<unsigned char>(rest[i])) && i + 1 < rest.size()) {
      i += 2;
      continue;
    }
    if (rest[i] == '\\' && ++seen == index + 1) break;
    ++i;
  }
  return drive + rest.substr(0, i);
}

void TDirectoryListBox::OpenSelectedItem() { SetDirectory(PathOfItem(ItemIndex())); }

void TDirectoryListBox::SetDirectory(const std::string& path) {
  if (path.empty()) return;
  bool same = caseSensitive_ ? CompareCaseSensitive(path, directory_) == 0 : SameFileName(path, directory_);
  if (same) return;
  SplitPathResult parts = SplitPathText(path);
  if (parts.drive != Drive()) {
    inDriveChange_ = true;
    TScopeExit endDriveChange([&] { inDriveChange_ = false; });
    if (driveCombo_) driveCombo_->SetDrive(parts.drive);
    else SetDrive(parts.drive);
  }
  if (IsExistingDirectory(directory_)) ChangeDirectory(directory_);
  ChangeDirectory(parts.directory);
  directory_ = CurrentDirectory();
  MoveLists();
}

void TDirectoryListBox::MoveLists() {
  struct Sharing {
    TDirectoryListBox& list;
    ~Sharing() {
      list.sharingRead_ = false;
      if (list.fileList_) list.fileList_->EndSharedRead();
    }
  } sharing{*this};
  sharingRead_ = true;
  RebuildItems();
  NotifyChanged();
}

void TDirectoryListBox::SetDrive(char letter) {
  if (UpCase(letter) == UpCase(Drive())) return;
  if (letter != '\0') {
    // The drive's own current directory, or its root when that directory is gone: a drive
    // must not become unreachable because a directory once entered there was deleted.
    std::string drive{letter, ':'};
    if (!EnterDirectory(drive) && !EnterDirectory(drive + '\\')) RaiseInOutError(static_cast<int>(GetLastError()));
    directory_ = CurrentDirectory();
  }
  if (!inDriveChange_) MoveLists();
}

void TDirectoryListBox::SetFileList(TFileListBox* list) {
  if (fileList_) fileList_->dirList_ = nullptr;
  fileList_ = list;
  if (list) {
    list->dirList_ = this;
    FreeNotification(list);
  }
}

void TDirectoryListBox::SetDirLabel(TLabel* label) {
  dirLabel_ = label;
  if (label) FreeNotification(label);
  RefreshDirLabel();
}

void TDirectoryListBox::RefreshDirLabel() {
  if (!dirLabel_) return;
  int room = dirLabel_->AutoSize() ? Width() : dirLabel_->Width();
  TLabel* label = dirLabel_;
  dirLabel_->SetCaption(ShortenPath(
      directory_, [label](const std::string& text) { return label->TextWidth(text); }, room));
}

void TDirectoryListBox::NotifyChanged() {
  if (fileList_) fileList_->SetDirectory(directory_);
  RefreshDirLabel();
  if (OnChange) OnChange(this);
}

void TDirectoryListBox::DblClick() {
  TCustomListBox::DblClick();
  OpenSelectedItem();
}

void TDirectoryListBox::Notification(TComponent* component, TOperation operation) {
  TCustomListBox::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == fileList_) fileList_ = nullptr;
  if (component == driveCombo_) driveCombo_ = nullptr;
  if (component == dirLabel_) dirLabel_ = nullptr;
}

void TDirectoryListBox::DrawItem(int index, const RECT& rect, unsigned) {
  TCanvas& canvas = Canvas();
  canvas.FillRect(rect);
  int glyphWidth = 16;
  int indent = 4 * index + 2;
  auto* glyph = dynamic_cast<TBitmap*>(Items().Object(index));
  if (glyph) {
    if (glyph == closedGlyph_.get()) indent = 4 * (PathDepth(directory_) + 1) + 2;
    glyphWidth = glyph->Width();
    DrawGlyph(canvas, glyph->Handle(), rect, indent);
  }
  std::string text = Items().Get(index);
  if (!casePreserving_ && !caseSensitive_) text = DisplayLowerCase(text);
  canvas.TextOut(rect.left + glyphWidth + indent + 4, rect.top, text);
}
