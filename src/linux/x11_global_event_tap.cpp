#include "linux/x11_global_event_tap.h"

#include <fmt/format.h>
#include <xcb/xinput.h>

#include <algorithm>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "core/async/launch_main_loop.h"
#include "core/async/launch_subscription.h"
#include "core/input/input_router.h"
#include "core/input/launch_input_trace.h"
#include "core/platform/launch_log_sink.h"
#include "core/platform/launch_screens.h"
#include "linux/x11_connection.h"
#include "linux/x11_modifier_flags.h"
#include "linux/x11_monitors.h"
#include "linux/x11_scroll_decoding.h"
#include "linux/x11_xkb.h"

namespace quillon {

namespace {

constexpr std::uint16_t kGrabEventMask = XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE;

}  // namespace

struct X11GlobalEventTap::Impl {
  X11Connection& connection;
  LaunchMainLoop& loop;
  ModifierInputRouter& router;
  LaunchScreens& screens;
  LaunchInputTrace& trace;
  LaunchLogSink& log;

  LaunchModifierShortcut shortcut = LaunchModifierShortcut::command();
  bool started = false;
  // The chord mask the scroll buttons are grabbed with, and the combinations another
  // client already holds (a press with those goes to that client, not to us).
  std::optional<std::uint16_t> grabbedMask;
  std::set<std::pair<std::uint8_t, std::uint16_t>> refusedGrabs;
  // XKB's effective modifiers (the flags) and grab modifiers (what passive grabs match).
  std::uint8_t modifiers = 0;
  std::uint8_t grabModifiers = 0;
  X11RootSpace space{{}};
  ScreenPoint cursor;
  bool cursorQueryPosted = false;
  X11ScrollValuators valuators;
  // Raw scroll presses our grab should report too, and the markers sent after them: a
  // marker's PropertyNotify comes after every event the server made before it, so a
  // press still awaited then never reached our grab.
  xcb_window_t marker = XCB_WINDOW_NONE;
  std::deque<xcb_timestamp_t> awaitedGrabs;
  std::deque<xcb_timestamp_t> markers;
  std::shared_ptr<bool> alive = std::make_shared<bool>(true);
  LaunchSubscription loss;
  LaunchSubscription screenChanges;
  // Last, so that it goes first: no event reaches a half-destroyed tap.
  LaunchSubscription events;

  Impl(X11Connection& c, LaunchMainLoop& l, ModifierInputRouter& r, LaunchScreens& s, LaunchInputTrace& t,
       LaunchLogSink& g)
      : connection(c), loop(l), router(r), screens(s), trace(t), log(g) {}

  ~Impl() {
    *alive = false;
    if (connection.hasError()) return;
    ungrab();
    if (marker != XCB_WINDOW_NONE) xcb_destroy_window(connection.get(), marker);
    connection.flush();
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
    marker = xcb_generate_id(c());
    const std::uint32_t markerEvents = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c(), 0, marker, connection.root(), -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &markerEvents);
    events = connection.subscribe([this](const xcb_generic_event_t& event) { handle(event); });
    loss = connection.subscribeToLoss([this] { connectionLost(); });
    screenChanges = screens.subscribeToChanges([this] { refreshSpace(); });
    refreshSpace();
    valuators.load(connection);
    if (auto pointer = queryPointer()) {
      cursor = space.screenFromRoot(Point{static_cast<double>(pointer->root_x), static_cast<double>(pointer->root_y)});
      modifiers = grabModifiers = static_cast<std::uint8_t>(pointer->mask & 0xff);
    }
    grab();
    return !connection.hasError();
  }

  XcbReply<xcb_query_pointer_reply_t> queryPointer() {
    return connection.pending(xcb_query_pointer(c(), connection.root()))
        .take<xcb_query_pointer_reply_t>(x11DeadlineAfter(kX11QueryBound));
  }

  void refreshSpace() {
    if (auto monitors = queryX11Monitors(connection, x11DeadlineAfter(kX11QueryBound))) space = X11RootSpace(*monitors);
  }

  void grab() {
    const std::uint16_t mask = x11ModifiersFromLaunchEventFlags(shortcut.rawValue());
    refusedGrabs.clear();
    if (mask == 0) return;
    std::vector<std::pair<std::pair<std::uint8_t, std::uint16_t>, xcb_void_cookie_t>> requests;
    for (std::uint8_t button = kX11FirstScrollButton; button <= kX11LastScrollButton; ++button) {
      for (std::uint16_t variant : x11LockVariants(mask)) {
        requests.push_back({{button, variant},
                            xcb_grab_button_checked(c(), 0, connection.root(), kGrabEventMask, XCB_GRAB_MODE_SYNC,
                                                    XCB_GRAB_MODE_ASYNC, XCB_WINDOW_NONE, XCB_CURSOR_NONE, button,
                                                    variant)});
      }
    }
    grabbedMask = mask;
    const auto deadline = x11DeadlineAfter(kX11QueryBound);
    for (const auto& [combination, cookie] : requests) {
      auto error = connection.check(cookie, deadline);
      if (!error || *error) refusedGrabs.insert(combination);
    }
    if (!refusedGrabs.empty()) {
      log.log("[Quillon] another client holds the chord's scroll buttons; those scrolls reach applications");
    }
  }

  void ungrab() {
    if (!grabbedMask) return;
    for (std::uint8_t button = kX11FirstScrollButton; button <= kX11LastScrollButton; ++button) {
      for (std::uint16_t variant : x11LockVariants(*grabbedMask)) {
        xcb_ungrab_button(c(), button, connection.root(), variant);
      }
    }
    grabbedMask.reset();
    connection.flush();
  }

  // Whether a scroll press with the current modifiers activates our grab.
  bool grabExpected(std::uint32_t button) const {
    if (!grabbedMask || x11WithoutLocks(grabModifiers) != *grabbedMask) return false;
    const auto state = static_cast<std::uint16_t>(grabModifiers & 0xff);
    return refusedGrabs.count({static_cast<std::uint8_t>(button), state}) == 0;
  }

  LaunchEventFlags flags() const { return launchEventFlagsFromX11Modifiers(modifiers); }

  void handle(const xcb_generic_event_t& event) {
    const std::uint8_t type = event.response_type & 0x7f;
    if (type == XCB_GE_GENERIC) {
      const auto& generic = reinterpret_cast<const xcb_ge_generic_event_t&>(event);
      if (generic.extension == *connection.xinputOpcode()) handleXInput(generic);
    } else if (type == *connection.xkbFirstEvent()) {
      const auto& state = reinterpret_cast<const xcb_xkb_state_notify_event_t&>(event);
      if (state.xkbType == XCB_XKB_STATE_NOTIFY) handleState(state);
    } else if (type == XCB_BUTTON_PRESS) {
      const auto& press = reinterpret_cast<const xcb_button_press_event_t&>(event);
      if (press.event == connection.root() && x11IsScrollButton(press.detail)) handleGrabbedPress(press);
    } else if (type == XCB_PROPERTY_NOTIFY) {
      if (reinterpret_cast<const xcb_property_notify_event_t&>(event).window == marker) handleMarker();
    }
  }

  void handleState(const xcb_xkb_state_notify_event_t& state) {
    grabModifiers = state.grabMods;
    if (state.mods == modifiers) return;
    modifiers = state.mods;
    trace.record(fmt::format("tap.flags eventTimestamp={} flags=0x{:x}", state.time, flags()));
    router.modifiersChanged(flags(), cursor);
  }

  void handleXInput(const xcb_ge_generic_event_t& generic) {
    switch (generic.event_type) {
      case XCB_INPUT_RAW_BUTTON_PRESS: {
        const auto& raw = reinterpret_cast<const xcb_input_raw_button_press_event_t&>(generic);
        if (!x11IsScrollButton(raw.detail) || (raw.flags & XCB_INPUT_POINTER_EVENT_FLAGS_POINTER_EMULATED) != 0) return;
        if (grabExpected(raw.detail)) {
          // The grab reports this press; only its arrival is checked.
          awaitedGrabs.push_back(raw.time);
          sendMarker(raw.time);
          return;
        }
        router.shouldConsumeScroll(x11ScrollFromButton(raw.detail, flags()), cursor);
        return;
      }
      case XCB_INPUT_RAW_MOTION: {
        const auto& raw = reinterpret_cast<const xcb_input_raw_motion_event_t&>(generic);
        if ((raw.flags & XCB_INPUT_POINTER_EVENT_FLAGS_POINTER_EMULATED) != 0) return;
        auto decoded = valuators.decode(raw);
        // With the chord held the server's emulated wheel presses reach the grab, which
        // reports them; the smooth motion is not reported a second time.
        if (decoded.scroll && !grabExpected(kX11FirstScrollButton)) {
          decoded.scroll->flags = flags();
          router.shouldConsumeScroll(*decoded.scroll, cursor);
        }
        if (decoded.moved) postCursorQuery();
        return;
      }
      case XCB_INPUT_HIERARCHY:
      case XCB_INPUT_DEVICE_CHANGED:
        valuators.load(connection);
        return;
      default:
        return;
    }
  }

  void handleGrabbedPress(const xcb_button_press_event_t& press) {
    if (auto awaited = std::find(awaitedGrabs.begin(), awaitedGrabs.end(), press.time); awaited != awaitedGrabs.end()) {
      awaitedGrabs.erase(awaited);
    }
    cursor = space.screenFromRoot(Point{static_cast<double>(press.root_x), static_cast<double>(press.root_y)});
    const bool swallow =
        router.shouldConsumeScroll(x11ScrollFromButton(press.detail, launchEventFlagsFromX11Modifiers(press.state)), cursor);
    // The pointer stays frozen until this answer; replaying hands the press, unchanged, to
    // the window that would have had it without our grab.
    xcb_allow_events(c(), swallow ? XCB_ALLOW_ASYNC_POINTER : XCB_ALLOW_REPLAY_POINTER, press.time);
    connection.flush();
  }

  void sendMarker(xcb_timestamp_t time) {
    markers.push_back(time);
    xcb_change_property(c(), XCB_PROP_MODE_REPLACE, marker, XCB_ATOM_CUT_BUFFER0, XCB_ATOM_INTEGER, 32, 1, &time);
    connection.flush();
  }

  void handleMarker() {
    if (markers.empty()) return;
    const xcb_timestamp_t time = markers.front();
    markers.pop_front();
    const auto awaited = std::find(awaitedGrabs.begin(), awaitedGrabs.end(), time);
    if (awaited == awaitedGrabs.end()) return;
    awaitedGrabs.erase(awaited);
    interrupted();
  }

  // Another client held the pointer when a chord scroll came, so it was neither seen in
  // time nor could it be swallowed: the counterpart of a tap the system disabled.
  void interrupted() {
    trace.record("tap.interrupted reason=user-input");
    const auto pointer = queryPointer();
    router.inputObservationInterrupted(
        launchEventFlagsFromX11Modifiers(pointer ? static_cast<std::uint32_t>(pointer->mask) : modifiers));
    ungrab();
    grab();
    trace.record("tap.reenabled");
    log.log("[Quillon] tap re-enabled after user input");
  }

  void connectionLost() {
    if (!started) return;
    started = false;
    grabbedMask.reset();
    awaitedGrabs.clear();
    markers.clear();
    trace.record("tap.interrupted reason=connection-lost");
    router.inputObservationInterrupted(0);
  }

  void postCursorQuery() {
    if (cursorQueryPosted) return;
    cursorQueryPosted = true;
    // One query for a whole burst of raw motion: raw events carry device deltas, not
    // where the pointer is.
    loop.post([this, alive = std::weak_ptr<bool>(alive)] {
      if (!alive.lock()) return;
      cursorQueryPosted = false;
      auto pointer = queryPointer();
      if (!pointer) return;
      cursor = space.screenFromRoot(Point{static_cast<double>(pointer->root_x), static_cast<double>(pointer->root_y)});
      router.cursorMoved(cursor);
    });
  }
};

X11GlobalEventTap::X11GlobalEventTap(X11Connection& connection, LaunchMainLoop& loop, ModifierInputRouter& router,
                                     LaunchScreens& screens, LaunchInputTrace& trace, LaunchLogSink& log)
    : impl_(std::make_unique<Impl>(connection, loop, router, screens, trace, log)) {}

X11GlobalEventTap::~X11GlobalEventTap() = default;

bool X11GlobalEventTap::start() {
  if (impl_->started) return true;
  impl_->trace.record("tap.start requested");
  if (!impl_->install()) {
    impl_->trace.record("tap.start failed=create");
    impl_->log.log("[Quillon] permission missing — CGEvent.tapCreate failed. Input routing disabled.");
    return false;
  }
  impl_->started = true;
  impl_->trace.record("tap.start success");
  impl_->log.log("[Quillon] event tap started");
  return true;
}

void X11GlobalEventTap::updateShortcut(LaunchModifierShortcut shortcut) {
  if (shortcut == impl_->shortcut) return;
  impl_->shortcut = shortcut;
  if (!impl_->started) return;
  impl_->ungrab();
  impl_->grab();
}

}  // namespace quillon
