// Opens the switcher's carousel at the top centre of the X display and plays it in a loop
// (entrance, a step to the right every 0.7 s across the wrap, dismissal), so a person can
// watch the motion. Run it on a desktop or under scripts/with-x:
//
//   quillon_switcher_preview [--cycles N]      (N = 0, the default, loops until killed)

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <cstring>
#include <memory>

#include "core/overlay/launch_switcher_content_view.h"
#include "core/platform/launch_workspace.h"
#include "desktop/qt_main_loop.h"
#include "desktop/qt_switcher_panel.h"
#include "linux/x11_connection.h"
#include "linux/x11_stacking_keeper.h"

namespace {

using namespace quillon;

Bitmap toBitmap(const QImage& image) {
  const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
  Bitmap bitmap = Bitmap::transparent(rgba.width(), rgba.height());
  for (int y = 0; y < rgba.height(); ++y) std::memcpy(bitmap.pixel(0, y), rgba.constScanLine(y), bitmap.bytesPerRow);
  return bitmap;
}

// Icons drawn on the spot: the preview has no installed applications to ask.
class PreviewWorkspace final : public LaunchWorkspace {
 public:
  Task<std::vector<LaunchApplicationHandle>> runningApplications() override { co_return {}; }
  void openApplication(const std::string&, OpenCompletion) override {}
  std::optional<Bitmap> iconForBundle(const std::string& path, int pixelSize) const override {
    QImage image(pixelSize, pixelSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor::fromHsv(static_cast<int>(std::hash<std::string>()(path) % 360), 160, 230));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(pixelSize * 0.06, pixelSize * 0.06, pixelSize * 0.88, pixelSize * 0.88),
                            pixelSize * 0.2, pixelSize * 0.2);
    return toBitmap(image);
  }
  bool prefersReducedMotion() const override { return false; }
  bool openUrl(const Url&) override { return false; }
};

std::shared_ptr<const Bitmap> notchImage(int hue) {
  QImage image(1200, 300, QImage::Format_ARGB32_Premultiplied);
  image.fill(QColor(22, 22, 26));
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(QColor::fromHsv(hue, 180, 240));
  painter.setPen(Qt::NoPen);
  painter.drawEllipse(QRectF(60, 60, 180, 180));
  painter.fillRect(QRectF(320, 135, 800, 30), QColor::fromHsv(hue, 90, 200));
  return std::make_shared<const Bitmap>(toBitmap(image));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  int cycles = 0;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--cycles") == 0) cycles = std::atoi(argv[i + 1]);
  }
  SystemClock clock;
  QtMainLoop loop(clock);
  auto connection = X11Connection::open();
  if (!connection) return 1;
  connection->attach(loop);
  PreviewWorkspace workspace;

  LaunchSwitcherConfiguration configuration;
  const char* names[] = {"オーロラ", "エンバー", "タイドプール"};
  for (int i = 0; i < 3; ++i) {
    ManagedNotchApp app;
    app.id = LaunchUuid::random();
    app.displayName = names[i];
    app.bundleURL = Url::fileUrl(std::string("/Applications/") + names[i] + ".app", true);
    configuration.apps.push_back(app);
    if (i != 2) configuration.previews[app.id] = notchImage(i * 140);
  }
  configuration.selectedID = configuration.apps[0].id;
  configuration.liveSnapshot = true;
  configuration.shellBounds = Rect{24, 24, 620, 260};
  configuration.sourceLocalRect = {234, 252, 200, 32};
  configuration.shortcutLabel = "⌘";
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  configuration.backingScale = QGuiApplication::primaryScreen()->devicePixelRatio();

  std::unique_ptr<LaunchSwitcherContentView> content;
  std::unique_ptr<QtSwitcherPanel> panel;
  std::unique_ptr<X11StackingKeeper> keeper;
  int step = 0;
  int cycle = 0;
  QTimer timer;
  timer.setInterval(700);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (!panel) {
      if (cycles > 0 && cycle++ >= cycles) {
        QApplication::quit();
        return;
      }
      content = std::make_unique<LaunchSwitcherContentView>(clock, workspace, Rect{0, 0, 668, 284});
      content->configure(configuration);
      content->setEntrance(
          LaunchEntranceMotion{configuration.sourceLocalRect, content->finalOutlineBounds(), content->bounds()});
      content->applyAppearanceFrame(0);
      panel = std::make_unique<QtSwitcherPanel>(*content, clock, x11HasCompositingManager(*connection));
      panel->move(screen.center().x() - 334, screen.top());
      panel->show();
      keeper = std::make_unique<X11StackingKeeper>(*connection, static_cast<std::uint32_t>(panel->winId()));
      content->animateAppearance();
      panel->setAcceptsMouse(true);
      panel->contentChanged();
      step = 0;
      return;
    }
    if (++step <= 4) {
      const auto& ids = content->identifiers();
      content->select(ids[static_cast<std::size_t>(step) % ids.size()], +1);
      panel->contentChanged();
      return;
    }
    keeper.reset();
    panel.reset();
    content->clear();
    content.reset();
  });
  timer.start();
  return QApplication::exec();
}
