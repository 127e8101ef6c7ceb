#include "core/platform/workspace.h"

#include <cerrno>
#include <cstring>

#include "core/localization/l10n.h"

namespace quillon {

std::string launchErrorText(LaunchOpenApplicationError::Code code, const Error& error) {
  switch (code) {
    case LaunchOpenApplicationError::Code::openFailed:
      return L10n::text(LocalizedText::format("アプリを起動できませんでした（{}）", std::strerror(error.errnoValue())));
  }
  return {};
}

std::string launchErrorText(LaunchRunningApplicationsError::Code code, const Error& error) {
  switch (code) {
    case LaunchRunningApplicationsError::Code::unavailable:
      return std::string("running applications unavailable: ") + std::strerror(error.errnoValue());
  }
  return {};
}

bool isAlive(const RunningApplication* application) {
  if (application == nullptr || application->processIdentifier() < 1 || application->isTerminated()) return false;
  const int error = application->probe();
  return error == 0 || error == EPERM;
}

}  // namespace quillon
