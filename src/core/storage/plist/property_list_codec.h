#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "core/storage/plist/property_list_value.h"
#include "core/support/bytes.h"

namespace quillon {

// Property lists in and out of bytes, through libplist. Decoding accepts the XML and
// the binary format (told apart by the "bplist00" magic) and gives none for anything
// malformed; it is the gate every stored or foreign property list passes through, so
// it bounds input size and nesting before the parser sees the bytes.
class PropertyListCodec {
 public:
  // Deeper nesting is refused: none of our records nests more than a few levels, and
  // the parsers recurse once per level.
  static constexpr int maximumDepth = 64;
  static constexpr std::size_t maximumInputBytes = std::size_t{16} * 1024 * 1024;
  // Far above any Info dictionary or record of ours; bounds the parser's recursion.
  static constexpr std::size_t maximumXmlContainers = 8192;
  static constexpr std::uint64_t maximumBinaryObjects = 16384;

  static std::optional<PropertyListValue> decode(std::span<const std::uint8_t> bytes);
  // False for bytes that would crash libplist: more containers (XML) or objects
  // (binary) than bound its recursion, or strings holding NUL characters. Every caller
  // of plist_from_memory checks this first.
  static bool isSafeToParse(std::span<const std::uint8_t> bytes);
  // The binary format, as the platform writes preference files.
  static Bytes encodeBinary(const PropertyListValue& value);
  // The XML format; used where a person may read the file (test bundles, docs).
  static Bytes encodeXml(const PropertyListValue& value);
};

}  // namespace quillon
