// The X11 adapters' costs on a live X server with real sample notch apps: one read of
// the window list, one hit-test, one capture of an expanded surface and one display
// capture of two surfaces; and a whole surface capture (selection, screenshot, masks
// off the main thread, identity re-check) beside the bare image fetch of the same
// window. The window probe and the capture run these on every input
// tick, so they are worth watching. Also one wheel press from XTest to the app under the
// pointer, with the chord held, with the event tap observing beside the same press
// without a tap; and a chord press until the router has it and, for the switcher, the
// tap holds the pointer, beside the same press without the grab (the path before the
// tap took the pointer). Run under an X server: scripts/with-x <this program>.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/async/clock.h"
#include "core/async/poll_main_loop.h"
#include "core/capture/launch_surface_capture.h"
#include "core/capture/launch_window_target_probe.h"
#include "core/input/input_router.h"
#include "core/input/launch_input_trace.h"
#include "core/platform/log_sink.h"
#include "linux/process_running_application.h"
#include "linux/x11_accessibility.h"
#include "linux/x11_connection.h"
#include "linux/x11_global_event_tap.h"
#include "linux/x11_screen_capture_service.h"
#include "linux/x11_screens.h"
#include "linux/x11_window_server.h"
#include "linux/x11_worker_connection.h"
#include "sample_app_process.h"

namespace quillon {
namespace {

struct Desktop {
  std::unique_ptr<X11Connection> connection;
  std::unique_ptr<X11ScreenCaptureService> capture;
  std::unique_ptr<X11WindowServer> windows;
  std::unique_ptr<X11Accessibility> accessibility;
  std::unique_ptr<SampleAppProcess> aurora;
  std::unique_ptr<SampleAppProcess> ember;
  std::uint32_t displayID = 0;
};
Desktop* desktop = nullptr;

// Twenty ordinary windows of another client, so the list is not trivially short.
void addOrdinaryWindows(xcb_connection_t* c, xcb_window_t root) {
  for (int i = 0; i < 20; ++i) {
    const xcb_window_t window = xcb_generate_id(c);
    const std::uint32_t values[] = {0x808080U};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, root, static_cast<std::int16_t>(40 * i),
                      static_cast<std::int16_t>(200 + 10 * i), 300, 200, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL, values);
    xcb_map_window(c, window);
  }
  xcb_flush(c);
}

void BM_WindowList(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(desktop->windows->onScreenWindows(true));
}
BENCHMARK(BM_WindowList)->Unit(benchmark::kMicrosecond);

void BM_HitTest(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(desktop->accessibility->elementAtPoint({756, 65}, 0.03));
}
BENCHMARK(BM_HitTest)->Unit(benchmark::kMicrosecond);

void BM_CaptureExpandedSurface(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(desktop->capture->windowImage(desktop->aurora->window(), {}));
}
BENCHMARK(BM_CaptureExpandedSurface)->Unit(benchmark::kMicrosecond);

void BM_CaptureDisplayRegionOfTwoSurfaces(benchmark::State& state) {
  const std::vector<std::uint32_t> ids{desktop->aurora->window(), desktop->ember->window()};
  const CaptureConfiguration configuration{1020, 120, {246, 0, 1020, 120}, false, true};
  for (auto _ : state) {
    benchmark::DoNotOptimize(desktop->capture->displayImage(desktop->displayID, ids, configuration));
  }
}
BENCHMARK(BM_CaptureDisplayRegionOfTwoSurfaces)->Unit(benchmark::kMicrosecond);

class NullLogSink final : public LogSink {
 public:
  void log(std::string_view) override {}
};

// An app of its own at the top centre, where a capture accepts the surface.
void BM_SurfaceCaptureEndToEnd(benchmark::State& state) {
  SampleAppProcess tide("Tide", {"--pinned"});
  if (!tide.waitUntilMapped()) return state.SkipWithError("Tide did not map its surface");
  SystemClock clock;
  PollMainLoop loop(clock);
  NullLogSink log;
  LaunchSurfaceCapture capture(loop, *desktop->capture, *desktop->windows, log);
  const std::shared_ptr<const RunningApplication> application = ProcessRunningApplication::forProcess(tide.pid());
  for (auto _ : state) {
    std::optional<Result<LaunchSurfaceSnapshot>> outcome;
    auto handle =
        spawn<LaunchSurfaceSnapshot>(loop, capture.capture(application, std::nullopt),
                                     [&](Result<LaunchSurfaceSnapshot> result) { outcome.emplace(std::move(result)); });
    loop.runUntil([&] { return outcome.has_value(); }, 5.0);
    if (!outcome || !outcome->hasValue()) return state.SkipWithError("the capture failed");
  }
}
BENCHMARK(BM_SurfaceCaptureEndToEnd)->Unit(benchmark::kMicrosecond);

// Rewrites a property of a window of its own in a loop, each change a round trip, until
// killed: the body of the busy client below.
[[noreturn]] void churnProperties() {
  auto connection = X11Connection::open();
  if (!connection) std::_Exit(1);
  auto* c = connection->get();
  const xcb_window_t window = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, connection->root(), 0, 0, 10, 10, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    XCB_COPY_FROM_PARENT, 0, nullptr);
  std::vector<std::uint8_t> payload(64 * 1024, 0x5a);
  for (;;) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(payload.size()), payload.data());
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  }
}

constexpr std::string_view kBusyClientArgument = "--busy-client";

// Another client that keeps the server busy, so that the server shares its time with it
// the way a busy desktop does. A process of its own (this program run again), as another
// client is: a thread here would also share this process's memory map and allocator
// with the code measured.
class BusyClient {
 public:
  explicit BusyClient(bool enabled) {
    if (!enabled) return;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    pid_ = ::fork();
    if (pid_ == 0) {
      ::execl(self.c_str(), self.c_str(), kBusyClientArgument.data(), static_cast<char*>(nullptr));
      std::_Exit(127);
    }
  }
  BusyClient(const BusyClient&) = delete;
  BusyClient& operator=(const BusyClient&) = delete;
  ~BusyClient() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }

 private:
  pid_t pid_ = -1;
};

double threadCpuMicroseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

long voluntarySwitches() {
  rusage usage{};
  ::getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_nvcsw;
}

// A main loop that times every piece of work it runs on the main thread: the longest is
// how long the main thread was held at once. Whether the thread gave up the processor on
// its own inside a piece (it waited for something: a reply, a lock) tells a piece that
// waits apart from one that other busy threads on the same cores merely delayed.
class TimedLoop final : public MainLoop {
 public:
  explicit TimedLoop(PollMainLoop& loop) : loop_(loop) {}
  double longest = 0;          // microseconds of wall time
  double longestCpu = 0;       // microseconds the thread itself ran in one piece
  int waits = 0;               // pieces in which the thread blocked
  std::vector<double> pieces;  // every piece's wall time, for percentiles

  // The wall time that `share` of the pieces stayed within: the longest piece is one
  // sample, and a shared machine sometimes stops a thread for milliseconds.
  double percentile(double share) {
    if (pieces.empty()) return 0;
    const auto at = pieces.begin() + static_cast<std::ptrdiff_t>(share * static_cast<double>(pieces.size() - 1));
    std::nth_element(pieces.begin(), at, pieces.end());
    return *at;
  }

  // Times `work` as one piece of main-thread work.
  void timed(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = threadCpuMicroseconds();
    const long blockedBefore = voluntarySwitches();
    work();
    const double took = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    longest = std::max(longest, took);
    longestCpu = std::max(longestCpu, threadCpuMicroseconds() - cpuStart);
    pieces.push_back(took);
    if (voluntarySwitches() != blockedBefore) ++waits;
  }
  std::function<void()> wrap(std::function<void()> work) {
    return [this, work = std::move(work)] { timed(work); };
  }

  const Clock& clock() const override { return loop_.clock(); }
  void post(std::function<void()> work) override { loop_.post(wrap(std::move(work))); }
  TimerId startTimer(double delay, bool repeats, std::function<void()> fire) override {
    return loop_.startTimer(delay, repeats, wrap(std::move(fire)));
  }
  void cancelTimer(TimerId id) override { loop_.cancelTimer(id); }
  void runDetached(std::function<void()> work, std::function<void()> completion) override {
    loop_.runDetached(std::move(work), wrap(std::move(completion)));
  }
  WatchId watchReadable(int fd, std::function<void()> ready) override {
    return loop_.watchReadable(fd, wrap(std::move(ready)));
  }
  void unwatch(WatchId id) override { loop_.unwatch(id); }

 private:
  PollMainLoop& loop_;
};

// The same capture as the product makes it, its requests, window lists and pixels on a
// worker thread over a connection of its own, followed by the check of the kept capture
// against the screen that the notch-surface service makes, with the longest piece of
// main-thread work they took; the bare window fetch below is the reference. With
// `busy`, another client keeps the server working (window property churn) meanwhile.
void BM_SurfaceCaptureOffTheMainThread(benchmark::State& state) {
  SampleAppProcess tide("Tide", {"--pinned"});
  if (!tide.waitUntilMapped()) return state.SkipWithError("Tide did not map its surface");
  SystemClock clock;
  PollMainLoop poll(clock);
  TimedLoop loop(poll);
  NullLogSink log;
  X11ScreenCaptureService service(*desktop->connection);
  service.captureOffMainThread(loop, X11Connection::open());
  X11WindowServer windows(*desktop->connection);
  windows.readOffMainThread(service.worker());
  X11Screens screens(*desktop->connection);
  screens.screens();  // the product reads them at start, long before a capture
  LaunchWindowTargetProbe probe(windows, *desktop->accessibility, screens, clock, getpid());
  LaunchSurfaceCapture capture(loop, service, windows, log);
  const std::shared_ptr<const RunningApplication> application = ProcessRunningApplication::forProcess(tide.pid());
  BusyClient busy(state.range(0) != 0);
  for (auto _ : state) {
    std::optional<Result<LaunchSurfaceSnapshot>> outcome;
    TaskHandle handle;
    loop.timed([&] {
      handle = spawn<LaunchSurfaceSnapshot>(
          loop, capture.capture(application, std::nullopt),
          [&](Result<LaunchSurfaceSnapshot> result) { outcome.emplace(std::move(result)); });
    });
    poll.runUntil([&] { return outcome.has_value(); }, 5.0);
    if (!outcome || !outcome->hasValue()) return state.SkipWithError("the capture failed");
    std::optional<Result<std::optional<LaunchWindowTarget>>> checked;
    const LaunchSurfaceSnapshot& snapshot = outcome->value();
    loop.timed([&] {
      handle = spawn<std::optional<LaunchWindowTarget>>(
          loop, probe.readAndRevalidate(snapshot, *application, 1.25, false),
          [&](Result<std::optional<LaunchWindowTarget>> result) { checked.emplace(std::move(result)); });
    });
    poll.runUntil([&] { return checked.has_value(); }, 5.0);
    // Its answer depends on the other windows over the notch; its cost is what counts.
    if (!checked || !checked->hasValue()) return state.SkipWithError("the check did not finish");
  }
  state.counters["longest_main_block_us"] = loop.longest;
  // Wall time beyond this was the machine running something else on the main thread's core.
  state.counters["longest_main_cpu_us"] = loop.longestCpu;
  state.counters["p99_main_block_us"] = loop.percentile(0.99);
  state.counters["main_pieces_that_waited"] = loop.waits;
  state.counters["tree_walks_per_capture"] = benchmark::Counter(
      static_cast<double>(service.worker()->wholeWindowReadings()), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SurfaceCaptureOffTheMainThread)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The reference for the main thread's longest piece above: as many hand-offs to a worker
// thread and back as a capture with its re-check makes, each doing nothing. Whatever
// its longest piece is, the machine charges the main thread for handing work over at all.
void BM_HandOffsAlone(benchmark::State& state) {
  SystemClock clock;
  PollMainLoop poll(clock);
  TimedLoop loop(poll);
  BusyClient busy(state.range(0) != 0);
  constexpr int kHandOffsPerCapture = 7;
  for (auto _ : state) {
    int done = 0;
    for (int i = 0; i < kHandOffsPerCapture; ++i) {
      loop.timed([&] { loop.runDetached([] {}, [&] { ++done; }); });
      poll.runUntil([&] { return done == i + 1; }, 5.0);
    }
  }
  state.counters["longest_main_block_us"] = loop.longest;
  state.counters["longest_main_cpu_us"] = loop.longestCpu;
  state.counters["p99_main_block_us"] = loop.percentile(0.99);
}
BENCHMARK(BM_HandOffsAlone)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_BareFetchOfTheSameWindow(benchmark::State& state) {
  SampleAppProcess tide("Tide", {"--pinned"});
  if (!tide.waitUntilMapped()) return state.SkipWithError("Tide did not map its surface");
  BusyClient busy(state.range(0) != 0);
  Bitmap image;
  for (auto _ : state) {
    image = desktop->capture->windowImage(tide.window(), {});
    benchmark::DoNotOptimize(image);
  }
  state.counters["pixels"] = static_cast<double>(image.width) * image.height;
}
BENCHMARK(BM_BareFetchOfTheSameWindow)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Declines every scroll; remembers the last modifiers.
class DecliningRouter final : public ModifierInputRouter {
 public:
  EventFlags flags = 0;
  void commandChanged(bool, ScreenPoint) override {}
  void cursorMoved(ScreenPoint) override {}
  bool shouldConsumeScroll(const ScrollEvent&, ScreenPoint) override { return false; }
  void modifiersChanged(EventFlags changed, ScreenPoint) override { flags = changed; }
  void inputObservationInterrupted(EventFlags) override {}
};

// A tap on a connection of its own, with a user's connection for XTest input.
struct TapBench {
  std::unique_ptr<X11Connection> input = X11Connection::open();
  std::unique_ptr<X11Connection> tapConnection = X11Connection::open();
  SystemClock clock;
  PollMainLoop loop{clock};
  NullLogSink log;
  DecliningRouter router;
  X11Screens screens{*tapConnection};
  LaunchInputTrace trace{std::nullopt, clock};
  X11GlobalEventTap tap{*tapConnection, loop, router, screens, trace, log};
};

// The key the server's keymap gives Super_L (the command chord); 0 when none does.
std::uint8_t superKeycode(xcb_connection_t* c) {
  const xcb_setup_t* setup = xcb_get_setup(c);
  const auto count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
  XcbReply<xcb_get_keyboard_mapping_reply_t> map(
      xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, setup->min_keycode, count), nullptr));
  for (int i = 0; map && i < xcb_get_keyboard_mapping_keysyms_length(map.get()); ++i) {
    if (xcb_get_keyboard_mapping_keysyms(map.get())[i] == 0xffeb) {
      return static_cast<std::uint8_t>(setup->min_keycode + i / map->keysyms_per_keycode);
    }
  }
  return 0;
}

// Super pressed by XTest until the router has it; with `grab`, the switcher then comes
// up and the tap takes the pointer. The release and the claim's end are not timed.
// Registered before the scroll delivery: run after it, these presses never reached the
// tap (the cause is not known yet).
void chordPress(benchmark::State& state, bool grab) {
  TapBench bench;
  auto& [input, tapConnection, clock, loop, log, router, screens, trace, tap] = bench;
  if (!tap.start()) return state.SkipWithError("the tap did not start");
  auto* c = input->get();
  const std::uint8_t super = superKeycode(c);
  if (super == 0) return state.SkipWithError("no Super_L in the keymap");
  // Other modifiers (a lock left by an earlier benchmark) do not matter here.
  const auto until = [&](bool held) {
    while (((router.flags & LaunchModifierShortcut::commandFlag) != 0) != held) {
      pollfd fd{xcb_get_file_descriptor(tapConnection->get()), POLLIN, 0};
      if (::poll(&fd, 1, 5000) <= 0) return false;
      tapConnection->dispatchPending();
    }
    return true;
  };
  for (auto _ : state) {
    xcb_test_fake_input(c, XCB_KEY_PRESS, super, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(c);
    if (!until(true)) return state.SkipWithError("the press never came");
    if (grab) tap.claimScrolls(true);
    state.PauseTiming();
    tap.claimScrolls(false);
    xcb_test_fake_input(c, XCB_KEY_RELEASE, super, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(c);
    if (!until(false)) return state.SkipWithError("the release never came");
    state.ResumeTiming();
  }
}

void BM_ChordPressToSwitcherWithoutGrab(benchmark::State& state) { chordPress(state, false); }
BENCHMARK(BM_ChordPressToSwitcherWithoutGrab)->Unit(benchmark::kMicrosecond);

void BM_ChordPressToSwitcherWithPointerGrab(benchmark::State& state) { chordPress(state, true); }
BENCHMARK(BM_ChordPressToSwitcherWithPointerGrab)->Unit(benchmark::kMicrosecond);

// Scrolls over a pinned Aurora of its own with Super (the command chord) held; with a
// tap, its connection is served while the app's report is awaited.
void scrollDelivery(benchmark::State& state, bool withTap) {
  SampleAppProcess app("Aurora", {"--pinned"});
  if (!app.waitUntilMapped()) return state.SkipWithError("Aurora did not map its surface");
  TapBench bench;
  auto& [input, tapConnection, clock, loop, log, router, screens, trace, tap] = bench;
  if (withTap && !tap.start()) return state.SkipWithError("the tap did not start");
  auto* c = input->get();
  const auto fake = [&](std::uint8_t type, std::uint8_t detail, std::int16_t x = 0, std::int16_t y = 0) {
    xcb_test_fake_input(c, type, detail, XCB_CURRENT_TIME, input->root(), x, y, 0);
  };
  const std::uint8_t super = superKeycode(c);
  fake(XCB_MOTION_NOTIFY, 0, 756, 10);
  fake(XCB_KEY_PRESS, super);
  xcb_flush(c);
  for (auto _ : state) {
    fake(XCB_BUTTON_PRESS, 6);
    fake(XCB_BUTTON_RELEASE, 6);
    xcb_flush(c);
    for (bool delivered = false; !delivered;) {
      pollfd fds[2] = {{xcb_get_file_descriptor(tapConnection->get()), POLLIN, 0}, {app.outputFd(), POLLIN, 0}};
      if (::poll(fds, 2, 5000) <= 0) return state.SkipWithError("the app did not report the scroll");
      if (fds[0].revents != 0) tapConnection->dispatchPending();
      if (fds[1].revents != 0) delivered = app.nextLine(5.0).rfind("scroll ", 0) == 0;
    }
  }
  fake(XCB_KEY_RELEASE, super);
  xcb_flush(c);
}

void BM_ScrollToTheAppWithoutTap(benchmark::State& state) { scrollDelivery(state, false); }
BENCHMARK(BM_ScrollToTheAppWithoutTap)->Unit(benchmark::kMicrosecond);

void BM_ScrollToTheAppThroughTheTap(benchmark::State& state) { scrollDelivery(state, true); }
BENCHMARK(BM_ScrollToTheAppThroughTheTap)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
  using namespace quillon;
  if (argc == 2 && argv[1] == kBusyClientArgument) churnProperties();
  Desktop state;
  state.connection = X11Connection::open();
  if (!state.connection) {
    std::fprintf(stderr, "no X display; run under scripts/with-x\n");
    return 1;
  }
  state.capture = std::make_unique<X11ScreenCaptureService>(*state.connection);
  state.windows = std::make_unique<X11WindowServer>(*state.connection);
  state.accessibility = std::make_unique<X11Accessibility>(*state.connection);
  auto other = X11Connection::open();
  addOrdinaryWindows(other->get(), other->root());
  state.aurora =
      std::make_unique<SampleAppProcess>("Aurora", std::vector<std::string>{"--pinned", "--offset-x", "-300"});
  state.ember = std::make_unique<SampleAppProcess>("Ember", std::vector<std::string>{"--pinned", "--offset-x", "300"});
  if (!state.aurora->waitUntilMapped() || !state.ember->waitUntilMapped()) {
    std::fprintf(stderr, "the sample apps did not map their surfaces\n");
    return 1;
  }
  state.displayID = state.capture->currentContent().displays.front().displayID;
  desktop = &state;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
