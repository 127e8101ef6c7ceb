#include "core/input/launch_input_router.h"

#include <gtest/gtest.h>

#include <functional>

#include "core/capture/surface_capture_error.h"
#include "core/input/router_rig.h"
#include "core/overlay/launch_switcher_content_view.h"

namespace quillon {
namespace {

using namespace router_testing;
using Phase = LaunchSwitchSession::Phase;

std::string lastCancel(const FakeLogSink& log) {
  for (auto line = log.lines().rbegin(); line != log.lines().rend(); ++line) {
    if (line->starts_with("[Quillon/launch-input] cancelled: ")) return line->substr(34);
  }
  return "";
}

TEST(LaunchInputRouter, TracesOneGestureInTheRecordFormat) {
  RouterRig r(true);
  r.modifiers(kCommand);
  r.modifiers(0);
  EXPECT_EQ(r.traceLines(),
            (std::vector<std::string>{
                "router.init shortcut=0x100000 initialFlags=0x0 held=false",
                "router.modifier flags=0x100000 shortcut=0x100000 action=press nearCandidate=true phase=idle",
                "router.press admitted pid=101 appCount=3",
                "initial presentation pid=101 image=false edgeLatency=0.000 visible=true",
                "router.modifier flags=0x0 shortcut=0x100000 action=release nearCandidate=true phase=active",
                "router.release received phase=active",
                "cancel reason=release without changed selection phase=idle",
            }));
  EXPECT_EQ(
      r.log.lines().back(),
      "[Quillon/launch-input] hotkey release phase=active inside=not-required sourceMatches=yes overlayVisible=yes "
      "heldInSystem=no activeAge=0.000");
  EXPECT_FALSE(r.overlay.isPresented());
  EXPECT_EQ(r.input.installedTapCount(), 0);
}

TEST(LaunchInputRouter, AdmitsOrRefusesEachPressWithItsTracedReason) {
  struct Row {
    const char* name;
    std::function<void(RouterRig&)> before;
    std::string record;  // what the press under test records
    Phase phase;
    // The press under test; the chord going down unless the row says otherwise.
    std::function<void(RouterRig&)> press = [](RouterRig& r) { r.modifiers(kCommand); };
  };
  const Row rows[] = {
      {"admitted", {}, "router.press admitted pid=101 appCount=3", Phase::active},
      {"held already", [](RouterRig& r) { r.modifiers(kCommand); }, "router.press ignored=no-rising-edge",
       Phase::active, [](RouterRig& r) { r.router->commandChanged(true, kOverNotch); }},
      {"no host", [](RouterRig& r) { r.running->terminated = true; }, "router.press blocked=no-current-host",
       Phase::idle},
      {"not switchable", [](RouterRig& r) { r.registry.remove(r.aurora.id); }, "router.press blocked=session-begin",
       Phase::idle},
      {"switching",
       [](RouterRig& r) {
         r.gesture(1);
         r.modifiers(0);
       },
       "router.press blocked=coordinator-busy", Phase::committing},
      {"showing a failure",
       [](RouterRig& r) {
         r.gesture(1);
         r.modifiers(0);
         r.finishSwitch(std::nullopt);
       },
       "router.press blocked=phase-committing", Phase::committing},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RouterRig r(true);
    if (row.before) row.before(r);
    auto presses = [&r] {
      std::vector<std::string> records;
      for (const auto& line : r.traceLines()) {
        if (line.starts_with("router.press")) records.push_back(line);
      }
      return records;
    };
    const auto earlier = presses().size();
    row.press(r);
    const auto records = presses();
    ASSERT_EQ(earlier + 1, records.size()) << "one press, one record";
    EXPECT_EQ(records.back(), row.record);
    EXPECT_EQ(r.router->session().phase(), row.phase);
  }
}

TEST(LaunchInputRouter, SwallowsScrollsOnlyWhileTheSwitcherIsUp) {
  struct Row {
    const char* name;
    std::function<void(RouterRig&)> before;
    EventFlags flags;
    std::int64_t phase, momentum;
    bool swallowed;
    Phase after;
    const char* cancel;
  };
  auto active = [](RouterRig& r) { r.modifiers(kCommand); };
  const Row rows[] = {
      {"idle", {}, kCommand, 0, 0, false, Phase::idle, ""},
      {"preparing",
       [](RouterRig& r) {
         r.surfaces->expanded.reset();
         r.modifiers(kCommand);
       },
       kCommand, 0, 0, false, Phase::preparing, ""},
      {"step", active, kCommand, 0, 0, true, Phase::active, ""},
      {"momentum", active, kCommand, 0, 1, true, Phase::active, ""},
      {"ended", active, kCommand, ScrollEvent::phaseEnded, 0, true, Phase::active, ""},
      {"gesture cancelled", active, kCommand, ScrollEvent::phaseCancelled, 0, true, Phase::idle,
       "scroll gesture cancelled"},
      {"other chord", active, kCommand | kShift, 0, 0, false, Phase::idle, "other modifier chord"},
      {"source quit",
       [&](RouterRig& r) {
         active(r);
         r.running->terminated = true;
       },
       kCommand, 0, 0, false, Phase::idle, "scroll target lost"},
      {"panel lost",
       [&](RouterRig& r) {
         active(r);
         r.panels.panels().back()->visible = false;
       },
       kCommand, 0, 0, false, Phase::idle, "scroll target lost"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RouterRig r;
    if (row.before) row.before(r);
    EXPECT_EQ(r.scroll(-10, row.flags, row.phase, row.momentum), row.swallowed);
    EXPECT_EQ(r.router->session().phase(), row.after);
    EXPECT_EQ(lastCancel(r.log), row.cancel);
    const bool stepped = r.router->session().selectedID() == r.ember.id;
    EXPECT_EQ(stepped, std::string(row.name) == "step") << "only a plain scroll pages";
    // Scrolls are claimed from the platform exactly while the switcher is up.
    const bool claimed = !r.input.claims.empty() && r.input.claims.back();
    EXPECT_EQ(claimed, row.after == Phase::active);
  }
}

TEST(LaunchInputRouter, WaitsForTheExpandedSurfaceAtMostUntilTheFirstTickAfterFourSeconds) {
  for (const bool appears : {false, true}) {
    SCOPED_TRACE(appears);
    RouterRig r;
    r.surfaces->expanded.reset();
    r.modifiers(kCommand);
    // Ticks come every 0.6 s: the one at 3.6 s keeps waiting, the one at 4.2 s decides.
    r.loop.advance(3.59);
    if (appears) r.surfaces->expanded = RouterRig::target(101);
    r.loop.advance(0.6);
    EXPECT_EQ(r.router->session().phase(), appears ? Phase::active : Phase::preparing);
    r.loop.advance(0.02);
    EXPECT_EQ(r.router->session().phase(), appears ? Phase::active : Phase::idle);
    EXPECT_EQ(lastCancel(r.log), appears ? "" : "preparation deadline or source identity changed");
    const auto& status = r.status.status();
    EXPECT_EQ(status ? status->key() : "", appears ? "" : "ノッチ操作は未確認です。メニューからアプリを選択できます");
  }
}

TEST(LaunchInputRouter, CommitsAChangedSelectionAndBoundsHowLongTheSwitcherStays) {
  enum class Outcome { switched, failed, hangs };
  for (const Outcome outcome : {Outcome::switched, Outcome::failed, Outcome::hangs}) {
    SCOPED_TRACE(static_cast<int>(outcome));
    RouterRig r;
    r.gesture(5);  // five cards on from Aurora over three: Tide
    r.modifiers(0);
    ASSERT_EQ(r.switches.size(), 1u);
    EXPECT_EQ(r.switches.front().url, *r.registry.resolvedURL(r.tide));
    EXPECT_EQ(r.router->session().phase(), Phase::committing);
    EXPECT_EQ(r.overlay.content()->status().text, "切り替え中…");
    EXPECT_EQ(r.input.installedTapCount(), 0) << "Escape no longer cancels";
    if (outcome == Outcome::switched) {
      r.finishSwitch(202);
      EXPECT_FALSE(r.overlay.isPresented());
      EXPECT_EQ(r.router->session().phase(), Phase::idle);
      ASSERT_TRUE(r.router->isCheckingReadiness());
      EXPECT_TRUE(r.surfaces->captures.back().point) << "aimed at the gesture's display";
      continue;
    }
    const double hold =
        outcome == Outcome::failed ? LaunchInputRouter::failureMessageHold : LaunchInputRouter::uncoverWatchdog;
    if (outcome == Outcome::failed) r.finishSwitch(std::nullopt);
    r.loop.advance(hold - 0.001);
    EXPECT_TRUE(r.overlay.isPresented());
    r.loop.advance(0.001);
    EXPECT_FALSE(r.overlay.isPresented());
    if (outcome == Outcome::hangs) {
      EXPECT_NE(std::find(r.log.lines().begin(), r.log.lines().end(),
                          "[Quillon/launch-input] uncovered after bounded launch wait"),
                r.log.lines().end());
    } else {
      EXPECT_EQ(r.router->session().phase(), Phase::idle);
    }
  }
}

// The first captures after the pointer reaches a notch see it before it expands.
TEST(LaunchInputRouter, RetriesRefusedCapturesForAMomentAfterAMoveOntoTheNotch) {
  RouterRig r;
  const auto refuseAndWait = [&] {
    if (!r.surfaces->complete(0, r.snapshot(101))) return false;
    r.loop.runUntilIdle();
    r.loop.advance(LaunchNotchSurfaceService::arrivalRetryInterval);
    return true;
  };
  r.router->cursorMoved(kOverNotch);
  r.loop.runUntilIdle();
  ASSERT_TRUE(refuseAndWait());
  ASSERT_TRUE(refuseAndWait()) << "retried without waiting for the tick";
  r.surfaces->revalidated = RouterRig::target(101);
  ASSERT_TRUE(r.surfaces->complete(0, r.snapshot(101)));
  r.loop.runUntilIdle();
  EXPECT_TRUE(r.router->snapshot());
  r.loop.advance(LaunchNotchSurfaceService::arrivalRetryInterval);
  EXPECT_TRUE(r.surfaces->captures.empty()) << "an accepted capture ends the retries";

  r.surfaces->revalidated.reset();
  r.router->cursorMoved(kOverNotch);
  r.loop.runUntilIdle();
  int attempts = 0;
  while (attempts < 100 && refuseAndWait()) ++attempts;
  const double perWindow =
      LaunchNotchSurfaceService::arrivalRetryWindow / LaunchNotchSurfaceService::arrivalRetryInterval;
  EXPECT_GE(attempts, perWindow);
  EXPECT_LE(attempts, perWindow + 2) << "no retries past the moment of arrival";
  r.router->cursorMoved({100, 100});
  r.loop.runUntilIdle();
  ASSERT_TRUE(refuseAndWait());
  EXPECT_TRUE(r.surfaces->captures.empty()) << "away from the notch there is nothing to wait for";
}

}  // namespace
}  // namespace quillon
