// Renders the switcher's carousel headless through its entrance and slides, and keeps the
// frames as PNG files in the build's artifacts folder for a person to look at.

#include "desktop/qt_layer_renderer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include "core/overlay/launch_switcher_content_view.h"
#include "support/fake_workspace.h"
#include "support/manual_clock.h"
#include "support/scoped_environment.h"
#include "support/surface_images.h"

namespace quillon {
namespace {

constexpr double viewWidth = 668;
// With guidance text the body is 300 points tall, hanging from the top of the panel.
constexpr double viewHeight = 324;
constexpr double scale = 2;

// Stand-ins for two captured notches and the app icon, flat colours told apart at a glance.
std::shared_ptr<const Bitmap> flat(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return std::make_shared<const Bitmap>(filledImage(width, height, r, g, b, 255));
}

class QtLayerRendererTest : public testing::Test {
 protected:
  void SetUp() override {
    workspace.icon = *flat(256, 256, 200, 60, 120);
    LaunchSwitcherConfiguration configuration;
    for (const char* name : {"オーロラ・ノッチ", "エンバー", "タイドプール音楽プレイヤー（とても長い名前）"}) {
      ManagedNotchApp app;
      app.id = Uuid::random();
      app.displayName = name;
      app.bundleURL = Url::fileUrl(std::string("/Applications/") + name + ".app", true);
      configuration.apps.push_back(app);
    }
    ids = {configuration.apps[0].id, configuration.apps[1].id, configuration.apps[2].id};
    configuration.selectedID = ids[0];
    configuration.previews[ids[0]] = flat(1200, 300, 90, 200, 250);
    configuration.previews[ids[1]] = flat(900, 300, 250, 120, 80);
    configuration.guidance[ids[0]] = "画面収録が許可されていないため、アイコンと名前で表示しています。";
    configuration.liveSnapshot = true;
    configuration.sourceLocalRect = {234, 292, 200, 32};
    configuration.shellBounds = Rect{24, 24, 620, 300};
    configuration.backingScale = scale;
    configuration.shortcutLabel = "⌘";
    view.configure(configuration);
    view.setEntrance(LaunchEntranceMotion{configuration.sourceLocalRect, view.finalOutlineBounds(), view.bounds()});
    view.applyAppearanceFrame(0);
    view.animateAppearance();
  }

  // The frame at `time` over a desktop-like gradient, saved as `name`.
  QImage render(double time, const char* name) {
    QImage image(static_cast<int>(viewWidth * scale), static_cast<int>(viewHeight * scale),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    QPainter painter(&image);
    QLinearGradient desktop(0, 0, viewWidth, viewHeight);
    desktop.setColorAt(0, QColor(40, 110, 180));
    desktop.setColorAt(1, QColor(120, 180, 90));
    painter.fillRect(QRectF(0, 0, viewWidth, viewHeight), desktop);
    renderer.paint(painter, view.scene(), time, QSizeF(viewWidth, viewHeight));
    painter.end();
    QDir().mkpath(QStringLiteral(QUILLON_ARTIFACTS_DIR));
    EXPECT_TRUE(image.save(QStringLiteral(QUILLON_ARTIFACTS_DIR "/") + QLatin1String(name), "PNG")) << name;
    return image;
  }

  // Bright pixels (text, icons) inside a rectangle of the view, y down, in points.
  static int brightPixels(const QImage& image, QRectF area) {
    int count = 0;
    for (int y = static_cast<int>(area.top() * scale); y < static_cast<int>(area.bottom() * scale); ++y) {
      for (int x = static_cast<int>(area.left() * scale); x < static_cast<int>(area.right() * scale); ++x) {
        count += qGray(image.pixel(x, y)) > 160 ? 1 : 0;
      }
    }
    return count;
  }

  // The texts as a Japanese user sees them.
  ScopedEnvironment language{"LC_ALL", "ja_JP.UTF-8"};
  ManualClock clock{500};
  FakeWorkspace workspace;
  LaunchSwitcherContentView view{clock, workspace, {0, 0, viewWidth, viewHeight}};
  QtLayerRenderer renderer;
  std::vector<Uuid> ids;
};

TEST_F(QtLayerRendererTest, EntranceAndSlidesKeepTheDesktopAroundTheSilhouette) {
  const double start = clock.uptime();
  const double duration = view.entrance()->duration();
  const QImage first = render(start, "switcher-entrance-0-start.png");
  render(start + duration / 3, "switcher-entrance-1-third.png");
  render(start + 2 * duration / 3, "switcher-entrance-2-two-thirds.png");
  const QImage opened = render(start + duration, "switcher-entrance-3-end.png");

  const QColor desktopCorner = first.pixelColor(2, static_cast<int>(viewHeight * scale) - 2);
  for (const QImage* image : {&first, &opened}) {
    // The corners beside the shoulders and below the body show the desktop.
    EXPECT_EQ(image->pixelColor(2, 2), first.pixelColor(2, 2));
    EXPECT_EQ(image->pixelColor(2, static_cast<int>(viewHeight * scale) - 2), desktopCorner);
  }
  EXPECT_GT(qGray(first.pixel(2, 2)), 60);
  // Opened: a black body with the name under the icon and the hint along the bottom.
  EXPECT_EQ(qGray(opened.pixel(static_cast<int>(60 * scale), static_cast<int>(40 * scale))), 0);
  EXPECT_GT(brightPixels(opened, {80, viewHeight - 100.5 - 23, 192, 23}), 40);
  EXPECT_GT(brightPixels(opened, {72, viewHeight - 34 - 18, 524, 18}), 40);

  clock.advance(1);
  view.select(ids[1], +1);
  clock.advance(1);
  view.select(ids[2], +1);
  render(clock.uptime() + LaunchSwitcherContentView::selectionDuration / 2, "switcher-step-2-midway.png");
  clock.advance(1);
  const QImage afterSteps = render(clock.uptime(), "switcher-after-two-steps-right.png");
  view.select(ids[0], +1);
  render(clock.uptime() + LaunchSwitcherContentView::selectionDuration / 2, "switcher-wrap-midway.png");
  clock.advance(1);
  const QImage wrapped = render(clock.uptime(), "switcher-after-wrap.png");
  // The wrap lands where the carousel started, with the same pixels.
  EXPECT_EQ(wrapped, opened);
  EXPECT_NE(afterSteps, opened);
}

}  // namespace
}  // namespace quillon
