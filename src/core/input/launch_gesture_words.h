#pragma once

#include <optional>
#include <string>

#include "core/capture/launch_capture_issue.h"
#include "core/records/preferences/launch_shortcut_state.h"
#include "core/support/geometry.h"
#include "core/switching/launch_switch_session.h"

namespace quillon {

// How the gesture's trace records and log lines spell their values: phases, chord
// actions and capture issues as their case words, Booleans as true/false (or yes/no in
// the log lines that always said so), rectangles as the platform writes them.
const char* word(LaunchSwitchSession::Phase phase);
const char* word(LaunchShortcutState::Action action);
const char* word(std::optional<LaunchCaptureIssue> issue);
inline const char* boolean(bool value) { return value ? "true" : "false"; }
inline const char* yesNo(bool value) { return value ? "yes" : "no"; }
std::string rectText(const GlobalRect& rect);

}  // namespace quillon
