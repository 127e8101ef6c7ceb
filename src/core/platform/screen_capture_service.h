#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/async/task.h"
#include "core/support/bitmap.h"
#include "core/support/error.h"
#include "core/support/geometry.h"

namespace quillon {

struct ShareableWindow {
  std::uint32_t windowID = 0;
  std::int32_t ownerProcessID = 0;
  GlobalRect frame;
  int windowLayer = 0;
  bool isOnScreen = true;
  friend bool operator==(const ShareableWindow&, const ShareableWindow&) = default;
};

struct ShareableDisplay {
  std::uint32_t displayID = 0;
  GlobalRect frame;
  friend bool operator==(const ShareableDisplay&, const ShareableDisplay&) = default;
};

struct ShareableContent {
  std::vector<ShareableWindow> windows;
  std::vector<ShareableDisplay> displays;
};

// How a screenshot is taken. Sizes are in pixels; the source rectangle is in
// display-local points and applies to display captures only.
struct CaptureConfiguration {
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
  static Error of(std::string platformDomain, long platformCode);
};

constexpr ErrorDomain launchErrorDomain(LaunchCaptureServiceError::Code) { return ErrorDomain::captureService; }
// "capture failed: <platform domain> <platform code>", for the log.
std::string launchErrorText(LaunchCaptureServiceError::Code code, const Error& error);

inline Error LaunchCaptureServiceError::of(std::string platformDomain, long platformCode) {
  return Error(Code::captureFailed, PlatformFailure{std::move(platformDomain), platformCode});
}

class ScreenCaptureService {
 public:
  ScreenCaptureService() = default;
  ScreenCaptureService(const ScreenCaptureService&) = delete;
  ScreenCaptureService& operator=(const ScreenCaptureService&) = delete;
  virtual ~ScreenCaptureService() = default;

  virtual bool preflightPermission() = 0;
  virtual bool requestPermission() = 0;

  // Shareable windows (on-screen only, desktop windows included) and displays.
  // Throws LaunchCaptureServiceError.
  virtual Task<ShareableContent> shareableContent() = 0;
  // Points-to-pixels scale of a capture of this window or display.
  virtual double pointPixelScaleForWindow(std::uint32_t windowID) = 0;
  virtual double pointPixelScaleForDisplay(std::uint32_t displayID) = 0;
  // One window alone, with its own alpha and nothing behind it. Throws
  // LaunchCaptureServiceError.
  virtual Task<Bitmap> captureWindow(std::uint32_t windowID, CaptureConfiguration configuration) = 0;
  // A region of a display showing exactly `windowIDs` over a clear background.
  // Throws LaunchCaptureServiceError.
  virtual Task<Bitmap> captureDisplay(std::uint32_t displayID, std::vector<std::uint32_t> windowIDs,
                                      CaptureConfiguration configuration) = 0;
};

}  // namespace quillon
