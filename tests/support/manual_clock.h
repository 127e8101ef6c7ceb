#pragma once

#include "core/async/clock.h"

namespace quillon {

// A clock that moves only when told to. Wall-clock time moves with uptime.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(double uptime = 1000.0, double now = 1'800'000'000.0) : uptime_(uptime), now_(now) {}

  double uptime() const override { return uptime_; }
  double now() const override { return now_; }

  void advance(double seconds) {
    uptime_ += seconds;
    now_ += seconds;
  }
  void setUptime(double uptime) { advance(uptime - uptime_); }
  void setNow(double now) { now_ = now; }

 private:
  double uptime_;
  double now_;
};

}  // namespace quillon
