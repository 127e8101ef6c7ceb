#include "core/switching/launch_lifecycle_transition.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <memory>
#include <string>

namespace quillon {

Url canonicalLocation(const Url& url) {
  if (!url.isFileUrl()) return url;
  const Url standardized = url.standardized();
  std::string path = standardized.path();
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
  if (!resolved) return standardized;
  path = resolved.get();
  struct stat info {};
  const bool isDirectory = ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  return Url::fileUrl(path, isDirectory);
}

}  // namespace quillon
