#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/platform/screen_capture_service.h"

namespace quillon {

class LogSink;
class MainLoop;
class X11Connection;
class X11WorkerConnection;
using X11Deadline = std::chrono::steady_clock::time_point;

// Captures through the Composite extension: every top-level window keeps its own
// off-screen pixmap, so a window's pixels, alpha included, can be read without what is
// in front of or behind it, and without the cursor (which is never in a pixmap).
//
// Errors carry the domain "X11Capture" and one of the codes below.
class X11ScreenCaptureService final : public ScreenCaptureService {
 public:
  enum ErrorCode : long {
    compositeUnavailable = 1,
    windowNotOnScreen = 2,
    imageUnavailable = 3,
    unknownDisplay = 4,
    invalidGeometry = 5,
    // The server did not answer within the capture's bound (another client grabbed it).
    serverNotAnswering = 6,
  };

  // Redirects the root's children to off-screen storage for as long as `connection`
  // lives (automatic mode, so the server still draws the screen and other clients may
  // do the same). Windows redraw once after that; create the service early. A request
  // for the permission has no prompt to show and only says so in `log`, when given.
  explicit X11ScreenCaptureService(X11Connection& connection, LogSink* log = nullptr);

  // From now on the tasks below make their requests on a worker thread over `own`, a
  // connection of the capture's alone, and convert the pixels there too; each result
  // comes back on `loop` (see X11WorkerConnection). All requests of one capture share
  // its one time limit, and a capture that is cancelled (its limit passed) stops its
  // request in progress, so the next capture never waits behind one given up on.
  void captureOffMainThread(MainLoop& loop, std::unique_ptr<X11Connection> own);
  // The worker, for the window lists a capture reads (X11WindowServer); null until
  // captureOffMainThread.
  std::shared_ptr<X11WorkerConnection> worker() const { return worker_; }

  // ScreenCaptureService:
  bool preflightPermission() override;
  bool requestPermission() override;
  Task<ShareableContent> shareableContent() override;
  double pointPixelScaleForWindow(std::uint32_t windowID) override;
  double pointPixelScaleForDisplay(std::uint32_t displayID) override;
  Task<Bitmap> captureWindow(std::uint32_t windowID, CaptureConfiguration configuration) override;
  Task<Bitmap> captureDisplay(std::uint32_t displayID, std::vector<std::uint32_t> windowIDs,
                              CaptureConfiguration configuration) override;

  // The synchronous work behind the tasks above on the shared connection, for callers
  // off the main loop (the demo's screenshot). Throw a LaunchCaptureServiceError.
  Bitmap windowImage(std::uint32_t windowID, const CaptureConfiguration& configuration);
  Bitmap displayImage(std::uint32_t displayID, const std::vector<std::uint32_t>& windowIDs,
                      const CaptureConfiguration& configuration);
  ShareableContent currentContent();

 private:
  template <class T>
  Task<T> run(std::function<T(X11Connection&, X11Deadline)> work);

  X11Connection& connection_;
  LogSink* log_;
  bool redirected_ = false;
  std::shared_ptr<X11WorkerConnection> worker_;
};

}  // namespace quillon
