#include "core/storage/property_list_codec.h"

#include <plist/plist.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string_view>

namespace quillon {

namespace {

struct PlistFree {
  void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

struct MallocFree {
  void operator()(char* text) const { std::free(text); }
};
using MallocText = std::unique_ptr<char, MallocFree>;

// Dates are seconds since 2001-01-01 on both sides, so they convert without an epoch shift.
std::optional<PropertyListValue> fromNode(plist_t node, int depth) {
  if (node == nullptr || depth > PropertyListCodec::maximumDepth) return std::nullopt;
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      std::uint8_t flag = 0;
      plist_get_bool_val(node, &flag);
      return PropertyListValue{flag != 0};
    }
    case PLIST_UINT: {
      std::uint64_t number = 0;
      plist_get_uint_val(node, &number);
      return PropertyListValue{static_cast<std::int64_t>(number)};
    }
    case PLIST_REAL: {
      double number = 0;
      plist_get_real_val(node, &number);
      return PropertyListValue{number};
    }
    case PLIST_STRING: {
      char* raw = nullptr;
      plist_get_string_val(node, &raw);
      MallocText text(raw);
      return PropertyListValue{std::string(text ? text.get() : "")};
    }
    case PLIST_DATA: {
      char* raw = nullptr;
      std::uint64_t length = 0;
      plist_get_data_val(node, &raw, &length);
      MallocText data(raw);
      const auto* begin = reinterpret_cast<const std::uint8_t*>(data.get());
      return PropertyListValue{data ? Bytes(begin, begin + length) : Bytes{}};
    }
    case PLIST_DATE: {
      std::int32_t seconds = 0;
      std::int32_t microseconds = 0;
      plist_get_date_val(node, &seconds, &microseconds);
      // WORKAROUND(libplist 2.2): the stored date is a double; the getter truncates its
      // whole seconds toward zero but returns the fraction's magnitude, so before 2001
      // the fraction belongs on the negative side. (Within the last second before 2001
      // the sign is lost altogether; stored records are never that old.)
      const double fraction = static_cast<double>(microseconds) / 1e6;
      const double sinceReference = seconds < 0 ? static_cast<double>(seconds) - fraction : seconds + fraction;
      return PropertyListValue{PropertyListDate{sinceReference}};
    }
    case PLIST_ARRAY: {
      PropertyListValue::Array items;
      const std::uint32_t count = plist_array_get_size(node);
      items.reserve(count);
      for (std::uint32_t i = 0; i < count; ++i) {
        auto item = fromNode(plist_array_get_item(node, i), depth + 1);
        if (!item) return std::nullopt;
        items.push_back(std::move(*item));
      }
      return PropertyListValue{std::move(items)};
    }
    case PLIST_DICT: {
      PropertyListValue::Dictionary entries;
      plist_dict_iter iterator = nullptr;
      plist_dict_new_iter(node, &iterator);
      std::unique_ptr<void, decltype(&std::free)> ownedIterator(iterator, &std::free);
      while (true) {
        char* rawKey = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, iterator, &rawKey, &item);
        MallocText key(rawKey);
        if (item == nullptr) break;
        auto converted = fromNode(item, depth + 1);
        if (!converted || !key) return std::nullopt;
        entries.insert_or_assign(std::string(key.get()), std::move(*converted));
      }
      return PropertyListValue{std::move(entries)};
    }
    case PLIST_KEY:
    case PLIST_UID:
    case PLIST_NONE:
      return std::nullopt;
  }
  return std::nullopt;
}

PlistPtr toNode(const PropertyListValue& value) {
  struct Visitor {
    PlistPtr operator()(bool flag) const { return PlistPtr(plist_new_bool(flag ? 1 : 0)); }
    PlistPtr operator()(std::int64_t number) const {
      return PlistPtr(plist_new_uint(static_cast<std::uint64_t>(number)));
    }
    PlistPtr operator()(double number) const { return PlistPtr(plist_new_real(number)); }
    PlistPtr operator()(const std::string& text) const { return PlistPtr(plist_new_string(text.c_str())); }
    PlistPtr operator()(const Bytes& data) const {
      return PlistPtr(plist_new_data(reinterpret_cast<const char*>(data.data()), data.size()));
    }
    PlistPtr operator()(const PropertyListDate& date) const {
      // libplist keeps whole seconds and microseconds in 32 bits each: clamp first (a
      // cast of an out-of-range double is undefined), and floor the seconds so that the
      // microseconds stay non-negative before 2001 too.
      constexpr double lowest = std::numeric_limits<std::int32_t>::min();
      constexpr double highest = std::numeric_limits<std::int32_t>::max() - 1;
      double seconds = date.secondsSinceReferenceDate;
      seconds = std::isfinite(seconds) ? std::clamp(seconds, lowest, highest) : 0.0;
      const double whole = std::floor(seconds);
      auto micro = static_cast<std::int32_t>(std::lround((seconds - whole) * 1e6));
      auto wholeSeconds = static_cast<std::int32_t>(whole);
      if (micro >= 1'000'000) {
        micro -= 1'000'000;
        ++wholeSeconds;
      }
      return PlistPtr(plist_new_date(wholeSeconds, micro));
    }
    PlistPtr operator()(const PropertyListValue::Array& items) const {
      PlistPtr array(plist_new_array());
      for (const auto& item : items) plist_array_append_item(array.get(), toNode(item).release());
      return array;
    }
    PlistPtr operator()(const PropertyListValue::Dictionary& entries) const {
      PlistPtr dictionary(plist_new_dict());
      for (const auto& [key, item] : entries) plist_dict_set_item(dictionary.get(), key.c_str(), toNode(item).release());
      return dictionary;
    }
  };
  return std::visit(Visitor{}, value.value);
}

// libplist 2.2 parses and frees recursively, one stack frame per nesting level, so a
// hostile file nested a hundred thousand levels deep crashes the process. Nesting can
// be no deeper than the number of containers (XML) or objects (binary, whose parser
// refuses reference cycles), so bounding those counts before parsing bounds the stack.
bool withinStructureBounds(std::span<const std::uint8_t> bytes) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.substr(0, 8) == "bplist00") {
    if (bytes.size() < 8 + 32) return true;  // no trailer: the parser refuses it
    std::uint64_t objects = 0;
    for (std::size_t i = bytes.size() - 24; i < bytes.size() - 16; ++i) objects = (objects << 8) | bytes[i];
    return objects <= PropertyListCodec::maximumBinaryObjects;
  }
  std::size_t containers = 0;
  for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
    const auto tag = text.substr(at + 1, 5);
    if (tag.substr(0, 5) == "array" || tag.substr(0, 4) == "dict") {
      if (++containers > PropertyListCodec::maximumXmlContainers) return false;
    }
  }
  return true;
}

}  // namespace

std::optional<PropertyListValue> PropertyListCodec::decode(std::span<const std::uint8_t> bytes) {
  if (bytes.empty() || bytes.size() > maximumInputBytes || !withinStructureBounds(bytes)) return std::nullopt;
  plist_t raw = nullptr;
  plist_from_memory(reinterpret_cast<const char*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()), &raw);
  PlistPtr root(raw);
  return fromNode(root.get(), 0);
}

Bytes PropertyListCodec::encodeBinary(const PropertyListValue& value) {
  auto root = toNode(value);
  char* raw = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(root.get(), &raw, &length);
  MallocText out(raw);
  const auto* begin = reinterpret_cast<const std::uint8_t*>(out.get());
  return out ? Bytes(begin, begin + length) : Bytes{};
}

Bytes PropertyListCodec::encodeXml(const PropertyListValue& value) {
  auto root = toNode(value);
  char* raw = nullptr;
  std::uint32_t length = 0;
  plist_to_xml(root.get(), &raw, &length);
  MallocText out(raw);
  const auto* begin = reinterpret_cast<const std::uint8_t*>(out.get());
  return out ? Bytes(begin, begin + length) : Bytes{};
}

}  // namespace quillon
