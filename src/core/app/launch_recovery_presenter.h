#pragma once

#include "core/localization/localized_text.h"

namespace quillon {

class LaunchAlertPresenter;

// The confirmation shown before every reset that backs the original data up first
// (preferences, registry, onboarding progress).
class LaunchRecoveryPresenter {
 public:
  explicit LaunchRecoveryPresenter(LaunchAlertPresenter& alerts) : alerts_(alerts) {}

  // A modal warning with "Cancel" first; true only when the user chose to preserve and
  // reset. Closing the alert any other way is a cancel.
  bool confirm(const LocalizedText& title, const LocalizedText& detail);

 private:
  LaunchAlertPresenter& alerts_;
};

}  // namespace quillon
