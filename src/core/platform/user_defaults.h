#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/storage/plist/property_list_value.h"
#include "core/support/bytes.h"

namespace quillon {

// What the storage of the domain looked like at one look: equal stamps mean nobody
// wrote it in between (this program, another copy of it, a restore, the user's editor).
// The change time is there because it also moves when only the permissions change.
struct DefaultsStamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modifiedNanoseconds = 0;
  std::int64_t changedNanoseconds = 0;
  int error = 0;  // errno of a failed look; ENOENT while nothing was ever stored
  friend bool operator==(const DefaultsStamp&, const DefaultsStamp&) = default;
};

// The user-defaults domain of this program. Values written by other versions, by the
// user or by a defaults tool may be of any type, so reads give the raw value and
// callers decide what they accept.
class UserDefaults {
 public:
  UserDefaults() = default;
  UserDefaults(const UserDefaults&) = delete;
  UserDefaults& operator=(const UserDefaults&) = delete;
  virtual ~UserDefaults() = default;

  // The stored value of any type, or none.
  virtual std::optional<PropertyListValue> object(const std::string& key) const = 0;
  // The stored value when it is a data blob, else none.
  virtual std::optional<Bytes> data(const std::string& key) const = 0;
  // Stores a data blob. May fail silently (a full disk, a locked domain); callers that
  // must know read the value back.
  virtual void setData(std::span<const std::uint8_t> data, const std::string& key) = 0;

  // An errno when the domain's storage exists but cannot be read, else 0. Reads then
  // answer as if nothing were stored, so a caller that must not take an unreadable
  // domain for an empty one asks this first.
  virtual int readError() const = 0;
  // Cheap enough for a look every second.
  virtual DefaultsStamp stamp() const = 0;
};

}  // namespace quillon
