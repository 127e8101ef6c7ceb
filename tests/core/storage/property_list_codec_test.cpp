#include "core/storage/property_list_codec.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

PropertyListValue sample() {
  PropertyListValue::Dictionary nested{{"flag", PropertyListValue{false}}, {"n", PropertyListValue{std::int64_t{-1}}}};
  return PropertyListValue{PropertyListValue::Dictionary{
      {"shortcut", PropertyListValue{std::int64_t{0x100000}}},
      {"savePreviews", PropertyListValue{true}},
      {"ratio", PropertyListValue{0.25}},
      {"name", PropertyListValue{std::string("ノッチ & <app>")}},
      {"blob", PropertyListValue{Bytes{0, 1, 2, 255}}},
      {"list", PropertyListValue{PropertyListValue::Array{PropertyListValue{std::string("a")}, PropertyListValue{nested}}}},
  }};
}

TEST(PropertyListCodec, BothFormatsRoundTripEveryKindOfValue) {
  const auto value = sample();
  const auto binary = PropertyListCodec::encodeBinary(value);
  ASSERT_GE(binary.size(), 8u);
  EXPECT_EQ("bplist00", std::string(binary.begin(), binary.begin() + 8));
  EXPECT_EQ(value, PropertyListCodec::decode(binary));
  EXPECT_EQ(value, PropertyListCodec::decode(PropertyListCodec::encodeXml(value)));
}

TEST(PropertyListCodec, MalformedOrOverlyDeepInputDecodesToNothing) {
  EXPECT_EQ(std::nullopt, PropertyListCodec::decode({}));
  EXPECT_EQ(std::nullopt, PropertyListCodec::decode(bytesOf("bplist00 truncated")));
  EXPECT_EQ(std::nullopt, PropertyListCodec::decode(bytesOf("<plist><dict><key>a</key>")));
  std::string deep = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
  for (int i = 0; i < 200; ++i) deep += "<array>";
  for (int i = 0; i < 200; ++i) deep += "</array>";
  deep += "</plist>";
  EXPECT_EQ(std::nullopt, PropertyListCodec::decode(bytesOf(deep)));
}

// A binary property list whose objects form one chain of one-element arrays.
Bytes binaryChain(std::uint64_t depth) {
  auto bigEndian = [](Bytes& out, std::uint64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  };
  Bytes out = bytesOf("bplist00");
  std::vector<std::uint64_t> offsets;
  for (std::uint64_t i = 0; i < depth; ++i) {
    offsets.push_back(out.size());
    if (i + 1 == depth) {
      out.push_back(0xA0);
    } else {
      out.push_back(0xA1);
      bigEndian(out, i + 1, 4);
    }
  }
  const std::uint64_t table = out.size();
  for (auto offset : offsets) bigEndian(out, offset, 4);
  out.insert(out.end(), 6, 0);
  out.push_back(4);
  out.push_back(4);
  bigEndian(out, depth, 8);
  bigEndian(out, 0, 8);
  bigEndian(out, table, 8);
  return out;
}

// Nesting of this depth crashes the parser's recursion; the codec must refuse it first.
TEST(PropertyListCodec, NestingDeepEnoughToExhaustTheStackIsRefusedBeforeParsing) {
  std::string xml = "<plist>";
  for (int i = 0; i < 1'000'000; ++i) xml += "<array>";
  EXPECT_EQ(std::nullopt, PropertyListCodec::decode(bytesOf(xml)));
  EXPECT_EQ(std::nullopt, PropertyListCodec::decode(binaryChain(200'000)));
  // A shallow chain of the same shape still decodes as far as the depth limit allows.
  EXPECT_TRUE(PropertyListCodec::decode(binaryChain(PropertyListCodec::maximumDepth)));
}

}  // namespace
}  // namespace quillon
