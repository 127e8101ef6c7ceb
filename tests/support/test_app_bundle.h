#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

#include "core/storage/plist/property_list_value.h"
#include "core/support/url.h"

namespace quillon {

// A real .app directory written to disk for tests: Contents/Info.plist (XML or binary)
// and an executable under Contents/MacOS/. Every field can be left out to build the
// faulty bundles the validators must refuse.
struct TestAppBundle {
  std::optional<std::string> identifier = "com.example.notch";
  std::optional<std::string> packageType = "APPL";
  std::optional<std::string> executable = "Notch";
  std::optional<std::string> displayName;
  std::optional<std::string> name;
  std::optional<std::string> shortVersion;
  bool binaryInfo = false;
  bool writeInfo = true;
  bool writeExecutable = true;
  mode_t executableMode = 0755;
  // Further keys, overriding the ones above.
  PropertyListValue::Dictionary extraInfo;

  PropertyListValue::Dictionary infoDictionary() const;
  // Creates the bundle at `path` (parents included) and returns it.
  std::filesystem::path writeTo(const std::filesystem::path& path) const;
};

// A directory file URL for a path of the test's file system.
Url directoryUrl(const std::filesystem::path& path);
// The canonical directory URL (links resolved) tests compare against.
Url canonicalDirectoryUrl(const std::filesystem::path& path);
void writeTestFile(const std::filesystem::path& path, std::string_view content, mode_t mode = 0644);

}  // namespace quillon
