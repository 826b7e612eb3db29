// A keyed table: case-sensitive keys, enumeration in insertion order, and
// adding a key that is already present fails with error 457.
#pragma once

#include <list>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Error.h"

namespace platform {

template <class V>
class KeyedTable {
 public:
  using Entry = std::pair<std::string, V>;

  KeyedTable() = default;
  // A copy indexes its own entries (the index holds positions in the list).
  KeyedTable(const KeyedTable& other) : entries_(other.entries_) { rebuildIndex(); }
  KeyedTable& operator=(const KeyedTable& other) {
    if (this != &other) {
      entries_ = other.entries_;
      rebuildIndex();
    }
    return *this;
  }
  KeyedTable(KeyedTable&&) noexcept = default;
  KeyedTable& operator=(KeyedTable&&) noexcept = default;

  // Adds a new entry at the end. Throws Error 457 when `key` is present.
  void add(const std::string& key, V item) {
    if (index_.count(key)) raise(err::kDuplicateKey);
    entries_.emplace_back(key, std::move(item));
    index_.emplace(key, std::prev(entries_.end()));
  }

  bool exists(const std::string& key) const { return index_.count(key) != 0; }

  // The item under `key`. Throws Error 5 when the key is missing.
  V& item(const std::string& key) { return find(key)->second; }
  const V& item(const std::string& key) const { return find(key)->second; }

  // Sets the item under `key`, adding the key at the end when missing.
  void set(const std::string& key, V item) {
    if (auto it = index_.find(key); it != index_.end()) {
      it->second->second = std::move(item);
    } else {
      add(key, std::move(item));
    }
  }

  // Removes `key`. Throws Error 5 when the key is missing.
  void remove(const std::string& key) {
    auto pos = find(key);
    index_.erase(key);
    entries_.erase(pos);
  }

  size_t count() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }

  std::vector<std::string> keys() const {
    std::vector<std::string> out;
    out.reserve(entries_.size());
    for (const auto& e : entries_) out.push_back(e.first);
    return out;
  }

  // Entries in insertion order.
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

 private:
  using Iter = typename std::list<Entry>::iterator;
  void rebuildIndex() {
    index_.clear();
    for (auto it = entries_.begin(); it != entries_.end(); ++it) index_.emplace(it->first, it);
  }

  Iter find(const std::string& key) const {
    auto it = index_.find(key);
    if (it == index_.end()) raise(err::kInvalidArgument);
    return it->second;
  }

  std::list<Entry> entries_;
  std::unordered_map<std::string, Iter> index_;
};

}  // namespace platform
