// quillon as a user starts it, with a registry of 16 apps and 16 archived previews:
// from the spawn to its icon showing in the tray, beside a bare Qt program that shows
// only a tray icon, measured in the same run on the same X server. With --idle SECONDS
// it instead leaves both running that long (one registered sample app running too) and
// prints the CPU time each used and its resident memory over the first and last 10 s.
// Run under scripts/with-x --tray.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>

#include "core/async/clock.h"
#include "core/capture/launch_preview_archive.h"
#include "core/product/data_directory.h"
#include "core/records/registry/app_registry.h"
#include "desktop/qt_image_codec.h"
#include "desktop/qt_user_defaults.h"
#include "linux/x11_connection.h"
#include "linux/x11_window_server.h"
#include "support/temporary_directory.h"
#include "support/test_app_bundle.h"

extern char** environ;

namespace quillon {
namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

constexpr int registeredApps = 16;
constexpr int trayHeight = 24;  // scripts/lib/xharness.sh starts the tray host so

// A home of its own with the registry and the archive filled; every process started
// afterwards inherits it through the environment.
class BenchHome {
 public:
  BenchHome() {
    const fs::path home = temporary_ / "home";
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    ::setenv("QUILLON_LOG", "stderr", 1);
    const fs::path support = home / ".local/share";
    DataDirectory::createMissingPrivately(support.string());
    const Url dataDirectory = DataDirectory::url(Url::fileUrl(support.string(), true));
    DataDirectory::createMissingPrivately(dataDirectory.path());

    std::vector<fs::path> bundles;
    for (const char* name : {"Aurora", "Ember", "Tide"}) {
      bundles.push_back(fs::path(QUILLON_BINARY_DIR) / "sample-apps" / (std::string(name) + ".app"));
    }
    for (int i = static_cast<int>(bundles.size()); i < registeredApps; ++i) {
      TestAppBundle bundle;
      bundle.identifier = "com.example.bench" + std::to_string(i);
      bundle.displayName = "Bench " + std::to_string(i);
      bundles.push_back(bundle.writeTo(temporary_ / "apps" / ("Bench" + std::to_string(i) + ".app")));
    }
    auto defaults = QtUserDefaults::forApplication();
    AppRegistry registry(SettingsStore(*defaults, dataDirectory));
    const QtImageCodec codec;
    const SystemClock clock;
    const LaunchPreviewArchive archive(LaunchPreviewArchive::defaultDirectory(dataDirectory), registeredApps, codec,
                                       clock);
    for (const auto& bundle : bundles) {
      const auto app = registry.add(directoryUrl(bundle));
      if (!app) throw std::runtime_error("could not register " + bundle.string());
      archive.save({app->bundleURL, previewImage()}, app->id);
    }
    // What is measured must be what the figures say.
    if (AppRegistry(SettingsStore(*defaults, dataDirectory)).apps().size() != bundles.size() ||
        archive.load().size() != bundles.size()) {
      throw std::runtime_error("the registry or the preview archive did not keep all " +
                               std::to_string(bundles.size()));
    }
    aurora_ = bundles.front() / "Contents/MacOS/Aurora";
  }

  const fs::path& aurora() const { return aurora_; }
  fs::path logPath(const std::string& name) const { return temporary_ / (name + ".log"); }

 private:
  // A notch capture's size, with enough detail that the PNG is not trivially small.
  static Bitmap previewImage() {
    Bitmap image = Bitmap::transparent(1200, 300);
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) {
        auto* p = image.pixel(x, y);
        p[0] = static_cast<std::uint8_t>(x * 255 / image.width);
        p[1] = static_cast<std::uint8_t>((x / 3 + y / 5) % 2 ? 200 : 60);
        p[2] = static_cast<std::uint8_t>(y * 255 / image.height);
        p[3] = 255;
      }
    }
    return image;
  }

  TemporaryDirectory temporary_;
  fs::path aurora_;
};

BenchHome& home() {
  static BenchHome instance;
  return instance;
}

// A child process with its output in a log; stopped by SIGTERM when it goes.
class Child {
 public:
  Child(const std::string& program, const fs::path& log) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Child() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

// The tray host sizes its panel to its icons: one icon makes it at least a square.
class TrayWatch {
 public:
  TrayWatch() : x11_(X11Connection::open()) {
    if (!x11_) throw std::runtime_error("no X display; run under scripts/with-x --tray");
    windows_ = std::make_unique<X11WindowServer>(*x11_);
  }
  bool showsAnIcon() const {
    const double width = x11_->screen().width_in_pixels;
    for (const auto& row : windows_->onScreenWindows(false)) {
      if (row.bounds && row.bounds->y == 0 && row.bounds->height == trayHeight && row.bounds->maxX() == width &&
          row.bounds->width >= trayHeight) {
        return true;
      }
    }
    return false;
  }
  // False when `shown` did not become the answer within `seconds`.
  bool waitUntil(bool shown, double seconds) const {
    const auto end = SteadyClock::now() + std::chrono::duration<double>(seconds);
    while (showsAnIcon() != shown) {
      if (SteadyClock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return true;
  }

 private:
  std::unique_ptr<X11Connection> x11_;
  std::unique_ptr<X11WindowServer> windows_;
};

void startToTrayIcon(benchmark::State& state, const std::string& program) {
  home();
  const TrayWatch tray;
  if (!tray.waitUntil(false, 10)) {
    state.SkipWithError("the tray already shows an icon");
    return;
  }
  for (auto _ : state) {
    const auto start = SteadyClock::now();
    auto child = std::make_unique<Child>(program, home().logPath("start"));
    if (!tray.waitUntil(true, 30)) {
      state.SkipWithError("no tray icon appeared");
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(SteadyClock::now() - start).count());
    child.reset();
    tray.waitUntil(false, 10);
  }
}

void BM_QuillonStartToTrayIcon(benchmark::State& state) { startToTrayIcon(state, QUILLON_EXECUTABLE); }
BENCHMARK(BM_QuillonStartToTrayIcon)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

void BM_BareQtTrayStartToTrayIconReference(benchmark::State& state) { startToTrayIcon(state, QUILLON_BARE_TRAY); }
BENCHMARK(BM_BareQtTrayStartToTrayIconReference)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

// The CPU time (user and system) a process used so far and its resident set, from /proc.
struct Usage {
  double cpuSeconds = 0;
  double residentMiB = 0;
};

Usage usageOf(pid_t pid) {
  Usage usage;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // Fields after the command name, which may hold spaces and ends at the last ')'.
  const auto close = text.rfind(')');
  if (close == std::string::npos) return usage;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int index = 3; fields >> field; ++index) {
    if (index == 14) utime = std::stoull(field);
    if (index == 15) {
      stime = std::stoull(field);
      break;
    }
  }
  usage.cpuSeconds = static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) usage.residentMiB = std::stod(line.substr(6)) / 1024.0;
  }
  return usage;
}

int idle(double seconds) {
  home();
  const TrayWatch tray;
  const Child app(home().aurora().string(), home().logPath("aurora"));
  const Child quillon(QUILLON_EXECUTABLE, home().logPath("quillon"));
  if (!tray.waitUntil(true, 30)) {
    std::fprintf(stderr, "quillon showed no tray icon\n");
    return 1;
  }
  const Child bare(QUILLON_BARE_TRAY, home().logPath("bare"));
  // Both icons in, then a second to settle: the start's own work is not idling.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  struct Series {
    const char* name;
    pid_t pid;
    std::vector<Usage> samples;
  };
  Series series[] = {{"quillon (16 apps, 1 running)", quillon.pid(), {}},
                     {"bare Qt tray icon (reference)", bare.pid(), {}}};
  const auto start = SteadyClock::now();
  for (int second = 0; second <= static_cast<int>(seconds); ++second) {
    std::this_thread::sleep_until(start + std::chrono::seconds(second));
    for (auto& s : series) s.samples.push_back(usageOf(s.pid));
  }
  const std::size_t window = std::min<std::size_t>(10, series[0].samples.size() / 2);
  std::printf("idle for %.0f s (resident memory: mean of the first and of the last %zu s)\n", seconds, window);
  std::printf("%-32s %12s %10s %16s %16s\n", "", "CPU s", "% of core", "RSS first MiB", "RSS last MiB");
  for (const auto& s : series) {
    const auto mean = [&](std::size_t from) {
      double total = 0;
      for (std::size_t i = from; i < from + window; ++i) total += s.samples[i].residentMiB;
      return total / static_cast<double>(window);
    };
    const double cpu = s.samples.back().cpuSeconds - s.samples.front().cpuSeconds;
    std::printf("%-32s %12.3f %10.4f %16.1f %16.1f\n", s.name, cpu, 100.0 * cpu / seconds, mean(0),
                mean(s.samples.size() - window));
  }
  return 0;
}

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
  // The registry and the archive are written through Qt's settings and image codec.
  QCoreApplication application(argc, argv);
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--idle") == 0) return quillon::idle(std::atof(argv[i + 1]));
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
