#include "core/bundle/own_application.h"

#include "core/bundle/bundle.h"
#include "core/bundle/launch_bundle_location.h"
#include "core/bundle/validated_launch_application.h"

namespace quillon {

PropertyListValue::Dictionary OwnApplication::builtInInfoDictionary() {
  return {
      {"CFBundleIdentifier", PropertyListValue{std::string(ownBundleIdentifier)}},
      {"CFBundleName", PropertyListValue{std::string("Quillon")}},
      {"CFBundlePackageType", PropertyListValue{std::string("APPL")}},
      {"CFBundleShortVersionString", PropertyListValue{std::string(QUILLON_VERSION)}},
      {"CFBundleVersion", PropertyListValue{std::string(QUILLON_VERSION)}},
  };
}

OwnApplication OwnApplication::fromExecutablePath(const std::string& executablePath) {
  OwnApplication own;
  own.infoDictionary = builtInInfoDictionary();
  const auto bundlePath = bundlePathOfExecutable(executablePath);
  if (!bundlePath) return own;
  const auto location = ValidatedLaunchApplication::canonical(Url::fileUrl(*bundlePath, true));
  if (!location) return own;
  const auto bundle = Bundle::open(*location);
  if (!bundle) return own;
  own.bundleURL = location;
  if (!bundle->infoDictionary().empty()) own.infoDictionary = bundle->infoDictionary();
  return own;
}

}  // namespace quillon
