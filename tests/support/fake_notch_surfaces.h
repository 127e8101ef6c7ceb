#pragma once

#include <deque>
#include <memory>
#include <optional>

#include "core/async/main_loop.h"
#include "core/input/launch_notch_surfaces.h"
#include "core/platform/workspace.h"

namespace quillon {

// Notch surfaces whose probe answers the test sets, and whose captures wait until the
// test completes them, in any order, with a snapshot or an error.
class FakeNotchSurfaces final : public LaunchNotchSurfaces {
 public:
  struct Capture {
    std::shared_ptr<const RunningApplication> application;
    std::optional<GlobalPoint> point;
    Completion<LaunchSurfaceSnapshot> complete;
  };

  explicit FakeNotchSurfaces(MainLoop& loop) : loop_(loop) {}

  std::optional<LaunchWindowTarget> expanded;     // what `readExpandedTarget` finds
  std::optional<LaunchWindowTarget> revalidated;  // what `readAndRevalidate` finds
  std::deque<Capture> captures;                   // started and not yet completed by the test

  // LaunchNotchSurfaces:
  Task<std::optional<LaunchWindowTarget>> readExpandedTarget(const RunningApplication&) override { co_return expanded; }
  Task<std::optional<LaunchWindowTarget>> readAndRevalidate(const LaunchSurfaceSnapshot&, const RunningApplication&,
                                                            double, bool) override {
    co_return revalidated;
  }
  Task<LaunchSurfaceSnapshot> capture(std::shared_ptr<const RunningApplication> application,
                                      std::optional<GlobalPoint> point) override {
    std::function<void(Completion<LaunchSurfaceSnapshot>)> start = [this, application,
                                                                    point](Completion<LaunchSurfaceSnapshot> done) {
      captures.push_back({application, point, std::move(done)});
    };
    co_return co_await awaitCallback<LaunchSurfaceSnapshot>(loop_, std::move(start));
  }

  // Completes the capture at `index` (0 = oldest); false when there is none.
  bool complete(std::size_t index, Result<LaunchSurfaceSnapshot> result) {
    if (index >= captures.size()) return false;
    auto capture = std::move(captures[index]);
    captures.erase(captures.begin() + static_cast<std::ptrdiff_t>(index));
    capture.complete(std::move(result));
    return true;
  }

 private:
  MainLoop& loop_;
};

}  // namespace quillon
