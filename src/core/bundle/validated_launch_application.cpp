#include "core/bundle/validated_launch_application.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "core/bundle/bundle.h"
#include "core/bundle/launch_bundle_location.h"
#include "core/bundle/launch_lifecycle_error.h"

namespace quillon {

bool hasApplicationExtension(const Url& url) {
  std::string extension = url.pathExtension();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == "app";
}

std::optional<Url> ValidatedLaunchApplication::canonical(const Url& url) {
  auto location = resolvedLocation(url);
  if (!location || !location->hasDirectoryPath()) return std::nullopt;
  return location;
}

std::optional<Url> ValidatedLaunchApplication::canonicalExecutable(const Bundle& bundle, const Url& canonicalBundle) {
  const auto executable = bundle.executableURL();
  if (!executable) return std::nullopt;
  const auto resolved = resolvedPath(executable->path());
  if (!resolved) return std::nullopt;
  // A link from Contents/MacOS to a program elsewhere would let a registered bundle
  // launch something the user never chose.
  const std::string inside = canonicalBundle.path() + "/";
  if (resolved->compare(0, inside.size(), inside) != 0) return std::nullopt;
  struct stat info {};
  if (::stat(resolved->c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  if (::access(resolved->c_str(), X_OK) != 0) return std::nullopt;
  return Url::fileUrl(*resolved, false);
}

ValidatedLaunchApplication ValidatedLaunchApplication::validate(const Url& url) {
  if (!url.isFileUrl() || !hasApplicationExtension(url)) throw LaunchLifecycleError::invalidApplicationURL;
  const auto location = canonical(url);
  if (!location) throw LaunchLifecycleError::invalidApplicationURL;
  const auto bundle = Bundle::open(*location);
  if (!bundle || bundle->infoString("CFBundlePackageType") != "APPL" || canonical(bundle->bundleURL()) != location) {
    throw LaunchLifecycleError::invalidApplicationURL;
  }
  auto executable = canonicalExecutable(*bundle, *location);
  if (!executable) throw LaunchLifecycleError::invalidExecutable;
  return {*location, std::move(*executable)};
}

}  // namespace quillon
