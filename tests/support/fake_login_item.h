#pragma once

#include "core/platform/launch_login_item.h"

namespace quillon {

// Keeps the switch in memory.
class FakeLoginItem final : public LaunchLoginItem {
 public:
  bool isEnabled() override { return enabled_; }
  bool setEnabled(bool enabled) override {
    enabled_ = enabled;
    return true;
  }

 private:
  bool enabled_ = false;
};

}  // namespace quillon
