// The tests' container and helpers (see ControlContainer.h).
#include "tests/support/ControlContainer.h"

#include <tlhelp32.h>

#include <cstdio>

namespace testhost {

STDMETHODIMP Site::QueryInterface(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
    *out = static_cast<IOleClientSite*>(this);
  } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
    *out = static_cast<IOleInPlaceSite*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP Site::OnInPlaceActivate() {
  ++in_place_activations;
  return S_OK;
}

STDMETHODIMP Site::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                    LPOLEINPLACEFRAMEINFO info) {
  *frame = nullptr;
  *doc = nullptr;
  *pos = position;
  *clip = {0, 0, 32767, 32767};
  info->fMDIApp = FALSE;
  info->hwndFrame = window_;
  info->haccel = nullptr;
  info->cAccelEntries = 0;
  return S_OK;
}

HWND CreateHostWindow(int width, int height) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"PdfTestHost";
    RegisterClassW(&wc);
    registered = true;
  }
  RECT frame{0, 0, width, height};
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
  HWND window = CreateWindowExW(WS_EX_TOPMOST, L"PdfTestHost", L"Host",
                                WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, frame.right - frame.left,
                                frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  UpdateWindow(window);
  return window;
}

Control::~Control() {
  if (dispatch) dispatch->Release();
  if (object) {
    object->Close(OLECLOSE_NOSAVE);
    object->SetClientSite(nullptr);
    object->Release();
  }
}

HRESULT CreateControl(Site& site, HWND host, const RECT& bounds, Control& out) {
  HRESULT hr = CoCreateInstance(kControlClassId, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IOleObject,
                                reinterpret_cast<void**>(&out.object));
  if (FAILED(hr)) return hr;
  if (FAILED(hr = out.object->SetClientSite(&site))) return hr;
  IPersistStreamInit* persist = nullptr;
  if (FAILED(hr = out.object->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)))) return hr;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof kControlData);
  memcpy(GlobalLock(block), kControlData, sizeof kControlData);
  GlobalUnlock(block);
  IStream* stream = nullptr;
  CreateStreamOnHGlobal(block, TRUE, &stream);
  hr = persist->Load(stream);
  stream->Release();
  persist->Release();
  if (FAILED(hr)) return hr;
  if (FAILED(hr = out.object->QueryInterface(kDPdfId, reinterpret_cast<void**>(&out.dispatch)))) return hr;
  site.position = bounds;
  if (FAILED(hr = out.object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host, &bounds))) return hr;
  IOleInPlaceObject* inPlace = nullptr;
  if (FAILED(hr = out.object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) return hr;
  hr = inPlace->GetWindow(&out.window);
  inPlace->Release();
  return hr;
}

HRESULT Call(IDispatch* control, DISPID id, WORD flags, VARIANT* argument, VARIANT* result) {
  DISPID put = DISPID_PROPERTYPUT;
  const bool named = flags == DISPATCH_PROPERTYPUT;
  DISPPARAMS params{argument, named ? &put : nullptr, argument ? 1u : 0u, named ? 1u : 0u};
  EXCEPINFO exception{};
  return control->Invoke(id, IID_NULL, 0, flags, &params, result, &exception, nullptr);
}

bool OpenDocument(IDispatch* control, const std::wstring& path) {
  VARIANT argument;
  argument.vt = VT_BSTR;
  argument.bstrVal = path.empty() ? nullptr : SysAllocString(path.c_str());
  VARIANT result;
  VariantInit(&result);
  const HRESULT hr = Call(control, 2, DISPATCH_METHOD, &argument, &result);
  SysFreeString(argument.bstrVal);
  return SUCCEEDED(hr) && result.vt == VT_BOOL && result.boolVal != VARIANT_FALSE;
}

std::wstring Src(IDispatch* control) {
  VARIANT result;
  VariantInit(&result);
  if (FAILED(Call(control, 1, DISPATCH_PROPERTYGET, nullptr, &result)) || result.vt != VT_BSTR) return L"<failed>";
  std::wstring text = result.bstrVal ? result.bstrVal : L"";
  VariantClear(&result);
  return text;
}

int PageCount(IDispatch* control) {
  VARIANT result;
  VariantInit(&result);
  if (FAILED(Call(control, 3, DISPATCH_PROPERTYGET, nullptr, &result)) || result.vt != VT_I4) return -1;
  return result.lVal;
}

void Pump(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  } while (GetTickCount() - start < ms);
}

bool WaitUntilPainted(IDispatch* control, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    Pump(1);
    VARIANT result;
    VariantInit(&result);
    if (FAILED(Call(control, 4, DISPATCH_PROPERTYGET, nullptr, &result))) return false;
    if (result.vt == VT_BOOL && result.boolVal == VARIANT_FALSE) return true;
  }
  return false;
}

bool WaitUntilShown(IDispatch* control, DWORD timeoutMs) {
  if (!WaitUntilPainted(control, timeoutMs)) return false;
  Pump(50);
  return true;
}

static int R(unsigned p) { return (p >> 16) & 255; }
static int G(unsigned p) { return (p >> 8) & 255; }
static int B(unsigned p) { return p & 255; }
bool IsRed(unsigned p) { return R(p) > 200 && G(p) < 60 && B(p) < 60; }
bool IsWhite(unsigned p) { return R(p) > 245 && G(p) > 245 && B(p) > 245; }
bool IsDark(unsigned p) { return R(p) < 100 && G(p) < 100 && B(p) < 100; }
bool IsGrey(unsigned p) { return R(p) == 128 && G(p) == 128 && B(p) == 128; }

std::vector<DWORD> WorkerProcesses() {
  std::vector<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ParentProcessID == GetCurrentProcessId() && lstrcmpiW(entry.szExeFile, L"PdfRender.exe") == 0) {
      ids.push_back(entry.th32ProcessID);
    }
  }
  CloseHandle(snapshot);
  return ids;
}

int KillWorkers() {
  int killed = 0;
  for (DWORD id : WorkerProcesses()) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (process && TerminateProcess(process, 3)) {
      WaitForSingleObject(process, 5000);
      ++killed;
    }
    if (process) CloseHandle(process);
  }
  return killed;
}

std::wstring TempFolder() {
  static std::wstring folder;
  if (folder.empty()) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder = std::wstring(temp) + L"pdfcontrol-test-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
  }
  return folder;
}

std::wstring WriteFile(const std::wstring& name, const std::string& data) {
  const std::wstring path = TempFolder() + name;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  ::WriteFile(file, data.data(), DWORD(data.size()), &written, nullptr);
  CloseHandle(file);
  return path;
}

}  // namespace testhost
