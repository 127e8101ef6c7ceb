#pragma once

#include <functional>
#include <string>

#include "core/app/quillon_about_content.h"

namespace quillon {

class LaunchAlertPresenter;

// The About, usage and privacy information as three chained modal alerts. Each alert
// offers "閉じる" first, so Return or Escape simply closes it.
class QuillonAboutPresenter {
 public:
  QuillonAboutPresenter(LaunchAlertPresenter& alerts, QuillonAboutContent content)
      : alerts_(alerts), content_(std::move(content)) {}

  // `shortcutLabel` is the current chord's displayString.
  void present(const std::string& shortcutLabel, const std::function<void()>& onShowOnboarding,
               const std::function<void()>& onShowSettings);

 private:
  void showUsage(const std::string& shortcutLabel, const std::function<void()>& onShowOnboarding);
  void showPrivacy(const std::function<void()>& onShowSettings);

  LaunchAlertPresenter& alerts_;
  QuillonAboutContent content_;
};

}  // namespace quillon
