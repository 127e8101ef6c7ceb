#include "core/records/onboarding/launch_onboarding_record.h"

namespace quillon {

std::string_view onboardingStepName(LaunchOnboardingStep step) {
  switch (step) {
    case LaunchOnboardingStep::overview: return "overview";
    case LaunchOnboardingStep::input: return "input";
    case LaunchOnboardingStep::preview: return "preview";
    case LaunchOnboardingStep::ready: return "ready";
  }
  return "overview";
}

std::optional<LaunchOnboardingStep> onboardingStepNamed(std::string_view name) {
  for (auto step : {LaunchOnboardingStep::overview, LaunchOnboardingStep::input, LaunchOnboardingStep::preview,
                    LaunchOnboardingStep::ready}) {
    if (onboardingStepName(step) == name) return step;
  }
  return std::nullopt;
}

}  // namespace quillon
