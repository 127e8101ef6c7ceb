#pragma once

#include <vector>

#include "core/platform/launch_login_item.h"

namespace quillon {

// Keeps the switch in memory; `failWrites` makes every change fail.
class FakeLoginItem final : public LaunchLoginItem {
 public:
  bool failWrites = false;
  std::vector<bool> requests;

  bool isEnabled() override { return enabled_; }
  bool setEnabled(bool enabled) override {
    requests.push_back(enabled);
    if (failWrites) return false;
    enabled_ = enabled;
    return true;
  }

 private:
  bool enabled_ = false;
};

}  // namespace quillon
