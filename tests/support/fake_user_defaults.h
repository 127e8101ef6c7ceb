#pragma once

#include <map>
#include <string>

#include "core/platform/user_defaults.h"

namespace quillon {

// An in-memory defaults domain. Tests plant values of any type, make writes vanish or
// come back altered, and count the writes that happened.
class FakeUserDefaults final : public UserDefaults {
 public:
  void set(const std::string& key, PropertyListValue value) {
    values_.insert_or_assign(key, std::move(value));
    touch();
  }
  void erase(const std::string& key) {
    values_.erase(key);
    touch();
  }
  // Writes are accepted but not kept, as when the domain cannot be written.
  void dropWrites(bool drop) { dropWrites_ = drop; }
  // Writes keep all but the last byte, as a read-back check must notice.
  void truncateWrites(bool truncate) { truncateWrites_ = truncate; }
  int writeCount() const { return writeCount_; }
  // As if another program wrote the domain: the stamp moves.
  void touch() { ++revision_; }

  // UserDefaults:
  std::optional<PropertyListValue> object(const std::string& key) const override {
    const auto found = values_.find(key);
    if (found == values_.end()) return std::nullopt;
    return found->second;
  }
  std::optional<Bytes> data(const std::string& key) const override {
    const auto found = values_.find(key);
    if (found == values_.end() || found->second.data() == nullptr) return std::nullopt;
    return *found->second.data();
  }
  void setData(std::span<const std::uint8_t> data, const std::string& key) override {
    ++writeCount_;
    if (dropWrites_) return;
    Bytes stored(data.begin(), data.end());
    if (truncateWrites_ && !stored.empty()) stored.pop_back();
    values_.insert_or_assign(key, PropertyListValue{std::move(stored)});
    touch();
  }
  int readError() const override { return 0; }
  DefaultsStamp stamp() const override { return {.size = revision_, .error = 0}; }

 private:
  std::map<std::string, PropertyListValue> values_;
  bool dropWrites_ = false;
  bool truncateWrites_ = false;
  int writeCount_ = 0;
  std::int64_t revision_ = 0;
};

}  // namespace quillon
