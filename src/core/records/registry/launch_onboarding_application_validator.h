#pragma once

#include <string>

#include "core/support/error.h"
#include "core/support/result.h"
#include "core/support/url.h"

namespace quillon {

// Why a chosen bundle cannot be registered: the codes of the domain, and the errors
// made of them as the validator returns them.
struct LaunchOnboardingApplicationError {
  enum class Code {
    notLocalApplication,  // not a file URL ending in ".app"
    unavailable,          // nothing (or no directory) at that location any more
    invalidBundle,        // not an application bundle ("APPL") with an identifier
    missingExecutable,    // no runnable executable inside the bundle
    isQuillon,            // this program itself
  };
  static const Error notLocalApplication;
  static const Error unavailable;
  static const Error invalidBundle;
  static const Error missingExecutable;
  static const Error isQuillon;
};

constexpr ErrorDomain launchErrorDomain(LaunchOnboardingApplicationError::Code) {
  return ErrorDomain::onboardingApplication;
}
// What the user can do about the refused bundle, in the user's language.
std::string launchErrorText(LaunchOnboardingApplicationError::Code code, const Error& error);

inline const Error LaunchOnboardingApplicationError::notLocalApplication{Code::notLocalApplication};
inline const Error LaunchOnboardingApplicationError::unavailable{Code::unavailable};
inline const Error LaunchOnboardingApplicationError::invalidBundle{Code::invalidBundle};
inline const Error LaunchOnboardingApplicationError::missingExecutable{Code::missingExecutable};
inline const Error LaunchOnboardingApplicationError::isQuillon{Code::isQuillon};

// A bundle fit to be registered: its canonical directory URL, identifier and the name
// to show for it.
struct LaunchOnboardingApplication {
  Url url;
  std::string bundleIdentifier;
  std::string displayName;
  friend bool operator==(const LaunchOnboardingApplication&, const LaunchOnboardingApplication&) = default;
};

// The one check a bundle passes to enter the registry, used by the menu, the
// onboarding window and the registry's own launchability check.
class LaunchOnboardingApplicationValidator {
 public:
  // The application, or a LaunchOnboardingApplicationError; the checks run in a fixed
  // order so that a folder merely named ".app" is reported as no app rather than as a
  // missing program.
  static Result<LaunchOnboardingApplication> validate(const Url& url);
};

}  // namespace quillon
