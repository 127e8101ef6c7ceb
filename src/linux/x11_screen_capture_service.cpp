#include "linux/x11_screen_capture_service.h"

#include <xcb/composite.h>
#include <xcb/shape.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "core/async/main_loop.h"
#include "linux/x11_accessibility.h"
#include "linux/x11_connection.h"
#include "linux/x11_monitors.h"
#include "linux/x11_window_list.h"
#include "linux/x11_worker_connection.h"

namespace quillon {
namespace {

constexpr const char* kDomain = "X11Capture";

[[noreturn]] void fail(X11ScreenCaptureService::ErrorCode code) { throw LaunchCaptureServiceError::of(kDomain, code); }

// A reply that has not come by the deadline fails the capture as a stalled server;
// one that came empty (an error) fails it with `code`.
template <class R>
XcbReply<R> replyOrFail(X11PendingReply request, X11Deadline deadline, X11ScreenCaptureService::ErrorCode code) {
  const X11Connection* connection = request.connection();
  auto reply = request.take<R>(deadline);
  if (reply) return reply;
  if (std::chrono::steady_clock::now() >= deadline || (connection != nullptr && connection->waitsInterrupted())) {
    fail(X11ScreenCaptureService::serverNotAnswering);
  }
  fail(code);
}

// Reads a drawable into a premultiplied RGBA bitmap. Pixmaps of 32-bit windows hold
// premultiplied ARGB, the X convention for alpha visuals; other depths are opaque.
Bitmap readDrawable(X11Connection& x, xcb_drawable_t drawable, int width, int height, std::uint8_t depth,
                    X11Deadline deadline) {
  auto* c = x.get();
  const auto image = replyOrFail<xcb_get_image_reply_t>(
      x.pending(xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, 0, 0, static_cast<std::uint16_t>(width),
                              static_cast<std::uint16_t>(height), ~0U)),
      deadline, X11ScreenCaptureService::imageUnavailable);
  const auto length = static_cast<std::size_t>(xcb_get_image_data_length(image.get()));
  const std::size_t stride = static_cast<std::size_t>(width) * 4;
  // Depths 24 and 32 are stored 32 bits per pixel on every server this runs on; any
  // other layout is refused rather than misread.
  if (length < stride * static_cast<std::size_t>(height)) fail(X11ScreenCaptureService::imageUnavailable);
  const std::uint8_t* data = xcb_get_image_data(image.get());
  const bool msbFirst = xcb_get_setup(c)->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
  Bitmap bitmap = Bitmap::transparent(width, height);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* src = data + static_cast<std::size_t>(y) * stride;
    std::uint8_t* dst = bitmap.pixel(0, y);
    for (int px = 0; px < width; ++px, src += 4, dst += 4) {
      const std::uint8_t b = msbFirst ? src[3] : src[0];
      const std::uint8_t g = msbFirst ? src[2] : src[1];
      const std::uint8_t r = msbFirst ? src[1] : src[2];
      const std::uint8_t a = depth == 32 ? (msbFirst ? src[0] : src[3]) : 255;
      dst[0] = std::min(r, a);
      dst[1] = std::min(g, a);
      dst[2] = std::min(b, a);
      dst[3] = a;
    }
  }
  return bitmap;
}

// Nearest-neighbour resampling to the requested size (scale to fit); a no-op at scale 1,
// which is the only scale X11 reports.
Bitmap resized(Bitmap source, int width, int height) {
  if (width <= 0 || height <= 0 || (width == source.width && height == source.height)) return source;
  Bitmap result = Bitmap::transparent(width, height);
  for (int y = 0; y < height; ++y) {
    const int sy = std::min(source.height - 1, static_cast<int>(static_cast<long>(y) * source.height / height));
    for (int px = 0; px < width; ++px) {
      const int sx = std::min(source.width - 1, static_cast<int>(static_cast<long>(px) * source.width / width));
      std::memcpy(result.pixel(px, y), source.pixel(sx, sy), 4);
    }
  }
  return result;
}

// Premultiplied source-over of `image` placed with its top-left at (left, top).
void drawOver(Bitmap& canvas, const Bitmap& image, int left, int top) {
  for (int y = std::max(0, top); y < std::min(canvas.height, top + image.height); ++y) {
    for (int px = std::max(0, left); px < std::min(canvas.width, left + image.width); ++px) {
      const std::uint8_t* s = image.pixel(px - left, y - top);
      std::uint8_t* d = canvas.pixel(px, y);
      const int inverse = 255 - s[3];
      for (int i = 0; i < 4; ++i) d[i] = static_cast<std::uint8_t>(s[i] + (d[i] * inverse + 127) / 255);
    }
  }
}

struct Sized {
  int width;
  int height;
  std::uint8_t depth;
};

Sized viewableSize(X11Connection& x, std::uint32_t window, X11Deadline deadline) {
  auto* c = x.get();
  auto attributesRequest = x.pending(xcb_get_window_attributes(c, window));
  auto geometryRequest = x.pending(xcb_get_geometry(c, window));
  const auto attributes = replyOrFail<xcb_get_window_attributes_reply_t>(std::move(attributesRequest), deadline,
                                                                         X11ScreenCaptureService::windowNotOnScreen);
  const auto geometry = replyOrFail<xcb_get_geometry_reply_t>(std::move(geometryRequest), deadline,
                                                              X11ScreenCaptureService::windowNotOnScreen);
  if (attributes->map_state != XCB_MAP_STATE_VIEWABLE) {
    fail(X11ScreenCaptureService::windowNotOnScreen);
  }
  return {geometry->width + 2 * geometry->border_width, geometry->height + 2 * geometry->border_width, geometry->depth};
}

// Clears what lies outside a window's Shape bounding region: the screen shows the
// windows below there, while the named pixmap still holds the whole rectangle (the black
// box around a shaped panel drawn without a compositor). The region is relative to the
// window's origin inside its border; the pixmap starts at the border's outer corner.
void clipToBoundingShape(X11Connection& x, std::uint32_t window, Bitmap& image, X11Deadline deadline) {
  auto* c = x.get();
  const auto* shape = xcb_get_extension_data(c, &xcb_shape_id);
  if (shape == nullptr || shape->present == 0) return;
  auto geometryRequest = x.pending(xcb_get_geometry(c, window));
  auto regionRequest = x.pending(xcb_shape_get_rectangles(c, window, XCB_SHAPE_SK_BOUNDING));
  const auto geometry = replyOrFail<xcb_get_geometry_reply_t>(std::move(geometryRequest), deadline,
                                                              X11ScreenCaptureService::windowNotOnScreen);
  const auto region = replyOrFail<xcb_shape_get_rectangles_reply_t>(std::move(regionRequest), deadline,
                                                                    X11ScreenCaptureService::windowNotOnScreen);
  const int border = geometry->border_width;
  std::vector<std::uint8_t> inside(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height), 0);
  const xcb_rectangle_t* rects = xcb_shape_get_rectangles_rectangles(region.get());
  const int count = xcb_shape_get_rectangles_rectangles_length(region.get());
  for (int i = 0; i < count; ++i) {
    const int left = std::max(0, rects[i].x + border);
    const int top = std::max(0, rects[i].y + border);
    const int right = std::min(image.width, rects[i].x + border + rects[i].width);
    const int bottom = std::min(image.height, rects[i].y + border + rects[i].height);
    for (int y = top; y < bottom; ++y) {
      std::fill_n(inside.begin() + static_cast<std::ptrdiff_t>(y) * image.width + left, std::max(0, right - left), 1);
    }
  }
  for (int y = 0; y < image.height; ++y) {
    for (int px = 0; px < image.width; ++px) {
      if (!inside[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(px)])
        std::memset(image.pixel(px, y), 0, 4);
    }
  }
}

Bitmap windowPixels(X11Connection& x, std::uint32_t window, X11Deadline deadline) {
  if (!x.hasComposite()) fail(X11ScreenCaptureService::compositeUnavailable);
  const Sized size = viewableSize(x, window, deadline);
  auto* c = x.get();
  // The named pixmap is the window's off-screen storage at this moment; it is freed at
  // once because a resize gives the window a new one.
  const xcb_pixmap_t pixmap = xcb_generate_id(c);
  const auto checked = xcb_composite_name_window_pixmap_checked(c, window, pixmap);
  struct PixmapGuard {
    xcb_connection_t* c;
    xcb_pixmap_t pixmap;
    bool named = true;
    ~PixmapGuard() {
      if (named) xcb_free_pixmap(c, pixmap);
    }
  } guard{c, pixmap};
  // Freed on every way out but a refusal: a request the server has not reached yet
  // (the deadline passed) may still name the pixmap later.
  const auto outcome = x.check(checked, deadline);
  if (!outcome) fail(X11ScreenCaptureService::serverNotAnswering);
  if (*outcome) {
    guard.named = false;
    fail(X11ScreenCaptureService::windowNotOnScreen);
  }
  return readDrawable(x, pixmap, size.width, size.height, size.depth, deadline);
}

ShareableContent contentOf(const std::optional<X11WindowSnapshot>& snapshot) {
  if (!snapshot) fail(X11ScreenCaptureService::serverNotAnswering);
  const X11RootSpace space(snapshot->monitors);
  ShareableContent content;
  for (const auto& window : snapshot->windows) {
    content.windows.push_back(
        {window.window, window.pid.value_or(0), space.globalFromRoot(window.rootBounds), window.layer, true});
  }
  for (const auto& monitor : snapshot->monitors) {
    content.displays.push_back({monitor.displayID, space.globalFromRoot(monitor.rootFrame)});
  }
  return content;
}

Bitmap windowImageOf(X11Connection& connection, std::uint32_t windowID, const CaptureConfiguration& configuration,
                     X11Deadline deadline) {
  Bitmap image = windowPixels(connection, windowID, deadline);
  return resized(std::move(image), configuration.width, configuration.height);
}

Bitmap displayImageOf(X11Connection& connection, std::uint32_t displayID, const std::vector<std::uint32_t>& windowIDs,
                      const CaptureConfiguration& configuration, X11Deadline deadline) {
  const auto monitors = queryX11Monitors(connection, deadline);
  if (!monitors) fail(X11ScreenCaptureService::serverNotAnswering);
  const auto monitor =
      std::find_if(monitors->begin(), monitors->end(), [&](const X11Monitor& m) { return m.displayID == displayID; });
  if (monitor == monitors->end()) fail(X11ScreenCaptureService::unknownDisplay);
  // The source rectangle is in display-local points; empty means the whole display.
  Rect region = monitor->rootFrame;
  if (!configuration.sourceRect.isEmpty()) {
    const Rect s = configuration.sourceRect;
    region = {monitor->rootFrame.x + s.x, monitor->rootFrame.y + s.y, s.width, s.height};
  }
  if (!region.isValid() || region.width > 32768 || region.height > 32768)
    fail(X11ScreenCaptureService::invalidGeometry);
  const int left = static_cast<int>(std::floor(region.x));
  const int top = static_cast<int>(std::floor(region.y));
  Bitmap canvas =
      Bitmap::transparent(static_cast<int>(std::ceil(region.width)), static_cast<int>(std::ceil(region.height)));

  // Paint back to front in the current stacking order, so overlapping windows of the
  // set appear as they do on screen.
  auto windows = listX11Windows(connection, deadline);
  if (!windows) fail(X11ScreenCaptureService::serverNotAnswering);
  std::reverse(windows->begin(), windows->end());
  std::size_t painted = 0;
  for (const auto& window : *windows) {
    if (std::find(windowIDs.begin(), windowIDs.end(), window.window) == windowIDs.end()) continue;
    Bitmap image = windowPixels(connection, window.window, deadline);
    clipToBoundingShape(connection, window.window, image, deadline);
    drawOver(canvas, image, static_cast<int>(window.rootBounds.x) - left, static_cast<int>(window.rootBounds.y) - top);
    ++painted;
  }
  if (painted != windowIDs.size()) fail(X11ScreenCaptureService::windowNotOnScreen);
  return resized(std::move(canvas), configuration.width, configuration.height);
}

}  // namespace

X11ScreenCaptureService::X11ScreenCaptureService(X11Connection& connection, LogSink* log)
    : connection_(connection), log_(log) {
  if (!connection_.hasComposite()) return;
  auto* c = connection_.get();
  const auto outcome = connection_.check(
      xcb_composite_redirect_subwindows_checked(c, connection_.root(), XCB_COMPOSITE_REDIRECT_AUTOMATIC),
      x11DeadlineAfter(kX11QueryBound));
  // BadAccess means a compositing manager already redirects the windows (manually);
  // their pixmaps can then be named all the same.
  redirected_ = outcome && (!*outcome || (*outcome)->error_code == XCB_ACCESS);
}

void X11ScreenCaptureService::captureOffMainThread(MainLoop& loop, std::unique_ptr<X11Connection> own) {
  if (!own) return;
  worker_ = std::make_shared<X11WorkerConnection>(loop, std::move(own));
}

template <class T>
Task<T> X11ScreenCaptureService::run(std::function<T(X11Connection&, X11Deadline)> work) {
  std::function<T(X11Connection&, X11Deadline)> checked = [work = std::move(work)](X11Connection& c, X11Deadline d) {
    if (c.hasError()) fail(imageUnavailable);
    return work(c, d);
  };
  if (!worker_) {
    T result = checked(connection_, x11DeadlineAfter(kX11CaptureBound));
    connection_.scheduleDispatch();
    co_return result;
  }
  auto running = worker_->run<T>(std::move(checked), [] { fail(serverNotAnswering); });
  co_return co_await std::move(running);
}

bool X11ScreenCaptureService::preflightPermission() { return redirected_ && !connection_.hasError(); }

bool X11ScreenCaptureService::requestPermission() {
  logX11HasNoPermissionPrompt(log_);
  return preflightPermission();
}

ShareableContent X11ScreenCaptureService::currentContent() {
  if (connection_.hasError()) fail(imageUnavailable);
  ShareableContent content = contentOf(readX11WindowSnapshot(connection_, x11DeadlineAfter(kX11CaptureBound)));
  connection_.scheduleDispatch();
  return content;
}

Task<ShareableContent> X11ScreenCaptureService::shareableContent() {
  if (!worker_) co_return currentContent();
  auto reading = worker_->readWindows([] { fail(serverNotAnswering); });
  co_return contentOf(co_await std::move(reading));
}

double X11ScreenCaptureService::pointPixelScaleForWindow(std::uint32_t /*windowID*/) { return 1.0; }

double X11ScreenCaptureService::pointPixelScaleForDisplay(std::uint32_t /*displayID*/) { return 1.0; }

Bitmap X11ScreenCaptureService::windowImage(std::uint32_t windowID, const CaptureConfiguration& configuration) {
  Bitmap image = windowImageOf(connection_, windowID, configuration, x11DeadlineAfter(kX11CaptureBound));
  connection_.scheduleDispatch();
  return image;
}

Bitmap X11ScreenCaptureService::displayImage(std::uint32_t displayID, const std::vector<std::uint32_t>& windowIDs,
                                             const CaptureConfiguration& configuration) {
  Bitmap image = displayImageOf(connection_, displayID, windowIDs, configuration, x11DeadlineAfter(kX11CaptureBound));
  connection_.scheduleDispatch();
  return image;
}

Task<Bitmap> X11ScreenCaptureService::captureWindow(std::uint32_t windowID, CaptureConfiguration configuration) {
  return run<Bitmap>([windowID, configuration](X11Connection& connection, X11Deadline deadline) {
    return windowImageOf(connection, windowID, configuration, deadline);
  });
}

Task<Bitmap> X11ScreenCaptureService::captureDisplay(std::uint32_t displayID, std::vector<std::uint32_t> windowIDs,
                                                     CaptureConfiguration configuration) {
  return run<Bitmap>(
      [displayID, windowIDs = std::move(windowIDs), configuration](X11Connection& connection, X11Deadline deadline) {
        return displayImageOf(connection, displayID, windowIDs, configuration, deadline);
      });
}

}  // namespace quillon
