#include "app/Unit2.h"

#include <oleauto.h>

#include "framework/DateTime.h"
#include "browse/FileCtrl.h"
#include "app/Folvane1.h"
#include "framework/SysUtils.h"

TForm2* Form2 = nullptr;

namespace {

// Owns a BSTR; the empty string travels as a null one.
class WideString {
 public:
  explicit WideString(const std::string& ansi) {
    std::wstring wide = AnsiToWide(ansi);
    if (!wide.empty()) value_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  }
  WideString(const WideString&) = delete;
  WideString& operator=(const WideString&) = delete;
  ~WideString() { SysFreeString(value_); }
  BSTR Get() const { return value_; }

 private:
  BSTR value_ = nullptr;
};

constexpr unsigned kAnyAttribute = 63;

// Sizes of 2 GiB and more are shown as they are, not as their low 32 bits.
unsigned long long FullSize(const TSearchRec& entry) {
  return (static_cast<unsigned long long>(entry.FindData.nFileSizeHigh) << 32) | entry.FindData.nFileSizeLow;
}

// A last change outside 1980-2107 has no packed form; its true local time is shown instead,
// converted with the offset in force now like the packed one.
TDateTime LastChange(const TSearchRec& entry) {
  if (entry.Time != 0) return FileDateToDateTime(entry.Time);
  FILETIME local;
  SYSTEMTIME time;
  if (!FileTimeToLocalFileTime(&entry.FindData.ftLastWriteTime, &local) || !FileTimeToSystemTime(&local, &time))
    return FileDateToDateTime(0);  // raises the date-encode error
  TDateTime day = EncodeDate(time.wYear, time.wMonth, time.wDay);
  TDateTime clock = EncodeTime(time.wHour, time.wMinute, time.wSecond, 0);
  return day < 0 ? day - clock : day + clock;  // before 1899 the fraction counts forward too
}

}  // namespace

TForm2::TForm2(TComponent* owner) : TForm(owner) {
  DeclareMethod("FileListBox1Click", [this](TObject* sender) { FileListBox1Click(sender); });
  LoadDescription([this] {
    BindField(Panel1, "Panel1");
    BindField(DriveComboBox1, "DriveComboBox1");
    BindField(LMDSplitterPanel1, "LMDSplitterPanel1");
    BindField(LMDSplitterPane1, "LMDSplitterPane1");
    BindField(LMDSplitterPane2, "LMDSplitterPane2");
    BindField(DirectoryListBox1, "DirectoryListBox1");
    BindField(FileListBox1, "FileListBox1");
  });
}

void TForm2::FileListBox1Click(TObject*) {
  {
    WideString path(FileListBox1->FileName());
    Form1->Pdf1->OpenDocument(path.Get());
  }
  std::string fileName = FileListBox1->FileName();
  if (fileName.empty()) return;
  bool found = false;
  TSearchRec entry;
  SearchDirectory(fileName, kAnyAttribute, [&](const TSearchRec& match) {
    if (!found) entry = match;
    found = true;
  });
  if (!found) return;
  TStatusPanels& panels = Form1->StatusBar1->Panels();
  panels.Items(0)->SetText(entry.Name);
  panels.Items(1)->SetText(std::to_string(FullSize(entry)) + " bytes");
  panels.Items(2)->SetText(DateToStr(LastChange(entry)));
  panels.Items(3)->SetText(TimeToStr(LastChange(entry)));
}
