#include "core/bundle/process_identity.h"

#include "core/bundle/bundle.h"
#include "core/bundle/launch_bundle_location.h"
#include "core/support/url.h"

namespace quillon {

ProcessIdentity ProcessIdentity::forExecutable(const std::string& executablePath) {
  ProcessIdentity identity;
  auto bundle = bundlePathOfExecutable(executablePath);
  if (!bundle) return identity;
  identity.bundlePath = std::move(bundle);
  // The bundle may have gone since the process started; it still ran from there.
  if (const auto opened = Bundle::open(Url::fileUrl(*identity.bundlePath, true))) {
    if (auto identifier = opened->bundleIdentifier(); identifier && !identifier->empty()) {
      identity.bundleIdentifier = std::move(identifier);
    }
  }
  return identity;
}

}  // namespace quillon
