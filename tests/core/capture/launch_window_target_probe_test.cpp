#include "core/capture/launch_window_target_probe.h"

#include <gtest/gtest.h>

#include "core/capture/snapshot_fixture.h"
#include "support/fake_accessibility.h"
#include "support/fake_screens.h"
#include "support/fake_window_server.h"
#include "support/fake_workspace.h"
#include "support/manual_clock.h"
#include "support/manual_main_loop.h"
#include "support/surface_images.h"

namespace quillon {
namespace {

constexpr std::int32_t kPid = 500;
constexpr std::int32_t kOwnPid = 77;
// A 1000 × 600 primary display; the expanded notch hangs from its top centre.
constexpr GlobalRect kDisplay{0, 0, 1000, 600};
constexpr GlobalRect kNotch{400, 0, 200, 80};

class LaunchWindowTargetProbeTest : public ::testing::Test {
 protected:
  LaunchWindowTargetProbeTest() {
    screens.setScreens({{1, ScreenRect{0, 0, 1000, 600}}});
    app.pid = kPid;
    setNotch(kNotch);
  }

  void setNotch(GlobalRect frame, double alpha = 1.0, std::vector<WindowRow> inFront = {}) {
    auto rows = std::move(inFront);
    auto notch = FakeWindowServer::row(kPid, 7, frame, 25, alpha);
    notch.sharingState = 1;
    rows.push_back(notch);
    rows.push_back(FakeWindowServer::row(kPid, 8, {100, 100, 600, 400}, 0));
    windows.setWindows(rows);
    accessibility.clearHits();
    accessibility.addHit(frame, {kPid, frame.origin(), frame.size()});
  }

  static LaunchSurfaceSnapshot snapshotAt(GlobalRect frame, double sampledAtUptime) {
    return testing_snapshots::snapshotOf(
        roundedSurfaceImage(static_cast<int>(frame.width), static_cast<int>(frame.height), 10), frame,
        {.processID = kPid, .sampledAtUptime = sampledAtUptime});
  }

  FakeWindowServer windows;
  FakeAccessibility accessibility;
  FakeScreens screens;
  ManualClock clock{1000};
  FakeRunningApplication app;
  LaunchWindowTargetProbe probe{windows, accessibility, screens, clock, kOwnPid};
};

TEST_F(LaunchWindowTargetProbeTest, FindsTheExpandedNotchWithItsDisplayAndSharingState) {
  const auto target = probe.expandedTarget(app);
  ASSERT_TRUE(target);
  EXPECT_EQ((LaunchWindowTarget{kPid, 7, kNotch, kDisplay, 1000, 1, 25}), *target);
  ASSERT_FALSE(accessibility.queries().empty());
  // Probed below the housing (65 points down), with the bounded time-out.
  EXPECT_EQ((GlobalPoint{500, 65}), accessibility.queries().front().point);
  EXPECT_EQ(0.03, accessibility.queries().front().timeout);
  EXPECT_EQ((std::vector<bool>{true}), windows.readOptions());  // one list serves the search and the hit-tests

  ManualMainLoop loop{clock};
  const int blockingReads = windows.blockingReads();
  const auto read = runTask(loop, probe.readExpandedTarget(app));
  ASSERT_TRUE(read && read->hasValue());
  EXPECT_EQ(target, read->value()) << "the read without waiting finds the same";
  EXPECT_EQ(blockingReads, windows.blockingReads());
}

TEST_F(LaunchWindowTargetProbeTest, RowsBecomeCandidatesOnlyWhenFullyDescribedAndOpaque) {
  const auto base = FakeWindowServer::row(kPid, 7, kNotch, 25);
  const struct {
    const char* name;
    void (*edit)(WindowRow&);
    bool kept;
  } rows[] = {
      {"complete", [](WindowRow&) {}, true},
      {"alpha 0.96", [](WindowRow& r) { r.alpha = 0.96; }, true},
      {"alpha exactly 0.95", [](WindowRow& r) { r.alpha = 0.95; }, false},
      {"no alpha", [](WindowRow& r) { r.alpha.reset(); }, false},
      {"another owner", [](WindowRow& r) { r.ownerPID = kPid + 1; }, false},
      {"no owner", [](WindowRow& r) { r.ownerPID.reset(); }, false},
      {"no number", [](WindowRow& r) { r.windowNumber.reset(); }, false},
      {"no bounds", [](WindowRow& r) { r.bounds.reset(); }, false},
      {"no layer", [](WindowRow& r) { r.layer.reset(); }, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto edited = base;
    row.edit(edited);
    EXPECT_EQ(row.kept ? 1u : 0u, LaunchWindowTargetProbe::candidatesOf({edited}, kPid).size());
  }
}

TEST_F(LaunchWindowTargetProbeTest, SampleRequiresBothPointsOnTheSameAccessibleWindow) {
  const GlobalPoint inside{500, 40};
  EXPECT_TRUE(probe.sample(app, inside, {450, 70}));
  EXPECT_FALSE(probe.sample(app, inside, {300, 40}));   // pointer left the window
  EXPECT_FALSE(probe.sample(app, {1000, 40}, inside));  // edge on the display's right edge
  EXPECT_FALSE(probe.sample(app, inside, {500, 600}));  // pointer off the display

  accessibility.clearHits();
  accessibility.addHit(kNotch, {kPid, GlobalPoint{403, 0}, kNotch.size()});  // 3 points off
  EXPECT_FALSE(probe.sample(app, inside, inside));
  accessibility.clearHits();
  accessibility.addHit(kNotch, {kPid, GlobalPoint{402, 2}, Size{198, 82}});  // 2 points off
  EXPECT_TRUE(probe.sample(app, inside, inside));
  accessibility.clearHits();
  accessibility.addHit(kNotch, {kPid + 1, kNotch.origin(), kNotch.size()});
  EXPECT_FALSE(probe.sample(app, inside, inside));

  setNotch(kNotch);
  accessibility.setTrusted(false);
  EXPECT_FALSE(probe.sample(app, inside, inside));
  accessibility.setTrusted(true);
  app.terminated = true;
  EXPECT_FALSE(probe.sample(app, inside, inside));
  app.terminated = false;
  screens.setScreens({});
  EXPECT_FALSE(probe.sample(app, inside, inside));
}

TEST_F(LaunchWindowTargetProbeTest, ACollapsedNotchIsNoTarget) {
  setNotch({400, 0, 200, 63});
  EXPECT_FALSE(probe.expandedTarget(app));
  EXPECT_FALSE(probe.sample(app, {500, 30}, {500, 30}));
  EXPECT_FALSE(probe.revalidate(snapshotAt({400, 0, 200, 63}, 1000), app, 1.25, false));
  setNotch({400, 0, 200, 64});
  EXPECT_FALSE(probe.expandedTarget(app));  // 65 points down lies outside a 64-point window
  EXPECT_TRUE(probe.sample(app, {500, 30}, {500, 30}));
  EXPECT_TRUE(probe.revalidate(snapshotAt({400, 0, 200, 64}, 1000), app, 1.25, false));
}

TEST_F(LaunchWindowTargetProbeTest, RevalidateAcceptsOnlyAnUnchangedUncoveredRecentSurface) {
  const GlobalRect overlay{400, 0, 200, 80};
  using Edit = void (*)(LaunchSurfaceSnapshot&, FakeRunningApplication&);
  const Edit same = [](auto&, auto&) {};
  const struct {
    const char* name;
    double age;
    GlobalRect current;
    std::vector<WindowRow> inFront;
    bool ignoringOwnOverlay;
    bool valid;
    Edit edit;
  } rows[] = {
      {"unchanged", 1.25, kNotch, {}, false, true, same},
      {"1.26 s old", 1.26, kNotch, {}, false, false, same},
      {"moved by 2 points", 0, kNotch.offsetBy(2, 0), {}, false, true, same},
      {"moved by 3 points", 0, kNotch.offsetBy(3, 0), {}, false, false, same},
      {"covered by exactly a fifth",
       0,
       kNotch,
       {FakeWindowServer::row(9, 50, {400, 0, 40, 80}, 30)},
       false,
       true,
       same},
      {"covered by more", 0, kNotch, {FakeWindowServer::row(9, 50, {400, 0, 40.5, 80}, 30)}, false, false, same},
      {"translucent window in front", 0, kNotch, {FakeWindowServer::row(9, 50, overlay, 30, 0.5)}, false, true, same},
      {"own overlay in front", 0, kNotch, {FakeWindowServer::row(kOwnPid, 60, overlay, 30)}, false, false, same},
      {"own overlay ignored", 0, kNotch, {FakeWindowServer::row(kOwnPid, 60, overlay, 30)}, true, true, same},
      {"another app's window ignored only if ours",
       0,
       kNotch,
       {FakeWindowServer::row(9, 60, overlay, 30)},
       true,
       false,
       same},
      {"a new piece of the surface",
       0.5,
       kNotch,
       {FakeWindowServer::row(kPid, 9, {380, 0, 20, 40}, 25)},
       false,
       false,
       same},
      {"a piece's layer changed",
       0.5,
       kNotch,
       {},
       false,
       false,
       [](LaunchSurfaceSnapshot& s, auto&) { s.sourceWindows[0].windowLayer = 24; }},
      {"a piece listed twice",
       0.5,
       kNotch,
       {},
       false,
       false,
       [](LaunchSurfaceSnapshot& s, auto&) { s.sourceWindows.push_back(s.sourceWindows[0]); }},
      {"another process", 0.5, kNotch, {}, false, false, [](auto&, FakeRunningApplication& a) { a.pid = kPid + 1; }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    setNotch(row.current, 1.0, row.inFront);
    clock.setUptime(1000 + row.age);
    auto snapshot = snapshotAt(kNotch, 1000);
    app.pid = kPid;
    row.edit(snapshot, app);
    const auto target = probe.revalidate(snapshot, app, 1.25, row.ignoringOwnOverlay);
    EXPECT_EQ(row.valid, target.has_value());
    ManualMainLoop loop{clock};
    const auto read = runTask(loop, probe.readAndRevalidate(snapshot, app, 1.25, row.ignoringOwnOverlay));
    ASSERT_TRUE(read && read->hasValue());
    EXPECT_EQ(target, read->value()) << "the read without waiting decides the same";
    if (target) {
      EXPECT_EQ((LaunchWindowTarget{kPid, 7, kNotch, kDisplay, 1000 + row.age, 1, 25}), *target);
    }
  }
}

TEST_F(LaunchWindowTargetProbeTest, CompositePointBelongsToAnySourceWindow) {
  auto snapshot = snapshotAt(kNotch, 1000);
  const GlobalRect piece{620, 0, 40, 80};
  snapshot.sourceWindows.push_back({9, piece, 25});
  accessibility.addHit(piece, {kPid, piece.origin(), piece.size()});
  EXPECT_TRUE(probe.ownsCompositePoint(app, snapshot, {500, 10}));
  EXPECT_TRUE(probe.ownsCompositePoint(app, snapshot, {630, 10}));
  EXPECT_FALSE(probe.ownsCompositePoint(app, snapshot, {700, 10}));
  app.pid = kPid + 1;
  EXPECT_FALSE(probe.ownsCompositePoint(app, snapshot, {500, 10}));
}

}  // namespace
}  // namespace quillon
