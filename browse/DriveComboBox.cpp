#include "browse/DriveComboBox.h"

#include <dbt.h>

#include "framework/MessageTexts.h"
#include "browse/DirectoryListBox.h"
#include "framework/Streaming.h"
#include "framework/SysUtils.h"

namespace {

char UpCase(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The system announces volumes that come and go to top-level windows only: the selector, a
// child, hears of them through a hidden top-level window of its own.
constexpr char kDriveWatchClass[] = "TDriveComboBoxWatch";
// Posted to the selector when its window is made: the watch, a top-level window that costs the
// window server a round of requests, is made once the queue is served, after the windows that
// are being shown, not before them.
constexpr UINT kMakeDriveWatch = CM_BASE + 200;

LRESULT CALLBACK DriveWatchProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DEVICECHANGE && (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE)) {
    auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    auto* combo = reinterpret_cast<TDriveComboBox*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (header && header->dbch_devicetype == DBT_DEVTYP_VOLUME && combo) {
      try {
        combo->DrivesChanged();
      } catch (...) {
        HandleWindowException();
      }
    }
    return TRUE;
  }
  return DefWindowProcA(window, msg, wParam, lParam);
}

HWND CreateDriveWatch(TDriveComboBox* combo) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  if (!GetClassInfoA(instance, kDriveWatchClass, &wc)) {
    wc.lpfnWndProc = DriveWatchProc;
    wc.hInstance = instance;
    wc.lpszClassName = kDriveWatchClass;
    if (!RegisterClassA(&wc)) return nullptr;
  }
  HWND window = CreateWindowExA(0, kDriveWatchClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  if (window) SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(combo));
  return window;
}

}  // namespace

TDriveComboBox::TDriveComboBox(TComponent* owner) : TCustomComboBox(owner) {
  SetStyle(csOwnerDrawFixed);
  LoadGlyphs();
  std::string current = CurrentDirectory();
  drive_ = current.empty() || current[0] == '\\' ? '\0' : current[0];
  FitItemHeight();
}

TDriveComboBox::~TDriveComboBox() {
  if (driveWatch_) DestroyWindow(driveWatch_);
  removableGlyph_.reset();
  fixedGlyph_.reset();
  networkGlyph_.reset();
  cdromGlyph_.reset();
  ramGlyph_.reset();
}

bool TDriveComboBox::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "DirList") {
    reader.ReadReference<TDirectoryListBox>([this](TDirectoryListBox* list) { SetDirList(list); });
  } else if (name == "TextCase") {
    static constexpr TIdentMapEntry kTextCases[] = {{"tcLowerCase", tcLowerCase}, {"tcUpperCase", tcUpperCase}};
    SetTextCase(static_cast<TTextCase>(ReadIdent(reader, kTextCases)));
  } else {
    return TCustomComboBox::ReadProperty(reader, name);
  }
  return true;
}

void TDriveComboBox::LoadGlyphs() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  auto load = [instance](const char* name) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->LoadFromResourceName(instance, name);
    return bitmap;
  };
  removableGlyph_ = load("FLOPPY");
  fixedGlyph_ = load("HARD");
  networkGlyph_ = load("NETWORK");
  cdromGlyph_ = load("CDROM");
  ramGlyph_ = load("RAM");
}

void TDriveComboBox::FitItemHeight() {
  int height = FontLineHeight(Font());
  if (height < removableGlyph_->Height()) height = removableGlyph_->Height();
  SetItemHeight(height);
}

void TDriveComboBox::CreateWnd() {
  TCustomComboBox::CreateWnd();
  // Without it the lines only miss drives that come and go.
  if (!driveWatch_) PostMessageA(Handle(), kMakeDriveWatch, 0, 0);
  RebuildItems();
  // Selects the drive's line, passes the drive on and reports it.
  char drive = drive_;
  drive_ = '\0';
  SetDrive(drive);
}

void TDriveComboBox::WndProc(TMessage& m) {
  if (m.Msg == kMakeDriveWatch) {
    if (!driveWatch_) driveWatch_ = CreateDriveWatch(this);
    return;
  }
  if (m.Msg == CM_FONTCHANGED) {
    TCustomComboBox::WndProc(m);
    FitItemHeight();  // recreates the window, which rebuilds the lines
    return;
  }
  TCustomComboBox::WndProc(m);
}

void TDriveComboBox::RebuildItems() {
  Items().Clear();
  SetItemIndex(-1);
  DWORD drives = LogicalDrives();
  for (int bit = 0; bit < 26; ++bit) {
    if (!(drives & (1u << bit))) continue;
    char letter = static_cast<char>('a' + bit);
    char root[4] = {letter, ':', '\\', '\0'};
    UINT type = GetDriveTypeA(root);
    if (textCase_ == tcUpperCase) letter = UpCase(letter);
    std::string letterText(1, letter);
    switch (type) {
      case DRIVE_REMOVABLE:
        Items().AddObject(letterText + ":", removableGlyph_.get());
        break;
      case DRIVE_FIXED:
        Items().AddObject(Format("%s: %s", letterText.c_str(), VolumeLabelText(letter).c_str()), fixedGlyph_.get());
        break;
      case DRIVE_REMOTE:
        Items().AddObject(Format("%s: %s", letterText.c_str(), NetworkDriveText(letter).c_str()), networkGlyph_.get());
        break;
      case DRIVE_CDROM:
        Items().AddObject(Format("%s: %s", letterText.c_str(), VolumeLabelText(letter).c_str()), cdromGlyph_.get());
        break;
      case DRIVE_RAMDISK:
        Items().AddObject(Format("%s: %s", letterText.c_str(), VolumeLabelText(letter).c_str()), ramGlyph_.get());
        break;
      default:
        break;
    }
  }
}

void TDriveComboBox::DrivesChanged() {
  if (!HandleAllocated()) return;
  RebuildItems();
  // The drive's line again; a drive that has gone leaves no line selected. Nothing is reported:
  // the selected drive has not changed.
  if (int line = LineOfDrive(drive_); line >= 0) SetItemIndex(line);
}

int TDriveComboBox::LineOfDrive(char letter) {
  for (int i = 0; i < Items().Count(); ++i) {
    std::string line = Items().Get(i);
    if (line.size() >= 2 && UpCase(line[0]) == UpCase(letter) && line[1] == ':') return i;
  }
  return -1;
}

void TDriveComboBox::SetDrive(char letter) {
  if (ItemIndex() >= 0 && UpCase(letter) == UpCase(drive_)) return;
  if (letter == '\0') {
    drive_ = '\0';
    SetItemIndex(-1);
  } else {
    drive_ = textCase_ == tcUpperCase ? UpCase(letter) : static_cast<char>(UpCase(letter) + 32);
    if (int line = LineOfDrive(drive_); line >= 0) SetItemIndex(line);
  }
  if (dirList_) dirList_->SetDrive(drive_);
  Change();
}

void TDriveComboBox::SetTextCase(TTextCase value) {
  textCase_ = value;
  char drive = drive_;
  RebuildItems();
  SetDrive(drive);
}

void TDriveComboBox::SetDirList(TDirectoryListBox* list) {
  if (dirList_) dirList_->driveCombo_ = nullptr;
  dirList_ = list;
  if (list) {
    list->driveCombo_ = this;
    FreeNotification(list);
  }
}

void TDriveComboBox::Click() {
  TCustomComboBox::Click();
  int index = ItemIndex();
  if (index >= 0) SetDrive(Items().Get(index)[0]);
}

void TDriveComboBox::Notification(TComponent* component, TOperation operation) {
  TCustomComboBox::Notification(component, operation);
  if (operation == opRemove && component == dirList_) dirList_ = nullptr;
}

void TDriveComboBox::DrawItem(int index, const RECT& rect, unsigned) {
  TCanvas& canvas = Canvas();
  canvas.FillRect(rect);
  int glyphWidth = 16;
  if (auto* glyph = dynamic_cast<TBitmap*>(Items().Object(index))) {
    glyphWidth = glyph->Width();
    DrawGlyph(canvas, glyph->Handle(), rect, 2);
  }
  RECT textRect = rect;
  textRect.left += glyphWidth + 6;
  std::string text = Items().Get(index);
  HDC dc = canvas.Handle();
  canvas.TextOut(textRect.left, textRect.top, "");  // selects the font and colours
  SetBkMode(dc, TRANSPARENT);
  DrawTextA(dc, text.c_str(), -1, &textRect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}
