#pragma once

#include <vector>

#include "core/platform/screens.h"
#include "core/support/geometry.h"

namespace quillon {

// Converts between the two global coordinate spaces. Cocoa screen coordinates have
// their origin at the bottom-left of the primary display with y growing up (screens,
// the pointer, our own windows); Quartz global coordinates have it at the top-left with
// y growing down (window-server bounds, event locations, snapshots). The primary
// display's top edge (its frame's maxY) is the axis of the flip, so the conversion is
// its own inverse.
class ScreenCoordinates {
 public:
  explicit ScreenCoordinates(double primaryMaxY) : primaryMaxY_(primaryMaxY) {}
  // The first screen is the primary display; with no screens the axis is 0.
  static ScreenCoordinates forScreens(const std::vector<Screen>& screens);

  double primaryMaxY() const { return primaryMaxY_; }

  GlobalRect quartzFromCocoa(const ScreenRect& cocoa) const {
    return {cocoa.x, primaryMaxY_ - cocoa.maxY(), cocoa.width, cocoa.height};
  }
  ScreenRect cocoaFromQuartz(const GlobalRect& quartz) const {
    return {quartz.x, primaryMaxY_ - quartz.maxY(), quartz.width, quartz.height};
  }
  GlobalPoint quartzFromCocoa(ScreenPoint cocoa) const { return {cocoa.x, primaryMaxY_ - cocoa.y}; }
  ScreenPoint cocoaFromQuartz(GlobalPoint quartz) const { return {quartz.x, primaryMaxY_ - quartz.y}; }

 private:
  double primaryMaxY_;
};

}  // namespace quillon
