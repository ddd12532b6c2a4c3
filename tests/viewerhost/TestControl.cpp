// The recording test control: one object answering the interfaces a control container uses,
// plus two connection points (property changes and events).
#include "tests/viewerhost/TestControl.h"

#include <olectl.h>

#include <cstdio>

namespace {

TestControlConfig config;
std::vector<std::string> callLog;
InvokeRecord lastInvoke;
std::map<DISPID, VARIANT> properties;
std::vector<UINT> reflected;
int live = 0;
int liveAfterOwnLoop = -1;
bool registered = false;
DWORD viewerCookie = 0;

void Log(std::string call) { callLog.push_back(std::move(call)); }

// Interfaces in the record were not referenced when recorded.
void ClearRecord() {
  for (VARIANT& v : lastInvoke.args)
    if (v.vt != VT_DISPATCH && v.vt != VT_UNKNOWN) VariantClear(&v);
  lastInvoke = InvokeRecord{};
}

LRESULT CALLBACK ControlWindowProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg >= 0x2000 && msg < 0x3000) {
    reflected.push_back(msg);
    return 0x2A;
  }
  if (msg == WM_QUERYNEWPALETTE) {
    TestControlLog().push_back("Window.QueryNewPalette");
    return TestConfig().realisesPalette ? 1 : 0;
  }
  return DefWindowProcA(window, msg, wp, lp);
}

const char* WindowClassName() {
  static bool done = false;
  if (!done) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = ControlWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "FolvaneTestControl";
    RegisterClassA(&wc);
    done = true;
  }
  return "FolvaneTestControl";
}

class TestConnectionPoint final : public IConnectionPoint {
 public:
  TestConnectionPoint(IConnectionPointContainer* owner, IID iid, const char* name)
      : owner_(owner), iid_(iid), name_(name) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }
  STDMETHODIMP GetConnectionInterface(IID* iid) override {
    *iid = iid_;
    return S_OK;
  }
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** c) override {
    *c = owner_;
    owner_->AddRef();
    return S_OK;
  }
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
    if (sink_) return CONNECT_E_ADVISELIMIT;
    IUnknown* typed = nullptr;
    if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(&typed)))) return CONNECT_E_CANNOTCONNECT;
    sink_ = typed;
    *cookie = 7;
    Log(std::string("Advise ") + name_);
    return S_OK;
  }
  STDMETHODIMP Unadvise(DWORD cookie) override {
    Log(std::string("Unadvise ") + name_);
    if (config.refuseUnadvise && iid_ == kTestEventsId) return E_FAIL;
    if (config.refusePropertyUnadvise && iid_ == IID_IPropertyNotifySink) return E_FAIL;
    if (cookie != 7 || !sink_) return CONNECT_E_NOCONNECTION;
    sink_->Release();
    sink_ = nullptr;
    return S_OK;
  }
  STDMETHODIMP EnumConnections(IEnumConnections** e) override {
    *e = nullptr;
    return E_NOTIMPL;
  }
  IUnknown* Sink() const { return sink_; }
  void Drop() {
    if (sink_) sink_->Release();
    sink_ = nullptr;
  }

 private:
  IConnectionPointContainer* owner_;
  IID iid_;
  const char* name_;
  IUnknown* sink_ = nullptr;
};

class TestControl final : public IOleObject,
                          public IPersistStreamInit,
                          public IOleControl,
                          public IDispatch,
                          public IOleInPlaceObject,
                          public IOleInPlaceActiveObject,
                          public IConnectionPointContainer,
                          public IViewObject {
 public:
  TestControl()
      : propertyPoint_(this, IID_IPropertyNotifySink, "PropertyNotifySink"),
        eventPoint_(this, kTestEventsId, "Events") {
    ++live;
  }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleObject)) *out = static_cast<IOleObject*>(this);
    else if (IsEqualIID(iid, IID_IPersistStreamInit)) *out = static_cast<IPersistStreamInit*>(this);
    else if (IsEqualIID(iid, IID_IOleControl) && !config.noOleControl) *out = static_cast<IOleControl*>(this);
    else if (IsEqualIID(iid, IID_IDispatch) && !config.noDispatch) *out = static_cast<IDispatch*>(this);
    else if (IsEqualIID(iid, kViewerDispatchId) && !config.noViewerDispatch) {
      Log("QueryInterface _DPdf");
      *out = static_cast<IDispatch*>(this);
    } else if (IsEqualIID(iid, IID_IOleInPlaceObject) || IsEqualIID(iid, IID_IOleWindow))
      *out = static_cast<IOleInPlaceObject*>(this);
    else if (IsEqualIID(iid, IID_IOleInPlaceActiveObject)) *out = static_cast<IOleInPlaceActiveObject*>(this);
    else if (IsEqualIID(iid, IID_IConnectionPointContainer)) *out = static_cast<IConnectionPointContainer*>(this);
    else if (IsEqualIID(iid, IID_IViewObject)) *out = static_cast<IViewObject*>(this);
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG n = --refs_;
    if (n == 0) {
      Log("Destroyed");
      delete this;
    }
    return n;
  }

  // IOleObject
  STDMETHODIMP SetClientSite(IOleClientSite* site) override {
    Log(site ? "SetClientSite(site)" : "SetClientSite(null)");
    if (site) site->AddRef();
    if (site_) site_->Release();
    site_ = site;
    return S_OK;
  }
  STDMETHODIMP GetClientSite(IOleClientSite** site) override {
    Log("GetClientSite");
    *site = site_;
    if (site_) site_->AddRef();
    return S_OK;
  }
  STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP Close(DWORD option) override {
    Log("Close(" + std::to_string(option) + ")");
    if (active_) {
      active_ = false;
      if (inPlaceSite_) inPlaceSite_->OnInPlaceDeactivate();
    }
    if (inPlaceSite_) inPlaceSite_->Release();
    inPlaceSite_ = nullptr;
    // The window outlives the activation, as in controls that keep theirs until freed.
    if (window_) ShowWindow(window_, SW_HIDE);
    return S_OK;
  }
  STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** m) override {
    *m = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP GetClipboardData(DWORD, IDataObject** d) override {
    *d = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT bounds) override {
    char text[96];
    std::snprintf(text, sizeof text, "DoVerb(%ld, %ld,%ld,%ld,%ld)", static_cast<long>(verb), bounds->left, bounds->top,
                  bounds->right, bounds->bottom);
    Log(text);
    // UI activation as real controls do it: tell the site, then take the focus.
    if (verb == OLEIVERB_UIACTIVATE && active_ && inPlaceSite_) {
      inPlaceSite_->OnUIActivate();
      if (window_) SetFocus(window_);
      return S_OK;
    }
    if (verb != OLEIVERB_INPLACEACTIVATE || active_) return S_OK;
    if (config.noInPlace) return E_FAIL;
    IOleInPlaceSite* ip = nullptr;
    if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&ip)))) return E_FAIL;
    if (inPlaceSite_) inPlaceSite_->Release();
    inPlaceSite_ = ip;
    if (ip->CanInPlaceActivate() != S_OK) return E_FAIL;
    ip->OnInPlaceActivate();
    active_ = true;
    HWND siteWindow = nullptr;
    ip->GetWindow(&siteWindow);
    if (siteWindow != parent) Log("site window differs from parent");
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* doc = nullptr;
    RECT pos{}, clip{};
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof info;
    ip->GetWindowContext(&frame, &doc, &pos, &clip, &info);
    if (frame) frame->Release();
    if (doc) doc->Release();
    if (!window_ && !config.noWindow)
      window_ =
          CreateWindowExA(0, WindowClassName(), "", WS_CHILD | WS_VISIBLE, pos.left, pos.top, pos.right - pos.left,
                          pos.bottom - pos.top, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
    else if (window_) ShowWindow(window_, SW_SHOW);
    return S_OK;
  }
  STDMETHODIMP EnumVerbs(IEnumOLEVERB** e) override {
    *e = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP Update() override { return S_OK; }
  STDMETHODIMP IsUpToDate() override { return S_OK; }
  STDMETHODIMP GetUserClassID(CLSID* id) override {
    *id = kTestControlClassId;
    return S_OK;
  }
  STDMETHODIMP GetUserType(DWORD, LPOLESTR* t) override {
    *t = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP SetExtent(DWORD, SIZEL* size) override {
    Log("SetExtent(" + std::to_string(size->cx) + "," + std::to_string(size->cy) + ")");
    if (config.failSetExtent) return E_FAIL;
    config.extent = *size;
    return S_OK;
  }
  STDMETHODIMP GetExtent(DWORD, SIZEL* size) override {
    Log("GetExtent");
    *size = config.extent;
    return S_OK;
  }
  STDMETHODIMP Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP Unadvise(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP EnumAdvise(IEnumSTATDATA** e) override {
    *e = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) override {
    Log("GetMiscStatus");
    *status = config.miscStatus;
    return S_OK;
  }
  STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IPersistStreamInit
  STDMETHODIMP GetClassID(CLSID* id) override {
    *id = kTestControlClassId;
    return S_OK;
  }
  STDMETHODIMP IsDirty() override { return S_FALSE; }
  STDMETHODIMP Load(LPSTREAM stream) override {
    std::string bytes;
    char buffer[64];
    ULONG got = 0;
    while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &got)) && got > 0) bytes.append(buffer, got);
    std::string hex;
    for (unsigned char c : bytes) {
      char h[4];
      std::snprintf(h, sizeof h, "%02X", c);
      hex += h;
    }
    Log("Load(" + hex + ")");
    return S_OK;
  }
  STDMETHODIMP Save(LPSTREAM stream, BOOL clear) override {
    Log(clear ? "Save(clear)" : "Save");
    static const char state[] = "STATE";
    return stream->Write(state, 5, nullptr);
  }
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override {
    size->QuadPart = 5;
    return S_OK;
  }
  STDMETHODIMP InitNew() override {
    Log("InitNew");
    return S_OK;
  }

  // IOleControl
  // One mnemonic: the key M.
  STDMETHODIMP GetControlInfo(CONTROLINFO* info) override {
    Log("GetControlInfo(" + std::to_string(info->cb) + ")");
    if (!accelerators_) {
      ACCEL mnemonic{FVIRTKEY, 'M', 1};
      accelerators_ = CreateAcceleratorTableA(&mnemonic, 1);
    }
    info->hAccel = accelerators_;
    info->cAccel = 1;
    info->dwFlags = 0;
    return S_OK;
  }
  STDMETHODIMP OnMnemonic(MSG* msg) override {
    Log("OnMnemonic(" + std::to_string(msg->wParam) + ")");
    return S_OK;
  }
  STDMETHODIMP OnAmbientPropertyChange(DISPID id) override {
    Log("OnAmbientPropertyChange(" + std::to_string(id) + ")");
    return S_OK;
  }
  STDMETHODIMP FreezeEvents(BOOL) override { return S_OK; }

  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** t) override {
    *t = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    static const std::map<std::wstring, DISPID> known{
        {L"Caption", 5}, {L"Raise", kDispRaise}, {L"Value", 6}, {L"Append", 7}};
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      auto it = known.find(names[i]);
      ids[i] = it == known.end() ? DISPID_UNKNOWN : it->second;
      if (it == known.end()) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                      UINT*) override {
    ClearRecord();
    lastInvoke.id = id;
    lastInvoke.flags = flags;
    lastInvoke.hadResult = result != nullptr;
    lastInvoke.hadExcepInfo = info != nullptr;
    for (UINT i = 0; i < params->cArgs; ++i) {
      VARIANT copy;
      VariantInit(&copy);
      // A null BSTR is kept as null (copying would make it empty); interfaces are not held.
      const VARIANT& arg = params->rgvarg[i];
      if ((arg.vt & VT_BYREF) || (arg.vt == VT_BSTR && !arg.bstrVal) || arg.vt == VT_DISPATCH || arg.vt == VT_UNKNOWN)
        copy = arg;
      else VariantCopy(&copy, &params->rgvarg[i]);
      lastInvoke.args.push_back(copy);
    }
    for (UINT i = 0; i < params->cNamedArgs; ++i) lastInvoke.named.push_back(params->rgdispidNamedArgs[i]);
    Log("Invoke(" + std::to_string(id) + ")");
    switch (id) {
      case kDispClickThenWait: {
        FireEvent(DISPID_CLICK);
        // A modal loop of the control's own (a dialog) while its call is still running.
        DWORD start = GetTickCount();
        MSG msg;
        while (GetTickCount() - start < 200) {
          while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
          Sleep(5);
        }
        liveAfterOwnLoop = live;
        return S_OK;
      }
      case kDispRaise:
        info->scode = E_ABORT;
        info->bstrSource = SysAllocString(L"TestControl");
        info->bstrHelpFile = SysAllocString(L"test.hlp");
        info->dwHelpContext = 42;
        {
          std::wstring text(config.exceptionText.begin(), config.exceptionText.end());
          info->bstrDescription = SysAllocString(text.c_str());
        }
        return DISP_E_EXCEPTION;
      case kDispFail:
        return E_INVALIDARG;
      case kDispNoText:
        return static_cast<HRESULT>(0x80040154);
      case kDispLeaveEmpty:
        return S_OK;
      case kDispOpen:
        if (params->cArgs != 1 || params->rgvarg[0].vt != VT_BSTR) return DISP_E_BADPARAMCOUNT;
        if (!params->rgvarg[0].bstrVal) return S_OK;
        if (std::wstring(params->rgvarg[0].bstrVal) == L"bad") {
          info->scode = E_FAIL;
          info->bstrDescription = SysAllocString(L"Cannot open the document.");
          return DISP_E_EXCEPTION;
        }
        if (result) {
          result->vt = VT_BOOL;
          result->boolVal = VARIANT_TRUE;
        }
        return S_OK;
      case 7:  // Append: appends "!" to a by-reference string
        if (params->cArgs == 1 && params->rgvarg[0].vt == (VT_BSTR | VT_BYREF)) {
          std::wstring s = *params->rgvarg[0].pbstrVal ? *params->rgvarg[0].pbstrVal : L"";
          SysFreeString(*params->rgvarg[0].pbstrVal);
          *params->rgvarg[0].pbstrVal = SysAllocString((s + L"!").c_str());
        }
        return S_OK;
      default:
        break;
    }
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
      if (params->cArgs < 1) return DISP_E_BADPARAMCOUNT;
      VARIANT& slot = properties[id];
      VariantClear(&slot);
      VariantCopy(&slot, &params->rgvarg[0]);
      // Like real controls, report the change to the container.
      if (auto* sink = static_cast<IPropertyNotifySink*>(propertyPoint_.Sink())) sink->OnChanged(id);
      return S_OK;
    }
    if (result && (flags & DISPATCH_PROPERTYGET)) {
      auto it = properties.find(id);
      if (it == properties.end()) return DISP_E_MEMBERNOTFOUND;
      VariantCopy(result, &it->second);
    }
    return S_OK;
  }

  // IOleInPlaceObject / IOleInPlaceActiveObject
  STDMETHODIMP GetWindow(HWND* window) override {
    Log("GetWindow");
    *window = config.noWindow ? nullptr : window_;
    return config.noWindow ? E_FAIL : S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return S_OK; }
  STDMETHODIMP InPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP UIDeactivate() override {
    Log("UIDeactivate");
    if (config.reportUIDeactivate && inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
  }
  STDMETHODIMP SetObjectRects(LPCRECT, LPCRECT) override { return S_OK; }
  STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(LPMSG msg) override {
    Log("TranslateAccelerator(" + std::to_string(msg->message) + "," + std::to_string(msg->wParam) + ")");
    return msg->wParam == VK_F2 ? S_OK : S_FALSE;
  }
  STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

  // IViewObject: the content is one recognisable colour.
  STDMETHODIMP Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                    BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override {
    if (!bounds) return E_INVALIDARG;
    char text[64];
    std::snprintf(text, sizeof text, "Draw(%lu, %ld,%ld,%ld,%ld)", static_cast<unsigned long>(aspect), bounds->left,
                  bounds->top, bounds->right, bounds->bottom);
    Log(text);
    RECT r{bounds->left, bounds->top, bounds->right, bounds->bottom};
    HBRUSH brush = CreateSolidBrush(kDrawColor);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    return S_OK;
  }
  STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** set) override {
    *set = nullptr;
    return S_FALSE;
  }
  STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD* freeze) override {
    *freeze = 0;
    return E_NOTIMPL;
  }
  STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP SetAdvise(DWORD, DWORD, IAdviseSink*) override { return E_NOTIMPL; }
  STDMETHODIMP GetAdvise(DWORD*, DWORD*, IAdviseSink** sink) override {
    *sink = nullptr;
    return E_NOTIMPL;
  }

  // IConnectionPointContainer
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** e) override {
    *e = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
    *point = nullptr;
    if (IsEqualIID(iid, IID_IPropertyNotifySink)) *point = &propertyPoint_;
    else if (IsEqualIID(iid, kTestEventsId)) *point = &eventPoint_;
    else return CONNECT_E_NOCONNECTION;
    (*point)->AddRef();
    return S_OK;
  }

 public:
  HRESULT FireEvent(DISPID id) {
    auto* sink = static_cast<IDispatch*>(eventPoint_.Sink());
    if (!sink) return S_FALSE;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    sink->AddRef();
    HRESULT hr = sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
    sink->Release();
    return hr;
  }
  HRESULT FirePropertyChange(DISPID id) {
    auto* sink = static_cast<IPropertyNotifySink*>(propertyPoint_.Sink());
    if (!sink) return S_FALSE;
    sink->AddRef();
    HRESULT hr = sink->OnChanged(id);
    sink->Release();
    return hr;
  }

 private:
  ~TestControl() {
    propertyPoint_.Drop();
    eventPoint_.Drop();
    if (site_) site_->Release();
    if (inPlaceSite_) inPlaceSite_->Release();
    if (window_) DestroyWindow(window_);
    if (accelerators_) DestroyAcceleratorTable(accelerators_);
    --live;
  }
  ULONG refs_ = 1;
  IOleClientSite* site_ = nullptr;
  IOleInPlaceSite* inPlaceSite_ = nullptr;
  bool active_ = false;
  HWND window_ = nullptr;
  HACCEL accelerators_ = nullptr;
  TestConnectionPoint propertyPoint_;
  TestConnectionPoint eventPoint_;
};

class TestFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (config.failCreate) return E_OUTOFMEMORY;
    auto* control = new TestControl();
    HRESULT hr = control->QueryInterface(iid, out);
    control->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

TestFactory factory;

}  // namespace

TestControlConfig& TestConfig() { return config; }
HRESULT FireControlEvent(IOleObject* control, DISPID id) { return static_cast<TestControl*>(control)->FireEvent(id); }
HRESULT FireControlPropertyChange(IOleObject* control, DISPID id) {
  return static_cast<TestControl*>(control)->FirePropertyChange(id);
}
int LiveAfterOwnLoop() { return liveAfterOwnLoop; }
std::vector<std::string>& TestControlLog() { return callLog; }
InvokeRecord& LastInvoke() { return lastInvoke; }
std::map<DISPID, VARIANT>& TestProperties() { return properties; }
std::vector<UINT>& ReflectedMessages() { return reflected; }
int LiveTestControls() { return live; }

std::vector<std::string> LoggedCalls(const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& c : callLog)
    if (c.rfind(prefix, 0) == 0) out.push_back(c);
  return out;
}

bool Logged(const std::string& call) {
  for (const auto& c : callLog)
    if (c == call) return true;
  return false;
}

void ResetTestControl() {
  if (!registered) {
    DWORD cookie = 0;
    CoRegisterClassObject(kTestControlClassId, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    registered = true;
  }
  if (!viewerCookie)
    CoRegisterClassObject(kViewerClassId, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &viewerCookie);
  config = TestControlConfig{};
  callLog.clear();
  reflected.clear();
  for (auto& p : properties) VariantClear(&p.second);
  properties.clear();
  ClearRecord();
}

void UseRealViewer() {
  if (viewerCookie) CoRevokeClassObject(viewerCookie);
  viewerCookie = 0;
}
