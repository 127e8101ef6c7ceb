#pragma once

#include <array>
#include <memory>

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include "core/async/subscription.h"
#include "core/view_models/launch_onboarding_demonstration.h"
#include "core/view_models/launch_onboarding_view_model.h"
#include "desktop/qt_layer_renderer.h"

class QFrame;
class QLabel;
class QListWidget;
class QPushButton;
class QStackedWidget;

namespace quillon {

// Draws the guide's looping demonstration; stops drawing while paused or hidden.
class QtOnboardingDemonstrationView final : public QWidget {
 public:
  explicit QtOnboardingDemonstrationView(QWidget* parent = nullptr);
  void update(const LaunchOnboardingViewState& state);
  // Shows the loop at `elapsed` seconds and stops it there (screenshots, tests).
  void freezeAt(double elapsed);
  bool isRunning() const { return timer_.isActive(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void syncTimer();

  LaunchOnboardingDemonstration demonstration_;
  QtLayerRenderer renderer_;
  QTimer timer_;
  QElapsedTimer clock_;
  double shownAt_ = 0;
  bool paused_ = false;
  bool frozen_ = false;
};

// The first-run guide: four steps with a sidebar, the demonstration, the permission
// buttons, and a drop zone for application bundles. Renders the onboarding model's state
// and sends the user's actions to it; closing the window is a "later".
class QtOnboardingWindow final : public QWidget {
 public:
  explicit QtOnboardingWindow(LaunchOnboardingViewModel& model);
  ~QtOnboardingWindow() override;

  // Starts a presentation, shows the window and brings it to the front.
  void present();

  QPushButton* nextButton() const { return next_; }
  QPushButton* backButton() const { return back_; }
  QPushButton* finishButton() const { return finish_; }
  QPushButton* laterButton() const { return later_; }
  QPushButton* chooseButton() const { return choose_; }
  QFrame* dropZone() const { return dropZone_; }
  QLabel* headingLabel() const { return heading_; }
  QLabel* messageLabel() const { return message_; }
  QListWidget* registrationList() const { return registrations_; }
  QtOnboardingDemonstrationView* demonstration() const { return demonstration_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QWidget* overviewPage();
  QWidget* permissionPage(bool accessibility);
  QWidget* readyPage();
  void render(const LaunchOnboardingViewState& state);
  void send(const LaunchOnboardingViewEvent& event) { model_.send(event); }

  LaunchOnboardingViewModel& model_;
  std::array<QLabel*, 4> stepLabels_{};
  QLabel* heading_ = nullptr;
  QStackedWidget* pages_ = nullptr;
  QtOnboardingDemonstrationView* demonstration_ = nullptr;
  QPushButton* playback_ = nullptr;
  QFrame* dropZone_ = nullptr;
  QPushButton* choose_ = nullptr;
  QListWidget* registrations_ = nullptr;
  QLabel* gestureText_ = nullptr;
  std::array<QLabel*, 2> permissionStatus_{};
  std::array<QPushButton*, 2> requestButtons_{};
  std::array<QPushButton*, 2> openSettingsButtons_{};
  QLabel* summary_ = nullptr;
  QFrame* registrationBox_ = nullptr;
  QLabel* registrationError_ = nullptr;
  QFrame* progressBox_ = nullptr;
  QLabel* progressError_ = nullptr;
  QLabel* message_ = nullptr;
  QPushButton* later_ = nullptr;
  QPushButton* back_ = nullptr;
  QPushButton* next_ = nullptr;
  QPushButton* finish_ = nullptr;
  Subscription subscription_;
};

}  // namespace quillon
