// The ini control over the platform's private-profile functions.
#include "effects/LMDIniCtrl.h"

#include <windows.h>

#include <memory>
#include <vector>

#include "framework/Streaming.h"

namespace {

std::string ProgramIniPath() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string result(path, n);
  std::size_t dot = result.find_last_of('.');
  std::size_t slash = result.find_last_of('\\');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) result.erase(dot);
  return result + ".ini";
}

}  // namespace

TLMDIniCtrl::TLMDIniCtrl(TComponent* owner) : TComponent(owner), iniFile_(ProgramIniPath()) {
  // The owner's insertion notice went out while this was still a bare component, so nobody
  // could tell it was an ini control: the owner's other components hear of it again now.
  if (!owner) return;
  std::vector<TComponent*> siblings;
  for (int i = 0; i < owner->ComponentCount(); ++i)
    if (owner->Components(i) != this) siblings.push_back(owner->Components(i));
  for (TComponent* sibling : siblings) sibling->Notification(this, opInsert);
}

bool TLMDIniCtrl::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "IniFile") {
    SetIniFile(reader.ReadString());
    return true;
  }
  return TComponent::ReadProperty(reader, name);
}

std::string TLMDIniCtrl::ReadString(const std::string& section, const std::string& key) const {
  // The platform truncates to the buffer and says so only by filling it: grow until it fits.
  for (DWORD size = 256; size <= (1u << 20); size *= 4) {
    std::vector<char> buffer(size);
    DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(), size, iniFile_.c_str());
    if (n < size - 1) return std::string(buffer.data(), n);
  }
  return std::string();
}

void TLMDIniCtrl::WriteString(const std::string& section, const std::string& key, const std::string& value) const {
  WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), iniFile_.c_str());
}

void TLMDIniCtrl::DeleteKey(const std::string& section, const std::string& key) const {
  WritePrivateProfileStringA(section.c_str(), key.c_str(), nullptr, iniFile_.c_str());
}

TLMDIniCtrl* LMDGlobalIniCtrl() {
  static std::unique_ptr<TLMDIniCtrl, void (*)(TLMDIniCtrl*)> global(new TLMDIniCtrl(nullptr),
                                                                     [](TLMDIniCtrl* c) { TObject::Free(c); });
  return global.get();
}

void RegisterEffectsClasses() {
  RegisterComponentClass("TLMDIniCtrl", [](TComponent* owner) { return new TLMDIniCtrl(owner); });
}
