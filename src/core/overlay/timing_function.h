#pragma once

namespace quillon {

// A pacing curve from elapsed fraction to progress: the cubic Bézier from (0, 0) through
// two control points to (1, 1), as animation systems define their named curves.
class TimingFunction {
 public:
  constexpr TimingFunction(double c1x, double c1y, double c2x, double c2y)
      : c1x_(c1x), c1y_(c1y), c2x_(c2x), c2y_(c2y) {}

  static constexpr TimingFunction linear() { return {0, 0, 1, 1}; }
  static constexpr TimingFunction easeIn() { return {0.42, 0, 1, 1}; }
  static constexpr TimingFunction easeOut() { return {0, 0, 0.58, 1}; }
  static constexpr TimingFunction easeInEaseOut() { return {0.42, 0, 0.58, 1}; }

  // Progress at elapsed fraction `x`, which is clamped to 0…1.
  double operator()(double x) const;

  friend constexpr bool operator==(const TimingFunction&, const TimingFunction&) = default;

 private:
  double c1x_, c1y_, c2x_, c2y_;
};

}  // namespace quillon
