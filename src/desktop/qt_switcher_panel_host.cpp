#include "desktop/qt_switcher_panel_host.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

#include "core/overlay/launch_switcher_overlay.h"
#include "desktop/qt_switcher_panel.h"

namespace quillon {

namespace {

// Screen coordinates have y up from the primary screen's bottom; Qt's have y down from
// its top.
QPoint qtTopLeft(const ScreenRect& frame) {
  const QScreen* primary = QGuiApplication::primaryScreen();
  const QRect geometry = primary ? primary->geometry() : QRect();
  return {geometry.left() + static_cast<int>(std::lround(frame.x)),
          geometry.top() + static_cast<int>(std::lround(geometry.height() - frame.maxY()))};
}

class QtPanel final : public LaunchSwitcherPanel {
 public:
  QtPanel(std::unique_ptr<QtSwitcherPanel> widget, const QtSwitcherPanelHost::KeepAbove& keepAbove)
      : widget_(std::move(widget)), keepAbove_(keepAbove) {}
  ~QtPanel() override { QtPanel::orderOut(); }

  void orderFront() override {
    widget_->show();
    widget_->raise();
  }
  void orderOut() override {
    kept_.reset();
    widget_->hide();
  }
  bool isVisible() const override { return widget_->isVisible(); }
  void setAcceptsMouse(bool accepts) override { widget_->setAcceptsMouse(accepts); }
  std::optional<std::string> keepAboveAll() override {
    auto kept = keepAbove_ ? keepAbove_(static_cast<std::uint64_t>(widget_->winId())) : std::nullopt;
    if (!kept) return LaunchSwitcherOverlay::unsupportedDescription;
    kept_ = std::move(*kept);
    return std::nullopt;
  }
  void contentChanged() override { widget_->contentChanged(); }
  QtSwitcherPanel* widget() const { return widget_.get(); }

 private:
  std::unique_ptr<QtSwitcherPanel> widget_;
  const QtSwitcherPanelHost::KeepAbove& keepAbove_;
  LaunchSubscription kept_;
};

}  // namespace

QtSwitcherPanelHost::QtSwitcherPanelHost(const LaunchClock& clock, bool compositing, KeepAbove keepAbove)
    : clock_(clock), compositing_(compositing), keepAbove_(std::move(keepAbove)) {}

std::unique_ptr<LaunchSwitcherPanel> QtSwitcherPanelHost::makePanel(LaunchSwitcherContentView& content,
                                                                    const ScreenRect& frame, int) {
  auto widget = std::make_unique<QtSwitcherPanel>(content, clock_, compositing_);
  widget->move(qtTopLeft(frame));
  return std::make_unique<QtPanel>(std::move(widget), keepAbove_);
}

QtSwitcherPanel* QtSwitcherPanelHost::widgetOf(LaunchSwitcherPanel* panel) {
  auto* qtPanel = dynamic_cast<QtPanel*>(panel);
  return qtPanel ? qtPanel->widget() : nullptr;
}

double QtSwitcherPanelHost::backingScale(const ScreenRect& screenFrame) const {
  const QPoint topLeft = qtTopLeft(screenFrame);
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (screen->geometry().topLeft() == topLeft) return screen->devicePixelRatio();
  }
  const QScreen* primary = QGuiApplication::primaryScreen();
  return primary ? primary->devicePixelRatio() : 1;
}

}  // namespace quillon
