#pragma once

#include <cstdint>

#include "core/records/preferences/launch_modifier_shortcut.h"
#include "core/support/geometry.h"

namespace quillon {

// One scroll-wheel event as the event tap decoded it, in the platform's event-field terms:
// axis 1 is vertical (positive = up, away from the user), axis 2 horizontal (positive =
// left). A notched wheel fills the line deltas; a continuous device (trackpad, smooth
// scrolling) also fills the point deltas and sets `isContinuous`.
struct ScrollEvent {
  // Phases of a continuous gesture; 0 for wheels and for events outside a gesture.
  static constexpr std::int64_t phaseBegan = 1;
  static constexpr std::int64_t phaseChanged = 2;
  static constexpr std::int64_t phaseEnded = 4;
  static constexpr std::int64_t phaseCancelled = 8;
  static constexpr std::int64_t phaseMayBegin = 128;

  EventFlags flags = 0;
  bool isContinuous = false;
  std::int64_t scrollPhase = 0;
  // Non-zero for inertial events that follow a lifted finger.
  std::int64_t momentumPhase = 0;
  double lineDeltaAxis1 = 0;
  double lineDeltaAxis2 = 0;
  double pointDeltaAxis1 = 0;
  double pointDeltaAxis2 = 0;
};

// What the global event tap knows of the router it feeds. Every call is made on the main
// thread, with the pointer in screen coordinates.
class InputRouter {
 public:
  virtual ~InputRouter() = default;

  virtual void commandChanged(bool isDown, ScreenPoint cursor) = 0;
  virtual void cursorMoved(ScreenPoint to) = 0;
  // True swallows the event: the application under the pointer never receives it.
  virtual bool shouldConsumeScroll(const ScrollEvent& event, ScreenPoint cursor) = 0;
};

// A router that wants every modifier change in full rather than only the Command key,
// and hears when the tap lost events for a while.
class ModifierInputRouter : public InputRouter {
 public:
  virtual void modifiersChanged(EventFlags flags, ScreenPoint cursor) = 0;
  // The tap was interrupted (events may have been missed); `currentFlags` is the
  // modifier state of the whole session at this moment.
  virtual void inputObservationInterrupted(EventFlags currentFlags) = 0;
};

}  // namespace quillon
