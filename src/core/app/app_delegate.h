#pragma once

#include <functional>
#include <optional>

#include "core/app/launch_single_instance.h"
#include "core/support/url.h"

namespace quillon {

class LaunchAlertPresenter;
class LaunchLogSink;

// The application's launch and termination entry points: decides whether this process
// may run at all (one process per user owns the local data and the global input),
// reports the one fatal start-up condition, and hands over to the composition of the
// services. Main thread only.
class AppDelegate {
 public:
  // What the delegate asks of the application object and of the composition.
  struct Hooks {
    // No Dock icon / taskbar entry: the status item is the only permanent presence.
    std::function<void()> becomeAccessory;
    // Ends the application; applicationWillTerminate follows.
    std::function<void()> terminate;
    // Builds the product's services once the lock is held.
    std::function<void()> compose;
    // Stops them when the application quits.
    std::function<void()> tearDown;
  };

  AppDelegate(Url dataDirectory, LaunchLogSink& log, LaunchAlertPresenter& alerts, Hooks hooks);
  AppDelegate(const AppDelegate&) = delete;
  AppDelegate& operator=(const AppDelegate&) = delete;

  void applicationDidFinishLaunching();
  void applicationWillTerminate();

  // Set once the lock is held and composition begins.
  bool hasStarted() const { return hasStarted_; }
  // Set first thing when the application is quitting.
  bool isTerminating() const { return isTerminating_; }
  // Windows, menus and callbacks of the composition act only while this holds.
  bool isActive() const { return hasStarted_ && !isTerminating_; }
  const Url& dataDirectory() const { return dataDirectory_; }

 private:
  Url dataDirectory_;
  LaunchLogSink& log_;
  LaunchAlertPresenter& alerts_;
  Hooks hooks_;
  std::optional<LaunchSingleInstance> instanceLock_;
  bool hasStarted_ = false;
  bool isTerminating_ = false;
};

}  // namespace quillon
