#pragma once

#include <string>

#include "core/localization/localized_text.h"
#include "core/support/url.h"

namespace quillon {

// Why a chosen bundle cannot be registered. Thrown by value.
enum class LaunchOnboardingApplicationError {
  notLocalApplication,  // not a file URL ending in ".app"
  unavailable,          // nothing (or no directory) at that location any more
  invalidBundle,        // not an application bundle ("APPL") with an identifier
  missingExecutable,    // no runnable executable inside the bundle
  isQuillon,            // this program itself
};

LocalizedText localizedDescription(LaunchOnboardingApplicationError error);
std::string description(LaunchOnboardingApplicationError error);

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
  // Throws LaunchOnboardingApplicationError; the checks run in a fixed order so that a
  // folder merely named ".app" is reported as no app rather than as a missing program.
  static LaunchOnboardingApplication validate(const Url& url);
};

}  // namespace quillon
