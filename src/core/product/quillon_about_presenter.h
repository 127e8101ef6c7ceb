#pragma once

#include <functional>
#include <string>

#include "core/async/task.h"
#include "core/product/quillon_about_content.h"

namespace quillon {

class AlertPresenter;

// The About, usage and privacy information as three chained alerts. Each alert offers
// "閉じる" first, so Return or Escape simply closes it.
class QuillonAboutPresenter {
 public:
  QuillonAboutPresenter(AlertPresenter& alerts, QuillonAboutContent content)
      : alerts_(alerts), content_(std::move(content)) {}

  // Completes when the last alert of the chain is answered. `shortcutLabel` is the
  // current chord's displayString. The presenter must outlive the task.
  Task<void> present(std::string shortcutLabel, std::function<void()> onShowOnboarding,
                     std::function<void()> onShowSettings);

 private:
  Task<void> showUsage(std::string shortcutLabel, std::function<void()> onShowOnboarding);
  Task<void> showPrivacy(std::function<void()> onShowSettings);

  AlertPresenter& alerts_;
  QuillonAboutContent content_;
};

}  // namespace quillon
