#include "core/async/clock.h"

#include <time.h>

namespace quillon {
namespace {
double secondsOf(clockid_t id) {
  timespec ts{};
  clock_gettime(id, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}
}  // namespace

double SystemClock::uptime() const { return secondsOf(CLOCK_MONOTONIC); }
double SystemClock::now() const { return secondsOf(CLOCK_REALTIME); }

}  // namespace quillon
