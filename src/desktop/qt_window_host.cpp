#include "desktop/qt_window_host.h"

#include <QGuiApplication>

#include "desktop/qt_onboarding_window.h"
#include "desktop/qt_settings_window.h"

namespace quillon {

namespace {

template <class Widget>
class QtPresentedWindow final : public Window {
 public:
  explicit QtPresentedWindow(std::unique_ptr<Widget> widget) : widget_(std::move(widget)) {}
  void present() override { widget_->present(); }

 private:
  std::unique_ptr<Widget> widget_;
};

}  // namespace

std::unique_ptr<Window> QtWindowHost::makeSettingsWindow(LaunchSettingsViewModel& model) {
  return std::make_unique<QtPresentedWindow<QtSettingsWindow>>(std::make_unique<QtSettingsWindow>(model, loginItem_));
}

std::unique_ptr<Window> QtWindowHost::makeOnboardingWindow(LaunchOnboardingViewModel& model) {
  return std::make_unique<QtPresentedWindow<QtOnboardingWindow>>(std::make_unique<QtOnboardingWindow>(model));
}

Subscription QtWindowHost::subscribeToActivation(std::function<void()> handler) {
  const auto connection = QObject::connect(qApp, &QGuiApplication::applicationStateChanged,
                                           [handler = std::move(handler)](Qt::ApplicationState state) {
                                             if (state == Qt::ApplicationActive) handler();
                                           });
  return Subscription([connection] { QObject::disconnect(connection); });
}

}  // namespace quillon
