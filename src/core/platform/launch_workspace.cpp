#include "core/platform/launch_workspace.h"

#include <cerrno>
#include <cstring>

#include "core/localization/l10n.h"

namespace quillon {

LocalizedText LaunchOpenApplicationError::localizedDescription() const {
  return LocalizedText::format("アプリを起動できませんでした（{}）", std::strerror(errnoValue));
}

std::string LaunchOpenApplicationError::description() const { return L10n::text(localizedDescription()); }

std::string LaunchRunningApplicationsError::description() const {
  return std::string("running applications unavailable: ") + std::strerror(errnoValue);
}

bool isAlive(const LaunchRunningApplication* application) {
  if (application == nullptr || application->processIdentifier() < 1 || application->isTerminated()) return false;
  const int error = application->probe();
  return error == 0 || error == EPERM;
}

}  // namespace quillon
