#pragma once

#include <string>

#include "core/support/error.h"

namespace quillon {

// Stored data that parsed but holds a value its record cannot take (a data-corruption
// error). The text is for logs and tests; stores report it to the user as an invalid
// record.
struct LaunchDecodingError {
  enum class Code {
    unsupportedModifierChord,  // a stored chord that is empty or holds another key
  };
  static const Error unsupportedModifierChord;
};

constexpr ErrorDomain launchErrorDomain(LaunchDecodingError::Code) { return ErrorDomain::decoding; }
// What was wrong with the value, in English.
std::string launchErrorText(LaunchDecodingError::Code code, const Error& error);

inline const Error LaunchDecodingError::unsupportedModifierChord{Code::unsupportedModifierChord};

}  // namespace quillon
