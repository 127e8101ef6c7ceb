#pragma once

#include <cstdint>

#include <QImage>
#include <QTimer>
#include <QWidget>

#include "desktop/qt_layer_renderer.h"

namespace quillon {

class LaunchSwitcherContentView;

// The borderless window the switcher's carousel is drawn in. It never takes focus, lets
// clicks through until it is told it is ready, and repaints only while something moves:
// at the display's frame rate during animations, not at all when the scene is still.
// Without a compositing manager there is no translucency, so the window's shape (the X
// Shape bounding region) is cut to the body's silhouette and the desktop shows around it;
// with one, the window is ARGB and clear outside the silhouette. Its content is in device
// pixels whatever Qt's scale for the screen.
class QtSwitcherPanel final : public QWidget {
 public:
  // `content` and `clock` must outlive the panel.
  QtSwitcherPanel(LaunchSwitcherContentView& content, const Clock& clock, bool compositing);

  // Lets pointer events reach the panel (true) or the windows below it (false).
  void setAcceptsMouse(bool accepts);
  // Call after changing the content; repaints until its animations have ended.
  void contentChanged();

  // Frames painted since the panel was made, for tests and measurements.
  std::uint64_t paintedFrames() const { return paintedFrames_; }
  bool isAnimating() const { return frameTimer_.isActive(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void tick();
  void updateShape(double time);

  LaunchSwitcherContentView& content_;
  const Clock& clock_;
  const bool compositing_;
  QtLayerRenderer renderer_;
  QTimer frameTimer_;
  std::uint64_t paintedFrames_ = 0;
  Path shapeScratch_;
  QImage deviceBuffer_;
};

}  // namespace quillon
