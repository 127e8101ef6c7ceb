#pragma once

#include <functional>
#include <vector>

#include "core/platform/launch_screens.h"

namespace quillon {

// Screens set by the test; `changeScreens` also calls the change handler, as the
// platform does after a reconfiguration.
class FakeScreens final : public LaunchScreens {
 public:
  void setScreens(std::vector<LaunchScreen> screens) { screens_ = std::move(screens); }
  void changeScreens(std::vector<LaunchScreen> screens) {
    screens_ = std::move(screens);
    if (handler_) handler_();
  }
  int readCount() const { return reads_; }
  bool hasChangeHandler() const { return static_cast<bool>(handler_); }

  // LaunchScreens:
  std::vector<LaunchScreen> screens() const override {
    ++reads_;
    return screens_;
  }
  void setChangeHandler(std::function<void()> handler) override { handler_ = std::move(handler); }

 private:
  std::vector<LaunchScreen> screens_;
  std::function<void()> handler_;
  mutable int reads_ = 0;
};

}  // namespace quillon
