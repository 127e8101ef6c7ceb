#pragma once

#include <vector>

#include "core/platform/window_server.h"

namespace quillon {

// The window list set by the test; every read is recorded with its options.
class FakeWindowServer final : public WindowServer {
 public:
  void setWindows(std::vector<WindowRow> rows) { rows_ = std::move(rows); }
  void setScreenLocked(bool locked) { locked_ = locked; }

  // The `excludeDesktopElements` argument of every read, in order.
  const std::vector<bool>& readOptions() const { return options_; }

  // A row with every field present: a normal opaque window of `pid`.
  static WindowRow row(std::int32_t pid, std::uint32_t window, GlobalRect bounds, int layer = 0, double alpha = 1.0) {
    WindowRow result;
    result.ownerPID = pid;
    result.windowNumber = window;
    result.bounds = bounds;
    result.layer = layer;
    result.alpha = alpha;
    return result;
  }

  // How many reads were the blocking kind, which hold the main thread on a real server.
  int blockingReads() const { return blockingReads_; }

  // WindowServer:
  std::vector<WindowRow> onScreenWindows(bool excludeDesktopElements) const override {
    ++blockingReads_;
    return read(excludeDesktopElements);
  }
  Task<std::vector<WindowRow>> readOnScreenWindows(bool excludeDesktopElements) const override {
    co_return read(excludeDesktopElements);
  }
  bool isScreenLocked() const override { return locked_; }

 private:
  std::vector<WindowRow> read(bool excludeDesktopElements) const {
    options_.push_back(excludeDesktopElements);
    return rows_;
  }

  mutable int blockingReads_ = 0;
  std::vector<WindowRow> rows_;
  mutable std::vector<bool> options_;
  bool locked_ = false;
};

}  // namespace quillon
