#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/platform/screen_capture_service.h"

namespace quillon {

class MainLoop;

// Captures through ScreenCaptureKit: the shareable content lists the windows and
// displays, a content filter selects one window alone (its own alpha, nothing behind
// it) or a display showing only some windows, and the screenshot manager takes the
// single image (macOS 14 and later). On macOS 13, which has no screenshot manager, the
// window server's list images stand in for the screenshot.
//
// Windows and displays are looked up in the content of the last `shareableContent`
// call, as the filters need the content's own objects. The pixels are converted off the
// main thread, where the system delivers them; every task resumes on the main loop.
//
// The system's errors keep their domain and code; the service's own carry the domain
// "MacCapture" and one of the codes below.
class MacScreenCaptureService final : public ScreenCaptureService {
 public:
  enum ErrorCode : long {
    // Not in the last shareable content (gone, or never listed).
    windowNotFound = 1,
    displayNotFound = 2,
    // The system delivered no image, or one that could not be converted.
    imageUnavailable = 3,
  };

  // `loop` must outlive the service and its tasks.
  explicit MacScreenCaptureService(MainLoop& loop);
  ~MacScreenCaptureService() override;

  // ScreenCaptureService:
  // The system's pre-flight check and request (which shows its prompt once per run).
  bool preflightPermission() override;
  bool requestPermission() override;
  Task<ShareableContent> shareableContent() override;
  double pointPixelScaleForWindow(std::uint32_t windowID) override;
  double pointPixelScaleForDisplay(std::uint32_t displayID) override;
  Task<Bitmap> captureWindow(std::uint32_t windowID, CaptureConfiguration configuration) override;
  Task<Bitmap> captureDisplay(std::uint32_t displayID, std::vector<std::uint32_t> windowIDs,
                              CaptureConfiguration configuration) override;

 private:
  struct Impl;
  // Shared with the system's completion handlers, which may outlive the service.
  std::shared_ptr<Impl> impl_;
};

}  // namespace quillon
