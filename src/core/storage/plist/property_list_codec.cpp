#include "core/storage/plist/property_list_codec.h"

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
// Strings are Unicode; bytes that are not UTF-8 (an ASCII-typed binary string with
// high bytes) make the property list malformed rather than travel on into names shown
// to the user and records written back.
bool isValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t extra = 0;
    std::uint32_t codePoint = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      codePoint = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      codePoint = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      codePoint = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      codePoint = (codePoint << 6) | (next & 0x3F);
    }
    static constexpr std::uint32_t smallest[] = {0, 0x80, 0x800, 0x10000};
    if (codePoint < smallest[extra] || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
      return false;
    i += extra + 1;
  }
  return true;
}

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
      std::uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      std::string value = text ? std::string(text, length) : std::string();
      if (!isValidUtf8(value)) return std::nullopt;
      return PropertyListValue{std::move(value)};
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
        if (!converted || !key || !isValidUtf8(key.get())) return std::nullopt;
        entries.insert_or_assign(std::string(key.get()), std::move(*converted));
      }
      return PropertyListValue{std::move(entries)};
    }
    case PLIST_KEY:
    case PLIST_UID:
    case PLIST_NONE: return std::nullopt;
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
      for (const auto& [key, item] : entries)
        plist_dict_set_item(dictionary.get(), key.c_str(), toNode(item).release());
      return dictionary;
    }
  };
  return std::visit(Visitor{}, value.value);
}

}  // namespace

namespace {

std::uint64_t bigEndian(std::span<const std::uint8_t> bytes) {
  std::uint64_t value = 0;
  for (auto byte : bytes) value = (value << 8) | byte;
  return value;
}

// Checks the string objects of a binary property list for NUL characters (see
// isSafeToParse). False also when the offset table or an object lies outside the
// bytes, which the parser refuses anyway.
bool binaryStringsFreeOfNul(std::span<const std::uint8_t> bytes, std::uint64_t objects) {
  const auto trailer = bytes.subspan(bytes.size() - 32);
  const std::uint8_t offsetSize = trailer[6];
  const std::uint64_t tableOffset = bigEndian(trailer.subspan(24, 8));
  const std::uint64_t end = bytes.size() - 32;
  if (offsetSize == 0 || offsetSize > 8 || tableOffset > end || objects > (end - tableOffset) / offsetSize)
    return false;
  for (std::uint64_t i = 0; i < objects; ++i) {
    const std::uint64_t offset = bigEndian(bytes.subspan(tableOffset + i * offsetSize, offsetSize));
    if (offset >= end) return false;
    const std::uint8_t marker = bytes[offset];
    const int type = marker >> 4;
    if (type != 0x5 && type != 0x6) continue;  // ASCII and UTF-16 strings (keys are strings too)
    std::uint64_t length = marker & 0x0F;
    std::uint64_t start = offset + 1;
    if (length == 0x0F) {
      // The length follows as an integer object of 1, 2, 4 or 8 bytes.
      if (start >= end || (bytes[start] >> 4) != 0x1 || (bytes[start] & 0x0F) > 3) return false;
      const std::uint64_t width = std::uint64_t{1} << (bytes[start] & 0x0F);
      if (start + 1 + width > end) return false;
      length = bigEndian(bytes.subspan(start + 1, width));
      start += 1 + width;
    }
    const std::uint64_t unit = type == 0x6 ? 2 : 1;
    if (length > (end - start) / unit) return false;
    for (std::uint64_t at = start; at < start + length * unit; at += unit) {
      if (bytes[at] == 0 && (unit == 1 || bytes[at + 1] == 0)) return false;
    }
  }
  return true;
}

}  // namespace

// Two faults of libplist 2.2 that hostile bytes reach:
//  - It parses and frees recursively, one stack frame per nesting level, so a file
//    nested a hundred thousand levels deep crashes the process. Nesting can be no
//    deeper than the number of containers (XML) or objects (binary, whose parser
//    refuses reference cycles), so bounding those counts bounds the stack.
//  - Reading a string or key that holds a NUL character fails an assertion (abort).
//    No real property list has one, so such input is refused before it is parsed.
bool PropertyListCodec::isSafeToParse(std::span<const std::uint8_t> bytes) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.substr(0, 8) == "bplist00") {
    if (bytes.size() < 8 + 32) return true;  // no trailer: the parser refuses it
    const std::uint64_t objects = bigEndian(bytes.subspan(bytes.size() - 24, 8));
    return objects <= maximumBinaryObjects && binaryStringsFreeOfNul(bytes, objects);
  }
  if (text.find('\0') != std::string_view::npos) return false;
  std::size_t containers = 0;
  for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
    const auto tag = text.substr(at + 1, 5);
    if (tag.substr(0, 5) == "array" || tag.substr(0, 4) == "dict") {
      if (++containers > maximumXmlContainers) return false;
    }
  }
  return true;
}

std::optional<PropertyListValue> PropertyListCodec::decode(std::span<const std::uint8_t> bytes) {
  if (bytes.empty() || bytes.size() > maximumInputBytes || !isSafeToParse(bytes)) return std::nullopt;
  plist_t raw = nullptr;
  plist_from_memory(reinterpret_cast<const char*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()), &raw);
  PlistPtr root(raw);
  return fromNode(root.get(), 0);
}

namespace {
// libplist's two writers share one shape: a node in, a malloc'd buffer and its length out.
Bytes serialize(const PropertyListValue& value, void (*writer)(plist_t, char**, std::uint32_t*)) {
  auto root = toNode(value);
  char* raw = nullptr;
  std::uint32_t length = 0;
  writer(root.get(), &raw, &length);
  MallocText out(raw);
  const auto* begin = reinterpret_cast<const std::uint8_t*>(out.get());
  return out ? Bytes(begin, begin + length) : Bytes{};
}
}  // namespace

Bytes PropertyListCodec::encodeBinary(const PropertyListValue& value) { return serialize(value, plist_to_bin); }

Bytes PropertyListCodec::encodeXml(const PropertyListValue& value) { return serialize(value, plist_to_xml); }

}  // namespace quillon
