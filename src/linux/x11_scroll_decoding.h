#pragma once

#include <xcb/xinput.h>

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "core/input/input_router.h"

namespace quillon {

class X11Connection;

// The legacy wheel buttons: 4 up, 5 down, 6 left, 7 right.
inline constexpr std::uint8_t kX11FirstScrollButton = 4;
inline constexpr std::uint8_t kX11LastScrollButton = 7;
inline constexpr bool x11IsScrollButton(std::uint32_t button) {
  return button >= kX11FirstScrollButton && button <= kX11LastScrollButton;
}

// How X11 scroll units become the router's deltas. The carousel pages once per 8 points
// of continuous scroll (the default threshold), a small flick on the home platform's
// trackpads. X11 has no points, so every scroll is reported as continuous, in points
// calibrated so that a page is one natural gesture of each device:
//
//   wheel button press (one notch)          1 line, 8 points: one click pages once
//   smooth valuator of a wheel              1 line and 8 points per increment (the
//                                           driver's distance of one notch)
//   smooth valuator of a touchpad           1 line per increment, 8 points per 5
//                                           increments: libinput's default increment is
//                                           15 units of finger travel, so about 2 cm
//                                           of a two-finger swipe pages once
//
// Line deltas stay one per notch, so the lines say what an application would have
// scrolled. Axis 1 is positive upwards, axis 2 leftwards.
inline constexpr double kX11PointsPerPage = 8.0;
inline constexpr double kX11TouchpadIncrementsPerPage = 5.0;

ScrollEvent x11ScrollFromButton(std::uint32_t button, EventFlags flags);

// Vertical scrolling that counts as horizontal: always with Shift held (as in most Linux
// toolkits), and for every vertical scroll when `verticalPages` is set, for mice without
// a horizontal wheel. Downwards becomes rightwards, the next page.
void x11PageWithVerticalScroll(ScrollEvent& event, bool verticalPages);

// The smooth-scrolling valuators of each input device, and the decoding of raw motion
// against them. A scroll valuator reports distance in device units; one increment of it
// is what one wheel notch would scroll.
class X11ScrollValuators {
 public:
  struct Valuator {
    std::uint16_t number = 0;
    bool horizontal = false;
    double increment = 1;
    bool touchpad = false;
  };
  struct Decoded {
    std::optional<ScrollEvent> scroll;  // the flags left for the caller
    bool moved = false;                 // x or y changed
  };

  // Reads every device's scroll valuators (again after devices changed).
  void load(X11Connection& connection);
  void set(std::uint16_t device, std::vector<Valuator> valuators) { devices_[device] = std::move(valuators); }
  Decoded decode(const xcb_input_raw_motion_event_t& raw) const;
  // What one XInput 2 raw event means, each scroll counted once: a device that scrolls
  // smoothly reports valuator motion and the server adds emulated wheel presses for
  // older clients; a wheel without valuators reports presses and the server adds
  // emulated valuator motion. The emulated half is ignored.
  Decoded decodeRaw(const xcb_ge_generic_event_t& event) const;

 private:
  std::map<std::uint16_t, std::vector<Valuator>> devices_;
};

}  // namespace quillon
