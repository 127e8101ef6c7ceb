#pragma once

#include <functional>
#include <optional>

#include "core/async/subscription.h"
#include "core/localization/localized_text.h"

namespace quillon {

// The lines the status menu shows about switching: the one status line, the
// explanation behind the last image judgement, and the failure of the last switch,
// which outlives refreshes that find no app so the user still learns what went wrong.
// The coordinator writes the switch's part, the notch-surface service the image's part;
// the menu only reads. Observers hear of every change. Main thread only.
class LaunchStatusModel {
 public:
  LaunchStatusModel() = default;
  LaunchStatusModel(const LaunchStatusModel&) = delete;
  LaunchStatusModel& operator=(const LaunchStatusModel&) = delete;

  const std::optional<LocalizedText>& status() const { return status_; }
  const std::optional<LocalizedText>& imageExplanation() const { return imageExplanation_; }
  const std::optional<LocalizedText>& failureMessage() const { return failureMessage_; }

  // Replaces the status line (none clears it).
  void showStatus(std::optional<LocalizedText> text);
  // A failed switch: the status line, kept as the failure until `clearFailure`.
  void showFailure(LocalizedText text);
  void clearFailure();
  // What is known of the current app's image: `message` replaces the status line (none for
  // a previewable app) and `explanation` is what the menu's image item explains.
  void showImageStatus(std::optional<LocalizedText> message, LocalizedText explanation);
  // Forgets the image judgement, and its status line if that is still the one shown.
  void clearImageStatus();

  // Observing does not change what is shown, so a reader may observe.
  Subscription subscribeToChanges(std::function<void()> observer) const {
    return observers_.subscribe(std::move(observer));
  }

 private:
  void changed() { observers_.notify(); }

  std::optional<LocalizedText> status_;
  std::optional<LocalizedText> imageExplanation_;
  std::optional<LocalizedText> imageStatusMessage_;
  std::optional<LocalizedText> failureMessage_;
  mutable ObserverList<> observers_;
};

}  // namespace quillon
