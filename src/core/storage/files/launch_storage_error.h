#pragma once

#include <string>

#include "core/support/launch_error.h"

namespace quillon {

// The one error of local data: the codes of the storage domain, and the errors made of
// them as the storage layer and the stores throw them. The errno of `unavailable` is
// for logs, never part of the text shown to the user.
struct LaunchStorageError {
  enum class Code {
    unavailable,     // a system call failed (errno, 0 when none applies)
    unsafeLocation,  // bad path component, link, wrong type, foreign owner or hard link
    invalidRecord,   // content cannot be decoded or validated, or an expected original is missing
    tooLarge,        // content exceeds the caller's limit
  };

  static LaunchError unavailable(int errnoValue);
  static const LaunchError unsafeLocation;
  static const LaunchError invalidRecord;
  static const LaunchError tooLarge;
};

constexpr LaunchErrorDomain launchErrorDomain(LaunchStorageError::Code) { return LaunchErrorDomain::storage; }
// The code's fixed text in the user's language.
std::string launchErrorText(LaunchStorageError::Code code, const LaunchError& error);

inline LaunchError LaunchStorageError::unavailable(int errnoValue) {
  return LaunchError(Code::unavailable, errnoValue);
}
inline const LaunchError LaunchStorageError::unsafeLocation{Code::unsafeLocation};
inline const LaunchError LaunchStorageError::invalidRecord{Code::invalidRecord};
inline const LaunchError LaunchStorageError::tooLarge{Code::tooLarge};

}  // namespace quillon
