#include "sample_notch_window.h"

#include <poll.h>
#include <unistd.h>
#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "sample_notch_painter.h"

namespace quillon {
namespace {

// XCB replies and events are malloc'd; holding them here means an early return cannot
// leak one.
struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

struct ConnectionDeleter {
  void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
  XcbReply<xcb_intern_atom_reply_t> reply(
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

}  // namespace

// Transparent rows at the bottom of a surface that has an opaque backing.
constexpr int kBackingFootRows = 4;

struct SampleNotchWindow::Impl {
  SampleNotchIdentity identity;
  SampleNotchOptions options;
  std::unique_ptr<xcb_connection_t, ConnectionDeleter> connection;
  xcb_screen_t* screen = nullptr;
  xcb_window_t window = XCB_WINDOW_NONE;
  xcb_window_t backing = XCB_WINDOW_NONE;  // only with an opaque backing
  xcb_window_t piece = XCB_WINDOW_NONE;    // only with a second piece
  xcb_gcontext_t gc = 0;
  int monitorX = 0;
  int monitorY = 0;
  int monitorWidth = 0;
  bool expanded = false;
  int scrolls = 0;

  xcb_connection_t* c() const { return connection.get(); }

  int width() const { return expanded ? kSampleExpandedWidth : kSampleCollapsedWidth; }
  int height() const { return expanded ? kSampleExpandedHeight : kSampleCollapsedHeight; }
  int x() const { return monitorX + (monitorWidth - width()) / 2 + options.offsetX; }

  void findMonitor() {
    monitorX = 0;
    monitorY = 0;
    monitorWidth = screen->width_in_pixels;
    // A request to an extension the server lacks closes the connection; without RandR
    // the whole screen is the monitor.
    const auto* randr = xcb_get_extension_data(c(), &xcb_randr_id);
    if (randr == nullptr || randr->present == 0) {
      std::fprintf(stderr, "sample-notch: the X server has no RandR extension; centring on the whole screen\n");
      return;
    }
    XcbReply<xcb_randr_get_monitors_reply_t> reply(
        xcb_randr_get_monitors_reply(c(), xcb_randr_get_monitors(c(), screen->root, 1), nullptr));
    if (!reply) {
      return;
    }
    // The monitor a notch would be on: the primary one, else the one at the root's
    // origin, else the first (the same rule as Quillon's screen list).
    int rank = -1;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem > 0;
         xcb_randr_monitor_info_next(&it)) {
      const auto* m = it.data;
      const bool atOrigin = m->x <= 0 && m->y <= 0 && m->x + m->width > 0 && m->y + m->height > 0;
      const int candidate = m->primary ? 2 : atOrigin ? 1 : 0;
      if (candidate > rank) {
        rank = candidate;
        monitorX = m->x;
        monitorY = m->y;
        monitorWidth = m->width;
      }
    }
  }

  void setProperty(const char* name, xcb_atom_t type, std::uint8_t format, std::uint32_t count, const void* data) {
    xcb_change_property(c(), XCB_PROP_MODE_REPLACE, window, internAtom(c(), name), type, format, count, data);
  }

  bool create(std::string& error) {
    xcb_visualtype_t* visual = nullptr;
    for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem > 0 && visual == nullptr;
         xcb_depth_next(&depths)) {
      if (depths.data->depth != 32) {
        continue;
      }
      for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0; xcb_visualtype_next(&visuals)) {
        if (visuals.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR) {
          visual = visuals.data;
          break;
        }
      }
    }
    if (visual == nullptr) {
      error = "the X server offers no 32-bit TrueColor visual";
      return false;
    }
    const xcb_colormap_t colormap = xcb_generate_id(c());
    xcb_create_colormap(c(), XCB_COLORMAP_ALLOC_NONE, colormap, screen->root, visual->visual_id);

    window = xcb_generate_id(c());
    const bool overrideRedirect = identity.windowKind == SampleNotchWindowKind::overrideRedirect;
    // A window of another depth than its parent needs its own border pixel and
    // colormap, or CreateWindow fails with BadMatch.
    const std::uint32_t values[] = {
        0,  // back pixel: fully transparent
        0,  // border pixel
        overrideRedirect ? 1U : 0U,
        XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_ENTER_WINDOW | XCB_EVENT_MASK_LEAVE_WINDOW |
            XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_BUTTON_PRESS,
        colormap,
    };
    xcb_create_window(
        c(), 32, window, screen->root, static_cast<std::int16_t>(x()), static_cast<std::int16_t>(monitorY),
        static_cast<std::uint16_t>(width()), static_cast<std::uint16_t>(height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
        visual->visual_id,
        XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK | XCB_CW_COLORMAP,
        values);
    gc = xcb_generate_id(c());
    xcb_create_gc(c(), gc, window, 0, nullptr);

    // WM_NAME and WM_CLASS are Latin-1 by convention, so they carry the ASCII bundle
    // name; the display name, which may be Japanese, goes into _NET_WM_NAME.
    const std::string& name = identity.name;
    const std::string& bundleName = identity.bundleName;
    xcb_atom_t utf8 = internAtom(c(), "UTF8_STRING");
    setProperty("WM_NAME", XCB_ATOM_STRING, 8, static_cast<std::uint32_t>(bundleName.size()), bundleName.data());
    setProperty("_NET_WM_NAME", utf8, 8, static_cast<std::uint32_t>(name.size()), name.data());
    std::string wmClass = "sample-notch";
    wmClass.push_back('\0');
    wmClass += bundleName;
    wmClass.push_back('\0');
    setProperty("WM_CLASS", XCB_ATOM_STRING, 8, static_cast<std::uint32_t>(wmClass.size()), wmClass.data());
    const std::uint32_t pid = static_cast<std::uint32_t>(getpid());
    setProperty("_NET_WM_PID", XCB_ATOM_CARDINAL, 32, 1, &pid);
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    setProperty("WM_CLIENT_MACHINE", XCB_ATOM_STRING, 8, static_cast<std::uint32_t>(std::strlen(host)), host);
    const xcb_atom_t type =
        internAtom(c(), identity.windowKind == SampleNotchWindowKind::above ? "_NET_WM_WINDOW_TYPE_NORMAL"
                                                                            : "_NET_WM_WINDOW_TYPE_DOCK");
    setProperty("_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, 32, 1, &type);
    if (!overrideRedirect) setManagedHints();

    // Without a window manager nothing keeps the surface above windows mapped later;
    // watching the root's children lets it raise itself over them.
    const std::uint32_t rootMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c(), screen->root, XCB_CW_EVENT_MASK, &rootMask);

    if (options.opaqueBacking) {
      createBacking();
    }
    if (options.secondPiece) {
      createPiece();
    }
    xcb_map_window(c(), window);
    raise();
    xcb_flush(c());
    return true;
  }

  // What a notch app tells a window manager so that it stays where it put itself, at the
  // top centre, under any manager: the position is the program's and the user's own
  // (without it openbox places a dock window by its own policy, mid-screen), the window
  // is on every desktop above the others, and no taskbar or pager lists it.
  void setManagedHints() {
    constexpr std::uint32_t usPosition = 1, pPosition = 4, pWinGravity = 512;
    constexpr std::uint32_t northWestGravity = 1;
    std::uint32_t sizeHints[18] = {};
    sizeHints[0] = usPosition | pPosition | pWinGravity;
    sizeHints[1] = static_cast<std::uint32_t>(x());
    sizeHints[2] = static_cast<std::uint32_t>(monitorY);
    sizeHints[3] = static_cast<std::uint32_t>(width());
    sizeHints[4] = static_cast<std::uint32_t>(height());
    sizeHints[17] = northWestGravity;
    setProperty("WM_NORMAL_HINTS", internAtom(c(), "WM_SIZE_HINTS"), 32, 18, sizeHints);
    const xcb_atom_t states[] = {internAtom(c(), "_NET_WM_STATE_ABOVE"), internAtom(c(), "_NET_WM_STATE_STICKY"),
                                 internAtom(c(), "_NET_WM_STATE_SKIP_TASKBAR"),
                                 internAtom(c(), "_NET_WM_STATE_SKIP_PAGER")};
    setProperty("_NET_WM_STATE", XCB_ATOM_ATOM, 32, 4, states);
    const std::uint32_t allDesktops = 0xffffffff;
    setProperty("_NET_WM_DESKTOP", XCB_ATOM_CARDINAL, 32, 1, &allDesktops);
  }

  // A plain opaque window of the root's depth, owned by this process like the surface.
  xcb_window_t createPlainWindow(int left, int top, int w, int h, std::uint32_t pixel, bool overrideRedirect) {
    const xcb_window_t plain = xcb_generate_id(c());
    const std::uint32_t values[] = {pixel, overrideRedirect ? 1U : 0U};
    xcb_create_window(c(), XCB_COPY_FROM_PARENT, plain, screen->root, static_cast<std::int16_t>(left),
                      static_cast<std::int16_t>(top), static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT,
                      values);
    const std::uint32_t pid = static_cast<std::uint32_t>(getpid());
    xcb_change_property(c(), XCB_PROP_MODE_REPLACE, plain, internAtom(c(), "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1,
                        &pid);
    const xcb_atom_t dock = internAtom(c(), "_NET_WM_WINDOW_TYPE_DOCK");
    xcb_change_property(c(), XCB_PROP_MODE_REPLACE, plain, internAtom(c(), "_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1,
                        &dock);
    xcb_map_window(c(), plain);
    return plain;
  }

  // Black, mapped before the surface so that it stays right below it; a dock, so it
  // sits on a lower layer than the surface.
  void createBacking() { backing = createPlainWindow(x(), monitorY, width(), height(), screen->black_pixel, false); }

  // A grey piece 8 pixels right of the expanded surface, of the surface's kind (so on
  // its layer): with it the notch is drawn by two neighbouring windows.
  void createPiece() {
    const int expandedLeft = monitorX + (monitorWidth - kSampleExpandedWidth) / 2 + options.offsetX;
    piece = createPlainWindow(expandedLeft + kSampleExpandedWidth + 8, monitorY, 60, 40, 0x808080,
                              identity.windowKind == SampleNotchWindowKind::overrideRedirect);
  }

  void raise() {
    const std::uint32_t mode = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(c(), window, XCB_CONFIG_WINDOW_STACK_MODE, &mode);
  }

  void draw() {
    // Over a backing the bottom rows stay transparent, so the surface alone is visibly
    // smaller than its window.
    const int bodyHeight = options.opaqueBacking ? height() - kBackingFootRows : height();
    auto pixels = paintSampleNotch(identity, width(), bodyHeight, expanded);
    pixels.resize(static_cast<std::size_t>(width()) * static_cast<std::size_t>(height()), 0);
    xcb_put_image(c(), XCB_IMAGE_FORMAT_Z_PIXMAP, window, gc, static_cast<std::uint16_t>(width()),
                  static_cast<std::uint16_t>(height()), 0, 0, 0, 32,
                  static_cast<std::uint32_t>(pixels.size() * sizeof(std::uint32_t)),
                  reinterpret_cast<const std::uint8_t*>(pixels.data()));
  }

  void setExpanded(bool value) {
    if (expanded == value) {
      return;
    }
    expanded = value;
    const std::uint32_t geometry[] = {static_cast<std::uint32_t>(x()), static_cast<std::uint32_t>(monitorY),
                                      static_cast<std::uint32_t>(width()), static_cast<std::uint32_t>(height())};
    const std::uint16_t mask =
        XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT;
    if (backing != XCB_WINDOW_NONE) {
      xcb_configure_window(c(), backing, mask, geometry);
    }
    xcb_configure_window(c(), window, mask, geometry);
    draw();
    announce(expanded ? "expanded" : "collapsed");
  }

  // Prints `line` after a round trip, so the server has applied every earlier request
  // by the time a reader sees it.
  void announce(const std::string& line) {
    if (!options.announce) {
      return;
    }
    XcbReply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(c(), xcb_get_input_focus(c()), nullptr));
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  }

  // Whether the innermost window under the pointer is the surface, as the server sees it now.
  bool pointerOnSurface() {
    xcb_window_t under = screen->root;
    for (int depth = 0; depth < 8 && under != XCB_WINDOW_NONE; ++depth) {
      if (under == window) return true;
      XcbReply<xcb_query_pointer_reply_t> pointer(xcb_query_pointer_reply(c(), xcb_query_pointer(c(), under), nullptr));
      if (!pointer || !pointer->same_screen) return false;
      under = pointer->child;
    }
    return false;
  }

  void handle(xcb_generic_event_t* event) {
    switch (event->response_type & 0x7fU) {
      case XCB_EXPOSE: {
        auto* e = reinterpret_cast<xcb_expose_event_t*>(event);
        if (e->window == window && e->count == 0) {
          draw();
        }
        break;
      }
      // Crossings with a grab mode are made by a grab starting or ending (another
      // program taking the wheel for a moment), not by the pointer moving: they are
      // not a leave. Only an end of a grab with the pointer over the surface says
      // where it is.
      case XCB_ENTER_NOTIFY: {
        auto* e = reinterpret_cast<xcb_enter_notify_event_t*>(event);
        if (e->event == window && e->mode != XCB_NOTIFY_MODE_GRAB) {
          setExpanded(true);
        }
        break;
      }
      // A window manager that reframes the surface on a resize (openbox) makes a pair of
      // crossings with the pointer still on it: collapsing on that leave would resize it
      // again, and the next pair would expand it, over and over. Only a pointer that is
      // really elsewhere collapses the surface.
      case XCB_LEAVE_NOTIFY: {
        auto* e = reinterpret_cast<xcb_leave_notify_event_t*>(event);
        if (e->event == window && e->mode == XCB_NOTIFY_MODE_NORMAL && !options.pinnedExpanded && !pointerOnSurface()) {
          setExpanded(false);
        }
        break;
      }
      case XCB_BUTTON_PRESS: {
        auto* e = reinterpret_cast<xcb_button_press_event_t*>(event);
        if (e->event == window && e->detail >= 4 && e->detail <= 7) {
          ++scrolls;
          announce("scroll count=" + std::to_string(scrolls) + " button=" + std::to_string(e->detail));
        }
        break;
      }
      case XCB_MAP_NOTIFY: {
        auto* e = reinterpret_cast<xcb_map_notify_event_t*>(event);
        if (e->window == window && e->event == window) {
          draw();
          announce("mapped window=" + std::to_string(window) + " pid=" + std::to_string(getpid()));
        } else if (e->event == screen->root && e->window != window && e->override_redirect == 0) {
          raise();
        }
        break;
      }
      default: break;
    }
  }
};

SampleNotchWindow::SampleNotchWindow(SampleNotchIdentity identity, SampleNotchOptions options)
    : impl_(std::make_unique<Impl>()) {
  impl_->identity = std::move(identity);
  impl_->options = options;
  impl_->expanded = options.pinnedExpanded;
}

SampleNotchWindow::~SampleNotchWindow() {
  if (impl_->connection && xcb_connection_has_error(impl_->c()) == 0 && impl_->window != XCB_WINDOW_NONE) {
    xcb_destroy_window(impl_->c(), impl_->window);
    for (const xcb_window_t extra : {impl_->backing, impl_->piece}) {
      if (extra != XCB_WINDOW_NONE) {
        xcb_destroy_window(impl_->c(), extra);
      }
    }
    xcb_flush(impl_->c());
  }
}

bool SampleNotchWindow::open(std::string& error) {
  int screenNumber = 0;
  impl_->connection.reset(xcb_connect(nullptr, &screenNumber));
  if (xcb_connection_has_error(impl_->c()) != 0) {
    error = "cannot connect to the X display";
    return false;
  }
  auto roots = xcb_setup_roots_iterator(xcb_get_setup(impl_->c()));
  for (int i = 0; i < screenNumber && roots.rem > 0; ++i) {
    xcb_screen_next(&roots);
  }
  impl_->screen = roots.data;
  impl_->findMonitor();
  return impl_->create(error);
}

int SampleNotchWindow::run(int stopFd) {
  const int xfd = xcb_get_file_descriptor(impl_->c());
  for (;;) {
    // Writing may read events into XCB's queue, where poll() no longer sees them: flush
    // first, and look at the queue again after every batch the handlers answered.
    xcb_flush(impl_->c());
    bool handled = false;
    while (XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(impl_->c())}) {
      impl_->handle(event.get());
      handled = true;
    }
    if (handled) continue;
    if (xcb_connection_has_error(impl_->c()) != 0) {
      // The server went away (the session or the test harness ended): nothing is
      // left to draw on, which is a normal end for this program.
      std::fprintf(stderr, "sample-notch: X connection closed\n");
      impl_->window = XCB_WINDOW_NONE;
      return 0;
    }
    pollfd fds[2] = {{xfd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      continue;  // EINTR
    }
    if ((fds[1].revents & POLLIN) != 0) {
      return 0;
    }
  }
}

}  // namespace quillon
