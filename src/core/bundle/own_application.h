#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/storage/plist/property_list_value.h"
#include "core/support/url.h"

namespace quillon {

// Who this program is: its bundle identifier, its own bundle when it runs from one,
// and its Info dictionary. Passed in by the composition so that tests can pose as
// another installation.
struct OwnApplication {
  static constexpr std::string_view ownBundleIdentifier = "com.quillon.app";

  std::string bundleIdentifier{ownBundleIdentifier};
  // The canonical bundle directory, or none when the executable is not inside a bundle.
  std::optional<Url> bundleURL;
  PropertyListValue::Dictionary infoDictionary;

  // For an executable at ".../Name.app/Contents/MacOS/<file>": that bundle and its Info
  // dictionary. Anywhere else (a build tree): no bundle, and the built-in dictionary.
  static OwnApplication fromExecutablePath(const std::string& executablePath);
  // The Info dictionary compiled into the program from the project's version.
  static PropertyListValue::Dictionary builtInInfoDictionary();
};

}  // namespace quillon
