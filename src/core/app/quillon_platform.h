#pragma once

namespace quillon {

class GlobalEventTapFactory;
class LaunchAccessibility;
class LaunchAlertPresenter;
class LaunchClock;
class LaunchImageCodec;
class LaunchInputSystem;
class LaunchLogSink;
class LaunchMainLoop;
class LaunchScreenCaptureService;
class LaunchScreens;
class LaunchStatusMenuHost;
class LaunchSwitcherPanelHost;
class LaunchUserDefaults;
class LaunchWindowHost;
class LaunchWindowServer;
class LaunchWorkspace;

// Every port the product runs over, as one value the platform's start-up hands to the
// composition. It holds references only: the platform owns the objects, and they outlive
// the composition built over them.
struct QuillonPlatform {
  LaunchClock& clock;
  LaunchMainLoop& loop;
  LaunchLogSink& log;
  LaunchWindowServer& windowServer;
  LaunchScreens& screens;
  LaunchAccessibility& accessibility;
  LaunchScreenCaptureService& screenCapture;
  LaunchInputSystem& input;
  LaunchWorkspace& workspace;
  LaunchImageCodec& imageCodec;
  LaunchUserDefaults& userDefaults;
  LaunchAlertPresenter& alerts;
  LaunchStatusMenuHost& statusMenu;
  LaunchSwitcherPanelHost& panels;
  GlobalEventTapFactory& eventTaps;
  LaunchWindowHost& windows;
};

}  // namespace quillon
