#pragma once

#include "core/view_models/window_host.h"

namespace quillon {

class LoginItem;

// The settings window and the first-run guide as Qt widgets; the application's
// activation is Qt's application state becoming active.
class QtWindowHost final : public WindowHost {
 public:
  // `loginItem` may be null (no start-at-login switch); it outlives the windows.
  explicit QtWindowHost(LoginItem* loginItem = nullptr) : loginItem_(loginItem) {}

  // WindowHost:
  std::unique_ptr<Window> makeSettingsWindow(LaunchSettingsViewModel& model) override;
  std::unique_ptr<Window> makeOnboardingWindow(LaunchOnboardingViewModel& model) override;
  Subscription subscribeToActivation(std::function<void()> handler) override;

 private:
  LoginItem* loginItem_;
};

}  // namespace quillon
