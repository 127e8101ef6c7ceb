#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/storage/plist/property_list_value.h"
#include "core/support/bytes.h"

namespace quillon {

// A property-list dictionary of a stored record. Stored records are flat dictionaries
// of scalars, so this offers exactly that: typed reads that tell "absent" from
// "present with the wrong type", and typed writes. Bytes go in and out through
// PropertyListCodec, which bounds what the parser is given.
class PropertyList {
 public:
  // An empty dictionary.
  PropertyList();
  PropertyList(PropertyList&&) noexcept;
  PropertyList& operator=(PropertyList&&) noexcept;
  PropertyList(const PropertyList&) = delete;
  PropertyList& operator=(const PropertyList&) = delete;
  ~PropertyList();

  // Parses a binary or XML property list whose root is a dictionary; none otherwise.
  static std::optional<PropertyList> parseDictionary(std::span<const std::uint8_t> data);
  // The binary ("bplist00") form.
  Bytes toBinary() const;

  bool contains(const std::string& key) const;
  // Each reader gives none when the key is absent or holds another type.
  std::optional<std::int64_t> integer(const std::string& key) const;
  std::optional<std::uint64_t> unsignedInteger(const std::string& key) const;
  std::optional<bool> boolean(const std::string& key) const;
  std::optional<std::string> string(const std::string& key) const;
  // Dates in seconds since the Unix epoch (stored relative to 2001-01-01, as the
  // platform stores them).
  std::optional<double> date(const std::string& key) const;

  void setInteger(const std::string& key, std::int64_t value);
  void setUnsignedInteger(const std::string& key, std::uint64_t value);
  void setBoolean(const std::string& key, bool value);
  void setString(const std::string& key, const std::string& value);
  void setDate(const std::string& key, double secondsSince1970);

  // Seconds between the Unix epoch and 2001-01-01T00:00:00Z.
  static constexpr double referenceDateOffset = 978'307'200.0;

 private:
  const PropertyListValue* item(const std::string& key) const;

  PropertyListValue::Dictionary entries_;
};

}  // namespace quillon
