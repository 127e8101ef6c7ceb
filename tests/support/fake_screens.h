#pragma once

#include <functional>
#include <vector>

#include "core/platform/launch_screens.h"

namespace quillon {

// Screens set by the test; `changeScreens` also notifies the subscribers, as the
// platform does after a reconfiguration.
class FakeScreens final : public LaunchScreens {
 public:
  void setScreens(std::vector<LaunchScreen> screens) { screens_ = std::move(screens); }
  void changeScreens(std::vector<LaunchScreen> screens) {
    screens_ = std::move(screens);
    changes_.notify();
  }

  // LaunchScreens:
  std::vector<LaunchScreen> screens() const override { return screens_; }
  bool hasChangeHandler() const { return !changes_.empty(); }
  LaunchSubscription subscribeToChanges(std::function<void()> handler) override {
    return changes_.subscribe(std::move(handler));
  }

 private:
  std::vector<LaunchScreen> screens_;
  LaunchObserverList<> changes_;
};

}  // namespace quillon
