// Random event streams against the router on fakes, with the gesture's invariants
// checked after every event. A failure names the seed and the shortest failing prefix.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <sstream>

#include "core/async/launch_async_wait_error.h"
#include "core/capture/surface_capture_error.h"
#include "core/input/router_rig.h"

namespace quillon {
namespace {

using namespace router_testing;
using Phase = LaunchSwitchSession::Phase;

enum class Kind {
  modifiers,
  move,
  scroll,
  escape,
  time,
  capture,
  switched,
  death,
  launch,
  screens,
  panelLost,
  surface,
  permissions,
  shortcut
};
constexpr const char* kNames[] = {"modifiers", "move",   "scroll",  "escape",    "time",    "capture",     "switched",
                                  "death",     "launch", "screens", "panelLost", "surface", "permissions", "shortcut"};

struct Event {
  Kind kind;
  unsigned a, b;  // choices, read modulo what is there when the event applies
  double x;
};

std::vector<Event> generate(std::uint64_t seed, std::size_t count) {
  std::mt19937_64 random(seed);
  std::discrete_distribution<int> kinds({12, 8, 30, 1, 12, 10, 5, 0.7, 3, 0.3, 0.5, 5, 0.3, 0.2});
  std::uniform_int_distribution<unsigned> choice(0, 1u << 20);
  std::uniform_real_distribution<double> seconds(0.01, 1.2);
  std::vector<Event> events(count);
  for (auto& event : events)
    event = {static_cast<Kind>(kinds(random)), choice(random), choice(random), seconds(random)};
  return events;
}

// Plays events against a fresh rig; the message of the first broken invariant, if any.
class Model {
 public:
  std::optional<std::string> play(const std::vector<Event>& events, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      if (auto broken = apply(events[i])) return "event " + std::to_string(i) + ": " + *broken;
    }
    r_.router->stop();
    r_.loop.runUntilIdle();
    if (r_.router->isCapturing() || r_.router->isCheckingReadiness() || r_.router->isCommitting() ||
        r_.router->isTicking() || r_.input.installedTapCount() != 0 || r_.overlay.isPresented()) {
      return std::string("stop left work running");
    }
    while (!r_.switches.empty()) r_.finishSwitch(std::nullopt);
    r_.loop.advance(30);
    if (r_.loop.pendingTimerCount() != 0) return std::string("timers left after stop");
    return std::nullopt;
  }

 private:
  struct PendingCapture {
    bool stale = false;
  };

  std::optional<std::string> apply(const Event& e) {
    auto& router = *r_.router;
    const Phase phase = router.session().phase();
    const Uuid token = router.session().token();
    const auto selected = router.session().selectedID();
    const bool changedSelection = selected != router.session().originalID();
    const int switchCalls = r_.switchCalls;
    const auto panels = r_.panels.panels().size();
    const auto snapshotAt = r_.router->snapshot() ? r_.router->snapshot()->sampledAtUptime : -1;
    std::optional<bool> staleCompletion;

    switch (e.kind) {
      case Kind::modifiers: {
        constexpr EventFlags choices[] = {0,
                                          kCommand,
                                          kCommand,
                                          0,
                                          kCommand,
                                          0,
                                          kCommand | kShift,
                                          kShift,
                                          LaunchModifierShortcut::optionFlag | kShift,
                                          kCommand | 0x100};
        r_.input.flags = choices[e.a % std::size(choices)];
        router.modifiersChanged(r_.input.flags, kOverNotch);
        break;
      }
      case Kind::move: router.cursorMoved({e.x * 1000, 900}); break;
      case Kind::scroll: {
        constexpr std::int64_t phases[] = {0, 0, 0, 1, 2, 4, 8, 128};
        ScrollEvent event{.flags = e.b % 20 == 0 ? (e.b % 3 ? kCommand | kShift : 0) : r_.input.flags,
                          .isContinuous = e.b % 3 == 0,
                          .scrollPhase = phases[e.a % std::size(phases)],
                          .momentumPhase = e.a % 9 == 0 ? 1 : 0,
                          .lineDeltaAxis1 = e.a % 7 == 0 ? 6.0 : 0.0,
                          .lineDeltaAxis2 = (e.x - 0.6) * 20,
                          .pointDeltaAxis2 = (e.x - 0.6) * 30};
        const bool expected = router.isCommandHeld() && phase == Phase::active &&
                              r_.router->shortcutState().shortcut().matches(event.flags) &&
                              router.sourceMatchesCurrent() && router.overlayVisible();
        if (router.shouldConsumeScroll(event, kOverNotch) != expected) {
          return std::string("scroll swallowed ") + (expected ? "false" : "true") + " in phase " +
                 std::to_string(static_cast<int>(phase));
        }
        break;
      }
      case Kind::escape: {
        const bool swallowed = r_.input.pressEscape();
        if (swallowed != (phase == Phase::preparing || phase == Phase::active)) return std::string("Escape misrouted");
        break;
      }
      case Kind::time: r_.loop.advance(e.x); break;
      case Kind::capture: {
        if (r_.surfaces->captures.empty()) break;
        const std::size_t index = e.a % r_.surfaces->captures.size();
        staleCompletion = pending_[index].stale;
        pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(index));
        const std::int32_t pid = e.b % 4 == 0 ? 999 : r_.running->pid;
        switch (e.b % 6) {
          case 0:
          case 1:
          case 2: r_.surfaces->complete(index, r_.snapshot(pid, e.x * 2.5)); break;
          case 3:
            r_.surfaces->complete(
                index, std::make_exception_ptr(SurfaceCaptureError::of(SurfaceCaptureError::Code::staleCapture)));
            break;
          case 4:
            r_.surfaces->complete(
                index, std::make_exception_ptr(SurfaceCaptureError::of(SurfaceCaptureError::Code::captureExcluded)));
            break;
          default: r_.surfaces->complete(index, std::make_exception_ptr(LaunchAsyncWaitError::alreadyRunning));
        }
        break;
      }
      case Kind::switched:
        if (r_.switches.empty()) break;
        if (phase != Phase::committing) staleCompletion = true;
        r_.finishSwitch(e.a % 3 == 0 ? std::nullopt : std::optional<std::int32_t>(nextPID_++));
        break;
      case Kind::death:
        r_.running->terminated = true;
        std::erase(r_.workspace.applications, r_.running);
        break;
      case Kind::launch:
        if (r_.running->terminated) {
          const ManagedNotchApp apps[] = {r_.aurora, r_.ember, r_.tide};
          r_.running = r_.run(apps[e.a % 3], nextPID_++);
          if (e.b % 2) r_.surfaces->expanded = RouterRig::target(r_.running->pid);
          r_.coordinator.refreshSoon();
        }
        break;
      case Kind::screens:
        r_.screens.changeScreens(e.a % 2 ? std::vector<Screen>{{1, {0, 0, 1512, 982}}}
                                         : std::vector<Screen>{{1, {0, 0, 1512, 982}}, {2, {1512, 0, 1920, 1080}}});
        router.screensChanged();
        break;
      case Kind::panelLost:
        if (!r_.panels.panels().empty()) r_.panels.panels().back()->visible = false;
        break;
      case Kind::surface: {
        const std::int32_t pid = e.b % 8 == 0 ? 999 : r_.running->pid;
        auto& slot = e.a % 2 ? r_.surfaces->expanded : r_.surfaces->revalidated;
        if (e.b % 4 == 0) slot.reset();
        else slot = RouterRig::target(pid);
        break;
      }
      case Kind::permissions:
        r_.input.refuseTaps = e.a % 8 == 0;  // input permission lost: no Escape tap can start
        router.permissionsChanged();
        break;
      case Kind::shortcut:
        router.updateShortcut(e.a % 2 ? LaunchModifierShortcut::command() : LaunchModifierShortcut::optionShift());
        break;
    }
    r_.loop.runUntilIdle();
    return check(e, phase, token, selected, changedSelection, switchCalls, panels, snapshotAt, staleCompletion);
  }

  std::optional<std::string> check(const Event& e, Phase before, const Uuid& token, const std::optional<Uuid>& selected,
                                   bool changedSelection, int switchCalls, std::size_t panels, double snapshotAt,
                                   std::optional<bool> staleCompletion) {
    auto& router = *r_.router;
    const Phase after = router.session().phase();
    const bool tokenChanged = router.session().token() != token;
    // Captures started before a cancel (or, for the readiness check, before a press)
    // belong to a gesture that is over.
    const bool cancelled = tokenChanged && before != Phase::committing && after != Phase::committing &&
                           !(before == Phase::idle && after != Phase::idle);
    const bool pressed = tokenChanged && before == Phase::idle && after != Phase::idle;
    for (std::size_t i = 0; i < pending_.size(); ++i) {
      const bool readiness = r_.surfaces->captures[i].point.has_value();
      if (cancelled && !readiness) pending_[i].stale = true;
      if (pressed && readiness) pending_[i].stale = true;
    }
    while (pending_.size() < r_.surfaces->captures.size()) pending_.push_back({});

    if (staleCompletion.value_or(false)) {
      const auto snapshotNow = router.snapshot() ? router.snapshot()->sampledAtUptime : -1;
      if (tokenChanged || after != before || r_.panels.panels().size() != panels ||
          (e.kind == Kind::capture && snapshotNow != snapshotAt)) {
        return std::string("a stale completion acted");
      }
    }
    if (r_.switchCalls != switchCalls) {
      if (r_.switchCalls != switchCalls + 1 || before != Phase::active || !changedSelection ||
          e.kind != Kind::modifiers) {
        return std::string("switch requested outside a committing release");
      }
      const auto apps = r_.registry.launchableApps();
      const auto app =
          std::find_if(apps.begin(), apps.end(), [&](const ManagedNotchApp& a) { return a.id == selected; });
      if (r_.switches.back().url != *r_.registry.resolvedURL(*app)) return std::string("switched to another app");
    }
    if (r_.input.installedTapCount() > 1) return std::string("two Escape taps");
    if (router.overlayVisible() && after == Phase::active && r_.input.installedTapCount() != 1) {
      return std::string("switcher up without a way to dismiss it");
    }
    if (after == Phase::idle || after == Phase::preparing) {
      if (r_.overlay.isPresented()) return std::string("switcher up without an active gesture");
    }
    if (after != Phase::preparing && after != Phase::active && r_.input.installedTapCount() != 0) {
      return std::string("Escape tap outlived the gesture");
    }
    if (after == Phase::idle) {
      if (router.isCommitting()) return std::string("commit work left after the gesture");
      const std::size_t timers = router.isRetryingArrival() ? 2 : 1;  // the tick, and a capture retry
      if (!router.isCheckingReadiness() && !r_.coordinator.isSwitching() && r_.loop.pendingTimerCount() != timers) {
        return "timers left after the gesture: " + std::to_string(r_.loop.pendingTimerCount());
      }
    }
    return std::nullopt;
  }

  RouterRig r_;
  std::vector<PendingCapture> pending_;
  std::int32_t nextPID_ = 300;
};

std::string describe(const std::vector<Event>& events, std::size_t length) {
  std::ostringstream out;
  for (std::size_t i = length > 40 ? length - 40 : 0; i < length; ++i) {
    out << "  #" << i << " " << kNames[static_cast<int>(events[i].kind)] << " a=" << events[i].a << " b=" << events[i].b
        << " x=" << events[i].x << "\n";
  }
  return out.str();
}

TEST(LaunchInputRouterModel, RandomEventStreamsKeepTheGestureInvariants) {
  const char* chosen = std::getenv("QUILLON_ROUTER_MODEL_SEED");
  const std::uint64_t seed = chosen ? std::strtoull(chosen, nullptr, 10) : 20261205;
  constexpr std::size_t count = 100000;
  const auto events = generate(seed, count);
  const auto failure = Model().play(events, count);
  if (!failure) return;
  // Invariants are checked after every event, so failing is monotone in the prefix
  // length: bisect for the shortest failing prefix.
  std::size_t passing = 0, failing = count;
  while (failing - passing > 1) {
    const std::size_t middle = passing + (failing - passing) / 2;
    (Model().play(events, middle) ? failing : passing) = middle;
  }
  ADD_FAILURE() << "seed " << seed << ": " << *Model().play(events, failing) << "\nshortest failing prefix: " << failing
                << " events, ending with\n"
                << describe(events, failing);
}

}  // namespace
}  // namespace quillon
