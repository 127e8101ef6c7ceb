#pragma once

namespace quillon {

class GlobalEventTapFactory;
class Accessibility;
class AlertPresenter;
class Clock;
class ImageCodec;
class InputSystem;
class LogSink;
class MainLoop;
class ScreenCaptureService;
class Screens;
class StatusMenuHost;
class LaunchSwitcherPanelHost;
class UserDefaults;
class WindowHost;
class WindowServer;
class Workspace;

// Every port the product runs over, as one value the platform's start-up hands to the
// composition. It holds references only: the platform owns the objects, and they outlive
// the composition built over them.
struct QuillonPlatform {
  Clock& clock;
  MainLoop& loop;
  LogSink& log;
  WindowServer& windowServer;
  Screens& screens;
  Accessibility& accessibility;
  ScreenCaptureService& screenCapture;
  InputSystem& input;
  Workspace& workspace;
  ImageCodec& imageCodec;
  UserDefaults& userDefaults;
  AlertPresenter& alerts;
  StatusMenuHost& statusMenu;
  LaunchSwitcherPanelHost& panels;
  GlobalEventTapFactory& eventTaps;
  WindowHost& windows;
};

}  // namespace quillon
