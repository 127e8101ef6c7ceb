#pragma once

#include <string>

#include "linux/x11_screen_capture_service.h"

namespace quillon {

class X11Connection;

// The X desktop as the capture adapter sees it: every on-screen window composed back to
// front with its own alpha over a plain backdrop, so that shaped and translucent windows
// (a notch app's rounded surface) look as they would under a compositing manager.
//
// Composite keeps a window's pixels only from the moment it is redirected, which this
// object's construction does; a window drawn before that shows once it redraws.
class DesktopScreenshot {
 public:
  explicit DesktopScreenshot(X11Connection& connection) : capture_(connection) {}

  // False when the server has no usable Composite extension.
  bool isAvailable() { return capture_.preflightPermission(); }
  // Writes the PNG; an empty text on success, else what failed.
  std::string save(const std::string& path);

 private:
  X11ScreenCaptureService capture_;
};

}  // namespace quillon
