#include "core/storage/plist/property_list_codec.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

void bigEndian(Bytes& out, std::uint64_t value, int width) {
  for (int i = width - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A binary property list of the given objects (object 0 is the root); offsets and
// references are `width` bytes wide.
Bytes binaryObjects(const std::vector<Bytes>& objects, int width = 1) {
  Bytes out = bytesOf("bplist00");
  std::vector<std::uint64_t> offsets;
  for (const auto& object : objects) {
    offsets.push_back(out.size());
    out.insert(out.end(), object.begin(), object.end());
  }
  const std::uint64_t table = out.size();
  for (auto offset : offsets) bigEndian(out, offset, width);
  out.insert(out.end(), 6, 0);
  out.push_back(static_cast<std::uint8_t>(width));
  out.push_back(static_cast<std::uint8_t>(width));
  bigEndian(out, objects.size(), 8);
  bigEndian(out, 0, 8);
  bigEndian(out, table, 8);
  return out;
}

// One chain of one-element arrays, `depth` deep.
Bytes binaryChain(std::uint64_t depth) {
  std::vector<Bytes> objects(depth, Bytes{0xA1});
  for (std::uint64_t i = 0; i + 1 < depth; ++i) bigEndian(objects[i], i + 1, 4);
  objects.back() = {0xA0};
  return binaryObjects(objects, 4);
}

// Deep nesting exhausts libplist's recursion and NUL inside a string trips its assertion:
// such input must be refused before it reaches the parser, in both formats.
TEST(PropertyListCodec, MalformedOrDangerousInputDecodesToNothing) {
  const Bytes key = {0x51, 'k'};
  const Bytes plain = {0x53, 'a', 'b', 'c'};
  std::string deepXml = "<plist>";
  for (int i = 0; i < 1'000'000; ++i) deepXml += "<array>";
  Bytes longWithNul = {0x5F, 0x10, 20};
  longWithNul.insert(longWithNul.end(), 20, 'x');
  longWithNul[12] = 0;
  const std::vector<std::pair<const char*, Bytes>> rows = {
      {"empty", {}},
      {"truncated binary", bytesOf("bplist00 truncated")},
      {"unclosed XML", bytesOf("<plist><dict><key>a</key>")},
      {"XML nested past the depth limit", bytesOf(deepXml)},
      {"binary nested past the depth limit", binaryChain(200'000)},
      {"binary value with NUL", binaryObjects({{0xD1, 1, 2}, key, {0x53, 'a', 0, 'b'}})},
      {"binary key with NUL", binaryObjects({{0xD1, 1, 2}, {0x52, 'k', 0}, plain})},
      {"binary UTF-16 value with NUL", binaryObjects({{0xD1, 1, 2}, key, {0x62, 0x30, 0xCE, 0, 0}})},
      {"binary long string with NUL", binaryObjects({{0xD1, 1, 2}, key, longWithNul})},
      {"XML value with NUL", bytesOf(std::string("<plist><dict><key>k</key><string>a\0b</string></dict></plist>", 60))},
      {"XML key with NUL", bytesOf(std::string("<plist><dict><key>k\0</key><string>ab</string></dict></plist>", 60))},
      {"value not UTF-8", binaryObjects({{0xD1, 1, 2}, key, {0x52, 0xE7, 0xBC}})},
      {"key not UTF-8", binaryObjects({{0xD1, 1, 2}, {0x52, 0xC0, 0x80}, {0x51, 'v'}})},
  };
  for (const auto& [name, bytes] : rows) {
    SCOPED_TRACE(name);
    EXPECT_EQ(std::nullopt, PropertyListCodec::decode(bytes));
  }
  // The same shapes within bounds decode.
  EXPECT_TRUE(PropertyListCodec::decode(binaryChain(PropertyListCodec::maximumDepth)));
  const auto clean = PropertyListCodec::decode(binaryObjects({{0xD1, 1, 2}, key, plain}));
  ASSERT_TRUE(clean && clean->dictionary());
  EXPECT_EQ(PropertyListValue{std::string("abc")}, clean->dictionary()->at("k"));
  const auto utf16 = PropertyListCodec::decode(binaryObjects({{0xD1, 1, 2}, key, {0x62, 0x30, 0xCE, 0x30, 0xC3}}));
  ASSERT_TRUE(utf16 && utf16->dictionary());
  EXPECT_EQ(PropertyListValue{std::string("ノッ")}, utf16->dictionary()->at("k"));
}

}  // namespace
}  // namespace quillon
