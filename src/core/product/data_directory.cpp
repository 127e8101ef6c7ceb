#include "core/product/data_directory.h"

#include <sys/stat.h>

#include <cerrno>

namespace quillon {

namespace {
std::string joined(const Url& directory, const std::string& name) {
  const std::string base = standardizePath(directory.path());
  return (base == "/" ? "" : base) + "/" + name;
}
}  // namespace

Url DataDirectory::preferencesFileUrl(const Url& applicationSupport) {
  return Url::fileUrl(joined(applicationSupport, std::string(folderName) + "/preferences.plist"), false);
}

Url DataDirectory::onboardingFileUrl(const Url& applicationSupport) {
  return Url::fileUrl(joined(applicationSupport, std::string(folderName) + "/onboarding.plist"), false);
}

Url DataDirectory::url(const Url& applicationSupport) {
  const std::string preferences = preferencesFileUrl(applicationSupport).path();
  return Url::fileUrl(preferences.substr(0, preferences.rfind('/')), true);
}

std::optional<std::string> DataDirectory::xdgApplicationSupportPath(const char* xdgDataHome, const char* home) {
  // Relative values are invalid under the base-directory rules and are ignored.
  if (xdgDataHome != nullptr && xdgDataHome[0] == '/') return standardizePath(xdgDataHome);
  if (home != nullptr && home[0] == '/') return standardizePath(std::string(home) + "/.local/share");
  return std::nullopt;
}

int DataDirectory::createMissingPrivately(const std::string& path) {
  const std::string target = standardizePath(path);
  for (std::size_t end = target.find('/', 1);; end = target.find('/', end + 1)) {
    const std::string prefix = target.substr(0, end);
    if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    if (end == std::string::npos) return 0;
  }
}

}  // namespace quillon
