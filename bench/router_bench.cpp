// What one input event costs in the gesture's state machine, with 1, 16 and 256
// registered apps: a pointer move between gestures (the prefetch decision), a scroll
// while the switcher is up that stays below a page, one that pages the carousel, and a
// modifier change that does nothing, and a stream of smooth scrolling. Beside them, in the same run: an empty callback
// through std::function (the floor of any event delivery) and the bare scroll
// accumulator the router feeds.
#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <string>

#include "core/input/router_rig.h"

namespace quillon {
namespace {

using namespace router_testing;

// The rig with `count` registered apps in all (Aurora, Ember, Tide and fillers), the
// trace off, and a capture already running so moves only decide.
std::unique_ptr<RouterRig> rig(int count) {
  auto r = std::make_unique<RouterRig>();
  for (int i = 3; i < count; ++i) {
    const auto name = "Filler" + std::to_string(i);
    r->registry.add(directoryUrl(r->app(name, "com.example." + name)));
  }
  r->router->cursorMoved(kOverNotch);
  r->loop.runUntilIdle();
  return r;
}

void BM_EmptyCallback(benchmark::State& state) {
  int calls = 0;
  std::function<void(ScreenPoint)> callback = [&calls](ScreenPoint) { ++calls; };
  benchmark::DoNotOptimize(&callback);
  for (auto _ : state) callback(kOverNotch);
  benchmark::DoNotOptimize(calls);
}
BENCHMARK(BM_EmptyCallback);

void BM_BareAccumulator(benchmark::State& state) {
  FakeUserDefaults defaults;
  FakeLogSink log;
  InputTuning tuning(defaults);
  ScrollAccumulator accumulator;
  double now = 0;
  for (auto _ : state) benchmark::DoNotOptimize(accumulator.accumulate(-0.5, 0, now += 0.001, tuning, log));
}
BENCHMARK(BM_BareAccumulator);

void BM_RouterMove(benchmark::State& state) {
  auto r = rig(static_cast<int>(state.range(0)));
  for (auto _ : state) r->router->cursorMoved(kOverNotch);
}
BENCHMARK(BM_RouterMove)->Arg(1)->Arg(16)->Arg(256);

void BM_RouterIgnoredModifier(benchmark::State& state) {
  auto r = rig(static_cast<int>(state.range(0)));
  for (auto _ : state) r->router->modifiersChanged(kShift, kOverNotch);
}
BENCHMARK(BM_RouterIgnoredModifier)->Arg(1)->Arg(16)->Arg(256);

void BM_RouterScrollBelowAPage(benchmark::State& state) {
  auto r = rig(static_cast<int>(state.range(0)));
  r->modifiers(kCommand);
  ScrollEvent event{.flags = kCommand, .lineDeltaAxis2 = -0.5};
  for (auto _ : state) {
    r->clock.advance(0.001);
    benchmark::DoNotOptimize(r->router->shouldConsumeScroll(event, kOverNotch));
  }
  state.counters["active"] = r->router->session().phase() == LaunchSwitchSession::Phase::active;
}
BENCHMARK(BM_RouterScrollBelowAPage)->Arg(1)->Arg(16)->Arg(256);

void BM_RouterScrollPaging(benchmark::State& state) {
  auto r = rig(static_cast<int>(state.range(0)));
  r->modifiers(kCommand);
  ScrollEvent event{.flags = kCommand, .lineDeltaAxis2 = -10};
  for (auto _ : state) {
    r->clock.advance(0.2);
    benchmark::DoNotOptimize(r->router->shouldConsumeScroll(event, kOverNotch));
  }
  state.counters["active"] = r->router->session().phase() == LaunchSwitchSession::Phase::active;
}
BENCHMARK(BM_RouterScrollPaging)->Arg(1)->Arg(16)->Arg(256);

// A stream of smooth-scroll events as the X11 tap reports a touchpad swipe (half an
// increment each, 0.8 points; a page every ten), 4 ms apart: the common case of paging.
void BM_RouterSmoothScroll(benchmark::State& state) {
  auto r = rig(static_cast<int>(state.range(0)));
  r->modifiers(kCommand);
  ScrollEvent event{.flags = kCommand, .isContinuous = true, .lineDeltaAxis2 = -0.5, .pointDeltaAxis2 = -0.8};
  for (auto _ : state) {
    r->clock.advance(0.004);
    benchmark::DoNotOptimize(r->router->shouldConsumeScroll(event, kOverNotch));
  }
  state.counters["active"] = r->router->session().phase() == LaunchSwitchSession::Phase::active;
}
BENCHMARK(BM_RouterSmoothScroll)->Arg(1)->Arg(16)->Arg(256);

}  // namespace
}  // namespace quillon

BENCHMARK_MAIN();
