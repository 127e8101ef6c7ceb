#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/storage/plist/property_list_value.h"
#include "core/support/url.h"

namespace quillon {

// An application bundle on disk: a directory with Contents/Info.plist and its
// executable under Contents/MacOS/. Behaves as the platform's bundle API does for such
// bundles: any existing directory opens (a folder merely named ".app" opens with an
// empty Info dictionary), keys of the wrong type read as absent, and the executable is
// found only when something exists at its place.
class Bundle {
 public:
  // Info dictionaries are a few kilobytes; a larger file is treated as unreadable.
  static constexpr std::size_t infoPlistLimit = std::size_t{1024} * 1024;

  // None unless `url` is a file URL naming an existing directory (links followed).
  static std::optional<Bundle> open(const Url& url);

  // The dictionary of an Info.plist's bytes: empty when they are not a property list
  // whose root is a dictionary, as a bundle with an unreadable Info.plist has none.
  static PropertyListValue::Dictionary parseInfoDictionary(std::span<const std::uint8_t> bytes);

  // The standardized directory URL the bundle was opened at.
  const Url& bundleURL() const { return bundleURL_; }
  const PropertyListValue::Dictionary& infoDictionary() const { return info_; }
  std::optional<std::string> infoString(const std::string& key) const { return stringValue(info_, key); }

  // "CFBundleIdentifier" when it is a string.
  std::optional<std::string> bundleIdentifier() const { return infoString("CFBundleIdentifier"); }
  // "CFBundleDisplayName" if a string, else "CFBundleName" if a string.
  std::optional<std::string> displayName() const;
  // Contents/MacOS/ + "CFBundleExecutable" (or, without that key, the bundle's name
  // without its extension), when anything exists there; the path is not resolved, so
  // callers decide whether a link leading elsewhere is acceptable.
  std::optional<Url> executableURL() const;
  // The bundle's icon file: Contents/Resources/ + "CFBundleIconFile", with ".icns"
  // added when the name has no extension, as the home platform does; a ".png" of the
  // same name stands in for a missing ".icns". None unless a regular file is there
  // (links followed) and the name stays inside Resources.
  std::optional<Url> iconFileURL() const;

 private:
  Bundle(Url bundleURL, PropertyListValue::Dictionary info)
      : bundleURL_(std::move(bundleURL)), info_(std::move(info)) {}

  Url bundleURL_;
  PropertyListValue::Dictionary info_;
};

}  // namespace quillon
