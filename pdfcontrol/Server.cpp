// The in-process server around the viewer control: class factory, unloading, and the
// registration under the control's class ID. Registration leaves another control that is
// already registered under the same class ID alone, unless asked with DllInstall "force"
// (regsvr32 /i:force); our own earlier registration, from any folder, is replaced.
// DllInstall "user" (regsvr32 /n /i:user) registers in the current user's own classes, which
// needs no administrator; "user,force" combines both.
#include "pdfcontrol/PdfControl.h"

#include "pdfcontrol/Guard.h"
#include "pdfcontrol/SystemLibrary.h"

#include <olectl.h>
#include <shlwapi.h>

#include <string>

using namespace pdfview;

namespace {

constexpr wchar_t kClassKey[] = L"CLSID\\{CA8A9780-280D-11CF-A24D-444553540000}";
constexpr wchar_t kOwnerValue[] = L"FolvaneStandIn";
constexpr wchar_t kDescription[] = L"Folvane PDF viewer control";

class ClassFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // A static object, which lives as long as the module: each reference held on it keeps the
  // module loaded.
  STDMETHODIMP_(ULONG) AddRef() override { return ULONG(InterlockedIncrement(&serverLocks)); }
  STDMETHODIMP_(ULONG) Release() override { return ULONG(InterlockedDecrement(&serverLocks)); }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* control = new (std::nothrow) PdfControl();
    if (!control) return E_OUTOFMEMORY;
    const HRESULT hr = control->QueryInterface(iid, out);
    control->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock) {
      InterlockedIncrement(&serverLocks);
    } else {
      InterlockedDecrement(&serverLocks);
    }
    return S_OK;
  }
};

ClassFactory factory;

// The key and everything below it; ERROR_SUCCESS or the registry's error.
LSTATUS DeleteTree(HKEY parent, const wchar_t* key) {
  auto* deleteKey = SystemFunction<decltype(SHDeleteKeyW)>(L"shlwapi.dll", "SHDeleteKeyW");
  return deleteKey ? deleteKey(parent, key) : ERROR_PROC_NOT_FOUND;
}

std::wstring ModulePath() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(ThisModule(), path, MAX_PATH);
  return std::wstring(path, n);
}

bool SetString(HKEY parent, const wchar_t* subkey, const wchar_t* name, const std::wstring& value) {
  HKEY key;
  if (RegCreateKeyExW(parent, subkey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                     DWORD((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

enum class Owner { kNone, kOurs, kForeign };

// Who holds the class ID in a classes key now: nobody, this stand-in (from any build), or
// another control.
Owner CurrentOwner(HKEY classes) {
  HKEY key;
  if (RegOpenKeyExW(classes, kClassKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return Owner::kNone;
  Owner owner = Owner::kNone;
  if (RegQueryValueExW(key, kOwnerValue, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
    owner = Owner::kOurs;
  } else {
    for (const wchar_t* server : {L"InprocServer32", L"LocalServer32"}) {
      HKEY sub;
      if (RegOpenKeyExW(key, server, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
        RegCloseKey(sub);
        owner = Owner::kForeign;
      }
    }
  }
  RegCloseKey(key);
  return owner;
}

// The classes key a registration goes to: the merged classes root, or the user's own.
class ClassesKey {
 public:
  explicit ClassesKey(bool user) {
    if (user && RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &user_,
                                nullptr) != ERROR_SUCCESS) {
      user_ = nullptr;
      failed_ = true;
    }
  }
  ~ClassesKey() {
    if (user_) RegCloseKey(user_);
  }
  ClassesKey(const ClassesKey&) = delete;
  ClassesKey& operator=(const ClassesKey&) = delete;
  bool Failed() const { return failed_; }
  HKEY Get() const { return user_ ? user_ : HKEY_CLASSES_ROOT; }

 private:
  HKEY user_ = nullptr;
  bool failed_ = false;
};

HRESULT Register(HKEY classes, bool force) {
  const Owner owner = CurrentOwner(classes);
  // A user's registration would hide a machine-wide one of another control just as well.
  const bool foreign = owner == Owner::kForeign || CurrentOwner(HKEY_CLASSES_ROOT) == Owner::kForeign;
  if (foreign && !force) return SELFREG_E_CLASS;
  if (owner != Owner::kNone) DeleteTree(classes, kClassKey);
  const std::wstring key = kClassKey;
  DWORD misc = 0;
  PdfControl* probe = new (std::nothrow) PdfControl();
  if (!probe) return E_OUTOFMEMORY;
  probe->GetMiscStatus(DVASPECT_CONTENT, &misc);
  probe->Release();
  const bool ok = SetString(classes, kClassKey, nullptr, kDescription) &&
                  SetString(classes, kClassKey, kOwnerValue, L"1") &&
                  SetString(classes, (key + L"\\InprocServer32").c_str(), nullptr, ModulePath()) &&
                  SetString(classes, (key + L"\\InprocServer32").c_str(), L"ThreadingModel", L"Apartment") &&
                  SetString(classes, (key + L"\\Control").c_str(), nullptr, L"") &&
                  SetString(classes, (key + L"\\MiscStatus").c_str(), nullptr, L"0") &&
                  SetString(classes, (key + L"\\MiscStatus\\1").c_str(), nullptr, std::to_wstring(misc));
  if (!ok) {
    DeleteTree(classes, kClassKey);
    return SELFREG_E_CLASS;
  }
  return S_OK;
}

HRESULT Unregister(HKEY classes) {
  switch (CurrentOwner(classes)) {
    case Owner::kNone:
      return S_OK;
    case Owner::kForeign:
      return SELFREG_E_CLASS;
    case Owner::kOurs:
      break;
  }
  return DeleteTree(classes, kClassKey) == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

// Whether a DllInstall command line ("force", "user", "user,force") names a word.
bool Names(LPCWSTR commandLine, const wchar_t* word) {
  if (!commandLine) return false;
  const std::wstring line = commandLine;
  const size_t length = lstrlenW(word);
  for (size_t start = 0; start <= line.size();) {
    size_t end = line.find_first_of(L", ", start);
    if (end == std::wstring::npos) end = line.size();
    if (end - start == length && CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, line.c_str() + start, int(length),
                                                word, int(length)) == CSTR_EQUAL) {
      return true;
    }
    start = end + 1;
  }
  return false;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid != kControlClassId) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() { return serverLocks == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  return GuardCom([] { return Register(HKEY_CLASSES_ROOT, false); });
}

STDAPI DllUnregisterServer() { return Unregister(HKEY_CLASSES_ROOT); }

STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
  return GuardCom([&] {
    const ClassesKey classes(Names(commandLine, L"user"));
    if (classes.Failed()) return SELFREG_E_CLASS;
    if (!install) return Unregister(classes.Get());
    return Register(classes.Get(), Names(commandLine, L"force"));
  });
}

}  // extern "C"
