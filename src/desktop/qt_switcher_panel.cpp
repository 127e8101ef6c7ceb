#include "desktop/qt_switcher_panel.h"

#include <cmath>

#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QWindow>

#include "core/overlay/launch_switcher_content_view.h"

namespace quillon {

QtSwitcherPanel::QtSwitcherPanel(LaunchSwitcherContentView& content, const Clock& clock, bool compositing)
    // Override-redirect: no window manager frames, stacks, focuses or lists it (no
    // taskbar or pager entry), and the stacking keeper alone decides where it sits.
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput | Qt::NoDropShadowWindowHint),
      content_(content),
      clock_(clock),
      compositing_(compositing) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  // With a compositor the window is ARGB and everything outside the silhouette is clear.
  if (compositing_) setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_OpaquePaintEvent, !compositing_);
  // The host sizes it: the content's bounds are device pixels, not Qt's scaled units.
  resize(static_cast<int>(content.bounds().width), static_cast<int>(content.bounds().height));
  frameTimer_.setTimerType(Qt::PreciseTimer);
  connect(&frameTimer_, &QTimer::timeout, this, &QtSwitcherPanel::tick);
}

void QtSwitcherPanel::setAcceptsMouse(bool accepts) {
  setAttribute(Qt::WA_TransparentForMouseEvents, !accepts);
  // Through the native window: QWidget::setWindowFlag would recreate and remap it, and
  // the panel would lose its place in the stacking order.
  if (QWindow* window = windowHandle()) window->setFlag(Qt::WindowTransparentForInput, !accepts);
}

void QtSwitcherPanel::contentChanged() {
  if (!isVisible()) return;
  update();
  const double refreshRate = screen() ? screen()->refreshRate() : 60;
  frameTimer_.start(static_cast<int>(std::max(1.0, std::floor(1000 / (refreshRate > 1 ? refreshRate : 60)))));
}

void QtSwitcherPanel::tick() {
  const double now = clock_.uptime();
  // One more frame after the last animation ends draws the model values it leaves.
  if (!content_.scene().hasAnimations(now)) frameTimer_.stop();
  content_.scene().removeFinishedAnimations(now);
  update();
}

void QtSwitcherPanel::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  contentChanged();
}

void QtSwitcherPanel::updateShape(double time) {
  if (compositing_) return;
  const Layer* mask = content_.scene().root().mask();
  if (!mask) return;
  const Path& path = mask->presentationPath(time, shapeScratch_);
  if (path.isEmpty()) {
    setMask(QRegion(0, 0, 1, 1));  // an empty region would remove the shape altogether
    return;
  }
  QPainterPath shape;
  // The content is in device pixels; Qt's mask in its scaled units.
  const double height = content_.bounds().height;
  for (const Path::Element& element : path.elements()) {
    const Point* p = element.points;
    switch (element.kind) {
      case Path::Element::Kind::moveTo: shape.moveTo(p[0].x, height - p[0].y); break;
      case Path::Element::Kind::lineTo: shape.lineTo(p[0].x, height - p[0].y); break;
      case Path::Element::Kind::curveTo:
        shape.cubicTo(p[0].x, height - p[0].y, p[1].x, height - p[1].y, p[2].x, height - p[2].y);
        break;
      case Path::Element::Kind::close: shape.closeSubpath(); break;
    }
  }
  const double ratio = devicePixelRatioF();
  setMask(QRegion(shape.toFillPolygon(QTransform::fromScale(1 / ratio, 1 / ratio)).toPolygon()));
}

void QtSwitcherPanel::paintEvent(QPaintEvent*) {
  const double now = clock_.uptime();
  updateShape(now);
  const QSizeF size(content_.bounds().width, content_.bounds().height);
  const double ratio = devicePixelRatioF();
  QPainter painter(this);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.fillRect(rect(), Qt::transparent);
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  if (ratio == 1) {
    renderer_.paint(painter, content_.scene(), now, size);
  } else {
    // Qt scales this window's units by `ratio`; the scene is drawn one pixel per point
    // into a buffer of the window's device size, which then covers the window exactly.
    const QSize pixels = size.toSize();
    if (deviceBuffer_.size() != pixels) deviceBuffer_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    deviceBuffer_.fill(Qt::transparent);
    {
      QPainter buffer(&deviceBuffer_);
      renderer_.paint(buffer, content_.scene(), now, size);
    }
    painter.drawImage(QRectF(0, 0, size.width() / ratio, size.height() / ratio), deviceBuffer_);
  }
  ++paintedFrames_;
}

}  // namespace quillon
