#include "core/storage/property_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace quillon {
namespace {

// A dictionary written by another implementation of the binary format (sorted keys):
// version 1, lastStep "preview", completedAt 2001-01-01T00:00:00.5Z,
// dismissedAt 1999-12-31T23:59:58.5Z, negative -1 (8-byte signed), extra [1, 2].
const Bytes foreignBinary = {
    0x62, 0x70, 0x6c, 0x69, 0x73, 0x74, 0x30, 0x30, 0xd6, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09,
    0x0c, 0x0d, 0x0a, 0x5b, 0x63, 0x6f, 0x6d, 0x70, 0x6c, 0x65, 0x74, 0x65, 0x64, 0x41, 0x74, 0x5b, 0x64, 0x69,
    0x73, 0x6d, 0x69, 0x73, 0x73, 0x65, 0x64, 0x41, 0x74, 0x55, 0x65, 0x78, 0x74, 0x72, 0x61, 0x58, 0x6c, 0x61,
    0x73, 0x74, 0x53, 0x74, 0x65, 0x70, 0x58, 0x6e, 0x65, 0x67, 0x61, 0x74, 0x69, 0x76, 0x65, 0x57, 0x76, 0x65,
    0x72, 0x73, 0x69, 0x6f, 0x6e, 0x33, 0x3f, 0xe0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x33, 0xc1, 0x7e, 0x28,
    0x50, 0x18, 0x00, 0x00, 0x00, 0xa2, 0x0a, 0x0b, 0x10, 0x01, 0x10, 0x02, 0x57, 0x70, 0x72, 0x65, 0x76, 0x69,
    0x65, 0x77, 0x13, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x08, 0x15, 0x21, 0x2d, 0x33, 0x3c, 0x45,
    0x4d, 0x56, 0x5f, 0x62, 0x64, 0x66, 0x6e, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x0e, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x77};

TEST(PropertyList, ReadsAForeignBinaryDictionary) {
  auto dictionary = PropertyList::parseDictionary(foreignBinary);
  ASSERT_TRUE(dictionary);
  EXPECT_EQ(1, dictionary->integer("version"));
  EXPECT_EQ("preview", dictionary->string("lastStep"));
  EXPECT_DOUBLE_EQ(978'307'200.5, dictionary->date("completedAt").value());
  EXPECT_DOUBLE_EQ(946'684'798.5, dictionary->date("dismissedAt").value());
  EXPECT_EQ(-1, dictionary->integer("negative"));
  EXPECT_TRUE(dictionary->contains("extra"));
  // Present with another type reads as none, so decoders can tell it from absent.
  EXPECT_FALSE(dictionary->string("version"));
  EXPECT_FALSE(dictionary->integer("lastStep"));
  EXPECT_FALSE(dictionary->date("version"));
  EXPECT_FALSE(dictionary->boolean("extra"));
  EXPECT_FALSE(dictionary->contains("missing"));
}

TEST(PropertyList, WritesBinaryThatReadsBackUnchanged) {
  PropertyList written;
  written.setInteger("negative", -42);
  written.setUnsignedInteger("flags", 0x1E0000);
  written.setBoolean("yes", true);
  written.setBoolean("no", false);
  written.setString("text", "設定 % \"quoted\"");
  written.setDate("modern", 1'800'000'000.25);
  written.setDate("beforeReference", 946'684'798.5);  // fraction below a negative second
  written.setDate("epoch", 0.0);

  const Bytes binary = written.toBinary();
  ASSERT_GE(binary.size(), 8u);
  EXPECT_EQ("bplist00", std::string(binary.begin(), binary.begin() + 8));

  auto read = PropertyList::parseDictionary(binary);
  ASSERT_TRUE(read);
  EXPECT_EQ(-42, read->integer("negative"));
  EXPECT_EQ(0x1E0000u, read->unsignedInteger("flags"));
  EXPECT_EQ(true, read->boolean("yes"));
  EXPECT_EQ(false, read->boolean("no"));
  EXPECT_EQ("設定 % \"quoted\"", read->string("text"));
  EXPECT_NEAR(1'800'000'000.25, read->date("modern").value(), 1e-6);
  EXPECT_NEAR(946'684'798.5, read->date("beforeReference").value(), 1e-6);
  EXPECT_NEAR(0.0, read->date("epoch").value(), 1e-6);
}

TEST(PropertyList, RefusesWhatIsNotADictionary) {
  const std::string xmlArray =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array><integer>1</integer></array></plist>";
  Bytes truncated(foreignBinary.begin(), foreignBinary.end() - 10);
  Bytes badOffsets = foreignBinary;
  badOffsets[badOffsets.size() - 1] = 0xFF;  // offset table beyond the end
  const struct {
    const char* name;
    Bytes data;
  } cases[] = {
      {"empty", {}},
      {"text", bytesOf("not a property list")},
      {"magic only", bytesOf("bplist00")},
      {"truncated binary", truncated},
      {"offset table out of range", badOffsets},
      {"array root", bytesOf(xmlArray)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(PropertyList::parseDictionary(c.data));
  }
}

TEST(PropertyList, ReadsAnXmlDictionary) {
  const std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
      "<key>shortcut</key><integer>1048576</integer><key>savePreviews</key><true/></dict></plist>";
  auto dictionary = PropertyList::parseDictionary(bytesOf(xml));
  ASSERT_TRUE(dictionary);
  EXPECT_EQ(1'048'576u, dictionary->unsignedInteger("shortcut"));
  EXPECT_EQ(true, dictionary->boolean("savePreviews"));
}

}  // namespace
}  // namespace quillon
