#include "core/product/launch_single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/localization/l10n.h"
#include "core/product/launch_instance_acquisition.h"
#include "core/storage/files/launch_local_storage.h"
#include "core/storage/files/launch_storage_error.h"

namespace quillon {

namespace {

enum class LockOutcome { locked, heldElsewhere };

LockOutcome lockFile(int directory, UniqueFd& lock) {
  // Non-blocking so that a second process learns at once that the first is running;
  // no-follow so that a planted link cannot make us create or lock a file elsewhere.
  lock.reset(::openat(directory, LaunchSingleInstance::lockFileName,
                      O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
  if (!lock) throw LaunchStorageError::unsafeLocation;
  struct stat info {};
  if (::fstat(lock.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::getuid() || info.st_nlink != 1) {
    throw LaunchStorageError::unsafeLocation;
  }
  if (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return LockOutcome::heldElsewhere;
    throw LaunchStorageError::unavailable(errno);
  }
  if (::fchmod(lock.get(), 0600) != 0) throw LaunchStorageError::unavailable(errno);
  return LockOutcome::locked;
}

}  // namespace

LaunchInstanceAcquisition LaunchSingleInstance::acquire(const Url& directoryUrl) {
  try {
    auto directory = LaunchLocalStorage(directoryUrl).openDirectory({}, true);
    if (!directory) throw LaunchStorageError::unavailable(ENOENT);
    UniqueFd lock;
    switch (lockFile(directory->get(), lock)) {
      case LockOutcome::heldElsewhere: return LaunchInstanceAcquisition::alreadyRunning();
      case LockOutcome::locked: return LaunchInstanceAcquisition::acquired(LaunchSingleInstance(std::move(lock)));
    }
    throw LaunchStorageError::invalidRecord;  // not reached: the switch is exhaustive
  } catch (const Error& error) {
    return LaunchInstanceAcquisition::unavailable(
        L10n::text(LocalizedText(
            "Quillonの起動を確認できません。次の保存先のアクセス権やリンクを確認して、もう一度開いてください。\n")) +
        directoryUrl.path() + "\n" + error.description());
  }
}

}  // namespace quillon
