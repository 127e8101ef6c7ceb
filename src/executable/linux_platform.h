#pragma once

#include <memory>
#include <string>

#include "core/product/quillon_platform.h"
#include "desktop/qt_switcher_panel_host.h"

class QApplication;

namespace quillon {

class EnvironmentLocale;
class GlobalEventTapFactory;
class LoginItem;
class LogSink;
class ProcessWorkspace;
class QtAlertPresenter;
class QtImageCodec;
class QtLogindSession;
class QtMainLoop;
class QtStatusMenuHost;
class QtSwitcherPanelHost;
class QtUserDefaults;
class QtWindowHost;
class SystemClock;
class X11Accessibility;
class X11Connection;
class X11InputSystem;
class X11ScreenLock;
class X11ScreenCaptureService;
class X11Screens;
class X11WindowServer;

// Every platform object of the Linux desktop, built once at start and owned here for
// the life of the process. The core sees them only through their ports. Members are
// destroyed in reverse order: the adapters before the X connection they use, that
// before the loop watching it, and the Qt objects before the QApplication.
struct LinuxPlatform {
  LinuxPlatform();
  ~LinuxPlatform();
  LinuxPlatform(const LinuxPlatform&) = delete;
  LinuxPlatform& operator=(const LinuxPlatform&) = delete;

  std::unique_ptr<EnvironmentLocale> locale;
  std::unique_ptr<LogSink> log;
  std::unique_ptr<SystemClock> clock;
  std::unique_ptr<QApplication> application;
  std::unique_ptr<QtMainLoop> loop;
  // Opened before the QApplication, but destroyed before the loop that watches it.
  std::unique_ptr<X11Connection> x11;
  std::unique_ptr<X11ScreenLock> screenLock;
  std::unique_ptr<QtLogindSession> session;
  std::unique_ptr<X11WindowServer> windowServer;
  std::unique_ptr<X11Screens> screens;
  std::unique_ptr<X11Accessibility> accessibility;
  std::unique_ptr<X11ScreenCaptureService> screenCapture;
  std::unique_ptr<X11InputSystem> input;
  std::unique_ptr<ProcessWorkspace> workspace;
  std::unique_ptr<QtImageCodec> imageCodec;
  std::unique_ptr<QtUserDefaults> userDefaults;
  std::unique_ptr<QtAlertPresenter> alerts;
  std::unique_ptr<QtStatusMenuHost> statusMenu;
  std::unique_ptr<QtSwitcherPanelHost> panels;
  // None where neither XDG_CONFIG_HOME nor HOME names a configuration directory.
  std::unique_ptr<LoginItem> loginItem;
  std::unique_ptr<QtWindowHost> windowHost;
  // Makes the X11 event tap over the connection, once input may be observed.
  std::unique_ptr<GlobalEventTapFactory> eventTaps;

  // The ports the product is composed over.
  QuillonPlatform ports();
};

struct LinuxPlatformStart {
  std::unique_ptr<LinuxPlatform> platform;
  // Without a platform: why, as the message of the start-failure alert.
  std::string failure;
};

// The one place that builds the platform. The user's language is taken first, so that
// even a failure to reach the X display is reported in it. Overrides for tests and bug
// reports: QUILLON_LOG (where diagnostics go) and QT_QPA_PLATFORM (which otherwise is
// "xcb", since every adapter talks to the X server, also under XWayland).
LinuxPlatformStart makeLinuxPlatform(int& argc, char** argv);

// What the switcher's panels need of X11: the stacking keeper, root-window pixels for
// screen frames (the X server's first monitor is the primary screen, whichever Qt calls
// primary) and the screen lock. `connection` and `lock` must outlive the panels.
QtSwitcherPanelHost::Windowing x11PanelWindowing(X11Connection& connection, X11ScreenLock* lock);

}  // namespace quillon
