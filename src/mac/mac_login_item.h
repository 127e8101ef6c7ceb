#pragma once

#include "core/platform/login_item.h"

namespace quillon {

// The program's own login item (the main app service of the Service Management
// framework). The system keeps the state and may ask the user to approve it in System
// Settings; until approved it is not enabled, and isEnabled says so.
class MacLoginItem final : public LoginItem {
 public:
  // LoginItem:
  bool isEnabled() override;
  bool setEnabled(bool enabled) override;
};

}  // namespace quillon
