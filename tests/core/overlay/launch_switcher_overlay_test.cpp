#include "core/overlay/launch_switcher_overlay.h"

#include <gtest/gtest.h>

#include <functional>

#include "core/capture/snapshot_fixture.h"
#include "core/overlay/launch_switcher_content_view.h"
#include "support/fake_log_sink.h"
#include "support/fake_overlay_previews.h"
#include "support/fake_screen_capture_service.h"
#include "support/fake_screens.h"
#include "support/fake_switcher_panel_host.h"
#include "support/fake_window_server.h"
#include "support/fake_workspace.h"
#include "support/manual_clock.h"
#include "support/surface_images.h"

namespace quillon {
namespace {

constexpr GlobalRect kNotch{556, 0, 400, 100};
constexpr Screen kBuiltIn{1, {0, 0, 1512, 982}};

ManagedNotchApp app(const char* name) {
  ManagedNotchApp result;
  result.id = Uuid::random();
  result.displayName = name;
  result.bundleURL = Url::fileUrl(std::string("/Applications/") + name + ".app", true);
  return result;
}

// The image the capture would hand over for the notch of process 4242, window 77.
LaunchSurfaceSnapshot snapshotOf(GlobalRect rect, std::int32_t pid = 4242) {
  return testing_snapshots::snapshotOf(
      filledImage(static_cast<int>(rect.width), static_cast<int>(rect.height), 30, 30, 30, 255), rect,
      {.processID = pid, .windowID = 77, .windowLayer = 0});
}

// The overlay on fakes, over a 1512 × 982 built-in display.
struct OverlayRig {
  OverlayRig() { screens.setScreens({kBuiltIn}); }

  LaunchSwitcherRequest request() const {
    LaunchSwitcherRequest r;
    r.sourceQuartzRect = kNotch;
    r.apps = apps;
    r.selectedID = apps[0].id;
    r.screenCaptureAllowed = true;
    r.sourcePID = 4242;
    r.sourceWindowID = 77;
    return r;
  }
  const FakePanelRecord& lastPanel() const { return *panels.panels().back(); }

  ManualClock clock;
  FakeWorkspace workspace;
  FakeScreens screens;
  FakeWindowServer windowServer;
  FakeScreenCaptureService capture;
  FakeSwitcherPanelHost panels;
  FakeOverlayPreviews previews;
  FakeLogSink log;
  std::vector<ManagedNotchApp> apps{app("オーロラ"), app("エンバー"), app("タイドプール")};
  LaunchSwitcherOverlay overlay{{clock, workspace, screens, windowServer, capture, panels, previews, log}};
};

class LaunchSwitcherOverlayTest : public ::testing::Test, public OverlayRig {};

TEST_F(LaunchSwitcherOverlayTest, PresentsOpensSlidesAndDismisses) {
  overlay.present(request());
  ASSERT_TRUE(overlay.isPresented());
  // The shell hangs from the top of the display, centred on the notch; the window adds
  // the overshoot margin beside and below it.
  EXPECT_EQ((ScreenRect{422, 722, 668, 260}), overlay.interactionFrame());
  EXPECT_EQ((ScreenRect{398, 698, 716, 284}), lastPanel().frame);
  EXPECT_EQ(28, lastPanel().level);
  EXPECT_TRUE(lastPanel().visible && lastPanel().keptAbove && lastPanel().acceptsMouse);
  ASSERT_TRUE(overlay.presentation());
  EXPECT_EQ((GlobalRect{0, 0, 1512, 982}), overlay.presentation()->displayFrame);
  EXPECT_EQ(3u, overlay.presentation()->applications.size());

  LaunchSwitcherContentView& content = *overlay.content();
  ASSERT_TRUE(content.entrance());
  EXPECT_EQ((Rect{158, 184, 400, 100}), content.entrance()->source) << "over the real notch";
  EXPECT_EQ((Rect{24, 24, 668, 260}), content.finalOutlineBounds());
  const double start = clock.uptime();
  EXPECT_TRUE(content.scene().hasAnimations(start + 0.459));
  EXPECT_FALSE(content.scene().hasAnimations(start + 0.46));
  EXPECT_NE(std::string::npos, content.status().text.find("⌘")) << "the chord in the hint";

  clock.advance(0.5);
  overlay.select(apps[2].id, -1);
  clock.advance(LaunchSwitcherContentView::selectionDuration);
  EXPECT_EQ(2, content.carousel()->selectedIndex());
  EXPECT_NEAR(content.bounds().midX() - content.pageWidth() * (3 + 2),
              content.strip().presentationPosition(clock.uptime()).x, 1e-9);
  EXPECT_GE(lastPanel().redraws, 2);

  const auto panel = panels.panels().back();
  overlay.dismiss();
  EXPECT_FALSE(overlay.isPresented());
  EXPECT_TRUE(panel->destroyed);
  EXPECT_FALSE(panel->visible || panel->acceptsMouse);
  EXPECT_EQ(ScreenRect{}, overlay.interactionFrame());
  EXPECT_FALSE(overlay.presentation());
  EXPECT_FALSE(screens.hasChangeHandler() || panels.observesLock());
  EXPECT_TRUE(log.lines().empty());
  overlay.dismiss();  // nothing left to take down
}

TEST_F(LaunchSwitcherOverlayTest, RequestsThatCannotBeShownLeaveItDown) {
  const std::string unavailable = std::string(LaunchSwitcherOverlay::unavailablePrefix);
  struct Row {
    const char* name;
    std::function<void(OverlayRig&, LaunchSwitcherRequest&)> change;
    std::string logged;
  };
  const Row rows[] = {
      {"no apps", [](auto&, LaunchSwitcherRequest& r) { r.apps.clear(); }, ""},
      {"an id twice", [](auto&, LaunchSwitcherRequest& r) { r.apps.push_back(r.apps[1]); }, ""},
      {"selected app missing", [](auto&, LaunchSwitcherRequest& r) { r.selectedID = Uuid::random(); }, ""},
      {"no screens", [](OverlayRig& t, auto&) { t.screens.setScreens({}); }, ""},
      {"straddles two displays",
       [](OverlayRig& t, LaunchSwitcherRequest& r) {
         t.screens.setScreens({kBuiltIn, {2, {1512, 0, 1920, 1080}}});
         r.sourceQuartzRect.x = 1400;
       },
       LaunchSwitcherOverlay::refusedLine},
      {"empty surface", [](auto&, LaunchSwitcherRequest& r) { r.sourceQuartzRect.height = 0; },
       LaunchSwitcherOverlay::refusedLine},
      {"screen locked", [](OverlayRig& t, auto&) { t.windowServer.setScreenLocked(true); },
       unavailable + LaunchSwitcherOverlay::unsupportedDescription()},
      {"cannot keep above all", [](OverlayRig& t, auto&) { t.panels.keepAboveFailure = "no space"; },
       unavailable + "no space"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    OverlayRig t;
    LaunchSwitcherRequest r = t.request();
    row.change(t, r);
    t.overlay.present(r);
    EXPECT_FALSE(t.overlay.isPresented());
    EXPECT_FALSE(t.overlay.presentation());
    for (const auto& panel : t.panels.panels()) EXPECT_TRUE(panel->destroyed && !panel->visible);
    EXPECT_EQ(row.logged.empty() ? std::vector<std::string>{} : std::vector<std::string>{row.logged}, t.log.lines());
  }
}

TEST_F(LaunchSwitcherOverlayTest, LiveImagesAreTakenOnlyForTheirOwnPresentation) {
  const LaunchSurfaceSnapshot first = snapshotOf(kNotch);
  LaunchSwitcherRequest r = request();
  r.snapshot = &first;
  overlay.present(r);
  ASSERT_TRUE(overlay.isPresented());
  EXPECT_EQ(1, previews.remembered);
  EXPECT_NE(nullptr, overlay.content()->snapshotLayer()->contents);

  EXPECT_TRUE(overlay.updatePreview(snapshotOf(kNotch), apps[0].id));
  EXPECT_EQ(2, previews.remembered);
  // A late image of an earlier gesture's process, of another app, from beyond the
  // display: refused, and the store is not touched.
  EXPECT_FALSE(overlay.updatePreview(snapshotOf(kNotch, 4100), apps[0].id));
  EXPECT_FALSE(overlay.updatePreview(snapshotOf(kNotch), apps[1].id));
  EXPECT_FALSE(overlay.updatePreview(snapshotOf({1400, 0, 400, 100}), apps[0].id));
  capture.setPermission(false);
  EXPECT_FALSE(overlay.updatePreview(snapshotOf(kNotch), apps[0].id));
  capture.setPermission(true);
  EXPECT_EQ(2, previews.remembered);

  overlay.dismiss();
  EXPECT_FALSE(overlay.updatePreview(snapshotOf(kNotch), apps[0].id));
  EXPECT_EQ(2, previews.remembered);
}

TEST_F(LaunchSwitcherOverlayTest, PreviewsComeFromTheStoreForTheRegisteredBundleOnly) {
  const auto wide = std::make_shared<const Bitmap>(filledImage(300, 100, 9, 9, 9, 255));
  previews.entries[apps[1].id] = {wide, apps[1].bundleURL};
  previews.entries[apps[2].id] = {wide, Url::fileUrl("/Applications/Old.app", true)};
  overlay.present(request());
  ASSERT_TRUE(overlay.isPresented());
  // A 3 : 1 image widens the shell to 163 × 3 + 288 points, plus the margins.
  EXPECT_EQ(777 + 48, overlay.interactionFrame().width);
  EXPECT_EQ(wide, overlay.content()->previewLayers(apps[1].id).front()->contents);
  EXPECT_EQ(nullptr, overlay.content()->previewLayers(apps[2].id).front()->contents);
  EXPECT_FALSE(previews.entries.contains(apps[2].id)) << "taken from a bundle no longer registered";

  // Without the capture permission no image is shown, and a missing image of the
  // current app may be forgotten.
  LaunchSwitcherRequest r = request();
  r.screenCaptureAllowed = false;
  r.removeMissingSelectedPreview = true;
  r.selectedGuidance = "画面収録を許可してください";
  overlay.present(r);
  ASSERT_TRUE(overlay.isPresented());
  EXPECT_EQ(std::vector<Uuid>{apps[0].id}, previews.removed);
  EXPECT_EQ(nullptr, overlay.content()->previewLayers(apps[1].id).front()->contents);
  EXPECT_EQ(300, overlay.interactionFrame().height) << "room for the guidance";
  EXPECT_EQ("画面収録を許可してください", overlay.content()->guidanceLayer().text);

  overlay.retainPreviews({apps[0], apps[1]});
  EXPECT_EQ((std::map<Uuid, Url>{{apps[0].id, apps[0].bundleURL}, {apps[1].id, apps[1].bundleURL}}), previews.retained);
}

TEST_F(LaunchSwitcherOverlayTest, ScreenLockAndDisplayChangesTakeItDown) {
  for (const bool lock : {true, false}) {
    SCOPED_TRACE(lock ? "screen locked" : "displays changed");
    overlay.present(request());
    ASSERT_TRUE(overlay.isPresented());
    if (lock) {
      panels.lockScreen();
    } else {
      screens.changeScreens({kBuiltIn});
    }
    EXPECT_FALSE(overlay.isPresented());
    EXPECT_FALSE(lastPanel().visible);
    EXPECT_FALSE(screens.hasChangeHandler() || panels.observesLock());
  }
}

TEST(LaunchSwitcherOverlayLevel, OneAboveTheHostBetweenMenuAndMaximum) {
  const struct {
    int host;
    int level;
  } rows[] = {{0, 28}, {25, 28}, {100, 101}, {1000, 1000}, {999, 1000}, {-5, 28}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.host);
    EXPECT_EQ(row.level, LaunchSwitcherOverlay::presentationLevel(row.host, 24, 1000));
  }
}

}  // namespace
}  // namespace quillon
