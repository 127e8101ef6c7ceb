#pragma once

#include <functional>
#include <vector>

#include "core/platform/screens.h"

namespace quillon {

// Screens set by the test; `changeScreens` also notifies the subscribers, as the
// platform does after a reconfiguration.
class FakeScreens final : public Screens {
 public:
  void setScreens(std::vector<Screen> screens) { screens_ = std::move(screens); }
  void changeScreens(std::vector<Screen> screens) {
    screens_ = std::move(screens);
    changes_.notify();
  }

  // Screens:
  std::vector<Screen> screens() const override { return screens_; }
  bool hasChangeHandler() const { return !changes_.empty(); }
  Subscription subscribeToChanges(std::function<void()> handler) override {
    return changes_.subscribe(std::move(handler));
  }

 private:
  std::vector<Screen> screens_;
  ObserverList<> changes_;
};

}  // namespace quillon
