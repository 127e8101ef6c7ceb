#include "core/capture/launch_app_preview.h"

#include <stdlib.h>

#include <memory>
#include <string>

namespace quillon {

Url LaunchAppPreview::normalizedURL(const Url& url) {
  if (!url.isFileUrl()) return url;
  std::string path = url.standardized().path();
  // A bundle that has moved away still compares by its standardised path, so its
  // preview is recognised as belonging to the old location rather than dropped as
  // unreadable.
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
  if (resolved) path = resolved.get();
  return Url::fileUrl(path, true);
}

}  // namespace quillon
