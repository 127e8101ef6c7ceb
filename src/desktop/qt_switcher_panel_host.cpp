#include "desktop/qt_switcher_panel_host.h"

#include <cmath>

#include <QGuiApplication>
#include <QScreen>

#include "core/overlay/launch_switcher_overlay.h"
#include "desktop/qt_switcher_panel.h"

namespace quillon {

namespace {

// A screen-space frame (y up from the bottom of the primary screen) in device pixels,
// when the windowing system does not say: flipped about Qt's primary screen.
Rect deviceFrameByQt(const ScreenRect& frame) {
  const QScreen* primary = QGuiApplication::primaryScreen();
  const double height = primary ? primary->geometry().height() * primary->devicePixelRatio() : 0;
  return {frame.x, height - frame.maxY(), frame.width, frame.height};
}

// Qt's logical geometry for a device-pixel rectangle. Qt keeps each screen's origin in
// both spaces and scales what lies inside the screen by its pixel ratio.
QRect logicalGeometry(const Rect& device, QScreen** screenOut) {
  const QPoint corner(static_cast<int>(std::lround(device.x)), static_cast<int>(std::lround(device.y)));
  QScreen* chosen = QGuiApplication::primaryScreen();
  for (QScreen* screen : QGuiApplication::screens()) {
    const QRect logical = screen->geometry();
    const double ratio = screen->devicePixelRatio();
    const QRect native(logical.topLeft(), QSize(static_cast<int>(std::lround(logical.width() * ratio)),
                                                static_cast<int>(std::lround(logical.height() * ratio))));
    if (native.contains(corner)) {
      chosen = screen;
      break;
    }
  }
  *screenOut = chosen;
  const double ratio = chosen ? chosen->devicePixelRatio() : 1;
  const QPoint origin = chosen ? chosen->geometry().topLeft() : QPoint();
  return {origin.x() + static_cast<int>(std::lround((device.x - origin.x()) / ratio)),
          origin.y() + static_cast<int>(std::lround((device.y - origin.y()) / ratio)),
          static_cast<int>(std::lround(device.width / ratio)), static_cast<int>(std::lround(device.height / ratio))};
}

class QtPanel final : public LaunchSwitcherPanel {
 public:
  QtPanel(std::unique_ptr<QtSwitcherPanel> widget, const QtSwitcherPanelHost::Windowing& windowing,
          std::function<void()> covered)
      : widget_(std::move(widget)),
        keepAbove_(windowing.keepAbove),
        pointerGrabbed_(windowing.pointerGrabbedWhileUp),
        covered_(std::move(covered)) {}
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
  void setAcceptsMouse(bool accepts) override { widget_->setAcceptsMouse(accepts && !pointerGrabbed_); }
  std::optional<std::string> keepAboveAll() override {
    auto kept = keepAbove_ ? keepAbove_(static_cast<std::uint64_t>(widget_->winId()), covered_) : std::nullopt;
    if (!kept) return LaunchSwitcherOverlay::unsupportedDescription();
    kept_ = std::move(*kept);
    return std::nullopt;
  }
  void contentChanged() override { widget_->contentChanged(); }
  QtSwitcherPanel* widget() const { return widget_.get(); }

 private:
  std::unique_ptr<QtSwitcherPanel> widget_;
  const QtSwitcherPanelHost::KeepAbove& keepAbove_;
  bool pointerGrabbed_;
  std::function<void()> covered_;
  Subscription kept_;
};

}  // namespace

QtSwitcherPanelHost::QtSwitcherPanelHost(const Clock& clock, Windowing windowing)
    : clock_(clock), windowing_(std::move(windowing)) {}

std::unique_ptr<LaunchSwitcherPanel> QtSwitcherPanelHost::makePanel(LaunchSwitcherContentView& content,
                                                                    const ScreenRect& frame, int) {
  std::optional<Rect> device;
  if (windowing_.deviceFrame) device = windowing_.deviceFrame(frame);
  QScreen* screen = nullptr;
  const QRect geometry = logicalGeometry(device.value_or(deviceFrameByQt(frame)), &screen);
  auto widget = std::make_unique<QtSwitcherPanel>(content, clock_, windowing_.compositing);
  if (screen) widget->setScreen(screen);
  widget->setFixedSize(geometry.size());
  widget->move(geometry.topLeft());
  return std::make_unique<QtPanel>(std::move(widget), windowing_, [this] { covered_.notify(); });
}

QtSwitcherPanel* QtSwitcherPanelHost::widgetOf(LaunchSwitcherPanel* panel) {
  auto* qtPanel = dynamic_cast<QtPanel*>(panel);
  return qtPanel ? qtPanel->widget() : nullptr;
}

Subscription QtSwitcherPanelHost::observeScreenLock(std::function<void()> handler) {
  auto covered = std::make_shared<Subscription>(covered_.subscribe(handler));
  auto locked =
      std::make_shared<Subscription>(windowing_.observeLock ? windowing_.observeLock(handler) : Subscription());
  return Subscription([covered, locked] {
    covered->reset();
    locked->reset();
  });
}

}  // namespace quillon
