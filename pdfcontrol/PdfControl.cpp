// The viewer control's COM object (see PdfControl.h).
#include "pdfcontrol/PdfControl.h"

#include "pdfcontrol/Guard.h"

#include <olectl.h>

#include <algorithm>
#include <cstring>

namespace pdfview {

LONG serverLocks = 0;

namespace {

template <typename T>
void ReleaseAndClear(T*& p) {
  if (p) {
    T* q = p;
    p = nullptr;
    q->Release();
  }
}

std::wstring FileNameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring ReasonFor(uint32_t code) {
  switch (code) {
    case pdfrender::kCannotOpen:
      return L"The file cannot be read.";
    case pdfrender::kNotPdf:
      return L"The file is not a PDF document.";
    case pdfrender::kDamaged:
      return L"The document is damaged and cannot be read.";
    case pdfrender::kEncrypted:
      return L"The document is protected by a password.";
    case pdfrender::kNoPages:
      return L"The document has no pages.";
    case RendererClient::kAnswerRefused:
      return L"The renderer's answer for this document was out of bounds and refused.";
    case pdfrender::kEncryptionLost:
      return L"The document is encrypted and damaged: what it needs to be read was lost.";
    case pdfrender::kBeyondRepair:
      return L"The document is damaged, and too large to be repaired.";
    default:
      return L"The document could not be read: the renderer failed on it.";
  }
}

// Makes the path whole against the host's current directory, once: the worker has a current
// directory of its own. Then gives clearer reasons than the worker can for what the file system
// already tells.
bool CheckPath(const std::wstring& path, std::wstring& full, std::wstring& reason) {
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  full.assign(needed, L'\0');
  const DWORD length = needed == 0 ? 0 : GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) {
    reason = L"The file does not exist.";
    return false;
  }
  full.resize(length);
  const DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    reason = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
                     error == ERROR_BAD_NETPATH
                 ? L"The file does not exist."
                 : L"The file cannot be read.";
    return false;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    reason = L"The path names a folder, not a file.";
    return false;
  }
  return true;
}

constexpr wchar_t kErrorSource[] = L"PdfControl";

// The thread's error information, for callers that take no EXCEPINFO or call through a vtable.
void ReportError(const std::wstring& reason) {
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create))) return;
  create->SetGUID(kDPdfId);
  create->SetSource(const_cast<LPOLESTR>(kErrorSource));
  create->SetDescription(const_cast<LPOLESTR>(reason.c_str()));
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
    SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
}

// Why an argument could not be taken: a number out of range is not of the wrong type.
HRESULT ArgumentFailure(HRESULT conversion, UINT position, UINT* argError) {
  if (argError) *argError = position;
  return conversion == DISP_E_OVERFLOW || conversion == E_OUTOFMEMORY ? conversion : DISP_E_TYPEMISMATCH;
}

// A single argument of a dispatch call, as a string.
HRESULT StringArgument(DISPPARAMS* params, std::wstring& out, UINT* argError) {
  VARIANT value;
  VariantInit(&value);
  HRESULT hr = VariantChangeType(&value, &params->rgvarg[0], 0, VT_BSTR);
  if (FAILED(hr)) return ArgumentFailure(hr, 0, argError);
  out.assign(value.bstrVal ? value.bstrVal : L"", value.bstrVal ? SysStringLen(value.bstrVal) : 0);
  VariantClear(&value);
  return S_OK;
}

}  // namespace

std::wstring WorkerPath() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(ThisModule(), path, MAX_PATH);
  std::wstring folder(path, n);
  folder.erase(folder.find_last_of(L'\\') + 1);
  return folder + L"PdfRender.exe";
}

PdfControl::PdfControl() { InterlockedIncrement(&serverLocks); }

PdfControl::~PdfControl() {
  Close(OLECLOSE_NOSAVE);
  ReleaseAndClear(clientSite_);
  ReleaseAndClear(adviseHolder_);
  ReleaseAndClear(viewSink_);
  InterlockedDecrement(&serverLocks);
}

STDMETHODIMP PdfControl::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kDPdfId) {
    *out = static_cast<IDispatch*>(this);
  } else if (iid == IID_IOleObject) {
    *out = static_cast<IOleObject*>(this);
  } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) {
    *out = static_cast<IOleInPlaceObject*>(this);
  } else if (iid == IID_IOleInPlaceActiveObject) {
    *out = static_cast<IOleInPlaceActiveObject*>(this);
  } else if (iid == IID_IPersist || iid == IID_IPersistStreamInit) {
    *out = static_cast<IPersistStreamInit*>(this);
  } else if (iid == IID_IOleControl) {
    *out = static_cast<IOleControl*>(this);
  } else if (iid == IID_IViewObject || iid == IID_IViewObject2) {
    *out = static_cast<IViewObject2*>(this);
  } else if (iid == IID_ISupportErrorInfo) {
    *out = static_cast<ISupportErrorInfo*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) PdfControl::AddRef() { return InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) PdfControl::Release() {
  const LONG left = InterlockedDecrement(&refs_);
  if (left == 0) {
    // Closing calls back into the site, which may take and drop a reference of its own: held
    // here, that cannot bring the count to 0 a second time.
    refs_ = 1;
    delete this;
  }
  return left;
}

// ---- _DPdf

STDMETHODIMP PdfControl::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

STDMETHODIMP PdfControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return DISP_E_BADINDEX;
}

STDMETHODIMP PdfControl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (!names || !ids || count == 0) return E_INVALIDARG;
  static const struct {
    const wchar_t* name;
    DISPID id;
  } kMembers[] = {{L"src", kDispSrc},   {L"OpenDocument", kDispOpenDocument}, {L"pageCount", kDispPageCount},
                  {L"busy", kDispBusy}, {L"currentPage", kDispCurrentPage},   {L"zoom", kDispZoom},
                  {L"find", kDispFind}, {L"selectedText", kDispSelectedText}, {L"print", kDispPrint}};
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  for (const auto& member : kMembers) {
    if (names[0] && lstrcmpiW(names[0], member.name) == 0) ids[0] = member.id;
  }
  if (ids[0] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  // No member has named arguments.
  if (count > 1) hr = DISP_E_UNKNOWNNAME;
  return hr;
}

STDMETHODIMP PdfControl::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO* exception, UINT* argError) {
  // The error information of an earlier call must not pass for this one's.
  SetErrorInfo(0, nullptr);
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  DISPPARAMS none{};
  if (!params) params = &none;
  if (params->cArgs > 0 && !params->rgvarg) return E_INVALIDARG;
  Failure failure;
  const HRESULT hr = GuardCom([&] { return Dispatch(id, flags, params, result, argError, failure); });
  if (failure.code == S_OK) {
    // What escaped the member is told as a failure of its own.
    if (hr == E_OUTOFMEMORY) {
      failure = {hr, L"There is not enough memory to do this."};
    } else if (hr == E_FAIL) {
      failure = {hr, L"The viewer control failed to do this."};
    } else {
      return hr;
    }
  }
  ReportError(failure.reason);
  if (!exception) return failure.code;
  std::memset(exception, 0, sizeof *exception);
  exception->scode = failure.code;
  exception->bstrSource = SysAllocString(kErrorSource);
  exception->bstrDescription = SysAllocString(failure.reason.c_str());
  return DISP_E_EXCEPTION;
}

STDMETHODIMP PdfControl::InterfaceSupportsErrorInfo(REFIID iid) {
  return iid == kDPdfId || iid == IID_IDispatch ? S_OK : S_FALSE;
}

HRESULT PdfControl::Dispatch(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argError,
                             Failure& failure) {
  switch (id) {
    case kDispSrc:
      return InvokeSrc(flags, params, result, failure);
    case kDispOpenDocument:
      return InvokeOpen(flags, params, result, argError);
    case kDispCurrentPage:
    case kDispZoom:
    case kDispFind:
    case kDispSelectedText:
      return InvokeReader(id, flags, params, result, argError);
    case kDispPrint:
      return InvokePrint(flags, params, result, argError, failure);
#ifdef FOLVANE_TEST_SEAMS
    case kDispTextHeld:
      return InvokeTextHeld(flags, params, result);
#endif
    case kDispPageCount:
    case kDispBusy: {
      if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
      if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
      if (!result) return S_OK;
      VariantInit(result);
      if (id == kDispPageCount) {
        result->vt = VT_I4;
        result->lVal = 0;
        // The count is only known through the window, which holds the open document.
        if (viewer_) result->lVal = viewer_->PageCount();
      } else {
        result->vt = VT_BOOL;
        result->boolVal = viewer_ && viewer_->Busy() ? VARIANT_TRUE : VARIANT_FALSE;
      }
      return S_OK;
    }
  }
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT PdfControl::InvokeSrc(WORD flags, DISPPARAMS* params, VARIANT* result, Failure& failure) {
  if (flags & DISPATCH_PROPERTYGET) {
    if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    if (!result) return S_OK;
    VariantInit(result);
    result->vt = VT_BSTR;
    result->bstrVal = src_.empty() ? nullptr : SysAllocStringLen(src_.data(), UINT(src_.size()));
    if (!src_.empty() && !result->bstrVal) return E_OUTOFMEMORY;
    return S_OK;
  }
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    if (params->cNamedArgs != 1 || !params->rgdispidNamedArgs || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
      return DISP_E_PARAMNOTOPTIONAL;
    }
    std::wstring path;
    HRESULT hr = StringArgument(params, path, nullptr);
    if (FAILED(hr)) return hr;
    if (path.empty()) {
      // An empty source closes the document.
      if (viewer_ && viewer_->HasDocument() && !src_.empty()) views_[FoldCase(src_)] = tools_->View();
      src_.clear();
      if (viewer_) viewer_->Clear();
      if (tools_) tools_->DocumentChanged();
      return S_OK;
    }
    if (OpenDocument(path)) return S_OK;
    // Writing a path that cannot be opened is reported, not taken as done.
    failure = {E_FAIL, L"Cannot open " + path};
    return failure.code;
  }
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT PdfControl::InvokeOpen(WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argError) {
  if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
  std::wstring path;
  HRESULT hr = StringArgument(params, path, argError);
  if (FAILED(hr)) return hr;
  const bool opened = OpenDocument(path);
  if (result) {
    VariantInit(result);
    result->vt = VT_BOOL;
    result->boolVal = opened ? VARIANT_TRUE : VARIANT_FALSE;
  }
  return S_OK;
}

#ifdef FOLVANE_TEST_SEAMS
HRESULT PdfControl::InvokeTextHeld(WORD flags, DISPPARAMS* params, VARIANT* result) {
  EnsureViewer();
  // Put: both sides' budgets, with a document open.
  const bool put = (flags & DISPATCH_PROPERTYPUT) && params->cArgs == 1 && params->rgvarg[0].vt == VT_I4 &&
                   params->rgvarg[0].lVal > 0;
  if (!put && (!(flags & DISPATCH_PROPERTYGET) || !result)) return DISP_E_MEMBERNOTFOUND;
  if (!viewer_->HasDocument()) return E_FAIL;
  TextJob job;
  job.generation = viewer_->Generation();
  job.held = true;
  if (put) {
    tools_->HeldText().SetBudget(size_t(params->rgvarg[0].lVal));
    job.heldBudget = uint32_t(params->rgvarg[0].lVal);
  }
  const TextAnswer answer = renderer_->WaitText(renderer_->RequestText(std::move(job)), 30000);
  if (put) return answer.failed ? E_FAIL : S_OK;
  uint32_t worker[2] = {0, 0};
  if (answer.failed || answer.text.size() != sizeof worker) return E_FAIL;
  std::memcpy(worker, answer.text.data(), sizeof worker);
  const TextCache& held = tools_->HeldText();
  const std::wstring text = std::to_wstring(held.Bytes()) + L" " + std::to_wstring(held.Budget()) + L" " +
                            std::to_wstring(worker[0]) + L" " + std::to_wstring(worker[1]);
  VariantInit(result);
  result->vt = VT_BSTR;
  result->bstrVal = SysAllocString(text.c_str());
  return S_OK;
}
#endif

HRESULT PdfControl::InvokeReader(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argError) {
  if (params->cNamedArgs != 0 && !(params->cNamedArgs == 1 && (flags & DISPATCH_PROPERTYPUT) &&
                                   params->rgdispidNamedArgs && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT)) {
    return DISP_E_NONAMEDARGS;
  }
  EnsureViewer();
  if (id == kDispFind) {
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (params->cArgs != 2) return DISP_E_BADPARAMCOUNT;
    VARIANT text, forward;
    VariantInit(&text);
    VariantInit(&forward);
    HRESULT hr = VariantChangeType(&text, &params->rgvarg[1], 0, VT_BSTR);
    if (FAILED(hr)) return ArgumentFailure(hr, 1, argError);
    hr = VariantChangeType(&forward, &params->rgvarg[0], 0, VT_BOOL);
    if (FAILED(hr)) {
      VariantClear(&text);
      return ArgumentFailure(hr, 0, argError);
    }
    const std::wstring query(text.bstrVal ? text.bstrVal : L"", text.bstrVal ? SysStringLen(text.bstrVal) : 0);
    VariantClear(&text);
    const bool found = tools_->Find(query, forward.boolVal != VARIANT_FALSE);
    if (result) {
      VariantInit(result);
      result->vt = VT_BOOL;
      result->boolVal = found ? VARIANT_TRUE : VARIANT_FALSE;
    }
    return S_OK;
  }
  if (flags & DISPATCH_PROPERTYGET) {
    if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    if (!result) return S_OK;
    VariantInit(result);
    if (id == kDispSelectedText) {
      const std::wstring text = tools_->SelectedText();
      result->vt = VT_BSTR;
      result->bstrVal = text.empty() ? nullptr : SysAllocStringLen(text.data(), UINT(text.size()));
      if (!text.empty() && !result->bstrVal) return E_OUTOFMEMORY;
      return S_OK;
    }
    result->vt = VT_I4;
    if (id == kDispCurrentPage) {
      result->lVal = viewer_->HasDocument() ? tools_->CurrentPage() + 1 : 0;
    } else {
      result->lVal = tools_->ZoomPercent();
    }
    return S_OK;
  }
  if ((flags & DISPATCH_PROPERTYPUT) && id != kDispSelectedText) {
    if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    VARIANT value;
    VariantInit(&value);
    const HRESULT hr = VariantChangeType(&value, &params->rgvarg[0], 0, VT_I4);
    if (FAILED(hr)) return ArgumentFailure(hr, 0, argError);
    // Out of range goes to the nearest page or zoom.
    if (id == kDispCurrentPage) {
      tools_->GoToPage(std::max<LONG>(value.lVal, 1) - 1);
    } else {
      tools_->SetZoomPercent(value.lVal);
    }
    return S_OK;
  }
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT PdfControl::InvokePrint(WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argError, Failure& failure) {
  if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (params->cArgs != 2) return DISP_E_BADPARAMCOUNT;
  VARIANT from, to;
  VariantInit(&from);
  VariantInit(&to);
  HRESULT hr = VariantChangeType(&from, &params->rgvarg[1], 0, VT_I4);
  if (FAILED(hr)) return ArgumentFailure(hr, 1, argError);
  hr = VariantChangeType(&to, &params->rgvarg[0], 0, VT_I4);
  if (FAILED(hr)) return ArgumentFailure(hr, 0, argError);
  EnsureViewer();
  const std::wstring reason = tools_->Print(int(from.lVal) - 1, int(to.lVal) - 1);
  if (!reason.empty()) {
    failure = {E_FAIL, reason};
    return failure.code;
  }
  if (result) {
    VariantInit(result);
    result->vt = VT_BOOL;
    result->boolVal = VARIANT_TRUE;
  }
  return S_OK;
}

void PdfControl::EnsureViewer() {
  if (!renderer_) renderer_ = std::make_unique<RendererClient>(WorkerPath());
  if (!viewer_) {
    viewer_ = std::make_unique<ViewerWindow>(*renderer_);
    viewer_->onFocus = [this] { UIActivate(); };
    viewer_->onReplaced = [this] {
      OpenResult replaced;
      if (!renderer_->TakeReplaced(replaced)) return;
      viewer_->ShowDocument(replaced.generation, replaced.pages, replaced.pageCount, replaced.repaired);
      if (tools_) tools_->DocumentChanged();
    };
  }
  if (!tools_) tools_ = std::make_unique<ReaderTools>(*viewer_, *renderer_);
}

bool PdfControl::OpenDocument(const std::wstring& path) {
  EnsureViewer();
  if (!src_.empty() && viewer_->HasDocument()) views_[FoldCase(src_)] = tools_->View();
  const bool opened = OpenAndShow(path);
  tools_->SetDocumentTitle(src_.empty() ? std::wstring() : FileNameOf(src_));
  tools_->DocumentChanged();
  if (opened) {
    auto it = views_.find(FoldCase(src_));
    if (it != views_.end()) tools_->Restore(it->second);
  }
  return opened;
}

bool PdfControl::OpenAndShow(const std::wstring& path) {
  src_.clear();
  std::wstring reason;
  if (path.empty()) {
    renderer_->CloseDocument();
    viewer_->ShowMessage(L"No document", L"No file name was given.");
    return false;
  }
  std::wstring full;
  if (!CheckPath(path, full, reason)) {
    renderer_->CloseDocument();
    viewer_->ShowMessage(L"Cannot open " + FileNameOf(path), reason);
    return false;
  }
  OpenResult opened = renderer_->Open(full);
  if (opened.code != pdfrender::kOk) {
    viewer_->ShowMessage(L"Cannot open " + FileNameOf(path), ReasonFor(opened.code));
    return false;
  }
  src_ = full;
  viewer_->ShowDocument(opened.generation, opened.pages, opened.pageCount, opened.repaired);
  return true;
}

// ---- IOleObject

STDMETHODIMP PdfControl::SetClientSite(IOleClientSite* site) {
  if (site) site->AddRef();
  ReleaseAndClear(clientSite_);
  clientSite_ = site;
  return S_OK;
}

STDMETHODIMP PdfControl::GetClientSite(IOleClientSite** site) {
  if (!site) return E_POINTER;
  *site = clientSite_;
  if (clientSite_) clientSite_->AddRef();
  return S_OK;
}

STDMETHODIMP PdfControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

STDMETHODIMP PdfControl::Close(DWORD) {
  return GuardCom([&]() -> HRESULT {
    InPlaceDeactivate();
    tools_.reset();
    viewer_.reset();
    renderer_.reset();  // stops the worker
    src_.clear();
    if (adviseHolder_) adviseHolder_->SendOnClose();
    return S_OK;
  });
}

STDMETHODIMP PdfControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

STDMETHODIMP PdfControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP PdfControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

STDMETHODIMP PdfControl::GetClipboardData(DWORD, IDataObject** data) {
  if (data) *data = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP PdfControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT bounds) {
  return GuardCom([&]() -> HRESULT {
    switch (verb) {
      case OLEIVERB_PRIMARY:
      case OLEIVERB_SHOW:
      case OLEIVERB_INPLACEACTIVATE:
        return ActivateInPlace(site, parent, bounds, false);
      case OLEIVERB_UIACTIVATE:
        return ActivateInPlace(site, parent, bounds, true);
      case OLEIVERB_HIDE:
        UIDeactivate();
        if (viewer_ && viewer_->Handle()) ShowWindow(viewer_->Handle(), SW_HIDE);
        return S_OK;
      default:
        return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
    }
  });
}

HRESULT PdfControl::ActivateInPlace(IOleClientSite* site, HWND parent, LPCRECT bounds, bool uiActivate) {
  if (!site) site = clientSite_;
  if (!inPlaceSite_) {
    if (!site) return E_UNEXPECTED;
    IOleInPlaceSite* inPlace = nullptr;
    if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace)))) {
      return E_NOINTERFACE;
    }
    if (inPlace->CanInPlaceActivate() != S_OK) {
      inPlace->Release();
      return E_FAIL;
    }
    // Held before the call: the site asks this object for its in-place interfaces there.
    inPlaceSite_ = inPlace;
    if (FAILED(inPlace->OnInPlaceActivate())) {
      ReleaseAndClear(inPlaceSite_);
      return E_FAIL;
    }
    HWND siteWindow = nullptr;
    if (FAILED(inPlace->GetWindow(&siteWindow)) || !siteWindow) siteWindow = parent;
    RECT position{}, clip{};
    if (bounds) position = *bounds;
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof frameInfo;
    if (SUCCEEDED(inPlace->GetWindowContext(&frame_, &uiWindow_, &position, &clip, &frameInfo))) {
      if (bounds) position = *bounds;
    }
    EnsureViewer();
    if (!siteWindow || !viewer_->Create(siteWindow, position)) {
      InPlaceDeactivate();
      return E_FAIL;
    }
    tools_->Attach();
  }
  if (viewer_ && viewer_->Handle()) ShowWindow(viewer_->Handle(), SW_SHOWNA);
  if (uiActivate) {
    UIActivate();
    if (viewer_ && viewer_->Handle() && GetFocus() != viewer_->Handle()) SetFocus(viewer_->Handle());
  }
  return S_OK;
}

void PdfControl::UIActivate() {
  if (uiActive_ || !inPlaceSite_) return;
  uiActive_ = true;
  inPlaceSite_->OnUIActivate();
  IOleInPlaceActiveObject* active = this;
  if (frame_) frame_->SetActiveObject(active, L"PDF document");
  if (uiWindow_) uiWindow_->SetActiveObject(active, L"PDF document");
}

STDMETHODIMP PdfControl::EnumVerbs(IEnumOLEVERB** verbs) {
  if (!verbs) return E_POINTER;
  *verbs = nullptr;
  return OLEOBJ_E_NOVERBS;
}

STDMETHODIMP PdfControl::Update() { return S_OK; }
STDMETHODIMP PdfControl::IsUpToDate() { return S_OK; }

STDMETHODIMP PdfControl::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }

STDMETHODIMP PdfControl::GetUserType(DWORD, LPOLESTR* type) {
  if (type) *type = nullptr;
  return OLE_S_USEREG;
}

STDMETHODIMP PdfControl::SetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!size) return E_POINTER;
  if (size->cx <= 0 || size->cy <= 0) return E_INVALIDARG;
  if (size->cx != extent_.cx || size->cy != extent_.cy) dirty_ = true;
  extent_ = *size;
  return S_OK;
}

STDMETHODIMP PdfControl::GetExtent(DWORD aspect, SIZEL* size) {
  if (!size) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = extent_;
  return S_OK;
}

STDMETHODIMP PdfControl::Advise(IAdviseSink* sink, DWORD* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!adviseHolder_ && FAILED(CreateOleAdviseHolder(&adviseHolder_))) return E_OUTOFMEMORY;
  return adviseHolder_->Advise(sink, cookie);
}

STDMETHODIMP PdfControl::Unadvise(DWORD cookie) {
  return adviseHolder_ ? adviseHolder_->Unadvise(cookie) : OLE_E_NOCONNECTION;
}

STDMETHODIMP PdfControl::EnumAdvise(IEnumSTATDATA** advise) {
  if (!advise) return E_POINTER;
  *advise = nullptr;
  return adviseHolder_ ? adviseHolder_->EnumAdvise(advise) : E_FAIL;
}

STDMETHODIMP PdfControl::GetMiscStatus(DWORD, DWORD* status) {
  if (!status) return E_POINTER;
  *status = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
            OLEMISC_SETCLIENTSITEFIRST;
  return S_OK;
}

STDMETHODIMP PdfControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject

STDMETHODIMP PdfControl::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = viewer_ ? viewer_->Handle() : nullptr;
  return *window ? S_OK : E_FAIL;
}

STDMETHODIMP PdfControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP PdfControl::InPlaceDeactivate() {
  return GuardCom([&]() -> HRESULT {
    if (!inPlaceSite_) return S_OK;
    UIDeactivate();
    if (viewer_) viewer_->Destroy();
    ReleaseAndClear(frame_);
    ReleaseAndClear(uiWindow_);
    IOleInPlaceSite* site = inPlaceSite_;
    inPlaceSite_ = nullptr;
    site->OnInPlaceDeactivate();
    site->Release();
    return S_OK;
  });
}

STDMETHODIMP PdfControl::UIDeactivate() {
  if (!uiActive_) return S_OK;
  uiActive_ = false;
  if (uiWindow_) uiWindow_->SetActiveObject(nullptr, nullptr);
  if (frame_) frame_->SetActiveObject(nullptr, nullptr);
  if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
  return S_OK;
}

STDMETHODIMP PdfControl::SetObjectRects(LPCRECT position, LPCRECT) {
  return GuardCom([&]() -> HRESULT {
    if (!position) return E_POINTER;
    if (viewer_ && viewer_->Handle()) {
      SetWindowPos(viewer_->Handle(), nullptr, position->left, position->top, position->right - position->left,
                   position->bottom - position->top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return S_OK;
  });
}

STDMETHODIMP PdfControl::ReactivateAndUndo() { return E_NOTIMPL; }

// The window handles its own keys; only those that a container's dialog handling would take
// from the toolbar (Tab between its fields, Enter, Escape, F3, Ctrl+F, Ctrl+G) are taken here.
STDMETHODIMP PdfControl::TranslateAccelerator(LPMSG msg) {
  return GuardCom([&] { return msg && tools_ && tools_->TranslateKey(*msg) ? S_OK : S_FALSE; });
}
STDMETHODIMP PdfControl::OnFrameWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP PdfControl::OnDocWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP PdfControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
STDMETHODIMP PdfControl::EnableModeless(BOOL) { return S_OK; }

// ---- IPersistStreamInit

STDMETHODIMP PdfControl::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = kControlClassId;
  return S_OK;
}

STDMETHODIMP PdfControl::IsDirty() { return dirty_ ? S_OK : S_FALSE; }

STDMETHODIMP PdfControl::Load(LPSTREAM stream) {
  if (!stream) return E_POINTER;
  if (initialized_) return E_UNEXPECTED;
  unsigned char state[kStateSize] = {};
  ULONG read = 0;
  HRESULT hr = stream->Read(state, kStateSize, &read);
  if (FAILED(hr)) return hr;
  if (read < 12) return STG_E_READFAULT;
  DWORD format = 0;
  SIZEL extent{};
  std::memcpy(&format, state, 4);
  std::memcpy(&extent.cx, state + 4, 4);
  std::memcpy(&extent.cy, state + 8, 4);
  // Another format, or an extent beyond any screen, is not ours to guess at.
  if ((format >> 16) != (kStateFormat >> 16) || extent.cx <= 0 || extent.cy <= 0 || extent.cx > 10'000'000 ||
      extent.cy > 10'000'000) {
    return E_INVALIDARG;
  }
  extent_ = extent;
  initialized_ = true;
  dirty_ = false;
  return S_OK;
}

STDMETHODIMP PdfControl::Save(LPSTREAM stream, BOOL clearDirty) {
  if (!stream) return E_POINTER;
  unsigned char state[kStateSize] = {};
  const DWORD format = kStateFormat;
  std::memcpy(state, &format, 4);
  std::memcpy(state + 4, &extent_.cx, 4);
  std::memcpy(state + 8, &extent_.cy, 4);
  ULONG written = 0;
  HRESULT hr = stream->Write(state, kStateSize, &written);
  if (FAILED(hr)) return hr;
  if (written != kStateSize) return STG_E_WRITEFAULT;
  if (clearDirty) dirty_ = false;
  return S_OK;
}

STDMETHODIMP PdfControl::GetSizeMax(ULARGE_INTEGER* size) {
  if (!size) return E_POINTER;
  size->QuadPart = kStateSize;
  return S_OK;
}

STDMETHODIMP PdfControl::InitNew() {
  if (initialized_) return E_UNEXPECTED;
  initialized_ = true;
  return S_OK;
}

// ---- IOleControl

STDMETHODIMP PdfControl::GetControlInfo(CONTROLINFO* info) {
  if (!info) return E_POINTER;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

STDMETHODIMP PdfControl::OnMnemonic(MSG*) { return E_NOTIMPL; }
STDMETHODIMP PdfControl::OnAmbientPropertyChange(DISPID) { return S_OK; }
STDMETHODIMP PdfControl::FreezeEvents(BOOL) { return S_OK; }

// ---- IViewObject2

STDMETHODIMP PdfControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                              BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  return GuardCom([&]() -> HRESULT {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!dc || !bounds) return E_INVALIDARG;
    EnsureViewer();
    const RECT where{bounds->left, bounds->top, bounds->right, bounds->bottom};
    viewer_->Draw(dc, where);
    return S_OK;
  });
}

STDMETHODIMP PdfControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colours) {
  if (colours) *colours = nullptr;
  return S_FALSE;
}

STDMETHODIMP PdfControl::Freeze(DWORD, LONG, void*, DWORD* cookie) {
  if (cookie) *cookie = 0;
  return E_NOTIMPL;
}

STDMETHODIMP PdfControl::Unfreeze(DWORD) { return E_NOTIMPL; }

STDMETHODIMP PdfControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  if (sink) sink->AddRef();
  ReleaseAndClear(viewSink_);
  viewSink_ = sink;
  viewAspects_ = aspects;
  viewFlags_ = flags;
  return S_OK;
}

STDMETHODIMP PdfControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects) *aspects = viewAspects_;
  if (flags) *flags = viewFlags_;
  if (sink) {
    *sink = viewSink_;
    if (viewSink_) viewSink_->AddRef();
  }
  return S_OK;
}

STDMETHODIMP PdfControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

}  // namespace pdfview
