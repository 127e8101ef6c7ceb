#include "core/switching/launch_status_model.h"

#include <utility>

namespace quillon {

void LaunchStatusModel::showStatus(std::optional<LocalizedText> text) {
  if (status_ == text) return;
  status_ = std::move(text);
  changed();
}

void LaunchStatusModel::showFailure(LocalizedText text) {
  failureMessage_ = text;
  status_ = std::move(text);
  changed();
}

void LaunchStatusModel::clearFailure() { failureMessage_.reset(); }

void LaunchStatusModel::showImageStatus(std::optional<LocalizedText> message, LocalizedText explanation) {
  imageExplanation_ = std::move(explanation);
  imageStatusMessage_ = message;
  status_ = std::move(message);
  changed();
}

void LaunchStatusModel::clearImageStatus() {
  const bool had = imageExplanation_ || imageStatusMessage_;
  if (status_ == imageStatusMessage_) status_.reset();
  imageStatusMessage_.reset();
  imageExplanation_.reset();
  if (had) changed();
}

}  // namespace quillon
