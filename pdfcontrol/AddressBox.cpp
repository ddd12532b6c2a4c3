// The address box (see AddressBox.h). A dialog made from a template in memory, so that the
// address can sit in a read-only field that wraps it whole, however long and unbroken.
#include "pdfcontrol/AddressBox.h"

#include "pdfcontrol/SystemLibrary.h"
#include "pdfcontrol/ViewerWindow.h"

#include <shellapi.h>

#include <cstring>
#include <vector>

namespace pdfview {

namespace {

enum BoxId : WORD { kAddressField = 100, kPrompt = 101 };

class Template {
 public:
  Template(const wchar_t* caption, short width, short height) {
    DLGTEMPLATE head{};
    head.style = DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    head.cx = width;
    head.cy = height;
    Put(&head, sizeof head);
    Word(0);  // no menu
    Word(0);  // the dialog class
    Text(caption);
    Word(8);
    Text(L"MS Shell Dlg");
  }
  // Counts the items in the header as they are added.
  void Add(WORD cls, const wchar_t* text, DWORD style, short x, short y, short cx, short cy, WORD id) {
    while (bytes_.size() % 4) bytes_.push_back(0);
    DLGITEMTEMPLATE item{};
    item.style = style | WS_CHILD | WS_VISIBLE;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    item.id = id;
    Put(&item, sizeof item);
    Word(0xFFFF);
    Word(cls);
    Text(text);
    Word(0);
    reinterpret_cast<DLGTEMPLATE*>(bytes_.data())->cdit++;
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

 private:
  void Put(const void* data, size_t size) {
    const auto* p = static_cast<const char*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
  }
  void Word(WORD w) { Put(&w, sizeof w); }
  void Text(const wchar_t* text) { Put(text, (std::wcslen(text) + 1) * sizeof(wchar_t)); }
  std::vector<char> bytes_;
};

constexpr WORD kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082;

INT_PTR CALLBACK BoxProc(HWND box, UINT message, WPARAM wparam, LPARAM lparam) {
  // Nothing here allocates: no guard is needed.
  switch (message) {
    case WM_INITDIALOG:
      SetDlgItemTextW(box, kAddressField, reinterpret_cast<const wchar_t*>(lparam));
      // The field would otherwise show its text selected, as if about to be replaced.
      SendDlgItemMessageW(box, kAddressField, EM_SETSEL, 0, 0);
      SetFocus(GetDlgItem(box, IDCANCEL));
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
        EndDialog(box, LOWORD(wparam));
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

bool AskAndOpenAddress(HWND owner, const std::wstring& address) {
  Template box(kAddressBoxCaption, 260, 118);
  box.Add(kStatic, L"This document links to an address outside it. Open it?", SS_LEFT | SS_NOPREFIX, 7, 7, 246, 10,
          kPrompt);
  box.Add(kEdit, L"", ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 7, 20, 246, 72, kAddressField);
  box.Add(kButton, L"Open", BS_PUSHBUTTON | WS_TABSTOP, 146, 98, 50, 14, IDOK);
  box.Add(kButton, L"Cancel", BS_DEFPUSHBUTTON | WS_TABSTOP, 203, 98, 50, 14, IDCANCEL);
  const std::wstring shown = address;
  const INT_PTR answer = DialogBoxIndirectParamW(ThisModule(), box.Get(), owner ? GetAncestor(owner, GA_ROOT) : nullptr,
                                                 &BoxProc, reinterpret_cast<LPARAM>(shown.c_str()));
  if (answer != IDOK) return false;
  auto* shellExecute = SystemFunction<decltype(ShellExecuteW)>(L"shell32.dll", "ShellExecuteW");
  if (!shellExecute) return false;
  return reinterpret_cast<INT_PTR>(shellExecute(owner, L"open", shown.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

}  // namespace pdfview
