#pragma once

#include <string>

#include "core/localization/localized_text.h"

namespace quillon {

// The one error of local data. Thrown by value from the storage layer and the stores;
// the errno payload is for logs, never part of the text shown to the user.
struct LaunchStorageError {
  enum class Code {
    unavailable,     // a system call failed (errno, 0 when none applies)
    unsafeLocation,  // bad path component, link, wrong type, foreign owner or hard link
    invalidRecord,   // content cannot be decoded or validated, or an expected original is missing
    tooLarge,        // content exceeds the caller's limit
  };

  Code code = Code::unavailable;
  int errnoValue = 0;

  static LaunchStorageError unavailable(int errnoValue) { return {Code::unavailable, errnoValue}; }
  static LaunchStorageError unsafeLocation() { return {Code::unsafeLocation, 0}; }
  static LaunchStorageError invalidRecord() { return {Code::invalidRecord, 0}; }
  static LaunchStorageError tooLarge() { return {Code::tooLarge, 0}; }

  LocalizedText localizedDescription() const;
  // The description in the user's language.
  std::string description() const;

  friend bool operator==(const LaunchStorageError&, const LaunchStorageError&) = default;
};

}  // namespace quillon
