#include "core/support/launch_uuid.h"

#include <gtest/gtest.h>

#include <set>

namespace quillon {
namespace {

TEST(LaunchUuid, RandomIsVersionFourInUpperCaseWithHyphens) {
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    const auto uuid = LaunchUuid::random();
    const std::string text = uuid.toString();
    ASSERT_EQ(36u, text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
      if (at == 8 || at == 13 || at == 18 || at == 23) {
        ASSERT_EQ('-', text[at]) << text;
      } else {
        ASSERT_TRUE((text[at] >= '0' && text[at] <= '9') || (text[at] >= 'A' && text[at] <= 'F')) << text;
      }
    }
    EXPECT_EQ('4', text[14]) << text;                                 // version
    EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos) << text;  // RFC 4122 variant
    EXPECT_EQ(uuid, LaunchUuid::parse(text));
    seen.insert(text);
  }
  EXPECT_EQ(200u, seen.size());
}

TEST(LaunchUuid, ParseAcceptsEitherCaseAndRejectsAnythingElse) {
  const auto lower = LaunchUuid::parse("0f8e2a4c-1b3d-4e5f-9a7b-c6d5e4f3a2b1");
  ASSERT_TRUE(lower);
  EXPECT_EQ("0F8E2A4C-1B3D-4E5F-9A7B-C6D5E4F3A2B1", lower->toString());
  const char* rejected[] = {
      "",
      "0F8E2A4C1B3D4E5F9A7BC6D5E4F3A2B1",       // no hyphens
      "0F8E2A4C-1B3D-4E5F-9A7B-C6D5E4F3A2B",     // one digit short
      "0F8E2A4C-1B3D-4E5F-9A7B-C6D5E4F3A2B12",   // one digit long
      "0F8E2A4-C1B3D-4E5F-9A7B-C6D5E4F3A2B1",    // hyphen moved
      "0F8E2A4C-1B3D-4E5F-9A7B-C6D5E4F3A2G1",    // not hexadecimal
      "0F8E2A4C-1B3D-4E5F-9A7B+C6D5E4F3A2B1",    // wrong separator
      " 0F8E2A4C-1B3D-4E5F-9A7B-C6D5E4F3A2B",    // leading space
      "{0F8E2A4C-1B3D-4E5F-9A7B-C6D5E4F3A2B1}",  // braces
  };
  for (const char* text : rejected) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(LaunchUuid::parse(text));
  }
  EXPECT_TRUE(LaunchUuid().isNil());
  EXPECT_EQ("00000000-0000-0000-0000-000000000000", LaunchUuid().toString());
}

}  // namespace
}  // namespace quillon
