#include "linux/x11_accessibility.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>

#include "core/platform/log_sink.h"
#include "linux/x11_connection.h"
#include "linux/x11_monitors.h"
#include "linux/x11_window_list.h"
#include "linux/x11_worker_connection.h"

namespace quillon {

void logX11HasNoPermissionPrompt(LogSink* log) {
  if (log) log->log("[Quillon/permissions] X11 has no permission prompt; rechecking");
}

X11Accessibility::X11Accessibility(X11Connection& connection, LogSink* log) : connection_(connection), log_(log) {}

bool X11Accessibility::isTrusted(bool prompt) {
  if (prompt) logX11HasNoPermissionPrompt(log_);
  return !connection_.hasError() && connection_.xinputOpcode() && connection_.xkbFirstEvent();
}

namespace {

X11Deadline deadlineAfter(double seconds) {
  return x11DeadlineAfter(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(seconds > 0 ? std::min(seconds, 60.0) : 0.0)));
}

std::optional<AccessibilityHit> hitTest(X11Connection& connection, GlobalPoint quartzPoint, X11Deadline deadline) {
  if (!std::isfinite(quartzPoint.x) || !std::isfinite(quartzPoint.y) || connection.hasError()) return std::nullopt;
  const auto monitors = queryX11Monitors(connection, deadline);
  if (!monitors) return std::nullopt;
  const X11RootSpace space(*monitors);
  const Point root = space.rootFromGlobal(quartzPoint);
  const double rootX = std::floor(root.x);
  const double rootY = std::floor(root.y);
  if (std::abs(rootX) > 32767 || std::abs(rootY) > 32767) return std::nullopt;

  auto* c = connection.get();
  // TranslateCoordinates names the root's child under the point, honouring input
  // shapes and stacking, as the pointer would see it.
  const auto translate = xcb_translate_coordinates(c, connection.root(), connection.root(),
                                                   static_cast<std::int16_t>(rootX), static_cast<std::int16_t>(rootY));
  const auto translated = connection.pending(translate).take<xcb_translate_coordinates_reply_t>(deadline);
  if (!translated) return std::nullopt;
  const xcb_window_t window = translated->child;
  if (window == XCB_WINDOW_NONE) return std::nullopt;

  const auto geometry = connection.pending(xcb_get_geometry(c, window)).take<xcb_get_geometry_reply_t>(deadline);
  if (!geometry) return std::nullopt;

  const auto pid = x11WindowPid(connection, window, deadline);
  if (!pid) return std::nullopt;
  AccessibilityHit hit;
  hit.processID = *pid;
  const double border = geometry->border_width;
  hit.windowPosition = space.globalFromRoot(Point{static_cast<double>(geometry->x), static_cast<double>(geometry->y)});
  hit.windowSize = Size{geometry->width + 2 * border, geometry->height + 2 * border};
  return hit;
}

}  // namespace

std::optional<AccessibilityHit> X11Accessibility::elementAtPoint(GlobalPoint quartzPoint,
                                                                 double messagingTimeoutSeconds) {
  return hitTest(connection_, quartzPoint, deadlineAfter(messagingTimeoutSeconds));
}

Task<std::optional<AccessibilityHit>> X11Accessibility::readElementAtPoint(GlobalPoint quartzPoint,
                                                                           double messagingTimeoutSeconds) {
  if (!worker_) co_return elementAtPoint(quartzPoint, messagingTimeoutSeconds);
  // The time-out counts from the question, not from when the worker gets to it.
  const X11Deadline own = deadlineAfter(messagingTimeoutSeconds);
  std::function<std::optional<AccessibilityHit>(X11Connection&, X11Deadline)> ask =
      [quartzPoint, own](X11Connection& connection, X11Deadline deadline) {
        return hitTest(connection, quartzPoint, std::min(own, deadline));
      };
  // A question given up on found nothing, as one past its time-out does.
  std::optional<AccessibilityHit> hit;
  try {
    auto asking = worker_->run<std::optional<AccessibilityHit>>(std::move(ask), [] { throw CancellationError{}; });
    hit = co_await std::move(asking);
  } catch (const CancellationError&) {
  }
  co_return hit;
}

}  // namespace quillon
