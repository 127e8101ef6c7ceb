#pragma once

#include <memory>

#include "core/bundle/own_application.h"
#include "core/product/quillon_platform.h"

class QApplication;

namespace quillon {

class GlobalEventTapFactory;
class LogSink;
class LoginItem;
class MacAccessibility;
class MacInputSystem;
class MacLocale;
class MacScreenCaptureService;
class MacScreens;
class MacSwitcherPanelHost;
class MacWindowServer;
class MacWorkspace;
class QtAlertPresenter;
class QtImageCodec;
class QtMainLoop;
class QtStatusMenuHost;
class QtUserDefaults;
class QtWindowHost;
class SystemClock;

// Every platform object of the macOS desktop, built once at start and owned here for the
// life of the process; the core sees them only through their ports. The Qt adapters are
// the ones Linux uses; the rest speak to AppKit, Quartz, ScreenCaptureKit and the
// Accessibility API. Members are destroyed in reverse order: the adapters before the
// loop, and the Qt objects before the QApplication.
struct MacPlatform {
  MacPlatform();
  ~MacPlatform();
  MacPlatform(const MacPlatform&) = delete;
  MacPlatform& operator=(const MacPlatform&) = delete;

  // The ports the product is composed over; valid while this platform lives.
  QuillonPlatform ports();

  std::unique_ptr<MacLocale> locale;
  std::unique_ptr<LogSink> log;
  std::unique_ptr<SystemClock> clock;
  std::unique_ptr<QApplication> application;
  std::unique_ptr<QtMainLoop> loop;
  std::unique_ptr<MacWindowServer> windowServer;
  std::unique_ptr<MacScreens> screens;
  std::unique_ptr<MacAccessibility> accessibility;
  std::unique_ptr<MacScreenCaptureService> screenCapture;
  std::unique_ptr<MacInputSystem> input;
  std::unique_ptr<MacWorkspace> workspace;
  std::unique_ptr<QtImageCodec> imageCodec;
  std::unique_ptr<QtUserDefaults> userDefaults;
  std::unique_ptr<QtAlertPresenter> alerts;
  std::unique_ptr<QtStatusMenuHost> statusMenu;
  std::unique_ptr<MacSwitcherPanelHost> panels;
  std::unique_ptr<LoginItem> loginItem;
  std::unique_ptr<QtWindowHost> windowHost;
  std::unique_ptr<GlobalEventTapFactory> eventTaps;
  // Who this process is (its bundle and Info dictionary), for the lifecycle's checks.
  OwnApplication ownApplication;
};

// The one place that builds the platform. The user's language is taken first, so that
// everything after is reported in it. QUILLON_LOG overrides where diagnostics go (tests
// and bug reports); QT_QPA_PLATFORM is left to Qt ("cocoa", or "offscreen" in tests).
// The program runs as an accessory: no Dock icon, the status item is its presence.
std::unique_ptr<MacPlatform> makeMacPlatform(int& argc, char** argv);

}  // namespace quillon
