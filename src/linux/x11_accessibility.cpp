#include "linux/x11_accessibility.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "core/platform/log_sink.h"
#include "linux/x11_connection.h"
#include "linux/x11_monitors.h"
#include "linux/x11_window_list.h"

namespace quillon {

void logX11HasNoPermissionPrompt(LogSink* log) {
  if (log) log->log("[Quillon/permissions] X11 has no permission prompt; rechecking");
}

X11Accessibility::X11Accessibility(X11Connection& connection, LogSink* log) : connection_(connection), log_(log) {}

bool X11Accessibility::isTrusted(bool prompt) {
  if (prompt) logX11HasNoPermissionPrompt(log_);
  return !connection_.hasError() && connection_.xinputOpcode() && connection_.xkbFirstEvent();
}

std::optional<AccessibilityHit> X11Accessibility::elementAtPoint(GlobalPoint quartzPoint,
                                                                 double messagingTimeoutSeconds) {
  if (!std::isfinite(quartzPoint.x) || !std::isfinite(quartzPoint.y) || connection_.hasError()) return std::nullopt;
  const auto deadline = x11DeadlineAfter(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(messagingTimeoutSeconds > 0 ? std::min(messagingTimeoutSeconds, 60.0) : 0.0)));
  const auto monitors = queryX11Monitors(connection_, deadline);
  if (!monitors) return std::nullopt;
  const X11RootSpace space(*monitors);
  const Point root = space.rootFromGlobal(quartzPoint);
  const double rootX = std::floor(root.x);
  const double rootY = std::floor(root.y);
  if (std::abs(rootX) > 32767 || std::abs(rootY) > 32767) return std::nullopt;

  auto* c = connection_.get();
  // TranslateCoordinates names the root's child under the point, honouring input
  // shapes and stacking, as the pointer would see it.
  const auto translate = xcb_translate_coordinates(c, connection_.root(), connection_.root(),
                                                   static_cast<std::int16_t>(rootX), static_cast<std::int16_t>(rootY));
  const auto translated = connection_.pending(translate).take<xcb_translate_coordinates_reply_t>(deadline);
  if (!translated) return std::nullopt;
  const xcb_window_t window = translated->child;
  if (window == XCB_WINDOW_NONE) return std::nullopt;

  const auto geometry = connection_.pending(xcb_get_geometry(c, window)).take<xcb_get_geometry_reply_t>(deadline);
  if (!geometry) return std::nullopt;

  const auto pid = x11WindowPid(connection_, window, deadline);
  if (!pid) return std::nullopt;
  AccessibilityHit hit;
  hit.processID = *pid;
  const double border = geometry->border_width;
  hit.windowPosition = space.globalFromRoot(Point{static_cast<double>(geometry->x), static_cast<double>(geometry->y)});
  hit.windowSize = Size{geometry->width + 2 * border, geometry->height + 2 * border};
  return hit;
}

}  // namespace quillon
