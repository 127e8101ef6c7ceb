#include "core/bundle/launch_own_application.h"

#include "core/bundle/launch_bundle.h"
#include "core/bundle/launch_bundle_location.h"
#include "core/bundle/validated_launch_application.h"

namespace quillon {

PropertyListValue::Dictionary LaunchOwnApplication::builtInInfoDictionary() {
  return {
      {"CFBundleIdentifier", PropertyListValue{std::string(ownBundleIdentifier)}},
      {"CFBundleName", PropertyListValue{std::string("Quillon")}},
      {"CFBundlePackageType", PropertyListValue{std::string("APPL")}},
      {"CFBundleShortVersionString", PropertyListValue{std::string(QUILLON_VERSION)}},
      {"CFBundleVersion", PropertyListValue{std::string(QUILLON_VERSION)}},
  };
}

LaunchOwnApplication LaunchOwnApplication::fromExecutablePath(const std::string& executablePath) {
  LaunchOwnApplication own;
  own.infoDictionary = builtInInfoDictionary();
  const auto bundlePath = bundlePathOfExecutable(executablePath);
  if (!bundlePath) return own;
  const auto location = ValidatedLaunchApplication::canonical(Url::fileUrl(*bundlePath, true));
  if (!location) return own;
  const auto bundle = LaunchBundle::open(*location);
  if (!bundle) return own;
  own.bundleURL = location;
  if (!bundle->infoDictionary().empty()) own.infoDictionary = bundle->infoDictionary();
  return own;
}

}  // namespace quillon
