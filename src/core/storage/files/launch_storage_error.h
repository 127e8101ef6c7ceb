#pragma once

#include <string>

#include "core/support/error.h"

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

  static Error unavailable(int errnoValue);
  static const Error unsafeLocation;
  static const Error invalidRecord;
  static const Error tooLarge;
};

constexpr ErrorDomain launchErrorDomain(LaunchStorageError::Code) { return ErrorDomain::storage; }
// The code's fixed text in the user's language.
std::string launchErrorText(LaunchStorageError::Code code, const Error& error);

inline Error LaunchStorageError::unavailable(int errnoValue) { return Error(Code::unavailable, errnoValue); }
inline const Error LaunchStorageError::unsafeLocation{Code::unsafeLocation};
inline const Error LaunchStorageError::invalidRecord{Code::invalidRecord};
inline const Error LaunchStorageError::tooLarge{Code::tooLarge};

}  // namespace quillon
