#pragma once

#include <memory>

#include "core/app/app_delegate.h"
#include "core/async/launch_task.h"

namespace quillon {

class MenuBarController;
class QuillonAboutPresenter;
struct LinuxPlatform;

// The product's services over the platform: the application delegate decides whether
// this process may run, then compose() builds the services in their fixed order and
// tearDown() stops them. New services are created, connected and stopped here.
class QuillonComposition {
 public:
  QuillonComposition(LinuxPlatform& platform, Url dataDirectory);
  ~QuillonComposition();
  QuillonComposition(const QuillonComposition&) = delete;
  QuillonComposition& operator=(const QuillonComposition&) = delete;

  // Runs the application until it quits, by the menu, a start failure, or `stopFd`
  // becoming readable (a signalfd for SIGTERM and SIGINT); returns the exit status.
  int run(int stopFd);

 private:
  void compose();
  void tearDown();
  void showAbout();
  void quit(int exitStatus);

  LinuxPlatform& platform_;
  std::unique_ptr<AppDelegate> delegate_;
  std::unique_ptr<MenuBarController> menuBarController_;
  std::unique_ptr<QuillonAboutPresenter> aboutPresenter_;
  LaunchTaskHandle aboutTask_;
  int exitStatus_ = 0;
};

}  // namespace quillon
