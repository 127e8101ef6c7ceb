#include "linux/x11_global_event_tap.h"

#include <fmt/format.h>
#include <xcb/xinput.h>

#include <utility>

#include "core/async/main_loop.h"
#include "core/async/subscription.h"
#include "core/input/input_router.h"
#include "core/input/launch_input_trace.h"
#include "core/localization/l10n.h"
#include "core/platform/log_sink.h"
#include "core/platform/screens.h"
#include "linux/x11_connection.h"
#include "linux/x11_input_system.h"
#include "linux/x11_modifier_flags.h"
#include "linux/x11_monitors.h"
#include "linux/x11_scroll_decoding.h"
#include "linux/x11_xkb.h"

namespace quillon {

struct X11GlobalEventTap::Impl {
  X11Connection& connection;
  MainLoop& loop;
  ModifierInputRouter& router;
  Screens& screens;
  LaunchInputTrace& trace;
  LogSink& log;

  LaunchModifierShortcut shortcut = LaunchModifierShortcut::command();
  bool started = false;
  bool verticalPages = false;
  // The router claims scrolls, and whether the pointer grab that takes them is held.
  bool claimed = false;
  bool grabbed = false;
  // The grab is held by a connection of its own: the server hands the grabbing client
  // its raw events only through the grab, and a core grab gets none of them, so the
  // connection that reads raw events must not be the one that grabs.
  std::unique_ptr<X11Connection> grabber;
  // XKB's effective modifiers.
  std::uint8_t modifiers = 0;
  X11RootSpace space{{}};
  ScreenPoint cursor;
  bool cursorQueryPosted = false;
  X11ScrollValuators valuators;
  std::shared_ptr<bool> alive = std::make_shared<bool>(true);
  Subscription claims;
  Subscription loss;
  Subscription screenChanges;
  // Last, so that it goes first: no event reaches a half-destroyed tap.
  Subscription events;

  Impl(X11Connection& c, MainLoop& l, ModifierInputRouter& r, Screens& s, LaunchInputTrace& t, LogSink& g)
      : connection(c), loop(l), router(r), screens(s), trace(t), log(g) {}

  ~Impl() {
    *alive = false;
    release();
  }

  xcb_connection_t* c() const { return connection.get(); }

  bool install() {
    if (connection.hasError() || !connection.xinputOpcode() || !connection.xkbFirstEvent()) return false;
    const auto deadline = x11DeadlineAfter(kX11QueryBound);
    struct {
      xcb_input_event_mask_t head;
      std::uint32_t bits;
    } rawMask{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
              XCB_INPUT_XI_EVENT_MASK_RAW_MOTION | XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS},
        deviceMask{{XCB_INPUT_DEVICE_ALL, 1},
                   XCB_INPUT_XI_EVENT_MASK_HIERARCHY | XCB_INPUT_XI_EVENT_MASK_DEVICE_CHANGED};
    auto selectRaw = xcb_input_xi_select_events_checked(c(), connection.root(), 1, &rawMask.head);
    auto selectDevices = xcb_input_xi_select_events_checked(c(), connection.root(), 1, &deviceMask.head);
    auto selectState = xcb_xkb_select_events_checked(c(), XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_EVENT_TYPE_STATE_NOTIFY, 0,
                                                     XCB_XKB_EVENT_TYPE_STATE_NOTIFY, 0, 0, nullptr);
    for (auto cookie : {selectRaw, selectDevices, selectState}) {
      auto error = connection.check(cookie, deadline);
      if (!error || *error) return false;
    }
    events = connection.subscribe([this](const xcb_generic_event_t& event) { handle(event); });
    loss = connection.subscribeToLoss([this] { connectionLost(); });
    screenChanges = screens.subscribeToChanges([this] { refreshSpace(); });
    refreshSpace();
    valuators.load(connection);
    if (auto pointer = queryPointer()) modifiers = static_cast<std::uint8_t>(pointer->mask & 0xff);
    grabber = X11Connection::open();
    if (!grabber) log.log("[Quillon] no second X connection; scrolls over the switcher also reach applications");
    return !connection.hasError();
  }

  // Where the pointer is, from the server: raw events carry no position, and a warp
  // moves the pointer without any.
  XcbReply<xcb_query_pointer_reply_t> queryPointer() {
    auto pointer = connection.pending(xcb_query_pointer(c(), connection.root()))
                       .take<xcb_query_pointer_reply_t>(x11DeadlineAfter(kX11QueryBound));
    if (pointer) {
      cursor = space.screenFromRoot(Point{static_cast<double>(pointer->root_x), static_cast<double>(pointer->root_y)});
    }
    return pointer;
  }

  void refreshSpace() {
    if (auto monitors = queryX11Monitors(connection, x11DeadlineAfter(kX11QueryBound))) space = X11RootSpace(*monitors);
  }

  EventFlags flags() const { return launchEventFlagsForChord(modifiers, shortcut); }

  void claim(bool on) {
    claimed = on;
    if (!on) return release();
    if (grabbed || !started || !grabber || grabber->hasError()) return;
    // Every pointer event of the session goes to this grab, which selects none: no
    // application gets one. The raw events, which reach this tap's connection whoever
    // holds the pointer, say what was scrolled.
    auto reply =
        grabber
            ->pending(xcb_grab_pointer(grabber->get(), 0, grabber->root(), 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                                       XCB_WINDOW_NONE, XCB_CURSOR_NONE, XCB_CURRENT_TIME))
            .take<xcb_grab_pointer_reply_t>(x11DeadlineAfter(kX11QueryBound));
    if (reply && reply->status == XCB_GRAB_STATUS_SUCCESS) {
      grabbed = true;
      return;
    }
    // A busy server may still grant a grab whose reply came too late for us; nobody would
    // let that one go, and no application would see the pointer again. The server takes
    // a connection's requests in order, so an ungrab sent now undoes it.
    if (!reply && !grabber->hasError()) {
      xcb_ungrab_pointer(grabber->get(), XCB_CURRENT_TIME);
      grabber->flush();
    }
    // Another client holds the pointer: its scrolls would escape us. The router hears it
    // after this call, which it may be making from inside a step of the gesture.
    loop.post([this, alive = std::weak_ptr<bool>(alive)] {
      if (alive.lock() && claimed && !grabbed) interrupted();
    });
  }

  void release() {
    if (!grabbed) return;
    grabbed = false;
    if (!grabber || grabber->hasError()) return;
    xcb_ungrab_pointer(grabber->get(), XCB_CURRENT_TIME);
    grabber->flush();
  }

  void handle(const xcb_generic_event_t& event) {
    const std::uint8_t type = event.response_type & 0x7f;
    if (type == XCB_GE_GENERIC) {
      const auto& generic = reinterpret_cast<const xcb_ge_generic_event_t&>(event);
      if (generic.extension == *connection.xinputOpcode()) handleXInput(generic);
    } else if (type == *connection.xkbFirstEvent()) {
      const auto& state = reinterpret_cast<const xcb_xkb_state_notify_event_t&>(event);
      if (state.xkbType == XCB_XKB_STATE_NOTIFY) handleState(state);
    }
  }

  void handleState(const xcb_xkb_state_notify_event_t& state) {
    if (state.mods == modifiers) return;
    const EventFlags before = flags();
    modifiers = state.mods;
    if (flags() == before) return;
    trace.record(fmt::format("tap.flags eventTimestamp={} flags=0x{:x}", state.time, flags()));
    // A press is judged where the pointer is now, not where raw motion last left it.
    queryPointer();
    router.modifiersChanged(flags(), cursor);
  }

  void handleXInput(const xcb_ge_generic_event_t& generic) {
    switch (generic.event_type) {
      case XCB_INPUT_RAW_BUTTON_PRESS:
      case XCB_INPUT_RAW_MOTION: {
        auto decoded = valuators.decodeRaw(generic);
        if (decoded.scroll) {
          decoded.scroll->flags = flags();
          deliver(*decoded.scroll);
        }
        if (decoded.moved) postCursorQuery();
        return;
      }
      case XCB_INPUT_HIERARCHY:
      case XCB_INPUT_DEVICE_CHANGED: valuators.load(connection); return;
      default: return;
    }
  }

  // The answer decides nothing here: whether an application got the scroll was settled
  // by the claim before it came.
  void deliver(ScrollEvent scroll) {
    x11PageWithVerticalScroll(scroll, verticalPages);
    router.shouldConsumeScroll(scroll, cursor);
  }

  void interrupted() {
    trace.record("tap.interrupted reason=user-input");
    const auto pointer = queryPointer();
    router.inputObservationInterrupted(pointer ? launchEventFlagsForChord(pointer->mask, shortcut) : flags());
    trace.record("tap.reenabled");
    log.log("[Quillon] tap re-enabled after user input");
  }

  void connectionLost() {
    if (!started) return;
    started = false;
    release();
    trace.record("tap.interrupted reason=connection-lost");
    router.inputObservationInterrupted(0);
  }

  void postCursorQuery() {
    if (cursorQueryPosted) return;
    cursorQueryPosted = true;
    // One query for a whole burst of raw motion.
    loop.post([this, alive = std::weak_ptr<bool>(alive)] {
      if (!alive.lock()) return;
      cursorQueryPosted = false;
      if (queryPointer()) router.cursorMoved(cursor);
    });
  }
};

X11GlobalEventTap::X11GlobalEventTap(X11Connection& connection, MainLoop& loop, ModifierInputRouter& router,
                                     Screens& screens, LaunchInputTrace& trace, LogSink& log)
    : impl_(std::make_unique<Impl>(connection, loop, router, screens, trace, log)) {}

X11GlobalEventTap::~X11GlobalEventTap() = default;

bool X11GlobalEventTap::start() {
  if (impl_->started) return true;
  impl_->trace.record("tap.start requested");
  if (!impl_->install()) {
    impl_->trace.record("tap.start failed=create");
    // The line is the home platform's; Linux's string table names the X11 tap instead.
    impl_->log.log(
        L10n::text(LocalizedText("[Quillon] permission missing — CGEvent.tapCreate failed. Input routing disabled.")));
    return false;
  }
  impl_->started = true;
  impl_->trace.record("tap.start success");
  impl_->log.log("[Quillon] event tap started");
  if (impl_->claimed) impl_->claim(true);
  return true;
}

void X11GlobalEventTap::updateShortcut(LaunchModifierShortcut shortcut) { impl_->shortcut = shortcut; }

void X11GlobalEventTap::setVerticalScrollPages(bool on) { impl_->verticalPages = on; }

void X11GlobalEventTap::followScrollClaims(X11InputSystem& input) {
  impl_->claims = input.subscribeToScrollClaims([this](bool claimed) { claimScrolls(claimed); });
}

void X11GlobalEventTap::claimScrolls(bool claimed) { impl_->claim(claimed); }

}  // namespace quillon
