#pragma once

#include "core/windows/launch_window_host.h"

namespace quillon {

class LaunchLoginItem;

// The settings window and the first-run guide as Qt widgets; the application's
// activation is Qt's application state becoming active.
class QtWindowHost final : public LaunchWindowHost {
 public:
  // `loginItem` may be null (no start-at-login switch); it outlives the windows.
  explicit QtWindowHost(LaunchLoginItem* loginItem = nullptr) : loginItem_(loginItem) {}

  // LaunchWindowHost:
  std::unique_ptr<LaunchWindow> makeSettingsWindow(LaunchSettingsViewModel& model) override;
  std::unique_ptr<LaunchWindow> makeOnboardingWindow(LaunchOnboardingViewModel& model) override;
  LaunchSubscription subscribeToActivation(std::function<void()> handler) override;

 private:
  LaunchLoginItem* loginItem_;
};

}  // namespace quillon
