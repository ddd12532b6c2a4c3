// Printing (see Printing.h).
#include "pdfcontrol/Printing.h"

#include "pdfcontrol/PageLayout.h"
#include "pdfcontrol/RenderProtocol.h"
#include "pdfcontrol/ViewerWindow.h"

#include <algorithm>
#include <cmath>

namespace pdfview {

namespace {

constexpr wchar_t kProgressClass[] = L"FolvanePrintProgress";

LRESULT CALLBACK ProgressProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if ((message == WM_COMMAND && LOWORD(wparam) == IDCANCEL) || message == WM_CLOSE) {
    if (auto* cancelled = reinterpret_cast<bool*>(GetWindowLongPtrW(window, GWLP_USERDATA))) *cancelled = true;
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// A small window beside the document while it prints: what is printing, and Cancel.
class Progress {
 public:
  Progress(HWND owner, bool& cancelled) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExW(ThisModule(), kProgressClass, &wc)) {
      wc.lpfnWndProc = ProgressProc;
      wc.hInstance = ThisModule();
      wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
      wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
      wc.lpszClassName = kProgressClass;
      RegisterClassExW(&wc);
    }
    RECT beside{};
    GetWindowRect(owner, &beside);
    window_ = CreateWindowExW(WS_EX_DLGMODALFRAME, kProgressClass, L"Printing", WS_POPUP | WS_CAPTION | WS_SYSMENU,
                              beside.left + 40, beside.top + 40, 300, 110, owner, nullptr, ThisModule(), nullptr);
    if (!window_) return;
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&cancelled));
    const auto font = WPARAM(GetStockObject(DEFAULT_GUI_FONT));
    text_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 12, 12, 270, 18, window_, nullptr,
                            ThisModule(), nullptr);
    const HWND cancel = CreateWindowExW(0, L"BUTTON", L"Cancel", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 200, 40, 80,
                                        24, window_, reinterpret_cast<HMENU>(INT_PTR(IDCANCEL)), ThisModule(), nullptr);
    SendMessageW(text_, WM_SETFONT, font, FALSE);
    SendMessageW(cancel, WM_SETFONT, font, FALSE);
    // Not activated: the focus stays where the reader left it, and comes back there after.
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    // The document's window takes no input meanwhile, as under a dialog.
    owner_ = owner && IsWindowEnabled(owner) ? owner : nullptr;
    if (owner_) EnableWindow(owner_, FALSE);
  }
  ~Progress() {
    if (owner_) EnableWindow(owner_, TRUE);
    if (window_) DestroyWindow(window_);
  }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void Say(const std::wstring& text) {
    if (text_) SetWindowTextW(text_, text.c_str());
    Pump();
  }
  static void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(int(msg.wParam));
        break;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }

 private:
  HWND window_ = nullptr, text_ = nullptr, owner_ = nullptr;
};

std::wstring SystemReason(DWORD error) {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring reason = text ? text : L"";
  if (text) LocalFree(text);
  while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' || reason.back() == L' '))
    reason.pop_back();
  return reason.empty() ? L"error " + std::to_wstring(error) : reason;
}

// Leaves the printer's document unfinished unless it was ended.
class DocumentScope {
 public:
  explicit DocumentScope(HDC dc) : dc_(dc) {}
  ~DocumentScope() {
    if (dc_) AbortDoc(dc_);
  }
  DocumentScope(const DocumentScope&) = delete;
  DocumentScope& operator=(const DocumentScope&) = delete;
  bool End() {
    const bool ended = EndDoc(dc_) > 0;
    dc_ = nullptr;
    return ended;
  }

 private:
  HDC dc_;
};

}  // namespace

std::wstring PrintProgress(int nth, int count) {
  return L"Printing page " + std::to_wstring(nth) + L" of " + std::to_wstring(count) + L"\u2026";
}

std::wstring PrintPages(HWND owner, HDC printer, RendererClient& renderer, const PrintJob& job, bool& cancelled) {
  cancelled = false;
  if (!printer) return L"No printer could be used.";
  if (job.pages.empty() || job.sizes.size() != job.pages.size()) return L"There are no pages to print.";
  Progress progress(owner, cancelled);
  DOCINFOW info{};
  info.cbSize = sizeof info;
  info.lpszDocName = job.title.c_str();
  if (StartDocW(printer, &info) <= 0) return L"The printer did not take the document: " + SystemReason(GetLastError());
  DocumentScope document(printer);
  const int dpiX = std::max(1, GetDeviceCaps(printer, LOGPIXELSX)),
            dpiY = std::max(1, GetDeviceCaps(printer, LOGPIXELSY));
  const int roomX = std::max(1, GetDeviceCaps(printer, HORZRES)), roomY = std::max(1, GetDeviceCaps(printer, VERTRES));
  const int count = int(job.pages.size());
  for (int i = 0; i < count; ++i) {
    progress.Say(PrintProgress(i + 1, count));
    if (cancelled) return L"";
    const int page = job.pages[size_t(i)];
    const auto [w, h] = job.sizes[size_t(i)];
    // The page at the printer's resolution, made smaller to fit the paper, never larger.
    double width = w * dpiX / 72.0, height = h * dpiY / 72.0;
    const double fit = std::min({1.0, roomX / width, roomY / height});
    width = std::clamp(std::floor(width * fit), 1.0, double(pdfrender::kMaxPartPageSide));
    height = std::clamp(std::floor(height * fit), 1.0, double(pdfrender::kMaxPartPageSide));
    const uint32_t pageWidth = uint32_t(width), pageHeight = uint32_t(height);
    const int x0 = std::max(0, (roomX - int(pageWidth)) / 2);
    const std::wstring number = std::to_wstring(page + 1);
    if (StartPage(printer) <= 0)
      return L"The printer did not take page " + number + L": " + SystemReason(GetLastError());
    const int bands = BandCount(int(pageWidth), int(pageHeight), int(pdfrender::kMaxSide), int(kPrintBandPixels));
    for (int b = 0; b < bands; ++b) {
      const PageBox part = BandOf(b, int(pageWidth), int(pageHeight), int(pdfrender::kMaxSide), int(kPrintBandPixels));
      RenderJob band{job.generation, uint32_t(page), uint32_t(part.width), uint32_t(part.height), 0,
                     pageWidth,      pageHeight,     uint32_t(part.x),     uint32_t(part.y)};
      RenderedPage drawn = renderer.RenderNow(band, [&] {
        Progress::Pump();
        return !cancelled;
      });
      if (cancelled) return L"";
      if (drawn.failed || !drawn.pixels.data()) return L"Page " + number + L" could not be drawn for the printer.";
      BITMAPINFO bits{};
      bits.bmiHeader.biSize = sizeof bits.bmiHeader;
      bits.bmiHeader.biWidth = LONG(drawn.width);
      bits.bmiHeader.biHeight = -LONG(drawn.height);
      bits.bmiHeader.biPlanes = 1;
      bits.bmiHeader.biBitCount = 32;
      bits.bmiHeader.biCompression = BI_RGB;
      if (StretchDIBits(printer, x0 + part.x, part.y, int(drawn.width), int(drawn.height), 0, 0, int(drawn.width),
                        int(drawn.height), drawn.pixels.data(), &bits, DIB_RGB_COLORS, SRCCOPY) == 0) {
        return L"The printer did not take page " + number + L".";
      }
    }
    if (EndPage(printer) <= 0) return L"The printer did not take page " + number + L": " + SystemReason(GetLastError());
  }
  if (!document.End()) return L"The printer did not finish the document: " + SystemReason(GetLastError());
  return L"";
}

}  // namespace pdfview
