#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/async/task.h"
#include "core/product/launch_single_instance.h"
#include "core/support/url.h"

namespace quillon {

class AlertPresenter;
class LogSink;
class MainLoop;
struct Alert;

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
    // Ends the application with `exitStatus`; applicationWillTerminate follows.
    std::function<void(int exitStatus)> terminate;
    // The start-failure alert as it is shown, also for the terminal or service
    // manager that started the process.
    std::function<void(const Alert&)> reportStartFailure;
    // Builds the product's services once the lock is held.
    std::function<void()> compose;
    // Stops them when the application quits.
    std::function<void()> tearDown;
    // Passes what this start asked for to the instance already running, before this
    // one exits.
    std::function<void()> passToRunningInstance;
  };

  // The exit status after a start failure.
  static constexpr int startFailureStatus = 1;

  AppDelegate(Url dataDirectory, MainLoop& loop, LogSink& log, AlertPresenter& alerts, Hooks hooks);
  AppDelegate(const AppDelegate&) = delete;
  AppDelegate& operator=(const AppDelegate&) = delete;

  void applicationDidFinishLaunching();
  void applicationWillTerminate();

  // The one fatal start-up condition as the user sees it; `message` says what failed.
  static Alert startFailureAlert(const std::string& message);

  // Set once the lock is held and composition begins.
  bool hasStarted() const { return hasStarted_; }
  // Set first thing when the application is quitting.
  bool isTerminating() const { return isTerminating_; }
  // Windows, menus and callbacks of the composition act only while this holds.
  bool isActive() const { return hasStarted_ && !isTerminating_; }
  const Url& dataDirectory() const { return dataDirectory_; }

 private:
  Task<void> reportStartFailure(std::string message);

  Url dataDirectory_;
  MainLoop& loop_;
  LogSink& log_;
  AlertPresenter& alerts_;
  Hooks hooks_;
  std::optional<LaunchSingleInstance> instanceLock_;
  TaskHandle startFailure_;
  bool hasStarted_ = false;
  bool isTerminating_ = false;
};

}  // namespace quillon
