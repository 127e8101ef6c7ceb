#include "core/bundle/launch_process_identity.h"

#include "core/bundle/launch_bundle.h"
#include "core/bundle/validated_launch_application.h"
#include "core/support/url.h"

namespace quillon {

namespace {

// Splits off the last component: ("/a/b", "c") for "/a/b/c".
std::pair<std::string, std::string> split(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return {"", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

}  // namespace

LaunchProcessIdentity LaunchProcessIdentity::forExecutable(const std::string& executablePath) {
  LaunchProcessIdentity identity;
  if (executablePath.empty() || executablePath.front() != '/') return identity;
  const auto [macos, file] = split(standardizePath(executablePath));
  const auto [contents, macosName] = split(macos);
  const auto [bundle, contentsName] = split(contents);
  if (file.empty() || macosName != "MacOS" || contentsName != "Contents" || bundle == "/") return identity;
  const Url bundleUrl = Url::fileUrl(bundle, true);
  if (!hasApplicationExtension(bundleUrl)) return identity;
  identity.bundlePath = bundle;
  // The bundle may have gone since the process started; it still ran from there.
  if (const auto opened = LaunchBundle::open(bundleUrl)) {
    if (auto identifier = opened->bundleIdentifier(); identifier && !identifier->empty()) {
      identity.bundleIdentifier = std::move(identifier);
    }
  }
  return identity;
}

}  // namespace quillon
