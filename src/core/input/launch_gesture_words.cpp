#include "core/input/launch_gesture_words.h"

#include <fmt/format.h>

namespace quillon {

const char* word(LaunchSwitchSession::Phase phase) {
  using Phase = LaunchSwitchSession::Phase;
  switch (phase) {
    case Phase::idle: return "idle";
    case Phase::preparing: return "preparing";
    case Phase::active: return "active";
    case Phase::committing: return "committing";
  }
  return "idle";
}

const char* word(LaunchShortcutState::Action action) {
  switch (action) {
    case LaunchShortcutState::Action::none: return "none";
    case LaunchShortcutState::Action::press: return "press";
    case LaunchShortcutState::Action::release: return "release";
    case LaunchShortcutState::Action::cancel: return "cancel";
  }
  return "none";
}

const char* word(std::optional<LaunchCaptureIssue> issue) {
  if (!issue) return "none";
  switch (*issue) {
    case LaunchCaptureIssue::applicationExcluded: return "applicationExcluded";
    case LaunchCaptureIssue::screenPermissionMissing: return "screenPermissionMissing";
    case LaunchCaptureIssue::unavailable: return "unavailable";
  }
  return "none";
}

std::string rectText(const GlobalRect& rect) {
  return fmt::format("{{{{{:g}, {:g}}}, {{{:g}, {:g}}}}}", rect.x, rect.y, rect.width, rect.height);
}

}  // namespace quillon
