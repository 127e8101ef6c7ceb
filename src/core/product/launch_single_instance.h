#pragma once

#include "core/support/unique_fd.h"
#include "core/support/url.h"

namespace quillon {

class LaunchInstanceAcquisition;

// The per-user instance lock: an exclusive flock on ".instance.lock" in the data
// directory, held for the life of the process. Destroying the object closes the
// descriptor, which releases the lock; the file itself is never written or removed,
// so a second process always locks the same inode.
class LaunchSingleInstance {
 public:
  static constexpr const char* lockFileName = ".instance.lock";

  // Creates the data directory (0700) when missing and takes the lock without waiting.
  static LaunchInstanceAcquisition acquire(const Url& directoryUrl);

  int descriptor() const { return descriptor_.get(); }

 private:
  explicit LaunchSingleInstance(UniqueFd descriptor) : descriptor_(std::move(descriptor)) {}
  UniqueFd descriptor_;
};

}  // namespace quillon
