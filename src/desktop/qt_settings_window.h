#pragma once

#include <array>

#include <QWidget>

#include "core/async/subscription.h"
#include "core/view_models/launch_settings_view_model.h"

class QAbstractButton;
class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;

namespace quillon {

class LoginItem;

// The settings window: renders the settings model's state and sends the user's actions
// to it. Created on first request and kept; closing it only hides it.
class QtSettingsWindow final : public QWidget {
 public:
  // `loginItem` may be null (no start-at-login switch on this platform). Both outlive
  // the window.
  explicit QtSettingsWindow(LaunchSettingsViewModel& model, LoginItem* loginItem = nullptr);
  ~QtSettingsWindow() override;

  // Refreshes the error boxes, shows the window and brings it to the front.
  void present();

  // The parts a test drives, in the order they appear.
  QAbstractButton* modifierButton(EventFlags flag) const;
  QPushButton* optionShiftButton() const { return optionShift_; }
  QCheckBox* savePreviewsToggle() const { return savePreviews_; }
  QCheckBox* verticalScrollToggle() const { return verticalScroll_; }
  QPushButton* clearPreviewsButton() const { return clearPreviews_; }
  QCheckBox* loginItemToggle() const { return loginItemToggle_; }
  QFrame* storageBox() const { return storageBox_; }
  QPushButton* retryStorageButton() const { return retryStorage_; }
  QPushButton* resetStorageButton() const { return resetStorage_; }
  QFrame* imageBox() const { return imageBox_; }
  QLabel* messageLabel() const { return message_; }

 private:
  // As tall as the content needs, within the screen: the scroll bar is for screens too
  // small to show it all, not for hiding the recovery box below the fold.
  void fitToContent();

  void render(const LaunchSettingsViewState& state);

  LaunchSettingsViewModel& model_;
  LoginItem* loginItem_;
  std::array<QAbstractButton*, 4> modifierButtons_{};
  QPushButton* optionShift_ = nullptr;
  QCheckBox* savePreviews_ = nullptr;
  QCheckBox* verticalScroll_ = nullptr;
  QPushButton* clearPreviews_ = nullptr;
  QCheckBox* loginItemToggle_ = nullptr;
  QLabel* loginItemError_ = nullptr;
  QFrame* storageBox_ = nullptr;
  QLabel* storageError_ = nullptr;
  QPushButton* retryStorage_ = nullptr;
  QPushButton* resetStorage_ = nullptr;
  QFrame* imageBox_ = nullptr;
  QLabel* imageError_ = nullptr;
  QWidget* messageRow_ = nullptr;
  QWidget* content_ = nullptr;
  QLabel* messageIcon_ = nullptr;
  QLabel* message_ = nullptr;
  Subscription subscription_;
};

}  // namespace quillon
