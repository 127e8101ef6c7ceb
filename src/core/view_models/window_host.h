#pragma once

#include <functional>
#include <memory>

#include "core/async/subscription.h"

namespace quillon {

class LaunchOnboardingViewModel;
class LaunchSettingsViewModel;

// One of the product's windows as the platform draws it. Closing it only hides it;
// dropping it destroys it.
class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window() = default;

  // Shows the window and brings it to the front.
  virtual void present() = 0;
};

// Where the platform makes the settings window and the first-run guide. Each window
// renders the model it is made over and sends the user's actions to it; the model
// outlives the window.
class WindowHost {
 public:
  WindowHost() = default;
  WindowHost(const WindowHost&) = delete;
  WindowHost& operator=(const WindowHost&) = delete;
  virtual ~WindowHost() = default;

  virtual std::unique_ptr<Window> makeSettingsWindow(LaunchSettingsViewModel& model) = 0;
  virtual std::unique_ptr<Window> makeOnboardingWindow(LaunchOnboardingViewModel& model) = 0;
  // `handler` runs on the main thread each time the application becomes active again:
  // when a permission granted elsewhere, or an app installed meanwhile, should show.
  virtual Subscription subscribeToActivation(std::function<void()> handler) = 0;
};

}  // namespace quillon
