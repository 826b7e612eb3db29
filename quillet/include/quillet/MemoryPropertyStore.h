// A property store kept in memory: what a host form holds for its control.
// Values equal to their default are not kept, so a store saved from a fresh
// control is empty and a control loaded from it starts from the defaults.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "quillet/Quillet.h"

namespace quillet {

class MemoryPropertyStore final : public IPropertyStore {
 public:
  platform::Value readProperty(const std::string& name, const platform::Value& defaultValue) override {
    auto it = values_.find(name);
    return it == values_.end() ? defaultValue : it->second;
  }

  // Keeps `value`, or forgets `name` when `value` equals its default.
  void writeProperty(const std::string& name, const platform::Value& value,
                     const platform::Value& defaultValue) override {
    if (value == defaultValue) {
      values_.erase(name);
    } else {
      values_[name] = value;
    }
  }

  void propertyChanged(const std::string& name) override { changed_.push_back(name); }

  // Number of properties stored.
  size_t size() const { return values_.size(); }

  bool contains(const std::string& name) const { return values_.count(name) != 0; }

  // Names the control reported as changed, in the order it reported them.
  const std::vector<std::string>& changedProperties() const { return changed_; }

 private:
  std::map<std::string, platform::Value> values_;
  std::vector<std::string> changed_;
};

}  // namespace quillet
