#include "core/support/uuid.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace quillon {
namespace {

TEST(Uuid, RandomIsVersionFourInUpperCaseWithHyphens) {
  // Version 4, RFC 4122 variant.
  static const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    const auto uuid = Uuid::random();
    const std::string text = uuid.toString();
    ASSERT_TRUE(std::regex_match(text, form)) << text;
    EXPECT_EQ(uuid, Uuid::parse(text));
    seen.insert(text);
  }
  EXPECT_EQ(200u, seen.size());
}

TEST(Uuid, ParseAcceptsEitherCaseAndRejectsAnythingElse) {
  const auto lower = Uuid::parse("0f8e2a4c-1b3d-4e5f-9a7b-c6d5e4f3a2b1");
  ASSERT_TRUE(lower);
  EXPECT_EQ("0F8E2A4C-1B3D-4E5F-9A7B-C6D5E4F3A2B1", lower->toString());
  const char* rejected[] = {
      "",
      "0F8E2A4C1B3D4E5F9A7BC6D5E4F3A2B1",        // no hyphens
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
    EXPECT_FALSE(Uuid::parse(text));
  }
}

}  // namespace
}  // namespace quillon
