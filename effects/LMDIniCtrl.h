// The effects library's settings store: texts under sections and keys of an ini file, read and
// written through the platform's private-profile functions.
//
//   TLMDIniCtrl        one ini file (by default named after the program, beside it); once
//                      made, the other components of its owner get an insertion notice
//   LMDGlobalIniCtrl   the process-wide control
#pragma once

#include <string>

#include "framework/Components.h"

class TLMDIniCtrl : public TComponent {
 public:
  explicit TLMDIniCtrl(TComponent* owner);
  std::string ClassName() const override { return "TLMDIniCtrl"; }
  bool ReadProperty(TReader& reader, std::string_view name) override;

  // The file's full path.
  const std::string& IniFile() const { return iniFile_; }
  void SetIniFile(const std::string& path) { iniFile_ = path; }

  // The stored text, or an empty one when the key (or the file) is missing or unreadable.
  std::string ReadString(const std::string& section, const std::string& key) const;
  void WriteString(const std::string& section, const std::string& key, const std::string& value) const;
  void DeleteKey(const std::string& section, const std::string& key) const;

 private:
  std::string iniFile_;
};

// The control that every component with the global choice shares; made on first use.
TLMDIniCtrl* LMDGlobalIniCtrl();
// Makes the effects library's components creatable from window descriptions.
void RegisterEffectsClasses();
