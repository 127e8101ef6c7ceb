#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/async/subscription.h"
#include "core/view_models/window_host.h"

namespace quillon {

// Windows that only count their presentations ("settings", "onboarding", in order);
// `activate()` plays the application becoming active.
class FakeWindowHost final : public WindowHost {
 public:
  std::vector<std::string> presented;
  // The guide's model, once its window was made.
  LaunchOnboardingViewModel* onboarding = nullptr;

  void activate() { activations_.notify(); }

  // WindowHost:
  std::unique_ptr<Window> makeSettingsWindow(LaunchSettingsViewModel&) override {
    return std::make_unique<PresentLog>(presented, "settings");
  }
  std::unique_ptr<Window> makeOnboardingWindow(LaunchOnboardingViewModel& model) override {
    onboarding = &model;
    return std::make_unique<PresentLog>(presented, "onboarding");
  }
  Subscription subscribeToActivation(std::function<void()> handler) override {
    return activations_.subscribe(std::move(handler));
  }

 private:
  // A window that notes each time it is shown.
  class PresentLog final : public Window {
   public:
    PresentLog(std::vector<std::string>& log, std::string name) : log_(log), name_(std::move(name)) {}
    void present() override { log_.push_back(name_); }

   private:
    std::vector<std::string>& log_;
    std::string name_;
  };
  ObserverList<> activations_;
};

}  // namespace quillon
