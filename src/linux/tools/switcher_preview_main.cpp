// Opens the switcher over a running sample notch app, the way the program does at a
// gesture: the app's notch is captured, the carousel opens over it with its entrance,
// steps to the right every 0.7 s across the wrap, and closes; then again. The other
// apps' images come from an in-memory preview store filled at start, as the cache would
// hold them. Run it on a desktop to watch, or under scripts/with-x as a smoke test:
//
//   quillon_switcher_preview --sample PATH [--cycles N]
//
// PATH is a sample app's executable (build/sample-apps/Aurora.app/Contents/MacOS/Aurora);
// it is started pinned at the top centre and stopped on exit. N = 0, the default, loops
// until killed. Without --sample the carousel opens over an imagined notch.

#include <signal.h>

#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include "core/capture/launch_surface_capture.h"
#include "core/overlay/launch_overlay_previews.h"
#include "core/overlay/launch_switcher_content_view.h"
#include "core/overlay/launch_switcher_overlay.h"
#include "core/platform/log_sink.h"
#include "core/platform/workspace.h"
#include "desktop/qt_main_loop.h"
#include "desktop/qt_switcher_panel_host.h"
#include "linux/detached_process.h"
#include "linux/process_running_application.h"
#include "linux/x11_connection.h"
#include "linux/x11_screen_capture_service.h"
#include "linux/x11_screens.h"
#include "linux/x11_stacking_keeper.h"
#include "linux/x11_window_server.h"

namespace {

using namespace quillon;

Bitmap toBitmap(const QImage& image) {
  const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
  Bitmap bitmap = Bitmap::transparent(rgba.width(), rgba.height());
  for (int y = 0; y < rgba.height(); ++y) std::memcpy(bitmap.pixel(0, y), rgba.constScanLine(y), bitmap.bytesPerRow);
  return bitmap;
}

// Icons drawn on the spot: the preview has no installed applications to ask.
class PreviewWorkspace final : public Workspace {
 public:
  Task<std::vector<ApplicationHandle>> runningApplications() override { co_return {}; }
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

// Previews held in memory for the run, keyed like the cache.
class MemoryPreviews final : public LaunchOverlayPreviews {
 public:
  void put(const Uuid& id, const std::shared_ptr<const Bitmap>& image, const Url& url) { entries_[id] = {image, url}; }
  std::shared_ptr<const Bitmap> image(const Uuid& id, const Url& url) override {
    const auto found = entries_.find(id);
    return found != entries_.end() && found->second.second == url ? found->second.first : nullptr;
  }
  bool remember(const LaunchSurfaceSnapshot& snapshot, const Uuid& id, const Url& url) override {
    auto cropped = snapshot.croppedImage();
    if (!cropped) return false;
    put(id, std::make_shared<const Bitmap>(std::move(*cropped)), url);
    return true;
  }
  // The images here are made for the preview and have no age to tell.
  std::optional<double> savedAt(const Uuid&, const Url&) const override { return std::nullopt; }
  void remove(const Uuid& id) override { entries_.erase(id); }
  void retainApplications(const std::map<Uuid, Url>&) override {}

 private:
  std::map<Uuid, std::pair<std::shared_ptr<const Bitmap>, Url>> entries_;
};

class StderrLog final : public LogSink {
 public:
  void log(std::string_view line) override { std::cerr << line << "\n"; }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  int cycles = 0;
  std::string samplePath;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--cycles") == 0) cycles = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--sample") == 0) samplePath = argv[i + 1];
  }
  SystemClock clock;
  QtMainLoop loop(clock);
  auto connection = X11Connection::open();
  if (!connection) return 1;
  connection->attach(loop);
  PreviewWorkspace workspace;
  StderrLog log;
  X11Screens screens(*connection);
  X11WindowServer windows(*connection);
  X11ScreenCaptureService service(*connection);
  MemoryPreviews previews;
  QtSwitcherPanelHost panels(clock, {x11HasCompositingManager(*connection),
                                     [&](std::uint64_t window, std::function<void()> covered) {
                                       return X11StackingKeeper::hold(*connection, static_cast<std::uint32_t>(window),
                                                                      std::move(covered));
                                     },
                                     {},
                                     {}});
  LaunchSwitcherOverlay overlay({clock, workspace, screens, windows, service, panels, previews, log});

  std::vector<ManagedNotchApp> apps;
  const char* names[] = {"オーロラ", "エンバー", "タイドプール", "霧の灯台"};
  for (int i = 0; i < 4; ++i) {
    ManagedNotchApp app;
    app.id = Uuid::random();
    app.displayName = names[i];
    app.bundleURL = Url::fileUrl(std::string("/Applications/") + names[i] + ".app", true);
    apps.push_back(app);
    if (i == 1 || i == 2) previews.put(app.id, notchImage(i * 140), app.bundleURL);
  }

  std::optional<DetachedProcess> sample;
  if (!samplePath.empty()) {
    try {
      sample = spawnDetachedProcess(std::filesystem::absolute(samplePath).string(), {"--pinned"});
    } catch (const Error& error) {
      std::cerr << "cannot start " << samplePath << ": " << error.description() << "\n";
      return 1;
    }
  }
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  std::optional<LaunchSurfaceSnapshot> snapshot;
  LaunchSurfaceCapture capture(loop, service, windows, log);
  TaskHandle capturing;
  bool captureRunning = false;
  int step = 0;
  int cycle = 0;
  QTimer timer;
  timer.setInterval(700);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (sample && !snapshot) {
      // The app maps its window shortly after it starts; capture until it is there.
      if (captureRunning) return;
      captureRunning = true;
      capturing = spawn<LaunchSurfaceSnapshot>(
          loop, capture.capture(ProcessRunningApplication::forProcess(sample->pid), std::nullopt),
          [&](Result<LaunchSurfaceSnapshot> result) {
            if (result.hasValue()) snapshot = std::move(result.value());
            captureRunning = false;
          });
      return;
    }
    if (!overlay.isPresented()) {
      if (cycles > 0 && cycle++ >= cycles) {
        QApplication::quit();
        return;
      }
      LaunchSwitcherRequest request;
      request.apps = apps;
      request.selectedID = apps[0].id;
      request.screenCaptureAllowed = true;
      if (snapshot) {
        request.sourceQuartzRect = snapshot->sourceQuartzRect;
        request.hostLevel = snapshot->windowLayer;
        request.snapshot = &*snapshot;
        request.sourcePID = snapshot->processID;
        request.sourceWindowID = snapshot->windowID;
      } else {
        request.sourceQuartzRect = {screen.width() / 2.0 - 100, 0, 200, 32};
      }
      overlay.present(request);
      step = 0;
      return;
    }
    if (++step <= 4) {
      overlay.select(apps[static_cast<std::size_t>(step) % apps.size()].id, +1);
      return;
    }
    overlay.dismiss();
  });
  timer.start();
  const int status = QApplication::exec();
  overlay.dismiss();
  if (sample) ::kill(sample->pid, SIGTERM);
  return status;
}
