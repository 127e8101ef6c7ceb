// Preview images through the image port: the 2:1 reduction of a 2400 x 600 capture
// beside Qt's own smooth scaling of the same image (each with its PSNR against a
// Lanczos-3 reduction computed here), PNG coding of the 1200 x 300 preview, and a
// restore of 16 archived previews with the longest time the main thread was blocked.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <vector>

#include <QImage>

#include "core/async/clock.h"
#include "core/async/poll_main_loop.h"
#include "core/capture/launch_preview_archive.h"
#include "core/capture/launch_preview_cache.h"
#include "core/platform/log_sink.h"
#include "desktop/qt_image_codec.h"
#include "support/temporary_directory.h"

namespace quillon {
namespace {

constexpr int sourceWidth = 2400;
constexpr int sourceHeight = 600;

// A notch capture: a rounded opaque body with anti-aliased corners on a transparent
// background, filled with fine stripes and a gradient so that the filters differ.
Bitmap captureImage() {
  Bitmap bitmap = Bitmap::transparent(sourceWidth, sourceHeight);
  const double radius = 120;
  for (int y = 0; y < sourceHeight; ++y) {
    for (int x = 0; x < sourceWidth; ++x) {
      const double cx = std::clamp(x + 0.5, radius, sourceWidth - radius);
      const double cy = std::clamp(y + 0.5, radius, sourceHeight - radius);
      const double outside = std::hypot(x + 0.5 - cx, y + 0.5 - cy) - radius;
      const double alpha = std::clamp(0.5 - outside, 0.0, 1.0);
      const double stripe = ((x / 3 + y / 5) % 2 == 0) ? 1.0 : 0.35;
      const double rgb[3] = {stripe * x / sourceWidth, 0.5 * stripe, 1.0 - static_cast<double>(y) / sourceHeight};
      auto* pixel = bitmap.pixel(x, y);
      for (int c = 0; c < 3; ++c) pixel[c] = static_cast<std::uint8_t>(std::lround(255 * rgb[c] * alpha));
      pixel[3] = static_cast<std::uint8_t>(std::lround(255 * alpha));
    }
  }
  return bitmap;
}

double lanczos3(double x) {
  x = std::abs(x);
  if (x < 1e-9) return 1;
  if (x >= 3) return 0;
  const double pi = 3.14159265358979323846;
  return 3 * std::sin(pi * x) * std::sin(pi * x / 3) / (pi * pi * x * x);
}

// One separable pass of Lanczos-3 resampling of premultiplied channels, with the
// kernel widened by the reduction factor so that it low-passes before sampling.
std::vector<double> resample(const std::vector<double>& in, int width, int height, int outWidth, bool horizontal) {
  const int inLength = horizontal ? width : height;
  const int outLength = outWidth;
  const double scale = static_cast<double>(inLength) / outLength;
  const int lines = horizontal ? height : width;
  const int outW = horizontal ? outLength : width;
  std::vector<double> out(static_cast<std::size_t>(lines) * static_cast<std::size_t>(outLength) * 4);
  for (int o = 0; o < outLength; ++o) {
    const double center = (o + 0.5) * scale - 0.5;
    const int first = static_cast<int>(std::floor(center - 3 * scale));
    const int last = static_cast<int>(std::ceil(center + 3 * scale));
    std::vector<std::pair<int, double>> taps;
    double sum = 0;
    for (int i = first; i <= last; ++i) {
      const double weight = lanczos3((i - center) / scale);
      if (weight == 0) continue;
      taps.emplace_back(std::clamp(i, 0, inLength - 1), weight);
      sum += weight;
    }
    for (int line = 0; line < lines; ++line) {
      double acc[4] = {0, 0, 0, 0};
      for (const auto& [i, weight] : taps) {
        const int x = horizontal ? i : line;
        const int y = horizontal ? line : i;
        const auto base =
            (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4;
        for (int c = 0; c < 4; ++c) acc[c] += in[base + static_cast<std::size_t>(c)] * weight;
      }
      const int x = horizontal ? o : line;
      const int y = horizontal ? line : o;
      const auto base =
          (static_cast<std::size_t>(y) * static_cast<std::size_t>(outW) + static_cast<std::size_t>(x)) * 4;
      for (int c = 0; c < 4; ++c) out[base + static_cast<std::size_t>(c)] = acc[c] / sum;
    }
  }
  return out;
}

Bitmap lanczosReference(const Bitmap& source, int width, int height) {
  std::vector<double> channels(source.pixels.begin(), source.pixels.end());
  const auto wide = resample(channels, source.width, source.height, width, true);
  const auto both = resample(wide, width, source.height, height, false);
  Bitmap out = Bitmap::transparent(width, height);
  for (std::size_t i = 0; i < both.size(); ++i) {
    out.pixels[i] = static_cast<std::uint8_t>(std::clamp(std::lround(both[i]), 0L, 255L));
  }
  return out;
}

double psnr(const Bitmap& a, const Bitmap& b) {
  double squared = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i) {
    const double d = static_cast<double>(a.pixels[i]) - static_cast<double>(b.pixels[i]);
    squared += d * d;
  }
  const double mse = squared / static_cast<double>(a.pixels.size());
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

const Bitmap& source() {
  static const Bitmap image = captureImage();
  return image;
}
const Bitmap& reference() {
  static const Bitmap image = lanczosReference(source(), 1200, 300);
  return image;
}

void BM_DownscaleThroughImagePort(benchmark::State& state) {
  const QtImageCodec codec;
  std::optional<Bitmap> scaled;
  for (auto _ : state) {
    scaled = codec.downscale(source(), 1200, 300);
    benchmark::DoNotOptimize(scaled);
  }
  state.counters["psnr_dB"] = psnr(*scaled, reference());
}
BENCHMARK(BM_DownscaleThroughImagePort)->Unit(benchmark::kMillisecond);

void BM_DownscaleQtSmoothReference(benchmark::State& state) {
  const QImage image(source().pixels.data(), sourceWidth, sourceHeight, static_cast<qsizetype>(source().bytesPerRow),
                     QImage::Format_RGBA8888_Premultiplied);
  QImage scaled;
  for (auto _ : state) {
    scaled = image.scaled(1200, 300, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    benchmark::DoNotOptimize(scaled.constBits());
  }
  scaled.convertTo(QImage::Format_RGBA8888_Premultiplied);
  Bitmap asBitmap = Bitmap::transparent(1200, 300);
  for (int y = 0; y < 300; ++y) std::copy_n(scaled.constScanLine(y), asBitmap.bytesPerRow, asBitmap.pixel(0, y));
  state.counters["psnr_dB"] = psnr(asBitmap, reference());
}
BENCHMARK(BM_DownscaleQtSmoothReference)->Unit(benchmark::kMillisecond);

const Bitmap& preview() {
  static const Bitmap image = *QtImageCodec().downscale(source(), 1200, 300);
  return image;
}

void BM_EncodePreviewPng(benchmark::State& state) {
  const QtImageCodec codec;
  std::size_t bytes = 0;
  for (auto _ : state) {
    const auto png = codec.encodePng(preview());
    bytes = png->size();
    benchmark::DoNotOptimize(png);
  }
  state.counters["png_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_EncodePreviewPng)->Unit(benchmark::kMillisecond);

void BM_DecodePreviewPng(benchmark::State& state) {
  const QtImageCodec codec;
  const auto png = *codec.encodePng(preview());
  for (auto _ : state) benchmark::DoNotOptimize(codec.decodePng(png, LaunchPreviewArchive::maximumPixelSide));
}
BENCHMARK(BM_DecodePreviewPng)->Unit(benchmark::kMillisecond);

// Times every piece of work the main thread runs for the loop it wraps.
class BlockTimingLoop final : public MainLoop {
 public:
  explicit BlockTimingLoop(PollMainLoop& loop) : loop_(loop) {}
  double longestBlock() const { return longest_; }
  template <class F>
  void timed(F&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    longest_ = std::max(longest_, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }

  const Clock& clock() const override { return loop_.clock(); }
  void post(std::function<void()> work) override {
    loop_.post([this, work = std::move(work)] { timed(work); });
  }
  TimerId startTimer(double delay, bool repeats, std::function<void()> fire) override {
    return loop_.startTimer(delay, repeats, [this, fire = std::move(fire)] { timed(fire); });
  }
  void cancelTimer(TimerId id) override { loop_.cancelTimer(id); }
  void runDetached(std::function<void()> work, std::function<void()> completion) override {
    loop_.runDetached(std::move(work), [this, completion = std::move(completion)] { timed(completion); });
  }
  WatchId watchReadable(int fd, std::function<void()> ready) override {
    return loop_.watchReadable(fd, [this, ready = std::move(ready)] { timed(ready); });
  }
  void unwatch(WatchId id) override { loop_.unwatch(id); }

 private:
  PollMainLoop& loop_;
  double longest_ = 0;
};

class NullLog final : public LogSink {
 public:
  void log(std::string_view) override {}
};

void BM_RestoreSixteenArchivedPreviews(benchmark::State& state) {
  const QtImageCodec codec;
  SystemClock clock;
  NullLog log;
  TemporaryDirectory temporary;
  const auto directory = LaunchPreviewArchive::defaultDirectory(Url::fileUrl((temporary / "data").string(), true));
  const LaunchPreviewArchive archive(directory, 16, codec, clock);
  for (int i = 0; i < 16; ++i) {
    std::filesystem::create_directories(temporary / ("App" + std::to_string(i) + ".app"));
    archive.save({Url::fileUrl((temporary / ("App" + std::to_string(i) + ".app")).string(), true), preview()},
                 Uuid::random());
  }
  PollMainLoop poll(clock);
  double longest = 0;
  std::size_t restored = 0;
  for (auto _ : state) {
    BlockTimingLoop loop(poll);
    LaunchPreviewCache cache(16, 1200, directory, false, LaunchPreviewCache::Services{codec, clock, loop, log});
    loop.timed([&] { cache.setPersistenceEnabled(true, false); });
    poll.runUntil([&] { return !cache.isRestoring(); }, 30);
    restored = cache.order().size();
    longest = std::max(longest, loop.longestBlock());
  }
  state.counters["restored"] = static_cast<double>(restored);
  state.counters["longest_main_block_ms"] = longest * 1000;
}
BENCHMARK(BM_RestoreSixteenArchivedPreviews)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace quillon

BENCHMARK_MAIN();
