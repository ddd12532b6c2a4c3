// The component model that every part of the program stands on.
//
//   TObject          root of all framework classes: class name, Free
//   TPersistent      an object with published properties that descriptions can set
//   TComponent       owner, name, states, end-of-loading step, removal notices
//   TCollection      owned items with update brackets and change reports
//   TCollectionItem  an item of a collection
//   TStrings         lines of text, each with an object reference (TStringList)
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TReader;
class TComponent;

class TObject {
 public:
  virtual ~TObject() = default;
  // The class name as descriptions and window classes know it ("TForm1").
  virtual std::string ClassName() const { return "TObject"; }
  // Work that needs the whole object (virtual calls intact) before the destructors run.
  virtual void BeforeDestruction() {}
  // Destroys an object created with new; safe on a null pointer.
  static void Free(TObject* object) {
    if (object) {
      object->BeforeDestruction();
      delete object;
    }
  }
};

// An event slot: a callable that takes the sender; may be empty.
using TNotifyEvent = std::function<void(TObject* sender)>;

class TPersistent : public TObject {
 public:
  std::string ClassName() const override { return "TPersistent"; }
  virtual void Assign(const TPersistent& source);
  // Sets one published property from a description; false when the class has none of that name.
  virtual bool ReadProperty(TReader& reader, std::string_view name);
  // The object behind a nested property name ("Font" of "Font.Height"), or null.
  virtual TPersistent* NestedProperty(std::string_view name);
};

enum TComponentStateFlag : unsigned {
  csLoading = 1,
  csReading = 2,
  csWriting = 4,
  csDestroying = 8,
  csDesigning = 16,
  csUpdating = 32,
};

enum TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  void BeforeDestruction() override;
  std::string ClassName() const override { return "TComponent"; }

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  virtual void SetName(const std::string& name);
  unsigned ComponentState() const { return state_; }
  bool HasState(unsigned flags) const { return (state_ & flags) != 0; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(static_cast<std::size_t>(index)); }
  int ComponentIndex() const;
  TComponent* FindComponent(std::string_view name) const;
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  // Asks for a removal notice when `component` is destroyed (both sides register).
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // Loading: set while a description is read, cleared by the end-of-loading step.
  void SetLoadingState(bool loading);
  void SetReadingState(bool reading);
  virtual void Loaded();
  bool ReadProperty(TReader& reader, std::string_view name) override;
  // Called by the reader on the parent of each component it reads, so that the parent can
  // adopt it (controls take it as a child, a splitter panel as a pane).
  virtual void ReadChild(TComponent* child);
  // An event handler of this root component by name (for "OnClick = FileListBox1Click").
  TNotifyEvent MethodAddress(std::string_view name) const;
  void DeclareMethod(const std::string& name, TNotifyEvent method);

  virtual void Notification(TComponent* component, TOperation operation);

  // Expires with the component: code that calls a handler, which may free the component,
  // asks it before it touches the component again.
  std::weak_ptr<char> AliveToken() const { return alive_; }

 protected:
  void SetDesigning(bool designing);
  void AddState(unsigned flags) { state_ |= flags; }
  void RemoveState(unsigned flags) { state_ &= ~flags; }
  // Called once at the start of destruction, with all virtual calls intact.
  virtual void Destroying();
  void DestroyComponents();

 private:
  void NotifyRemoval();
  TComponent* owner_ = nullptr;
  std::string name_;
  unsigned state_ = 0;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  bool removalNotified_ = false;
  std::vector<std::pair<std::string, TNotifyEvent>> methods_;
  std::shared_ptr<char> alive_ = std::make_shared<char>();
};

class TCollection;

class TCollectionItem : public TPersistent {
 public:
  explicit TCollectionItem(TCollection* collection);
  ~TCollectionItem() override;
  std::string ClassName() const override { return "TCollectionItem"; }
  TCollection* Collection() const { return collection_; }
  int Index() const;
  virtual void SetIndex(int index);
  int ID() const { return id_; }
  virtual std::string DisplayName() const { return ClassName(); }

 protected:
  // Reports a change of this item, or of all items, to the collection.
  void Changed(bool allItems);

 private:
  friend class TCollection;
  TCollection* collection_ = nullptr;
  int id_ = 0;
};

class TCollection : public TPersistent {
 public:
  using ItemFactory = std::function<TCollectionItem*(TCollection*)>;
  TCollection(TPersistent* owner, ItemFactory factory);
  ~TCollection() override;
  std::string ClassName() const override { return "TCollection"; }

  TPersistent* Owner() const { return owner_; }
  int Count() const { return static_cast<int>(items_.size()); }
  TCollectionItem* Item(int index) const;
  TCollectionItem* Add();
  TCollectionItem* Insert(int index);
  void Delete(int index);
  void Clear();
  void Exchange(int a, int b);
  void Assign(const TPersistent& source) override;

  virtual void BeginUpdate();
  virtual void EndUpdate();
  int UpdateCount() const { return updateCount_; }
  // A change of one item (or of all items when `item` is null) reported to the owner.
  void Changed(TCollectionItem* item = nullptr);

  // Reads "<item ... end item ... end>" from a description.
  void ReadItems(TReader& reader);

 protected:
  // Called for every change outside update brackets; item null means all items.
  virtual void Update(TCollectionItem* item);
  // Called before an item joins the collection; a collection of one item class refuses others
  // by raising.
  virtual void ValidateItem(TCollectionItem* item) { (void)item; }

 private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* item, int index);
  void RemoveItem(TCollectionItem* item);
  TPersistent* owner_;
  ItemFactory factory_;
  std::vector<TCollectionItem*> items_;
  int updateCount_ = 0;
  int nextId_ = 0;
};

// Lines of text, each with an object reference, with change reports.
class TStrings : public TPersistent {
 public:
  std::string ClassName() const override { return "TStrings"; }
  virtual int Count() const = 0;
  virtual std::string Get(int index) const = 0;
  virtual TObject* Object(int index) const = 0;
  virtual void PutObject(int index, TObject* object) = 0;
  virtual int AddObject(const std::string& text, TObject* object);
  virtual void InsertObject(int index, const std::string& text, TObject* object) = 0;
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;
  virtual int IndexOf(std::string_view text) const;
  int Add(const std::string& text) { return AddObject(text, nullptr); }
  void Insert(int index, const std::string& text) { InsertObject(index, text, nullptr); }
  void Assign(const TPersistent& source) override;
  void BeginUpdate();
  void EndUpdate();
  bool ReadProperty(TReader& reader, std::string_view name) override;

 protected:
  virtual void SetUpdateState(bool updating) { (void)updating; }
  int updateCount_ = 0;
};

class TStringList : public TStrings {
 public:
  std::string ClassName() const override { return "TStringList"; }
  int Count() const override { return static_cast<int>(lines_.size()); }
  std::string Get(int index) const override;
  TObject* Object(int index) const override;
  void PutObject(int index, TObject* object) override;
  void InsertObject(int index, const std::string& text, TObject* object) override;
  void Delete(int index) override;
  void Clear() override;
  TNotifyEvent OnChange;

 protected:
  void SetUpdateState(bool updating) override;

 private:
  void Changed();
  std::vector<std::pair<std::string, TObject*>> lines_;
};
