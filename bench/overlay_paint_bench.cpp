// The cost of one frame of the switcher's carousel with 16 apps and 1,200-pixel notch
// images, painted offscreen at a 2× backing scale, beside the floor of copying one
// panel-sized image. Run with QT_QPA_PLATFORM=offscreen (scripts/bench does).

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "core/overlay/launch_card_layout.h"
#include "core/overlay/launch_switcher_content_view.h"
#include "core/platform/workspace.h"
#include "desktop/qt_layer_renderer.h"
#include "desktop/qt_switcher_panel.h"

namespace quillon {
namespace {

constexpr double scale = 2;
constexpr int appCount = 16;

class BenchClock final : public Clock {
 public:
  double uptime() const override { return time; }
  double now() const override { return time; }
  double time = 100;
};

class BenchWorkspace final : public Workspace {
 public:
  Task<std::vector<ApplicationHandle>> runningApplications() override { co_return {}; }
  void openApplication(const std::string&, OpenCompletion) override {}
  std::optional<Bitmap> iconForBundle(const std::string&, int pixelSize) const override {
    Bitmap icon = Bitmap::transparent(pixelSize, pixelSize);
    for (std::size_t i = 0; i < icon.pixels.size(); i += 4) {
      icon.pixels[i] = 200;
      icon.pixels[i + 1] = 120;
      icon.pixels[i + 3] = 255;
    }
    return icon;
  }
  bool prefersReducedMotion() const override { return false; }
  bool openUrl(const Url&) override { return false; }
};

std::shared_ptr<const Bitmap> preview(std::uint8_t shade) {
  Bitmap image = Bitmap::transparent(1200, 300);
  for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
    image.pixels[i] = shade;
    image.pixels[i + 1] = static_cast<std::uint8_t>(i / 4 % 251);
    image.pixels[i + 2] = 60;
    image.pixels[i + 3] = 255;
  }
  return std::make_shared<const Bitmap>(std::move(image));
}

// The preview cache's images, made once and shared by every carousel.
const std::vector<std::shared_ptr<const Bitmap>>& cachedPreviews() {
  static const auto previews = [] {
    std::vector<std::shared_ptr<const Bitmap>> images;
    for (int i = 0; i < appCount; ++i) images.push_back(preview(static_cast<std::uint8_t>(i * 15)));
    return images;
  }();
  return previews;
}

// A carousel as the panel shows it: the shell as wide as its widest card, 24 points of
// margin beside and below it.
struct Carousel {
  Carousel() {
    LaunchSwitcherConfiguration configuration;
    for (int i = 0; i < appCount; ++i) {
      ManagedNotchApp app;
      app.id = Uuid::random();
      app.displayName = "ノッチアプリ " + std::to_string(i);
      app.bundleURL = Url::fileUrl("/Applications/App" + std::to_string(i) + ".app", true);
      configuration.apps.push_back(app);
      configuration.previews[app.id] = cachedPreviews()[static_cast<std::size_t>(i)];
    }
    configuration.selectedID = configuration.apps[0].id;
    configuration.liveSnapshot = true;
    const double shellWidth = LaunchCardLayout::preferredWidth(Size{1200, 300});
    configuration.shellBounds = Rect{24, 24, shellWidth, 260};
    configuration.sourceLocalRect = {24 + shellWidth / 2 - 100, 252, 200, 32};
    configuration.backingScale = scale;
    configuration.shortcutLabel = "⌘";
    view.configure(configuration);
    ids = view.identifiers();
    image = QImage(static_cast<int>(size.width() * scale), static_cast<int>(size.height() * scale),
                   QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
  }

  void paint(double time) {
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.paint(painter, view.scene(), time, size);
  }

  BenchClock clock;
  BenchWorkspace workspace;
  QSizeF size{LaunchCardLayout::preferredWidth(Size{1200, 300}) + 48, 284};
  LaunchSwitcherContentView view{clock, workspace, {0, 0, size.width(), size.height()}};
  std::vector<Uuid> ids;
  QtLayerRenderer renderer;
  QImage image;
};

void entranceFrame(benchmark::State& state) {
  Carousel carousel;
  carousel.view.animateAppearance();
  double time = carousel.clock.time;
  for (auto _ : state) {
    // Walk through the entrance so every frame differs, as on screen.
    time = time + 0.016 > carousel.clock.time + 0.46 ? carousel.clock.time : time + 0.016;
    carousel.paint(time);
  }
}
BENCHMARK(entranceFrame)->Unit(benchmark::kMillisecond);

void slideFrame(benchmark::State& state) {
  Carousel carousel;
  carousel.view.select(carousel.ids[1], +1);
  double time = carousel.clock.time;
  for (auto _ : state) {
    time = time + 0.016 > carousel.clock.time + 0.16 ? carousel.clock.time : time + 0.016;
    carousel.paint(time);
  }
}
BENCHMARK(slideFrame)->Unit(benchmark::kMillisecond);

void configureAndFirstFrame(benchmark::State& state) {
  for (auto _ : state) {
    Carousel carousel;
    carousel.view.setEntrance(LaunchEntranceMotion{{}, carousel.view.finalOutlineBounds(), carousel.view.bounds()});
    carousel.view.applyAppearanceFrame(0);
    carousel.view.animateAppearance();
    carousel.paint(carousel.clock.time);
  }
}
BENCHMARK(configureAndFirstFrame)->Unit(benchmark::kMillisecond);

// From showing the panel to its first painted frame, on whatever platform Qt runs on
// (scripts/bench runs it on Xvfb as well).
void presentToFirstFrame(benchmark::State& state) {
  for (auto _ : state) {
    Carousel carousel;
    carousel.view.setEntrance(LaunchEntranceMotion{{}, carousel.view.finalOutlineBounds(), carousel.view.bounds()});
    carousel.view.applyAppearanceFrame(0);
    QtSwitcherPanel panel(carousel.view, carousel.clock, false);
    panel.show();
    carousel.view.animateAppearance();
    panel.contentChanged();
    while (panel.paintedFrames() == 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
}
BENCHMARK(presentToFirstFrame)->Unit(benchmark::kMillisecond);

// Heap held while a carousel is shown (scene, converted images, panel) and after it is
// gone; the images themselves belong to the preview cache and are not counted.
void heapHeld(benchmark::State& state) {
  std::size_t shown = 0;
  std::size_t after = 0;
  for (auto _ : state) {
    cachedPreviews();
    const std::size_t before = mallinfo2().uordblks;
    {
      Carousel carousel;
      QtSwitcherPanel panel(carousel.view, carousel.clock, false);
      panel.show();
      carousel.view.animateAppearance();
      panel.contentChanged();
      while (panel.paintedFrames() == 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      carousel.paint(carousel.clock.time + 0.2);
      shown = mallinfo2().uordblks - before;
    }
    QCoreApplication::processEvents();
    const std::size_t end = mallinfo2().uordblks;
    after = end > before ? end - before : 0;
  }
  state.counters["shownKiB"] = static_cast<double>(shown) / 1024;
  state.counters["afterKiB"] = static_cast<double>(after) / 1024;
}
BENCHMARK(heapHeld)->Unit(benchmark::kMillisecond)->Iterations(3);

// The floor: one image of the panel's size copied onto another.
void panelImageCopy(benchmark::State& state) {
  Carousel carousel;
  QImage source(carousel.image.size(), QImage::Format_ARGB32_Premultiplied);
  source.fill(QColor(20, 20, 20, 255));
  source.setDevicePixelRatio(scale);
  for (auto _ : state) {
    QPainter painter(&carousel.image);
    painter.drawImage(QPointF(0, 0), source);
  }
}
BENCHMARK(panelImageCopy)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
