// An ordered, named collection of object-model members (TableDefs, Fields,
// Indexes, Relations, QueryDefs). Members stay in creation order. A collection
// that belongs to a stored object reads and writes through its backend, so a
// change is stored at once; one that belongs to an object not yet stored lives
// in memory until its owner is appended. A walk goes over the members as they
// were when it began, even when the file changes under it. Names are found
// without regard to letter case, as SQLite finds them.
#pragma once

#include <cctype>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/error.h"

namespace brenquil {

template <class T>
class CollectionBackend {
 public:
  virtual ~CollectionBackend() = default;
  // The members as stored now, in collection order.
  virtual std::vector<std::shared_ptr<T>> Load() = 0;
  // Stores `item`; on failure nothing is stored and an Error is thrown.
  virtual void Append(T& item) = 0;
  // Removes the stored member of that name; throws when it is absent or needed.
  virtual void Delete(const std::string& name) = 0;
  // True when the members loaded last may be out of date.
  virtual bool Stale() = 0;
  // Stores the leading `items` that can be stored in one change, as if
  // appended one by one, and returns how many; none by default.
  virtual size_t AppendTogether(const std::vector<T*>& items) {
    (void)items;
    return 0;
  }
};

// ASCII letters compared without regard to case.
inline bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

template <class T>
class Collection {
  using Members = std::vector<std::shared_ptr<T>>;

 public:
  // Walks the members of one snapshot, which it keeps alive.
  class Iterator {
   public:
    Iterator(std::shared_ptr<const Members> members, size_t at) : members_(std::move(members)), at_(at) {}
    const std::shared_ptr<T>& operator*() const { return (*members_)[at_]; }
    Iterator& operator++() {
      ++at_;
      return *this;
    }
    bool operator==(const Iterator& other) const { return at_ == other.at_; }
    bool operator!=(const Iterator& other) const { return at_ != other.at_; }

   private:
    std::shared_ptr<const Members> members_;
    size_t at_;
  };

  // `kind` names the collection in error texts ("Fields", "Indexes", ...);
  // `duplicate_error` is the number raised when an appended name exists.
  Collection(std::string kind, int duplicate_error)
      : kind_(std::move(kind)), duplicate_error_(duplicate_error) {}

  void SetBackend(std::unique_ptr<CollectionBackend<T>> backend) {
    backend_ = std::move(backend);
    loaded_ = false;
  }
  bool Stored() const { return backend_ != nullptr; }

  int Count() { return static_cast<int>(Items()->size()); }

  // By position from 0; Error 3265 outside the collection.
  std::shared_ptr<T> Item(int position) {
    auto items = Items();
    if (position < 0 || position >= static_cast<int>(items->size()))
      throw MakeError(err::kItemNotFound,
                      kind_ + ": posición " + std::to_string(position));
    return (*items)[static_cast<size_t>(position)];
  }
  // By name in any letter case; Error 3265 when absent.
  std::shared_ptr<T> Item(std::string_view name) {
    if (auto found = Find(name)) return found;
    throw MakeError(err::kItemNotFound, kind_ + ": '" + std::string(name) + "'");
  }
  std::shared_ptr<T> operator[](int position) { return Item(position); }
  std::shared_ptr<T> operator[](std::string_view name) { return Item(name); }
  std::shared_ptr<T> operator[](const char* name) { return Item(std::string_view(name)); }

  // The member of that name, or null: the exact name first, then the name
  // in another letter case.
  std::shared_ptr<T> Find(std::string_view name) {
    auto items = Items();
    for (auto& item : *items)
      if (item->Name() == name) return item;
    for (auto& item : *items)
      if (SameName(item->Name(), name)) return item;
    return nullptr;
  }

  // Appends `item`. A name that exists raises the collection's duplicate error
  // and nothing changes.
  void Append(const std::shared_ptr<T>& item) {
    if (!item) throw MakeError(err::kObjectNotSet, kind_);
    if (Find(item->Name()))
      throw MakeError(duplicate_error_, kind_ + ": '" + item->Name() + "'");
    if (backend_) {
      backend_->Append(*item);
      loaded_ = false;
    } else {
      auto grown = std::make_shared<Members>(*items_);
      grown->push_back(item);
      items_ = std::move(grown);
    }
  }

  // Appends, in one change where the backend can, the leading `items` that
  // Append would take one by one, and returns how many: the rest are for
  // Append, which raises each one's error. Nothing is appended on a failure.
  size_t AppendTogether(const std::vector<std::shared_ptr<T>>& items) {
    if (!backend_) return 0;
    std::vector<T*> taken;
    for (const auto& item : items) {
      if (!item || Find(item->Name())) break;
      taken.push_back(item.get());
    }
    size_t count = taken.empty() ? 0 : backend_->AppendTogether(taken);
    if (count > 0) loaded_ = false;
    return count;
  }

  // Removes the member of that name; Error 3265 when absent.
  void Delete(std::string_view name) {
    if (!Find(name))
      throw MakeError(err::kItemNotFound, kind_ + ": '" + std::string(name) + "'");
    if (backend_) {
      backend_->Delete(std::string(name));
      loaded_ = false;
    } else {
      auto found = Find(name);
      auto kept = std::make_shared<Members>(*items_);
      std::erase_if(*kept, [&](const auto& i) { return i == found; });
      items_ = std::move(kept);
    }
  }

  // Forces the next access to read the stored members again.
  void Reload() { loaded_ = false; }

  Iterator begin() { return Iterator(Items(), 0); }
  // Where the walk that begin() started ends: the size of its own snapshot.
  Iterator end() { return Iterator(nullptr, walk_size_); }

  // The members as a plain list (a snapshot for walking while changing).
  Members Snapshot() { return *Items(); }

 private:
  std::shared_ptr<const Members> Items() {
    if (backend_ && (!loaded_ || backend_->Stale())) {
      items_ = std::make_shared<Members>(backend_->Load());
      loaded_ = true;
    }
    walk_size_ = items_->size();
    return items_;
  }

  std::string kind_;
  int duplicate_error_;
  std::unique_ptr<CollectionBackend<T>> backend_;
  std::shared_ptr<Members> items_ = std::make_shared<Members>();
  size_t walk_size_ = 0;
  bool loaded_ = false;
};

}  // namespace brenquil
