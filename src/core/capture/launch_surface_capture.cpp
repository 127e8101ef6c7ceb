#include "core/capture/launch_surface_capture.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "core/async/clock.h"
#include "core/async/launch_async_wait_error.h"
#include "core/capture/launch_capture_backing_policy.h"
#include "core/capture/surface_capture_error.h"
#include "core/display/surface_geometry_policy.h"
#include "core/platform/log_sink.h"
#include "core/platform/screen_capture_service.h"
#include "core/platform/window_server.h"
#include "core/platform/workspace.h"

namespace quillon {

namespace {

using Code = SurfaceCaptureError::Code;

[[noreturn]] void fail(Code code) { throw SurfaceCaptureError::of(code); }

// The capture service's limit on each side of an image, in pixels.
constexpr double maximumPixelSide = 32768;

void requireAlive(const RunningApplication& application) {
  if (!isAlive(&application)) fail(Code::targetUnavailable);
}

bool containsRect(const GlobalRect& outer, const GlobalRect& inner) {
  return inner.minX() >= outer.minX() && inner.maxX() <= outer.maxX() && inner.minY() >= outer.minY() &&
         inner.maxY() <= outer.maxY();
}

// Pixel work runs on another thread; a capture that was cancelled meanwhile raises a
// flag the work checks before each step, and the capture drops whatever comes back.
template <class T>
Task<T> offMainThread(MainLoop& loop, std::shared_ptr<std::atomic<bool>> stop, std::function<T()> work) {
  std::function<T()> guarded = [stop, work = std::move(work)] {
    if (stop->load()) throw CancellationError{};
    return work();
  };
  auto running = runOffMainThread<T>(loop, std::move(guarded));
  T result = co_await std::move(running);
  co_await checkCancellation();
  co_return result;
}

LaunchSurfaceSnapshot buildSnapshot(const std::shared_ptr<const Bitmap>& image, std::uint8_t alphaThreshold,
                                    const GlobalRect& captureRect, double sampledAt, double sampledAtUptime,
                                    std::uint32_t windowID, std::int32_t processID,
                                    const std::vector<LaunchWindowCandidate>& group) {
  if (!std::isfinite(sampledAtUptime) || processID <= 0 || windowID == 0) fail(Code::invalidGeometry);
  auto masks = SurfaceAlphaMask::withBoundsAt(*image, alphaThreshold,
                                              std::min(alphaThreshold, LaunchSurfaceCapture::visibleAlphaThreshold));
  const GlobalRect interaction = masks.mask.visibleQuartzRect(captureRect);
  // The visible rectangle maps the lower threshold's bounds the same way the mask maps
  // its own.
  SurfaceAlphaMask::validate(captureRect);
  const double sx = captureRect.width / image->width;
  const double sy = captureRect.height / image->height;
  const Rect& b = masks.boundsAtLowerThreshold;
  const GlobalRect visible{captureRect.minX() + b.minX() * sx, captureRect.minY() + b.minY() * sy, b.width * sx,
                           b.height * sy};
  int layer = 0;
  for (const auto& window : group) layer = std::max(layer, window.windowLayer);
  std::vector<LaunchWindowCandidate> sources = group;
  if (sources.empty()) sources.push_back({windowID, captureRect, layer});
  return {*image,
          std::move(masks.mask),
          captureRect,
          visible,
          interaction,
          sampledAt,
          sampledAtUptime,
          windowID,
          processID,
          layer,
          std::move(sources),
          b};
}

}  // namespace

struct LaunchSurfaceCapture::Selection {
  LaunchCaptureGroup group;
  std::vector<ShareableWindow> windows;  // the content's windows of the group, in group order
  ShareableDisplay display;
};

LaunchSurfaceCapture::LaunchSurfaceCapture(MainLoop& loop, ScreenCaptureService& service,
                                           const WindowServer& windowServer, LogSink& log, std::uint8_t alphaThreshold,
                                           double maximumCaptureAge)
    : loop_(loop),
      service_(service),
      windowServer_(windowServer),
      log_(log),
      alphaThreshold_(alphaThreshold),
      maximumCaptureAge_(maximumCaptureAge),
      requestGate_(loop) {}

Task<LaunchSurfaceSnapshot> LaunchSurfaceCapture::capture(std::shared_ptr<const RunningApplication> application,
                                                          std::optional<GlobalPoint> targetQuartzPoint) {
  co_await checkCancellation();
  std::function<Task<LaunchSurfaceSnapshot>()> operation = [this, application, targetQuartzPoint] {
    return performCapture(application, targetQuartzPoint);
  };
  // A capture that overruns is cancelled: its image would be stale by the time it came.
  auto waiting = requestGate_.run(timeout, true, std::move(operation));
  try {
    co_return co_await std::move(waiting);
  } catch (const Error& error) {
    if (error == LaunchAsyncWaitError::timedOut) fail(Code::captureTimedOut);
    throw;
  }
}

Task<ShareableContent> LaunchSurfaceCapture::loadContent() {
  std::optional<ShareableContent> content;
  std::optional<Error> failure;
  try {
    content = co_await service_.shareableContent();
  } catch (const Error& error) {
    failure = error;
  }
  co_await checkCancellation();
  if (content) co_return std::move(*content);
  log_.log(fmt::format("[Quillon/capture] content unavailable domain={} code={}", failure->platform().domain,
                       failure->platform().code));
  // Content fails without the permission too; tell the user what would fix it.
  fail(service_.preflightPermission() ? Code::imageCaptureFailed : Code::permissionMissing);
}

LaunchSurfaceCapture::Selection LaunchSurfaceCapture::select(const ShareableContent& content,
                                                             const std::vector<WindowRow>& rows, std::int32_t processID,
                                                             std::optional<GlobalPoint> point) const {
  std::vector<ShareableWindow> own;
  for (const auto& window : content.windows) {
    if (window.ownerProcessID == processID && window.isOnScreen) own.push_back(window);
  }
  const auto findOwn = [&](std::uint32_t id) {
    return std::find_if(own.begin(), own.end(), [&](const auto& w) { return w.windowID == id; });
  };
  // The content has no stacking order; the window server's list gives it.
  std::vector<LaunchWindowCandidate> candidates;
  for (const auto& row : rows) {
    if (row.ownerPID != processID || !row.windowNumber) continue;
    const auto window = findOwn(*row.windowNumber);
    if (window != own.end()) candidates.push_back({window->windowID, window->frame, window->windowLayer});
  }
  std::vector<GlobalRect> displays;
  for (const auto& display : content.displays) displays.push_back(display.frame);

  Selection selection{LaunchCaptureGroup::select(candidates, displays, point), {}, {}};
  for (const auto& member : selection.group.windows) {
    const auto window = findOwn(member.windowID);
    if (window != own.end()) selection.windows.push_back(*window);
  }
  if (selection.windows.size() != selection.group.windows.size()) fail(Code::noCandidateWindow);
  const auto display = std::find_if(content.displays.begin(), content.displays.end(),
                                    [&](const auto& d) { return d.frame == selection.group.display; });
  if (display == content.displays.end()) fail(Code::noCandidateWindow);
  selection.display = *display;
  return selection;
}

Task<LaunchSurfaceSnapshot> LaunchSurfaceCapture::performCapture(std::shared_ptr<const RunningApplication> application,
                                                                 std::optional<GlobalPoint> point) {
  auto stop = std::make_shared<std::atomic<bool>>(false);
  auto cancellation = co_await currentCancellation();
  struct StopOnCancel {
    std::shared_ptr<Cancellation> cancellation;
    Cancellation::HandlerId id;
    ~StopOnCancel() { cancellation->removeHandler(id); }
  };
  const StopOnCancel stopOnCancel{cancellation, cancellation->addHandler([stop] { stop->store(true); })};

  if (!service_.preflightPermission()) fail(Code::permissionMissing);
  requireAlive(*application);
  const std::int32_t pid = application->processIdentifier();

  const ShareableContent content = co_await loadContent();
  requireAlive(*application);
  // One window list serves the selection and the sharing check. It is read like the
  // content, without holding the main thread: a window server that stalls holds this
  // capture alone, and the capture's time limit ends it.
  auto reading = windowServer_.readOnScreenWindows(false);
  const std::vector<WindowRow> rows = co_await std::move(reading);
  co_await checkCancellation();
  requireAlive(*application);
  const Selection selection = select(content, rows, pid, point);
  const LaunchCaptureGroup& group = selection.group;
  const ShareableWindow& primary = selection.windows.front();

  std::set<std::uint32_t> groupIDs;
  for (const auto& window : group.windows) groupIDs.insert(window.windowID);
  for (const auto& row : rows) {
    if (row.windowNumber && groupIDs.contains(*row.windowNumber) && row.sharingState == 0) {
      fail(Code::captureExcluded);
    }
  }

  const bool singleWindow = group.windows.size() == 1;
  GlobalRect captureRect = primary.frame;
  if (!singleWindow) {
    for (const auto& window : group.windows) captureRect = captureRect.unionWith(window.frame);
    captureRect = captureRect.intersection(selection.display.frame);
  }
  const double scale = singleWindow ? service_.pointPixelScaleForWindow(primary.windowID)
                                    : service_.pointPixelScaleForDisplay(selection.display.displayID);
  if (!std::isfinite(scale) || !(scale > 0) || !(captureRect.width * scale <= maximumPixelSide) ||
      !(captureRect.height * scale <= maximumPixelSide)) {
    fail(Code::invalidGeometry);
  }
  CaptureConfiguration configuration;
  configuration.width = std::max(1, static_cast<int>(std::trunc(captureRect.width * scale)));
  configuration.height = std::max(1, static_cast<int>(std::trunc(captureRect.height * scale)));
  if (!singleWindow) {
    const GlobalRect local = captureRect.offsetBy(-selection.display.frame.minX(), -selection.display.frame.minY());
    configuration.sourceRect = {local.x, local.y, local.width, local.height};
  }

  const Clock& clock = loop_.clock();
  const double sampledAt = clock.now();
  const double sampledAtUptime = clock.uptime();
  std::shared_ptr<const Bitmap> image;
  {
    std::optional<Error> failure;
    try {
      if (singleWindow) {
        image = std::make_shared<const Bitmap>(co_await service_.captureWindow(primary.windowID, configuration));
      } else {
        std::vector<std::uint32_t> ids(group.windows.size());
        std::transform(group.windows.begin(), group.windows.end(), ids.begin(),
                       [](const auto& w) { return w.windowID; });
        image = std::make_shared<const Bitmap>(
            co_await service_.captureDisplay(selection.display.displayID, std::move(ids), configuration));
      }
    } catch (const Error& error) {
      failure = error;
    }
    co_await checkCancellation();
    if (failure) {
      log_.log(fmt::format("[Quillon/capture] image unavailable domain={} code={}", failure->platform().domain,
                           failure->platform().code));
      fail(Code::imageCaptureFailed);
    }
  }
  requireAlive(*application);

  auto frontOnly = frontOnlyImage(group, configuration.width, configuration.height, pid, stop);
  if (auto normalised = co_await std::move(frontOnly)) image = std::move(normalised);
  requireAlive(*application);

  const std::uint8_t threshold = alphaThreshold_;
  const std::uint32_t primaryID = primary.windowID;
  const std::vector<LaunchWindowCandidate> groupWindows = group.windows;
  std::function<LaunchSurfaceSnapshot()> construct = [=] {
    return buildSnapshot(image, threshold, captureRect, sampledAt, sampledAtUptime, primaryID, pid, groupWindows);
  };
  auto constructing = offMainThread<LaunchSurfaceSnapshot>(loop_, stop, std::move(construct));
  LaunchSurfaceSnapshot snapshot = co_await std::move(constructing);

  // The screenshot took time: the windows must still be exactly what was captured.
  const ShareableContent fresh = co_await loadContent();
  auto rereading = windowServer_.readOnScreenWindows(false);
  const std::vector<WindowRow> freshRows = co_await std::move(rereading);
  co_await checkCancellation();
  std::optional<Selection> again;
  try {
    again = select(fresh, freshRows, pid, point);
  } catch (const Error&) {
    fail(Code::staleCapture);
  }
  const bool primaryUnchanged = std::any_of(fresh.windows.begin(), fresh.windows.end(), [&](const auto& w) {
    return w.windowID == primary.windowID && w.ownerProcessID == pid && w.isOnScreen && w.frame == primary.frame;
  });
  if (again->group != group || !primaryUnchanged) fail(Code::staleCapture);
  requireAlive(*application);

  const double now = clock.uptime();
  const double age = now - snapshot.sampledAtUptime;
  if (!std::isfinite(now) || !std::isfinite(snapshot.sampledAtUptime) || !std::isfinite(maximumCaptureAge_) ||
      maximumCaptureAge_ < 0 || !(age >= 0 && age <= maximumCaptureAge_)) {
    fail(Code::staleCapture);
  }
  if (!SurfaceGeometryPolicy::isBoundedTopCenterSurface(snapshot.visibleQuartzRect, group.display)) {
    fail(Code::ambiguousSurface);
  }
  co_return snapshot;
}

// Some apps keep an opaque black window of the same frame one layer below a surface with
// transparent corners. Captured together, the backing fills the corners; the front
// window alone is what the user sees as the notch. Any doubt keeps the composite.
Task<std::shared_ptr<const Bitmap>> LaunchSurfaceCapture::frontOnlyImage(const LaunchCaptureGroup& group, int width,
                                                                         int height, std::int32_t processID,
                                                                         std::shared_ptr<std::atomic<bool>> stop) {
  if (group.windows.size() != 2) co_return nullptr;
  const LaunchWindowCandidate front = group.windows[0];
  const LaunchWindowCandidate back = group.windows[1];
  if (front.frame != back.frame || back.windowLayer >= front.windowLayer || !containsRect(group.display, front.frame)) {
    co_return nullptr;
  }
  CaptureConfiguration configuration;
  configuration.width = width;
  configuration.height = height;

  std::shared_ptr<const Bitmap> frontImage;
  std::shared_ptr<const Bitmap> backImage;
  try {
    frontImage = std::make_shared<const Bitmap>(co_await service_.captureWindow(front.windowID, configuration));
  } catch (const Error&) {
  }
  co_await checkCancellation();
  if (!frontImage) co_return nullptr;
  std::function<bool()> hasTransparentParts = [frontImage] {
    try {
      const auto bounds = SurfaceAlphaMask(*frontImage, visibleAlphaThreshold).solidPixelBounds();
      return bounds != Rect{0, 0, static_cast<double>(frontImage->width), static_cast<double>(frontImage->height)};
    } catch (const Error&) {
      return false;
    }
  };
  auto checkingFront = offMainThread<bool>(loop_, stop, std::move(hasTransparentParts));
  if (!co_await std::move(checkingFront)) co_return nullptr;

  try {
    backImage = std::make_shared<const Bitmap>(co_await service_.captureWindow(back.windowID, configuration));
  } catch (const Error&) {
  }
  co_await checkCancellation();
  if (!backImage) co_return nullptr;
  std::function<bool()> isCanvas = [backImage] { return LaunchCaptureBackingPolicy::isOpaqueBlackCanvas(*backImage); };
  auto checkingBack = offMainThread<bool>(loop_, stop, std::move(isCanvas));
  if (!co_await std::move(checkingBack)) co_return nullptr;

  log_.log(fmt::format("[Quillon/capture] normalized opaque backing pid={} front={} back={}", processID, front.windowID,
                       back.windowID));
  co_return frontImage;
}

}  // namespace quillon
