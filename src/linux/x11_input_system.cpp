#include "linux/x11_input_system.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <vector>

#include "core/async/launch_subscription.h"
#include "linux/x11_connection.h"
#include "linux/x11_modifier_flags.h"
#include "linux/x11_monitors.h"

namespace quillon {

namespace {

constexpr xcb_keysym_t kEscapeKeysym = 0xff1b;

// Every key code the keyboard map gives Escape (usually one).
std::vector<xcb_keycode_t> escapeKeycodes(X11Connection& connection) {
  const xcb_setup_t* setup = xcb_get_setup(connection.get());
  const auto count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
  auto reply = connection.pending(xcb_get_keyboard_mapping(connection.get(), setup->min_keycode, count))
                   .take<xcb_get_keyboard_mapping_reply_t>(x11DeadlineAfter(kX11QueryBound));
  std::vector<xcb_keycode_t> keycodes;
  if (!reply || reply->keysyms_per_keycode == 0) return keycodes;
  const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(reply.get());
  const int length = xcb_get_keyboard_mapping_keysyms_length(reply.get());
  for (int i = 0; i < length; ++i) {
    if (keysyms[i] == kEscapeKeysym) {
      const auto keycode = static_cast<xcb_keycode_t>(setup->min_keycode + i / reply->keysyms_per_keycode);
      if (keycodes.empty() || keycodes.back() != keycode) keycodes.push_back(keycode);
    }
  }
  return keycodes;
}

class X11EscapeTap final : public LaunchEscapeTap {
 public:
  X11EscapeTap(X11Connection& connection, std::function<bool()> onEscape)
      : connection_(connection), onEscape_(std::move(onEscape)) {}
  ~X11EscapeTap() override { stop(); }

  // LaunchEscapeTap:
  bool start() override {
    if (!keycodes_.empty()) return true;
    if (connection_.hasError()) return false;
    const auto keycodes = escapeKeycodes(connection_);
    if (keycodes.empty()) return false;
    std::vector<xcb_void_cookie_t> cookies;
    for (const auto keycode : keycodes) {
      cookies.push_back(xcb_grab_key_checked(connection_.get(), 0, connection_.root(), XCB_MOD_MASK_ANY, keycode,
                                             XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_SYNC));
    }
    keycodes_ = keycodes;
    const auto deadline = x11DeadlineAfter(kX11QueryBound);
    for (const auto cookie : cookies) {
      auto error = connection_.check(cookie, deadline);
      // Another client holding Escape would get the presses we promise to swallow.
      if (!error || *error) {
        stop();
        return false;
      }
    }
    events_ = connection_.subscribe([this](const xcb_generic_event_t& event) { handle(event); });
    loss_ = connection_.subscribeToLoss([this] {
      keycodes_.clear();
      events_ = {};
    });
    return true;
  }

  void stop() override {
    events_ = {};
    loss_ = {};
    if (keycodes_.empty()) return;
    if (!connection_.hasError()) {
      for (const auto keycode : keycodes_) xcb_ungrab_key(connection_.get(), keycode, connection_.root(), XCB_MOD_MASK_ANY);
      xcb_flush(connection_.get());
    }
    keycodes_.clear();
  }

 private:
  void handle(const xcb_generic_event_t& event) {
    if ((event.response_type & 0x7f) != XCB_KEY_PRESS) return;
    const auto& press = reinterpret_cast<const xcb_key_press_event_t&>(event);
    if (press.event != connection_.root()) return;
    if (std::find(keycodes_.begin(), keycodes_.end(), press.detail) == keycodes_.end()) return;
    // `onEscape` may stop and destroy this tap; the keyboard stays frozen until the
    // answer below, so nothing after the call may touch `this`.
    X11Connection& connection = connection_;
    const xcb_timestamp_t time = press.time;
    const bool swallow = onEscape_();
    xcb_allow_events(connection.get(), swallow ? XCB_ALLOW_ASYNC_KEYBOARD : XCB_ALLOW_REPLAY_KEYBOARD, time);
    xcb_flush(connection.get());
  }

  X11Connection& connection_;
  std::function<bool()> onEscape_;
  std::vector<xcb_keycode_t> keycodes_;  // grabbed while started
  LaunchSubscription loss_;
  LaunchSubscription events_;
};

}  // namespace

LaunchEventFlags X11InputSystem::currentModifierFlags() {
  auto pointer = connection_.pending(xcb_query_pointer(connection_.get(), connection_.root()))
                     .take<xcb_query_pointer_reply_t>(x11DeadlineAfter(kX11QueryBound));
  return pointer ? launchEventFlagsFromX11Modifiers(pointer->mask) : 0;
}

ScreenPoint X11InputSystem::currentCursorLocation() {
  const auto deadline = x11DeadlineAfter(kX11QueryBound);
  auto pointer = connection_.pending(xcb_query_pointer(connection_.get(), connection_.root()))
                     .take<xcb_query_pointer_reply_t>(deadline);
  auto monitors = queryX11Monitors(connection_, deadline);
  if (!pointer || !monitors) return {};
  return X11RootSpace(*monitors).screenFromRoot(
      Point{static_cast<double>(pointer->root_x), static_cast<double>(pointer->root_y)});
}

std::unique_ptr<LaunchEscapeTap> X11InputSystem::makeEscapeTap(std::function<bool()> onEscape) {
  return std::make_unique<X11EscapeTap>(connection_, std::move(onEscape));
}

}  // namespace quillon
