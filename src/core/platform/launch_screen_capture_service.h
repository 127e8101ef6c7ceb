#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/async/launch_task.h"
#include "core/support/bitmap.h"
#include "core/support/geometry.h"
#include "core/support/launch_error.h"

namespace quillon {

struct LaunchShareableWindow {
  std::uint32_t windowID = 0;
  std::int32_t ownerProcessID = 0;
  GlobalRect frame;
  int windowLayer = 0;
  bool isOnScreen = true;
  friend bool operator==(const LaunchShareableWindow&, const LaunchShareableWindow&) = default;
};

struct LaunchShareableDisplay {
  std::uint32_t displayID = 0;
  GlobalRect frame;
  friend bool operator==(const LaunchShareableDisplay&, const LaunchShareableDisplay&) = default;
};

struct LaunchShareableContent {
  std::vector<LaunchShareableWindow> windows;
  std::vector<LaunchShareableDisplay> displays;
};

// How a screenshot is taken. Sizes are in pixels; the source rectangle is in
// display-local points and applies to display captures only.
struct LaunchCaptureConfiguration {
  int width = 0;
  int height = 0;
  Rect sourceRect;
  bool showsCursor = false;
  bool ignoresShadows = true;
};

// The capture service could not deliver: the one code of its domain, made into an
// error with the platform's own error domain and code, which are for the log.
struct LaunchCaptureServiceError {
  enum class Code { captureFailed };
  static LaunchError of(std::string platformDomain, long platformCode);
};

constexpr LaunchErrorDomain launchErrorDomain(LaunchCaptureServiceError::Code) {
  return LaunchErrorDomain::captureService;
}
// "capture failed: <platform domain> <platform code>", for the log.
std::string launchErrorText(LaunchCaptureServiceError::Code code, const LaunchError& error);

inline LaunchError LaunchCaptureServiceError::of(std::string platformDomain, long platformCode) {
  return LaunchError(Code::captureFailed, LaunchPlatformFailure{std::move(platformDomain), platformCode});
}

class LaunchScreenCaptureService {
 public:
  LaunchScreenCaptureService() = default;
  LaunchScreenCaptureService(const LaunchScreenCaptureService&) = delete;
  LaunchScreenCaptureService& operator=(const LaunchScreenCaptureService&) = delete;
  virtual ~LaunchScreenCaptureService() = default;

  virtual bool preflightPermission() = 0;
  virtual bool requestPermission() = 0;

  // Shareable windows (on-screen only, desktop windows included) and displays.
  // Throws LaunchCaptureServiceError.
  virtual Task<LaunchShareableContent> shareableContent() = 0;
  // Points-to-pixels scale of a capture of this window or display.
  virtual double pointPixelScaleForWindow(std::uint32_t windowID) = 0;
  virtual double pointPixelScaleForDisplay(std::uint32_t displayID) = 0;
  // One window alone, with its own alpha and nothing behind it. Throws
  // LaunchCaptureServiceError.
  virtual Task<Bitmap> captureWindow(std::uint32_t windowID, LaunchCaptureConfiguration configuration) = 0;
  // A region of a display showing exactly `windowIDs` over a clear background.
  // Throws LaunchCaptureServiceError.
  virtual Task<Bitmap> captureDisplay(std::uint32_t displayID, std::vector<std::uint32_t> windowIDs,
                                      LaunchCaptureConfiguration configuration) = 0;
};

}  // namespace quillon
