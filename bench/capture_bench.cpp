// The pixel analysis of a capture against the cheapest thing that touches the same
// pixels: a plain copy. A 2400 × 600 premultiplied capture (a 1200 × 300 point notch
// at scale 2) with a rounded opaque body and transparent corners. Printed beside each
// other, with the ratio, from one run on one machine.
#include <benchmark/benchmark.h>

#include <cstring>
#include <iostream>
#include <map>
#include <string>

#include "core/capture/launch_capture_backing_policy.h"
#include "core/capture/surface_alpha_mask.h"
#include "support/surface_images.h"

namespace quillon {
namespace {

const Bitmap& capture() {
  static const Bitmap image = surfaceWithMargin(2400, 600, 48);
  return image;
}

void BM_MemcpyOfTheCapture(benchmark::State& state) {
  const Bitmap& image = capture();
  std::vector<std::uint8_t> copy(image.pixels.size(), 1);
  for (auto _ : state) {
    std::memcpy(copy.data(), image.pixels.data(), image.pixels.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(image.pixels.size()));
}
BENCHMARK(BM_MemcpyOfTheCapture)->Unit(benchmark::kMicrosecond);

// What a snapshot builds: the mask at the interaction threshold and the drawn
// surface's bounds at alpha 8, in one pass.
void BM_SnapshotMasks(benchmark::State& state) {
  const Bitmap& image = capture();
  for (auto _ : state) benchmark::DoNotOptimize(SurfaceAlphaMask::withBoundsAt(image, 128, 8));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(capture().pixels.size()));
}
BENCHMARK(BM_SnapshotMasks)->Unit(benchmark::kMicrosecond);

// The same two masks built one after the other, for comparison.
void BM_TwoSeparateMasks(benchmark::State& state) {
  const Bitmap& image = capture();
  for (auto _ : state) {
    benchmark::DoNotOptimize(SurfaceAlphaMask(image, 128));
    benchmark::DoNotOptimize(SurfaceAlphaMask(image, 8));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(capture().pixels.size()));
}
BENCHMARK(BM_TwoSeparateMasks)->Unit(benchmark::kMicrosecond);

void BM_OpaqueBlackCanvasCheck(benchmark::State& state) {
  const Bitmap canvas = filledImage(2400, 600, 0, 0, 0, 255);
  for (auto _ : state) benchmark::DoNotOptimize(LaunchCaptureBackingPolicy::isOpaqueBlackCanvas(canvas));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(canvas.pixels.size()));
}
BENCHMARK(BM_OpaqueBlackCanvasCheck)->Unit(benchmark::kMicrosecond);

// Prints as usual, then each benchmark's time as a multiple of the copy's. CPU time:
// on a shared machine the wall time mostly measures the other processes.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs) {
      if (run.run_type == Run::RT_Iteration) times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto copy = times_.find("BM_MemcpyOfTheCapture");
    if (copy == times_.end() || copy->second <= 0) return;
    for (const auto& [name, time] : times_) {
      if (name != copy->first) std::cout << name << ": " << time / copy->second << " x memcpy\n";
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  quillon::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
