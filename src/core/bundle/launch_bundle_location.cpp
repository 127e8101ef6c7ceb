#include "core/bundle/launch_bundle_location.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <memory>
#include <utility>

#include "core/bundle/validated_launch_application.h"

namespace quillon {

namespace {

// Splits off the last component: ("/a/b", "c") for "/a/b/c".
std::pair<std::string, std::string> split(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return {"", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

}  // namespace

std::optional<std::string> resolvedPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
  if (!resolved) return std::nullopt;
  return std::string(resolved.get());
}

std::optional<Url> resolvedLocation(const Url& url) {
  if (!url.isFileUrl()) return std::nullopt;
  const auto path = resolvedPath(url.standardized().path());
  if (!path) return std::nullopt;
  struct stat info {};
  return Url::fileUrl(*path, ::stat(path->c_str(), &info) == 0 && S_ISDIR(info.st_mode));
}

Url canonicalLocation(const Url& url) {
  if (auto location = resolvedLocation(url)) return *location;
  return url.isFileUrl() ? url.standardized() : url;
}

std::optional<std::string> bundlePathOfExecutable(const std::string& executablePath) {
  if (executablePath.empty() || executablePath.front() != '/') return std::nullopt;
  const auto [macos, file] = split(standardizePath(executablePath));
  const auto [contents, macosName] = split(macos);
  const auto [bundle, contentsName] = split(contents);
  if (file.empty() || macosName != "MacOS" || contentsName != "Contents" || bundle == "/") return std::nullopt;
  if (!hasApplicationExtension(Url::fileUrl(bundle, true))) return std::nullopt;
  return bundle;
}

}  // namespace quillon
