#include "core/bundle/process_identity.h"

#include <gtest/gtest.h>

#include "support/temporary_directory.h"
#include "support/test_app_bundle.h"

namespace quillon {
namespace {

TEST(ProcessIdentity, BundleComesFromTheExecutablesPlaceInIt) {
  TemporaryDirectory directory;
  TestAppBundle bundle;
  bundle.identifier = "com.example.notch";
  const auto notch = bundle.writeTo(directory / "Notch.app").string();
  TestAppBundle nameless;
  nameless.identifier = std::nullopt;
  const auto anonymous = nameless.writeTo(directory / "Anonymous.APP").string();

  struct Row {
    std::string executable;
    std::optional<std::string> bundlePath;
    std::optional<std::string> identifier;
  } rows[] = {
      {notch + "/Contents/MacOS/Notch", notch, "com.example.notch"},
      {notch + "/Contents/MacOS/helper", notch, "com.example.notch"},
      {anonymous + "/Contents/MacOS/Notch", anonymous, std::nullopt},
      // A bundle deleted since the process started still names where it ran from.
      {"/gone/Old.app/Contents/MacOS/Old", "/gone/Old.app", std::nullopt},
      {notch + "/Contents/Resources/tool", std::nullopt, std::nullopt},
      {notch + "/Contents/MacOS", std::nullopt, std::nullopt},
      {"/usr/bin/bash", std::nullopt, std::nullopt},
      {"/opt/Notch/Contents/MacOS/Notch", std::nullopt, std::nullopt},
      {"/.app/Contents/MacOS/x", std::nullopt, std::nullopt},  // a hidden folder, no extension
      {"/Contents/MacOS/x", std::nullopt, std::nullopt},
      {"relative/Notch.app/Contents/MacOS/Notch", std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.executable);
    const auto identity = ProcessIdentity::forExecutable(row.executable);
    EXPECT_EQ(row.bundlePath, identity.bundlePath);
    EXPECT_EQ(row.identifier, identity.bundleIdentifier);
  }
}

}  // namespace
}  // namespace quillon
