#include "core/support/url.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

// Paths with characters that mean something in a URL must come back unchanged, or a
// registered bundle would no longer be found at its own location.
TEST(Url, FilePathsSurviveTheRoundTrip) {
  const char* paths[] = {
      "/Applications/Notch A.app",
      "/tmp/100% real",
      "/tmp/what?.app",
      "/tmp/#1.app",
      "/tmp/日本語のアプリ.app",
      "/tmp/%41",  // must not decode to "A"
      "/tmp/semi;colon=equals&amp",
      "/",
  };
  for (const char* path : paths) {
    SCOPED_TRACE(path);
    for (bool directory : {false, true}) {
      const Url url = Url::fileUrl(path, directory);
      EXPECT_TRUE(url.isFileUrl());
      EXPECT_EQ(path, url.path());
      EXPECT_EQ(directory || std::string(path) == "/", url.hasDirectoryPath());
      const auto reparsed = Url::parse(url.absoluteString());
      ASSERT_TRUE(reparsed);
      EXPECT_EQ(url, *reparsed);
    }
  }
}

TEST(Url, OnlyLocalFileUrlsHaveAPathAndNamesComeDecoded) {
  const struct {
    const char* text;
    bool isFile;
    const char* path;
    const char* last;
    const char* extension;
  } cases[] = {
      {"file:///Applications/Notch%20A.app/", true, "/Applications/Notch A.app", "Notch A.app", "app"},
      {"FILE:///x/archive.tar.gz", true, "/x/archive.tar.gz", "archive.tar.gz", "gz"},
      {"file://localhost/x/.hidden", true, "/x/.hidden", ".hidden", ""},
      {"file:/x/Name.APP", true, "/x/Name.APP", "Name.APP", "APP"},
      {"file:///x/trailing.?query#fragment", true, "/x/trailing.", "trailing.", ""},
      {"file:///", true, "/", "", ""},
      {"file://server/x", false, "", "", ""},
      {"file://", false, "", "", ""},
      {"file:relative", false, "", "", ""},
      {"https://example.com/x", false, "", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto url = Url::parse(c.text);
    ASSERT_TRUE(url);
    EXPECT_EQ(c.isFile, url->isFileUrl());
    EXPECT_EQ(c.path, url->path());
    if (c.isFile) {
      EXPECT_EQ(c.last, url->lastPathComponent());
      EXPECT_EQ(c.extension, url->pathExtension());
    }
  }
  for (const char* text : {"", ":x", "1abc:x", "no scheme", "a b:c"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(Url::parse(text));
  }
}

TEST(Url, StandardizingResolvesDotsWithoutEscapingTheRoot) {
  const struct {
    const char* path;
    const char* standardized;
  } cases[] = {
      {"/a/./b/../c", "/a/c"}, {"/a//b///", "/a/b"},     {"/../..", "/"}, {"/a/..", "/"},
      {"/a/...", "/a/..."},    {"/a/b/..c", "/a/b/..c"}, {"", "/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(c.standardized, standardizePath(c.path));
  }
  EXPECT_EQ("file:///Applications/A.app/",
            Url::fileUrl("/Applications/X/../A.app", true).standardized().absoluteString());
}

TEST(Url, PercentDecodingLeavesBrokenEscapesAlone) {
  EXPECT_EQ("a b", percentDecode("a%20b"));
  EXPECT_EQ("100%", percentDecode("100%"));
  EXPECT_EQ("%2", percentDecode("%2"));
  EXPECT_EQ("%zz", percentDecode("%zz"));
  EXPECT_EQ("A", percentDecode("%41"));
  EXPECT_EQ(std::string("a\0b", 3), percentDecode("a%00b"));
}

}  // namespace
}  // namespace quillon
