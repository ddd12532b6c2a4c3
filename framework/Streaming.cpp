#include "framework/Streaming.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <map>
#include <new>

#include "framework/MessageTexts.h"
#include "framework/SysUtils.h"

namespace {

std::map<std::string, TComponentFactory, std::less<>>& ClassRegistry() {
  static std::map<std::string, TComponentFactory, std::less<>> registry;
  return registry;
}

constexpr std::uint8_t kFilerFlagsMask = 0xF0;
constexpr std::uint8_t kFlagChildPos = 2;
// Far deeper than any window's tree; a damaged stream must not exhaust the stack.
constexpr int kMaxNesting = 64;

}  // namespace

void RegisterComponentClass(const std::string& className, TComponentFactory factory) {
  ClassRegistry()[className] = std::move(factory);
}

bool IsComponentClassRegistered(std::string_view className) {
  return ClassRegistry().find(className) != ClassRegistry().end();
}

TReader::TReader(std::span<const std::uint8_t> data, TComponent* root) : data_(data), root_(root) {}

void TReader::Error(const std::string& message) const {
  std::string where = current_ ? current_->Name() : std::string();
  if (!propertyPath_.empty()) where += (where.empty() ? "" : ".") + propertyPath_;
  throw EReadError(where.empty() ? message : ResFmt(SReadError, where.c_str(), message.c_str()));
}

std::uint8_t TReader::ReadByte() {
  if (pos_ >= data_.size()) Error(LoadResString(SInvalidImage));
  return data_[pos_++];
}

void TReader::ReadBytes(void* out, std::size_t count) {
  if (count > data_.size() - pos_) Error(LoadResString(SInvalidImage));
  std::memcpy(out, data_.data() + pos_, count);
  pos_ += count;
}

TReader::Nesting::Nesting(TReader& reader) : reader_(reader) {
  if (++reader_.depth_ > kMaxNesting) {
    --reader_.depth_;
    reader_.Error(LoadResString(SInvalidImage));
  }
}

TReader::Nesting::~Nesting() { --reader_.depth_; }

std::uint32_t TReader::ReadLength(std::size_t unitSize) {
  std::uint32_t length;
  ReadBytes(&length, 4);
  // Checked against what is left before anything is allocated for it.
  if (length > (data_.size() - pos_) / unitSize) Error(LoadResString(SInvalidImage));
  return length;
}

std::string TReader::ReadShortString() {
  std::size_t length = ReadByte();
  std::string text(length, '\0');
  ReadBytes(text.data(), length);
  return text;
}

TValueType TReader::NextValue() {
  if (pos_ >= data_.size()) Error(LoadResString(SInvalidImage));
  return static_cast<TValueType>(data_[pos_]);
}

bool TReader::EndOfList() { return NextValue() == vaNull; }

void TReader::ReadEndOfList() {
  if (ReadByte() != vaNull) Error(LoadResString(SInvalidImage));
}

int TReader::ReadInteger() {
  long long value = ReadInt64();
  if (value < INT32_MIN || value > INT32_MAX) Error(LoadResString(SInvalidPropertyValue));
  return static_cast<int>(value);
}

int TReader::ReadInteger(int min, int max) {
  int value = ReadInteger();
  if (value < min || value > max) Error(LoadResString(SInvalidPropertyValue));
  return value;
}

long long TReader::ReadInt64() {
  switch (ReadByte()) {
    case vaInt8: {
      std::int8_t v;
      ReadBytes(&v, 1);
      return v;
    }
    case vaInt16: {
      std::uint8_t b[2];
      ReadBytes(b, 2);
      return static_cast<std::int16_t>(b[0] | (b[1] << 8));
    }
    case vaInt32: {
      std::uint8_t b[4];
      ReadBytes(b, 4);
      return static_cast<std::int32_t>(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24));
    }
    case vaInt64: {
      std::uint8_t b[8];
      ReadBytes(b, 8);
      std::uint64_t v = 0;
      for (int i = 7; i >= 0; --i) v = (v << 8) | b[i];
      return static_cast<long long>(v);
    }
    default:
      Error(LoadResString(SInvalidPropertyValue));
  }
}

double TReader::ReadFloat() {
  TValueType type = NextValue();
  if (type == vaExtended) {
    ReadByte();
    std::uint8_t b[10];
    ReadBytes(b, 10);
    return CheckFinite(ExtendedToDouble(b));
  }
  if (type == vaSingle) {
    ReadByte();
    float f;
    ReadBytes(&f, 4);
    return CheckFinite(f);
  }
  return static_cast<double>(ReadInt64());
}

double TReader::CheckFinite(double value) const {
  if (!std::isfinite(value)) Error(LoadResString(SInvalidPropertyValue));
  return value;
}

bool TReader::ReadBoolean() {
  std::uint8_t type = ReadByte();
  if (type == vaTrue) return true;
  if (type == vaFalse) return false;
  Error(LoadResString(SInvalidPropertyValue));
}

std::string TReader::ReadString() {
  std::uint8_t type = ReadByte();
  if (type == vaString) return ReadShortString();
  if (type == vaLString || type == vaUTF8String) {
    std::uint32_t length = ReadLength(1);
    std::string text(length, '\0');
    ReadBytes(text.data(), length);
    if (type == vaUTF8String) {
      int wlength = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
      std::wstring wide(static_cast<std::size_t>(wlength), L'\0');
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), wlength);
      return WideToAnsi(wide);
    }
    return text;
  }
  if (type == vaWString) {
    std::uint32_t length = ReadLength(2);
    std::wstring wide(length, L'\0');
    ReadBytes(wide.data(), std::size_t{length} * 2);
    return WideToAnsi(wide);
  }
  Error(LoadResString(SInvalidPropertyValue));
}

std::string TReader::ReadIdent() {
  switch (ReadByte()) {
    case vaIdent:
      return ReadShortString();
    case vaFalse:
      return "False";
    case vaTrue:
      return "True";
    case vaNil:
      return "nil";
    case vaNull:
      return "Null";
    default:
      Error(LoadResString(SInvalidPropertyValue));
  }
}

std::vector<std::string> TReader::ReadSet() {
  if (ReadByte() != vaSet) Error(LoadResString(SInvalidPropertyValue));
  std::vector<std::string> names;
  for (;;) {
    std::string name = ReadShortString();
    if (name.empty()) break;
    names.push_back(std::move(name));
  }
  return names;
}

std::vector<std::uint8_t> TReader::ReadBinary() {
  if (ReadByte() != vaBinary) Error(LoadResString(SInvalidPropertyValue));
  std::uint32_t length = ReadLength(1);
  std::vector<std::uint8_t> bytes(length);
  ReadBytes(bytes.data(), length);
  return bytes;
}

void TReader::ReadList(const std::function<void(TReader&)>& readItem) {
  if (ReadByte() != vaList) Error(LoadResString(SInvalidPropertyValue));
  Nesting nesting(*this);
  while (!EndOfList()) readItem(*this);
  ReadEndOfList();
}

void TReader::ReadCollection(const std::function<void(TReader&)>& readItem) {
  if (ReadByte() != vaCollection) Error(LoadResString(SInvalidPropertyValue));
  Nesting nesting(*this);
  while (!EndOfList()) {
    TValueType type = NextValue();
    if (type == vaInt8 || type == vaInt16 || type == vaInt32) ReadInteger();  // stored order, unused
    readItem(*this);
  }
  ReadEndOfList();
}

void TReader::SkipValue() {
  switch (NextValue()) {
    case vaList:
      ReadList([](TReader& r) { r.SkipValue(); });
      break;
    case vaCollection:
      ReadCollection([](TReader& r) {
        while (!r.EndOfList()) {
          r.ReadShortString();
          r.SkipValue();
        }
        r.ReadEndOfList();
      });
      break;
    case vaSet:
      ReadSet();
      break;
    case vaBinary:
      ReadBinary();
      break;
    case vaExtended:
    case vaSingle:
      ReadFloat();
      break;
    case vaString:
    case vaLString:
    case vaWString:
    case vaUTF8String:
      ReadString();
      break;
    case vaInt8:
    case vaInt16:
    case vaInt32:
    case vaInt64:
      ReadInt64();
      break;
    default:
      ReadIdent();
  }
}

void TReader::ReadProperties(TPersistent* instance) {
  while (!EndOfList()) ReadProperty(instance);
  ReadEndOfList();
}

void TReader::ReadProperty(TPersistent* instance) {
  propertyPath_ = ReadShortString();
  std::string_view path = propertyPath_;
  TPersistent* target = instance;
  std::size_t dot;
  while ((dot = path.find('.')) != std::string_view::npos) {
    target = target->NestedProperty(path.substr(0, dot));
    if (!target) Error(ResFmt(SPropertyDoesNotExist, std::string(path.substr(0, dot)).c_str()));
    path.remove_prefix(dot + 1);
  }
  bool known = false;
  AsReadError([&] { known = target->ReadProperty(*this, path); });
  if (!known) Error(ResFmt(SPropertyDoesNotExist, std::string(path).c_str()));
  propertyPath_.clear();
}

void TReader::ReadComponent(TComponent* parent) {
  Nesting nesting(*this);
  std::uint8_t first = NextValue();
  if ((first & kFilerFlagsMask) == kFilerFlagsMask) {
    std::uint8_t flags = ReadByte() & 0x0F;
    if (flags & kFlagChildPos) ReadInteger();
  }
  std::string className = ReadShortString();
  std::string name = ReadShortString();
  auto& registry = ClassRegistry();
  auto found = registry.find(className);
  if (found == registry.end()) Error(ResFmt(SUnknownClass, className.c_str()));
  TComponent* component = nullptr;
  AsReadError([&] { component = found->second(root_); });
  component->SetLoadingState(true);
  component->SetReadingState(true);
  loaded_.push_back(component);
  AsReadError([&] {
    component->SetName(name);
    parent->ReadChild(component);
  });
  TComponent* outer = current_;
  current_ = component;
  ReadProperties(component);
  while (!EndOfList()) ReadComponent(component);
  ReadEndOfList();
  current_ = outer;
}

void TReader::AsReadError(const std::function<void()>& step) {
  // A value the component refuses (a name taken twice, a number out of its range), and any
  // other failure on its way, is a damaged description like any other.
  try {
    step();
  } catch (const EReadError&) {
    throw;
  } catch (const EWrongClassReference&) {
    throw;
  } catch (const Exception& error) {
    Error(error.Message());
  } catch (const std::bad_alloc&) {
    Error(LoadResString(SOutOfMemory));
  } catch (const std::exception& error) {
    Error(error.what());
  } catch (...) {
    Error(LoadResString(SUnkOSError));
  }
}

void TReader::AddReference(const std::string& componentName, std::function<void(TComponent*)> assign) {
  references_.push_back({componentName, std::move(assign), current_, propertyPath_});
}

void TReader::WrongClassReference() const { throw EWrongClassReference(); }

void TReader::AddMethod(const std::string& methodName, std::function<void(TNotifyEvent)> assign) {
  methods_.push_back({methodName, std::move(assign)});
}

void TReader::ResolveFixups() {
  for (auto& ref : references_) {
    std::string_view name = ref.name;
    // "Form2.FileListBox1" names a component of this root by its full path.
    std::string prefix = root_->Name() + ".";
    if (name.size() > prefix.size() && name.substr(0, prefix.size()) == prefix) name.remove_prefix(prefix.size());
    TComponent* target = nullptr;
    if (name != "nil") {
      target = root_->FindComponent(name);
      if (!target && name == root_->Name()) target = root_;
      if (!target) {
        propertyPath_.clear();
        current_ = nullptr;
        Error(ResFmt(SUnresolvedReference, ref.name.c_str()));
      }
    }
    current_ = ref.owner;
    propertyPath_ = ref.property;
    try {
      AsReadError([&] { ref.assign(target); });
    } catch (const EWrongClassReference&) {
      Error(LoadResString(SInvalidPropertyValue));
    }
  }
  current_ = nullptr;
  propertyPath_.clear();
  for (auto& method : methods_) {
    TNotifyEvent handler = root_->MethodAddress(method.name);
    if (!handler && method.name != "nil") {
      propertyPath_.clear();
      current_ = nullptr;
      Error(ResFmt(SUnresolvedReference, method.name.c_str()));
    }
    AsReadError([&] { method.assign(handler); });
  }
}

void TReader::ReadRootComponent() {
  char signature[4];
  ReadBytes(signature, 4);
  if (std::memcmp(signature, FilerSignature, 4) != 0) Error(LoadResString(SInvalidImage));
  try {
    root_->SetLoadingState(true);
    root_->SetReadingState(true);
    loaded_.push_back(root_);
    std::uint8_t first = NextValue();
    if ((first & kFilerFlagsMask) == kFilerFlagsMask) ReadByte();
    // A description of another class would set properties this one does not have.
    if (ReadShortString() != root_->ClassName()) Error(LoadResString(SInvalidImage));
    std::string name = ReadShortString();
    if (root_->Name().empty()) AsReadError([&] { root_->SetName(name); });
    current_ = root_;
    ReadProperties(root_);
    while (!EndOfList()) ReadComponent(root_);
    ReadEndOfList();
    current_ = nullptr;
    ResolveFixups();
  } catch (...) {
    for (TComponent* c : loaded_) {
      c->SetReadingState(false);
      c->SetLoadingState(false);
    }
    throw;
  }
  for (TComponent* c : loaded_) c->SetReadingState(false);
  // Every component leaves the loading state, also when the end of loading of another fails.
  std::exception_ptr failure;
  for (TComponent* c : loaded_) {
    try {
      AsReadError([c] { c->Loaded(); });
    } catch (...) {
      if (!failure) failure = std::current_exception();
      c->SetLoadingState(false);
    }
  }
  if (failure) std::rethrow_exception(failure);
}

void ReadDescriptionResource(TComponent* root, const std::string& resourceName, const std::string& className) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC resource = FindResourceA(module, resourceName.c_str(), reinterpret_cast<LPCSTR>(RT_RCDATA));
  if (!resource) throw EResNotFound(ResFmt(SResNotFound, className.c_str()));
  HGLOBAL loaded = LoadResource(module, resource);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) throw EResNotFound(ResFmt(SResNotFound, className.c_str()));
  DWORD size = SizeofResource(module, resource);
  TReader reader(std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(bytes), size), root);
  reader.ReadRootComponent();
}

// ---- Names of property values

namespace {

bool SameIdent(std::string_view a, std::string_view b, TIdentCase match) {
  if (match == TIdentCase::Exact) return a == b;
  // Identifiers are ASCII: the code page's case rules do not apply.
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

bool IdentToInt(std::string_view ident, int& value, TIdentMap map, TIdentCase match) {
  for (const TIdentMapEntry& entry : map) {
    if (SameIdent(entry.name, ident, match)) {
      value = entry.value;
      return true;
    }
  }
  return false;
}

int ReadIdent(TReader& reader, TIdentMap map, TIdentCase match) {
  int value = 0;
  if (!IdentToInt(reader.ReadIdent(), value, map, match)) reader.Error(LoadResString(SInvalidPropertyValue));
  return value;
}

int ReadIdentOrInteger(TReader& reader, TIdentMap map, TIdentCase match) {
  if (reader.NextValue() == vaIdent) return ReadIdent(reader, map, match);
  return reader.ReadInteger();
}

unsigned ReadIdentSet(TReader& reader, TIdentMap map) {
  unsigned set = 0;
  for (const std::string& member : reader.ReadSet()) {
    int value = 0;
    if (!IdentToInt(member, value, map)) reader.Error(LoadResString(SInvalidPropertyValue));
    set |= static_cast<unsigned>(value);
  }
  return set;
}
