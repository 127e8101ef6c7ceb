#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/storage/plist/property_list_value.h"
#include "core/support/bytes.h"

namespace quillon {

// The user-defaults domain of this program. Values written by other versions, by the
// user or by a defaults tool may be of any type, so reads give the raw value and
// callers decide what they accept.
class LaunchUserDefaults {
 public:
  LaunchUserDefaults() = default;
  LaunchUserDefaults(const LaunchUserDefaults&) = delete;
  LaunchUserDefaults& operator=(const LaunchUserDefaults&) = delete;
  virtual ~LaunchUserDefaults() = default;

  // The stored value of any type, or none.
  virtual std::optional<PropertyListValue> object(const std::string& key) const = 0;
  // The stored value when it is a data blob, else none.
  virtual std::optional<Bytes> data(const std::string& key) const = 0;
  // Stores a data blob. May fail silently (a full disk, a locked domain); callers that
  // must know read the value back.
  virtual void setData(std::span<const std::uint8_t> data, const std::string& key) = 0;
};

}  // namespace quillon
