#pragma once

#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillon {

class LogSink;
class Workspace;

// What the program may do right now, with the menu's three status lines.
struct LaunchPermissionState {
  bool accessibilityTrusted = false;
  bool screenCaptureAllowed = false;
  bool inputTapStarted = false;
  bool screenPermissionRequested = false;
  // A Wayland session: the gesture cannot work there, which one more line says.
  bool waylandSession = false;

  std::vector<std::string> menuLines() const;
  friend bool operator==(const LaunchPermissionState&, const LaunchPermissionState&) = default;
};

// Polls the two permissions, starts the input side once input may be observed, retries
// a failed start at most every 5 s, asks for what is missing when the user says so, and
// reports every change. It alone decides whether the gesture's input may run.
//
// On X11 the permissions are capabilities rather than grants: input may be observed
// when the X server answers and offers what the gesture needs, and screen capture is
// allowed when the server composites windows off screen. Neither has a system prompt;
// the adapters log one line when asked and the monitor refreshes as usual.
class LaunchPermissionMonitor {
 public:
  struct Permissions {
    bool accessibility = false;
    bool screen = false;
    bool waylandSession = false;
  };
  struct Hooks {
    std::function<Permissions()> readPermissions;
    std::function<double()> now;  // seconds of uptime
    std::function<void()> requestAccessibility;
    std::function<void()> requestScreenCapture;
    std::function<bool()> startInput;
    std::function<void(const LaunchPermissionState&)> onChange;
  };
  static constexpr double startRetryInterval = 5.0;

  LaunchPermissionMonitor(Hooks hooks, LogSink& log) : hooks_(std::move(hooks)), log_(log) {}

  void refresh();
  // Asks for each missing permission in turn, refreshing after each request.
  void requestPermissions();
  // Asks for screen capture alone (the guide's button); the menu line then says it may
  // not have taken effect yet, as after requestPermissions.
  void requestScreenCapture();
  // Called at termination: from then on nothing polls, starts or asks.
  void stop() { stopped_ = true; }

  const std::optional<LaunchPermissionState>& state() const { return state_; }

  // Opens the system's privacy pane for `anchor` ("Privacy_Accessibility",
  // "Privacy_ScreenCapture"), else the settings application; false when neither opened.
  static bool openSettingsPane(Workspace& workspace, const std::string& anchor);

 private:
  Hooks hooks_;
  LogSink& log_;
  std::optional<LaunchPermissionState> state_;
  double lastStartAttempt_ = -std::numeric_limits<double>::infinity();
  bool inputTapStarted_ = false;
  bool screenPermissionRequested_ = false;
  bool stopped_ = false;
};

}  // namespace quillon
