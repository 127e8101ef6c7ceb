#include "core/bundle/launch_own_application.h"

#include "core/bundle/launch_bundle.h"
#include "core/bundle/validated_launch_application.h"

namespace quillon {

namespace {

std::string parentOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string lastComponent(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

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
  if (executablePath.empty() || executablePath.front() != '/') return own;
  const std::string path = standardizePath(executablePath);
  const std::string macos = parentOf(path);
  const std::string contents = parentOf(macos);
  const std::string bundlePath = parentOf(contents);
  if (lastComponent(macos) != "MacOS" || lastComponent(contents) != "Contents") return own;
  const Url bundleUrl = Url::fileUrl(bundlePath, true);
  if (!hasApplicationExtension(bundleUrl)) return own;
  const auto location = ValidatedLaunchApplication::canonical(bundleUrl);
  if (!location) return own;
  const auto bundle = LaunchBundle::open(*location);
  if (!bundle) return own;
  own.bundleURL = location;
  if (!bundle->infoDictionary().empty()) own.infoDictionary = bundle->infoDictionary();
  return own;
}

}  // namespace quillon
