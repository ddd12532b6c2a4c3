// Reading window descriptions: the binary "TPF0" stream that the build compiles from each
// form's readable description.
//
//   RegisterComponentClass  makes a class creatable by its name
//   TReader                 reads one description into a root component and its children
//   TIdentMap, ReadIdent    the names a property accepts for its values, and reading them
//
// Components are created by class name with the root as owner, properties are set by name
// (nested ones through NestedProperty), references between components and event handlers are
// resolved when the whole description has been read, then every component's Loaded runs.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "framework/Components.h"
#include "framework/StreamFormat.h"

using TComponentFactory = std::function<TComponent*(TComponent* owner)>;
void RegisterComponentClass(const std::string& className, TComponentFactory factory);
bool IsComponentClassRegistered(std::string_view className);

class TReader {
 public:
  TReader(std::span<const std::uint8_t> data, TComponent* root);

  // Reads the whole description into the root: its properties, its children, the references,
  // then the end-of-loading step of each component read.
  void ReadRootComponent();

  TComponent* Root() const { return root_; }
  // The component whose properties are being read.
  TComponent* Current() const { return current_; }

  TValueType NextValue();
  int ReadInteger();
  // An integer that must lie within [min, max]; any other is an invalid value.
  int ReadInteger(int min, int max);
  long long ReadInt64();
  double ReadFloat();
  bool ReadBoolean();
  std::string ReadString();
  std::string ReadIdent();
  std::vector<std::string> ReadSet();
  std::vector<std::uint8_t> ReadBinary();
  void ReadList(const std::function<void(TReader&)>& readItem);
  void ReadCollection(const std::function<void(TReader&)>& readItem);
  void SkipValue();
  // Reads property name/value pairs up to the end marker into `instance`.
  void ReadProperties(TPersistent* instance);

  // A reference to another component by name, set once the description has been read.
  void AddReference(const std::string& componentName, std::function<void(TComponent*)> assign);
  // An event handler by the root's method name, set once the description has been read.
  void AddMethod(const std::string& methodName, std::function<void(TNotifyEvent)> assign);
  // Reads an identifier naming a component and stores the link later.
  // A component of another class than T is an invalid value, not a missing one.
  template <class T>
  void ReadReference(std::function<void(T*)> assign) {
    AddReference(ReadIdent(), [this, assign](TComponent* c) {
      T* target = dynamic_cast<T*>(c);
      if (c && !target) WrongClassReference();
      assign(target);
    });
  }
  void ReadEvent(std::function<void(TNotifyEvent)> assign) { AddMethod(ReadIdent(), std::move(assign)); }

  [[noreturn]] void Error(const std::string& message) const;

 private:
  // Holds one level of nested lists, collections and components, up to a fixed depth.
  class Nesting {
   public:
    explicit Nesting(TReader& reader);
    ~Nesting();
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

   private:
    TReader& reader_;
  };
  struct EWrongClassReference {};
  [[noreturn]] void WrongClassReference() const;
  // Runs one step of reading; a component's own failure, of any kind, becomes a read error at
  // this place.
  void AsReadError(const std::function<void()>& step);
  std::uint8_t ReadByte();
  std::uint32_t ReadLength(std::size_t unitSize);
  double CheckFinite(double value) const;
  std::string ReadShortString();
  void ReadBytes(void* out, std::size_t count);
  bool EndOfList();
  void ReadEndOfList();
  void ReadComponent(TComponent* parent);
  void ReadProperty(TPersistent* instance);
  void ResolveFixups();

  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
  int depth_ = 0;
  TComponent* root_;
  TComponent* current_ = nullptr;
  std::string propertyPath_;
  std::vector<TComponent*> loaded_;
  struct Reference {
    std::string name;
    std::function<void(TComponent*)> assign;
    TComponent* owner;  // where it was read, for the error message
    std::string property;
  };
  struct MethodRef {
    std::string name;
    std::function<void(TNotifyEvent)> assign;
  };
  std::vector<Reference> references_;
  std::vector<MethodRef> methods_;
};

// A name that a property accepts in a description, and the value it stands for.
struct TIdentMapEntry {
  std::string_view name;
  int value;
};
using TIdentMap = std::span<const TIdentMapEntry>;
// Colour names are matched without regard to case; every other name exactly.
enum class TIdentCase { Exact, Ignore };

// The value that `ident` names in `map`; false when it names none.
bool IdentToInt(std::string_view ident, int& value, TIdentMap map, TIdentCase match = TIdentCase::Exact);
// Reads an identifier and returns its value in `map`; any other is an invalid property value.
int ReadIdent(TReader& reader, TIdentMap map, TIdentCase match = TIdentCase::Exact);
// A stored integer as it is, or an identifier read as by ReadIdent.
int ReadIdentOrInteger(TReader& reader, TIdentMap map, TIdentCase match = TIdentCase::Exact);
// Reads a set and returns the values of its members or-ed together; an unknown member is an
// invalid property value.
unsigned ReadIdentSet(TReader& reader, TIdentMap map);

// Finds the RCDATA resource `resourceName` of the program and reads it into `root`;
// fails with "Resource %s not found" (naming `className`) when there is none.
void ReadDescriptionResource(TComponent* root, const std::string& resourceName, const std::string& className);
