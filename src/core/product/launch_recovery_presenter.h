#pragma once

#include "core/async/task.h"
#include "core/localization/localized_text.h"

namespace quillon {

class AlertPresenter;

// The confirmation shown before every reset that backs the original data up first
// (preferences, registry, onboarding progress).
class LaunchRecoveryPresenter {
 public:
  explicit LaunchRecoveryPresenter(AlertPresenter& alerts) : alerts_(alerts) {}

  // A warning with "Cancel" first; true only when the user chose to preserve and reset.
  // Closing the alert any other way is a cancel. The presenter must outlive the task.
  Task<bool> confirm(LocalizedText title, LocalizedText detail);

 private:
  AlertPresenter& alerts_;
};

}  // namespace quillon
