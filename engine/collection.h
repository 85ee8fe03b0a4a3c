// An ordered, named collection of object-model members (TableDefs, Fields,
// Indexes, Relations, QueryDefs). Members stay in creation order. A collection
// that belongs to a stored object reads and writes through its backend, so a
// change is stored at once; one that belongs to an object not yet stored lives
// in memory until its owner is appended.
#pragma once

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
};

template <class T>
class Collection {
 public:
  // `kind` names the collection in error texts ("Fields", "Indexes", ...);
  // `duplicate_error` is the number raised when an appended name exists.
  Collection(std::string kind, int duplicate_error)
      : kind_(std::move(kind)), duplicate_error_(duplicate_error) {}

  void SetBackend(std::unique_ptr<CollectionBackend<T>> backend) {
    backend_ = std::move(backend);
    loaded_ = false;
  }
  bool Stored() const { return backend_ != nullptr; }

  int Count() { return static_cast<int>(Items().size()); }

  // By position from 0; Error 3265 outside the collection.
  std::shared_ptr<T> Item(int position) {
    auto& items = Items();
    if (position < 0 || position >= static_cast<int>(items.size()))
      throw MakeError(err::kItemNotFound,
                      kind_ + ": posición " + std::to_string(position));
    return items[static_cast<size_t>(position)];
  }
  // By exact name; Error 3265 when absent.
  std::shared_ptr<T> Item(std::string_view name) {
    if (auto found = Find(name)) return found;
    throw MakeError(err::kItemNotFound, kind_ + ": '" + std::string(name) + "'");
  }
  std::shared_ptr<T> operator[](int position) { return Item(position); }
  std::shared_ptr<T> operator[](std::string_view name) { return Item(name); }
  std::shared_ptr<T> operator[](const char* name) { return Item(std::string_view(name)); }

  // The member of that exact name, or null.
  std::shared_ptr<T> Find(std::string_view name) {
    for (auto& item : Items())
      if (item->Name() == name) return item;
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
      items_.push_back(item);
    }
  }

  // Removes the member of that name; Error 3265 when absent.
  void Delete(std::string_view name) {
    if (!Find(name))
      throw MakeError(err::kItemNotFound, kind_ + ": '" + std::string(name) + "'");
    if (backend_) {
      backend_->Delete(std::string(name));
      loaded_ = false;
    } else {
      std::erase_if(items_, [&](const auto& i) { return i->Name() == name; });
    }
  }

  // Forces the next access to read the stored members again.
  void Reload() { loaded_ = false; }

  auto begin() { return Items().begin(); }
  auto end() { return Items().end(); }

  // The members as a plain list (a snapshot for walking while changing).
  std::vector<std::shared_ptr<T>> Snapshot() { return Items(); }

 private:
  std::vector<std::shared_ptr<T>>& Items() {
    if (backend_ && (!loaded_ || backend_->Stale())) {
      items_ = backend_->Load();
      loaded_ = true;
    }
    return items_;
  }

  std::string kind_;
  int duplicate_error_;
  std::unique_ptr<CollectionBackend<T>> backend_;
  std::vector<std::shared_ptr<T>> items_;
  bool loaded_ = false;
};

}  // namespace brenquil
