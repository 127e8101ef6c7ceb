#pragma once

#include <array>

#include "core/support/geometry.h"

namespace quillon {

// The opening of the switcher's body out of the notch: a damped spring from the notch
// surface's rectangle to the full outline, with the content fading in just behind it.
// With reduced motion the body does not move; the whole surface fades in briefly.
// Every value is a function of the time since the start alone.
struct LaunchEntranceMotion {
  static constexpr double overshootPadding = 24;
  static constexpr int sampleCount = 36;

  Rect source;       // the notch surface, in view coordinates
  Rect destination;  // the fully opened outline
  Rect container;    // the view's bounds
  bool reduceMotion = false;

  double duration() const { return reduceMotion ? 0.12 : 0.46; }
  // sampleCount + 1 evenly spaced times from 0 to the duration, both ends included.
  std::array<double, sampleCount + 1> sampleTimes() const;

  // Spring progress; it passes 1 before it settles.
  double progress(double time) const;
  Rect outlineFrame(double time) const;
  Rect previewFrame(const Rect& from, const Rect& to, double time) const;
  double contentOpacity(double time) const;
  double outlineOpacity(double time) const;
  double surfaceOpacity(double time) const;
};

}  // namespace quillon
