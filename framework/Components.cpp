#include "framework/Components.h"

#include <algorithm>

#include "framework/MessageTexts.h"
#include "framework/Streaming.h"
#include "framework/SysUtils.h"

// ---- TPersistent

void TPersistent::Assign(const TPersistent& source) {
  throw EConvertError("Cannot assign a " + source.ClassName() + " to a " + ClassName());
}

bool TPersistent::ReadProperty(TReader&, std::string_view) { return false; }

TPersistent* TPersistent::NestedProperty(std::string_view) { return nullptr; }

// ---- TComponent

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  if (!removalNotified_) {
    AddState(csDestroying);
    removalNotified_ = true;
    NotifyRemoval();
    DestroyComponents();
  }
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::BeforeDestruction() {
  // A derived class may already have entered its destroying state; the notices still go out,
  // once.
  if (!HasState(csDestroying)) Destroying();
  if (removalNotified_) return;
  removalNotified_ = true;
  NotifyRemoval();
  DestroyComponents();
}

void TComponent::Destroying() { AddState(csDestroying); }

void TComponent::NotifyRemoval() {
  // Each side of a link hears once that the other goes away.
  while (!freeNotifies_.empty()) {
    TComponent* other = freeNotifies_.back();
    freeNotifies_.pop_back();
    auto& theirs = other->freeNotifies_;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
    other->Notification(this, opRemove);
  }
  if (owner_) owner_->Notification(this, opRemove);
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* last = components_.back();
    RemoveComponent(last);
    TObject::Free(last);
  }
}

void TComponent::SetName(const std::string& name) {
  if (name == name_) return;
  if (!name.empty()) {
    bool valid = std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_';
    for (char c : name) valid = valid && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
    if (!valid) throw EComponentError(ResFmt(SInvalidName, name.c_str()));
    if (owner_) {
      TComponent* existing = owner_->FindComponent(name);
      if (existing && existing != this) throw EComponentError(ResFmt(SDuplicateName, name.c_str()));
    }
  }
  name_ = name;
}

int TComponent::ComponentIndex() const {
  if (!owner_) return -1;
  auto& list = owner_->components_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_) {
    const std::string& n = c->name_;
    if (n.size() == name.size() && std::equal(n.begin(), n.end(), name.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        }))
      return c;
  }
  return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (component->owner_) component->owner_->RemoveComponent(component);
  components_.push_back(component);
  component->owner_ = this;
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  auto it = std::find(components_.begin(), components_.end(), component);
  if (it == components_.end()) return;
  components_.erase(it);
  component->owner_ = nullptr;
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end())
    freeNotifies_.push_back(component);
  auto& theirs = component->freeNotifies_;
  if (std::find(theirs.begin(), theirs.end(), this) == theirs.end()) theirs.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (!component) return;
  freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), component), freeNotifies_.end());
  auto& theirs = component->freeNotifies_;
  theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
}

void TComponent::SetLoadingState(bool loading) {
  if (loading) AddState(csLoading);
  else RemoveState(csLoading);
}

void TComponent::SetReadingState(bool reading) {
  if (reading) AddState(csReading);
  else RemoveState(csReading);
}

void TComponent::SetDesigning(bool designing) {
  if (designing) AddState(csDesigning);
  else RemoveState(csDesigning);
}

void TComponent::Loaded() { RemoveState(csLoading); }

bool TComponent::ReadProperty(TReader& reader, std::string_view name) {
  // Non-visual components keep their designer position; it has no meaning at run time.
  if (name == "Left" || name == "Top") {
    reader.ReadInteger();
    return true;
  }
  return TPersistent::ReadProperty(reader, name);
}

void TComponent::ReadChild(TComponent*) {}

TNotifyEvent TComponent::MethodAddress(std::string_view name) const {
  for (auto& [methodName, method] : methods_)
    if (methodName == name) return method;
  return nullptr;
}

void TComponent::DeclareMethod(const std::string& name, TNotifyEvent method) {
  methods_.emplace_back(name, std::move(method));
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove && component) {
    freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), component), freeNotifies_.end());
  }
}

// ---- TCollectionItem

TCollectionItem::TCollectionItem(TCollection* collection) {
  if (collection) collection->InsertItem(this, collection->Count());
}

TCollectionItem::~TCollectionItem() {
  if (collection_) collection_->RemoveItem(this);
}

int TCollectionItem::Index() const {
  if (!collection_) return -1;
  auto& items = collection_->items_;
  return static_cast<int>(std::find(items.begin(), items.end(), this) - items.begin());
}

void TCollectionItem::SetIndex(int index) {
  int current = Index();
  if (current < 0 || index == current || index < 0) return;
  auto& items = collection_->items_;
  if (index >= static_cast<int>(items.size())) index = static_cast<int>(items.size()) - 1;
  items.erase(items.begin() + current);
  items.insert(items.begin() + index, this);
  Changed(true);
}

void TCollectionItem::Changed(bool allItems) {
  if (collection_ && collection_->updateCount_ == 0) collection_->Changed(allItems ? nullptr : this);
}

// ---- TCollection

TCollection::TCollection(TPersistent* owner, ItemFactory factory) : owner_(owner), factory_(std::move(factory)) {}

TCollection::~TCollection() {
  updateCount_ = 1;  // no reports while tearing down
  while (!items_.empty()) delete items_.back();
}

TCollectionItem* TCollection::Item(int index) const {
  if (index < 0 || index >= Count()) ListIndexError(index);
  return items_[static_cast<std::size_t>(index)];
}

TCollectionItem* TCollection::Add() { return Insert(Count()); }

TCollectionItem* TCollection::Insert(int index) {
  BeginUpdate();
  TUpdateScope update([this] { EndUpdate(); });
  TCollectionItem* item = factory_(nullptr);
  {
    // An item that never joined the collection has no other owner.
    TScopeExit dropItem([item] {
      if (item && !item->collection_) delete item;
    });
    InsertItem(item, index);
  }
  update.Close();
  return item;
}

void TCollection::InsertItem(TCollectionItem* item, int index) {
  ValidateItem(item);
  if (index < 0 || index > Count()) index = Count();
  items_.insert(items_.begin() + index, item);
  item->collection_ = this;
  item->id_ = nextId_++;
  Changed();
}

void TCollection::RemoveItem(TCollectionItem* item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end()) return;
  items_.erase(it);
  item->collection_ = nullptr;
  Changed();
}

void TCollection::Delete(int index) { delete Item(index); }

void TCollection::Clear() {
  if (items_.empty()) return;
  BeginUpdate();
  while (!items_.empty()) delete items_.back();
  EndUpdate();
}

void TCollection::Exchange(int a, int b) {
  Item(a);
  Item(b);
  std::swap(items_[static_cast<std::size_t>(a)], items_[static_cast<std::size_t>(b)]);
  Changed();
}

void TCollection::Assign(const TPersistent& source) {
  auto* other = dynamic_cast<const TCollection*>(&source);
  if (!other) return TPersistent::Assign(source);
  BeginUpdate();
  TUpdateScope update([this] { EndUpdate(); });
  Clear();
  for (TCollectionItem* item : other->items_) Add()->Assign(*item);
  update.Close();
}

void TCollection::BeginUpdate() { ++updateCount_; }

void TCollection::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) Changed();
}

void TCollection::Changed(TCollectionItem* item) {
  if (updateCount_ == 0) Update(item);
}

void TCollection::Update(TCollectionItem*) {}

void TCollection::ReadItems(TReader& reader) {
  BeginUpdate();
  TUpdateScope update([this] { EndUpdate(); });
  Clear();
  reader.ReadCollection([this](TReader& r) {
    TCollectionItem* item = Add();
    r.ReadProperties(item);
  });
  update.Close();
}

// ---- TStrings

int TStrings::AddObject(const std::string& text, TObject* object) {
  int index = Count();
  InsertObject(index, text, object);
  return index;
}

int TStrings::IndexOf(std::string_view text) const {
  for (int i = 0; i < Count(); ++i)
    if (Get(i) == text) return i;
  return -1;
}

void TStrings::Assign(const TPersistent& source) {
  auto* other = dynamic_cast<const TStrings*>(&source);
  if (!other) return TPersistent::Assign(source);
  BeginUpdate();
  TUpdateScope update([this] { EndUpdate(); });
  Clear();
  for (int i = 0; i < other->Count(); ++i) AddObject(other->Get(i), other->Object(i));
  update.Close();
}

void TStrings::BeginUpdate() {
  if (updateCount_++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) SetUpdateState(false);
}

bool TStrings::ReadProperty(TReader& reader, std::string_view name) {
  if (name == "Strings") {
    BeginUpdate();
    TUpdateScope update([this] { EndUpdate(); });
    Clear();
    reader.ReadList([this](TReader& r) { Add(r.ReadString()); });
    update.Close();
    return true;
  }
  return TPersistent::ReadProperty(reader, name);
}

// ---- TStringList

std::string TStringList::Get(int index) const {
  if (index < 0 || index >= Count()) ListIndexError(index);
  return lines_[static_cast<std::size_t>(index)].first;
}

TObject* TStringList::Object(int index) const {
  if (index < 0 || index >= Count()) ListIndexError(index);
  return lines_[static_cast<std::size_t>(index)].second;
}

void TStringList::PutObject(int index, TObject* object) {
  if (index < 0 || index >= Count()) ListIndexError(index);
  lines_[static_cast<std::size_t>(index)].second = object;
  Changed();
}

void TStringList::InsertObject(int index, const std::string& text, TObject* object) {
  if (index < 0 || index > Count()) ListIndexError(index);
  lines_.insert(lines_.begin() + index, {text, object});
  Changed();
}

void TStringList::Delete(int index) {
  if (index < 0 || index >= Count()) ListIndexError(index);
  lines_.erase(lines_.begin() + index);
  Changed();
}

void TStringList::Clear() {
  if (lines_.empty()) return;
  lines_.clear();
  Changed();
}

void TStringList::SetUpdateState(bool updating) {
  if (!updating) Changed();
}

void TStringList::Changed() {
  if (updateCount_ == 0 && OnChange) OnChange(this);
}
