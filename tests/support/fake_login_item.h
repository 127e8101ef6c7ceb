#pragma once

#include "core/platform/login_item.h"

namespace quillon {

// Keeps the switch in memory.
class FakeLoginItem final : public LoginItem {
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
