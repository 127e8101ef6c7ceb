#include "linux/x11_input_system.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "core/async/subscription.h"
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
    if (!grabs_.empty()) return true;
    if (connection_.hasError()) return false;
    keycodes_ = escapeKeycodes(connection_);
    bool plainEscape = false;
    for (const auto keycode : keycodes_) {
      if (grab(keycode, XCB_MOD_MASK_ANY)) {
        plainEscape = true;
        continue;
      }
      // Another client holds Escape with some modifiers (a window manager's binding);
      // every other combination of the chord's modifiers and the locks is still ours.
      for (std::uint16_t chord = 0; chord < 16; ++chord) {
        const auto mask = static_cast<std::uint16_t>(
            ((chord & 1) ? XCB_MOD_MASK_SHIFT : 0) | ((chord & 2) ? XCB_MOD_MASK_CONTROL : 0) |
            ((chord & 4) ? XCB_MOD_MASK_1 : 0) | ((chord & 8) ? XCB_MOD_MASK_4 : 0));
        for (const auto variant : x11LockVariants(mask)) {
          if (grab(keycode, variant) && mask == 0) plainEscape = true;
        }
      }
    }
    // Without plain Escape a switcher could be shown with no way to dismiss it.
    if (!plainEscape || connection_.hasError()) {
      stop();
      return false;
    }
    events_ = connection_.subscribe([this](const xcb_generic_event_t& event) { handle(event); });
    loss_ = connection_.subscribeToLoss([this] {
      grabs_.clear();
      events_ = {};
    });
    return true;
  }

  void stop() override {
    events_ = {};
    loss_ = {};
    if (grabs_.empty()) return;
    if (!connection_.hasError()) {
      for (const auto& [keycode, modifiers] : grabs_)
        xcb_ungrab_key(connection_.get(), keycode, connection_.root(), modifiers);
      connection_.flush();
    }
    grabs_.clear();
  }

 private:
  bool grab(xcb_keycode_t keycode, std::uint16_t modifiers) {
    auto error = connection_.check(xcb_grab_key_checked(connection_.get(), 0, connection_.root(), modifiers, keycode,
                                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                   x11DeadlineAfter(kX11QueryBound));
    if (!error || *error) return false;
    grabs_.emplace_back(keycode, modifiers);
    return true;
  }

  void handle(const xcb_generic_event_t& event) {
    if ((event.response_type & 0x7f) != XCB_KEY_PRESS) return;
    const auto& press = reinterpret_cast<const xcb_key_press_event_t&>(event);
    if (press.event != connection_.root()) return;
    if (std::find(keycodes_.begin(), keycodes_.end(), press.detail) == keycodes_.end()) return;
    // The grab never freezes the keyboard: a synchronous one whose press was still on its
    // way when the tap stopped (the gesture ended meanwhile) would leave the keyboard
    // frozen for good, since nobody would answer it. The press is therefore always taken;
    // the tap only exists while a gesture is being prepared or shown, when the answer is
    // to take it anyway. `onEscape` may stop this tap; nothing after it touches `this`.
    onEscape_();
  }

  X11Connection& connection_;
  std::function<bool()> onEscape_;
  std::vector<xcb_keycode_t> keycodes_;
  std::vector<std::pair<xcb_keycode_t, std::uint16_t>> grabs_;  // held while started
  Subscription loss_;
  Subscription events_;
};

}  // namespace

EventFlags X11InputSystem::currentModifierFlags() {
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
