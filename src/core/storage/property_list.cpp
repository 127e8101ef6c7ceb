#include "core/storage/property_list.h"

#include <plist/plist.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace quillon {

void PropertyList::Deleter::operator()(void* node) const {
  if (node != nullptr) ::plist_free(static_cast<plist_t>(node));
}

PropertyList::PropertyList() : root_(::plist_new_dict()) {}
PropertyList::PropertyList(void* root) : root_(root) {}
PropertyList::PropertyList(PropertyList&&) noexcept = default;
PropertyList& PropertyList::operator=(PropertyList&&) noexcept = default;
PropertyList::~PropertyList() = default;

std::optional<PropertyList> PropertyList::parseDictionary(std::span<const std::uint8_t> data) {
  // libplist takes a 32-bit length; anything that large is not one of our records.
  if (data.empty() || data.size() > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  plist_t node = nullptr;
  ::plist_from_memory(reinterpret_cast<const char*>(data.data()), static_cast<std::uint32_t>(data.size()), &node);
  PropertyList parsed(node);
  if (node == nullptr || ::plist_get_node_type(node) != PLIST_DICT) return std::nullopt;
  return parsed;
}

Bytes PropertyList::toBinary() const {
  char* buffer = nullptr;
  std::uint32_t length = 0;
  ::plist_to_bin(static_cast<plist_t>(root_.get()), &buffer, &length);
  std::unique_ptr<char, void (*)(char*)> owned(buffer, ::plist_to_bin_free);
  if (buffer == nullptr) return {};
  return Bytes(buffer, buffer + length);
}

void* PropertyList::item(const std::string& key, int type) const {
  plist_t node = ::plist_dict_get_item(static_cast<plist_t>(root_.get()), key.c_str());
  if (node == nullptr || ::plist_get_node_type(node) != static_cast<plist_type>(type)) return nullptr;
  return node;
}

bool PropertyList::contains(const std::string& key) const {
  return ::plist_dict_get_item(static_cast<plist_t>(root_.get()), key.c_str()) != nullptr;
}

std::optional<std::uint64_t> PropertyList::unsignedInteger(const std::string& key) const {
  plist_t node = item(key, PLIST_UINT);
  if (node == nullptr) return std::nullopt;
  std::uint64_t value = 0;
  ::plist_get_uint_val(node, &value);
  return value;
}

std::optional<std::int64_t> PropertyList::integer(const std::string& key) const {
  // Binary property lists store integers as signed 64-bit two's complement; libplist
  // hands the same bits back as unsigned.
  auto value = unsignedInteger(key);
  if (!value) return std::nullopt;
  return static_cast<std::int64_t>(*value);
}

std::optional<bool> PropertyList::boolean(const std::string& key) const {
  plist_t node = item(key, PLIST_BOOLEAN);
  if (node == nullptr) return std::nullopt;
  std::uint8_t value = 0;
  ::plist_get_bool_val(node, &value);
  return value != 0;
}

std::optional<std::string> PropertyList::string(const std::string& key) const {
  plist_t node = item(key, PLIST_STRING);
  if (node == nullptr) return std::nullopt;
  char* value = nullptr;
  ::plist_get_string_val(node, &value);
  if (value == nullptr) return std::string();
  std::string result(value);
  ::free(value);
  return result;
}

std::optional<double> PropertyList::date(const std::string& key) const {
  plist_t node = item(key, PLIST_DATE);
  if (node == nullptr) return std::nullopt;
  std::int32_t seconds = 0;
  std::int32_t microseconds = 0;
  ::plist_get_date_val(node, &seconds, &microseconds);
  // WORKAROUND(libplist 2.2): the stored date is a double; the getter truncates its
  // whole seconds toward zero but returns the fraction's magnitude, so before 2001 the
  // fraction belongs on the negative side. (Within the last second before 2001 the sign
  // is lost altogether; stored records are never that old.)
  const double fraction = static_cast<double>(microseconds) / 1e6;
  const double sinceReference = seconds < 0 ? static_cast<double>(seconds) - fraction : seconds + fraction;
  return referenceDateOffset + sinceReference;
}

void PropertyList::setInteger(const std::string& key, std::int64_t value) {
  setUnsignedInteger(key, static_cast<std::uint64_t>(value));
}

void PropertyList::setUnsignedInteger(const std::string& key, std::uint64_t value) {
  ::plist_dict_set_item(static_cast<plist_t>(root_.get()), key.c_str(), ::plist_new_uint(value));
}

void PropertyList::setBoolean(const std::string& key, bool value) {
  ::plist_dict_set_item(static_cast<plist_t>(root_.get()), key.c_str(), ::plist_new_bool(value ? 1 : 0));
}

void PropertyList::setString(const std::string& key, const std::string& value) {
  ::plist_dict_set_item(static_cast<plist_t>(root_.get()), key.c_str(), ::plist_new_string(value.c_str()));
}

void PropertyList::setDate(const std::string& key, double secondsSince1970) {
  // libplist keeps whole seconds and microseconds since 2001 in 32 bits each; the
  // seconds are floored so that the microseconds stay non-negative before 2001 too.
  constexpr double lowest = std::numeric_limits<std::int32_t>::min();
  constexpr double highest = std::numeric_limits<std::int32_t>::max() - 1;
  double sinceReference = secondsSince1970 - referenceDateOffset;
  sinceReference = std::isfinite(sinceReference) ? std::clamp(sinceReference, lowest, highest) : 0.0;
  const double whole = std::floor(sinceReference);
  auto micro = static_cast<std::int32_t>(std::lround((sinceReference - whole) * 1e6));
  auto seconds = static_cast<std::int32_t>(whole);
  if (micro >= 1'000'000) {
    micro -= 1'000'000;
    ++seconds;
  }
  ::plist_dict_set_item(static_cast<plist_t>(root_.get()), key.c_str(), ::plist_new_date(seconds, micro));
}

}  // namespace quillon
