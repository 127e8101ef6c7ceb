#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/async/launch_subscription.h"
#include "core/windows/launch_window_host.h"

namespace quillon {

// Windows that only count their presentations ("settings", "onboarding", in order);
// `activate()` plays the application becoming active.
class FakeWindowHost final : public LaunchWindowHost {
 public:
  std::vector<std::string> presented;
  // The guide's model, once its window was made.
  LaunchOnboardingViewModel* onboarding = nullptr;

  void activate() { activations_.notify(); }

  // LaunchWindowHost:
  std::unique_ptr<LaunchWindow> makeSettingsWindow(LaunchSettingsViewModel&) override {
    return std::make_unique<Window>(presented, "settings");
  }
  std::unique_ptr<LaunchWindow> makeOnboardingWindow(LaunchOnboardingViewModel& model) override {
    onboarding = &model;
    return std::make_unique<Window>(presented, "onboarding");
  }
  LaunchSubscription subscribeToActivation(std::function<void()> handler) override {
    return activations_.subscribe(std::move(handler));
  }

 private:
  class Window final : public LaunchWindow {
   public:
    Window(std::vector<std::string>& log, std::string name) : log_(log), name_(std::move(name)) {}
    void present() override { log_.push_back(name_); }

   private:
    std::vector<std::string>& log_;
    std::string name_;
  };
  LaunchObserverList<> activations_;
};

}  // namespace quillon
