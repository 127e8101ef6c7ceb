#pragma once

#include <optional>
#include <string_view>

namespace quillon {

class PropertyList;

// The steps of the first-run guide, in the order it walks them.
enum class LaunchOnboardingStep { overview, input, preview, ready };

// The stored name of a step ("overview", ...), and back; none for an unknown name.
std::string_view onboardingStepName(LaunchOnboardingStep step);
std::optional<LaunchOnboardingStep> onboardingStepNamed(std::string_view name);

// The first-run guide's progress, kept in "onboarding.plist". Dates are wall-clock
// seconds since the Unix epoch.
struct LaunchOnboardingRecord {
  static constexpr int currentVersion = 1;

  int version = currentVersion;
  LaunchOnboardingStep lastStep = LaunchOnboardingStep::overview;
  std::optional<double> completedAt;
  std::optional<double> dismissedAt;

  // A brand-new user: no apps, no preferences file, and the guide neither finished
  // nor put off.
  bool shouldPresentAutomatically(int registeredAppCount, bool hasExistingPreferences) const {
    return registeredAppCount == 0 && !hasExistingPreferences && !completedAt && !dismissedAt;
  }

  friend bool operator==(const LaunchOnboardingRecord&, const LaunchOnboardingRecord&) = default;
};

}  // namespace quillon
