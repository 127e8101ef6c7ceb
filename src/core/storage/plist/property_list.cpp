#include "core/storage/plist/property_list.h"

#include "core/storage/plist/property_list_codec.h"

namespace quillon {

PropertyList::PropertyList() = default;
PropertyList::PropertyList(PropertyList&&) noexcept = default;
PropertyList& PropertyList::operator=(PropertyList&&) noexcept = default;
PropertyList::~PropertyList() = default;

std::optional<PropertyList> PropertyList::parseDictionary(std::span<const std::uint8_t> data) {
  // The codec bounds size and nesting before libplist sees the bytes.
  auto value = PropertyListCodec::decode(data);
  if (!value || value->dictionary() == nullptr) return std::nullopt;
  PropertyList parsed;
  parsed.entries_ = std::move(std::get<PropertyListValue::Dictionary>(value->value));
  return parsed;
}

Bytes PropertyList::toBinary() const { return PropertyListCodec::encodeBinary(PropertyListValue{entries_}); }

const PropertyListValue* PropertyList::item(const std::string& key) const {
  auto found = entries_.find(key);
  return found == entries_.end() ? nullptr : &found->second;
}

bool PropertyList::contains(const std::string& key) const { return entries_.contains(key); }

std::optional<std::int64_t> PropertyList::integer(const std::string& key) const {
  const auto* value = item(key);
  if (value == nullptr || value->integer() == nullptr) return std::nullopt;
  return *value->integer();
}

std::optional<std::uint64_t> PropertyList::unsignedInteger(const std::string& key) const {
  // Binary property lists store integers as 64-bit two's complement; the same bits
  // read as unsigned give back what was written as unsigned.
  auto value = integer(key);
  if (!value) return std::nullopt;
  return static_cast<std::uint64_t>(*value);
}

std::optional<bool> PropertyList::boolean(const std::string& key) const {
  const auto* value = item(key);
  if (value == nullptr || value->boolean() == nullptr) return std::nullopt;
  return *value->boolean();
}

std::optional<std::string> PropertyList::string(const std::string& key) const {
  const auto* value = item(key);
  if (value == nullptr || value->string() == nullptr) return std::nullopt;
  return *value->string();
}

std::optional<double> PropertyList::date(const std::string& key) const {
  const auto* value = item(key);
  if (value == nullptr) return std::nullopt;
  const auto* date = std::get_if<PropertyListDate>(&value->value);
  if (date == nullptr) return std::nullopt;
  return referenceDateOffset + date->secondsSinceReferenceDate;
}

void PropertyList::setInteger(const std::string& key, std::int64_t value) {
  entries_.insert_or_assign(key, PropertyListValue{value});
}

void PropertyList::setUnsignedInteger(const std::string& key, std::uint64_t value) {
  setInteger(key, static_cast<std::int64_t>(value));
}

void PropertyList::setBoolean(const std::string& key, bool value) {
  entries_.insert_or_assign(key, PropertyListValue{value});
}

void PropertyList::setString(const std::string& key, const std::string& value) {
  entries_.insert_or_assign(key, PropertyListValue{value});
}

void PropertyList::setDate(const std::string& key, double secondsSince1970) {
  entries_.insert_or_assign(key, PropertyListValue{PropertyListDate{secondsSince1970 - referenceDateOffset}});
}

}  // namespace quillon
