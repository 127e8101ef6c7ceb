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

// One notch of a wheel button as the router reads scrolls: one line on its axis, with
// axis 1 positive upwards and axis 2 positive leftwards.
LaunchScrollEvent x11ScrollFromButton(std::uint32_t button, LaunchEventFlags flags);

// The smooth-scrolling valuators of each input device, and the decoding of raw motion
// against them. A scroll valuator reports distance in device units; one increment of it
// is what one wheel notch would scroll.
class X11ScrollValuators {
 public:
  // Points a continuous scroll of one line counts as, in the router's point deltas.
  static constexpr double pointsPerLine = 10.0;

  struct Valuator {
    std::uint16_t number = 0;
    bool horizontal = false;
    double increment = 1;
  };
  struct Decoded {
    std::optional<LaunchScrollEvent> scroll;  // the flags left for the caller
    bool moved = false;                       // x or y changed
  };

  // Reads every device's scroll valuators (again after devices changed).
  void load(X11Connection& connection);
  void set(std::uint16_t device, std::vector<Valuator> valuators) { devices_[device] = std::move(valuators); }
  Decoded decode(const xcb_input_raw_motion_event_t& raw) const;

 private:
  std::map<std::uint16_t, std::vector<Valuator>> devices_;
};

}  // namespace quillon
