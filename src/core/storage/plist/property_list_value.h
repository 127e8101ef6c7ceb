#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/support/bytes.h"

namespace quillon {

// A date as property lists store it: seconds since 2001-01-01 00:00:00 UTC.
struct PropertyListDate {
  double secondsSinceReferenceDate = 0;
  friend bool operator==(const PropertyListDate&, const PropertyListDate&) = default;
};

// One property-list value: what an Info dictionary, a preferences file or a
// user-defaults entry holds. Integers keep their 64 bits as stored; a value written as
// an unsigned number above the signed range reads back as a negative one, which every
// reader of ours treats as out of range.
struct PropertyListValue {
  using Array = std::vector<PropertyListValue>;
  using Dictionary = std::map<std::string, PropertyListValue>;
  using Storage = std::variant<bool, std::int64_t, double, std::string, Bytes, PropertyListDate, Array, Dictionary>;

  Storage value;

  const bool* boolean() const { return std::get_if<bool>(&value); }
  const std::int64_t* integer() const { return std::get_if<std::int64_t>(&value); }
  const double* real() const { return std::get_if<double>(&value); }
  const std::string* string() const { return std::get_if<std::string>(&value); }
  const Bytes* data() const { return std::get_if<Bytes>(&value); }
  const Array* array() const { return std::get_if<Array>(&value); }
  const Dictionary* dictionary() const { return std::get_if<Dictionary>(&value); }

  friend bool operator==(const PropertyListValue&, const PropertyListValue&) = default;
};

// The string stored under `key`, or none when it is absent or not a string.
inline std::optional<std::string> stringValue(const PropertyListValue::Dictionary& dictionary, const std::string& key) {
  const auto found = dictionary.find(key);
  if (found == dictionary.end()) return std::nullopt;
  const auto* text = found->second.string();
  return text ? std::optional<std::string>(*text) : std::nullopt;
}

}  // namespace quillon
