#include "core/product/quillon_composition.h"

#include <gtest/gtest.h>

#include "core/bundle/validated_launch_application.h"
#include "core/records/registry/app_registry.h"
#include "core/view_models/launch_onboarding_view_model.h"
#include "support/fake_accessibility.h"
#include "support/fake_alert_presenter.h"
#include "support/fake_event_taps.h"
#include "support/fake_image_codec.h"
#include "support/fake_input_system.h"
#include "support/fake_log_sink.h"
#include "support/fake_screen_capture_service.h"
#include "support/fake_screens.h"
#include "support/fake_status_menu_host.h"
#include "support/fake_switcher_panel_host.h"
#include "support/fake_window_host.h"
#include "support/fake_window_server.h"
#include "support/fake_workspace.h"
#include "support/manual_main_loop.h"
#include "support/registry_test_support.h"

namespace quillon {
namespace {

constexpr EventFlags kCommand = LaunchModifierShortcut::commandFlag;
constexpr GlobalRect kNotch{556, 0, 400, 100};
constexpr ScreenPoint kOverNotch{756, 950};

// The whole product over the fakes: Aurora and Ember registered, Aurora running with its
// notch expanded, and a workspace that launches whatever it is asked to open.
struct QuillonCompositionTest : ::testing::Test, registry_testing::RegistryFixture {
  QuillonCompositionTest() {
    AppRegistry seeding(makeStore());
    aurora = *seeding.add(directoryUrl(app("Aurora", "com.example.Aurora")));
    ember = *seeding.add(directoryUrl(app("Ember", "com.example.Ember")));
    screens.setScreens({{1, {0, 0, 1512, 982}}});
    windowServer.setWindows({FakeWindowServer::row(101, 77, kNotch, 25)});
    accessibility.addHit(kNotch, {101, kNotch.origin(), kNotch.size()});
    screenCapture.setPermission(false);
    running = launched(aurora.bundleURL, 101);
    workspace.answerOpen = [this](const std::string& path, Workspace::OpenCompletion done) {
      done(Result<ApplicationHandle>(launched(Url::fileUrl(path, true), 202)));
    };
  }

  std::shared_ptr<FakeRunningApplication> launched(const Url& bundle, std::int32_t pid) {
    auto process = FakeRunningApplication::make(pid, bundle.path());
    process->executable = ValidatedLaunchApplication::validate(bundle).executableURL.path();
    process->onTerminationRequest = [raw = process.get()] { raw->terminated = true; };
    workspace.applications.push_back(process);
    return process;
  }
  void launch() {
    composition.applicationDidFinishLaunching();
    loop.runUntilIdle();
  }

  ManualClock clock;
  ManualMainLoop loop{clock};
  FakeLogSink log;
  FakeWindowServer windowServer;
  FakeScreens screens;
  FakeAccessibility accessibility;
  FakeScreenCaptureService screenCapture;
  FakeInputSystem input;
  FakeWorkspace workspace;
  FakeImageCodec imageCodec;
  FakeAlertPresenter alerts{loop};
  FakeStatusMenuHost menu;
  FakeSwitcherPanelHost panels;
  FakeEventTaps taps;
  FakeWindowHost windows;
  ManagedNotchApp aurora;
  ManagedNotchApp ember;
  std::shared_ptr<FakeRunningApplication> running;
  std::vector<int> exits;
  QuillonComposition composition{
      {clock, loop, log, windowServer, screens, accessibility, screenCapture, input, workspace, imageCodec, defaults,
       alerts, menu, panels, taps, windows},
      directoryUrl(dataDirectory),
      {{}, 4242, false, false, [this](int status) { exits.push_back(status); }, {}, false, {}}};
};

TEST_F(QuillonCompositionTest, AMenuChoiceSwitchesAppsAndTheOneSecondRefreshShowsTheNewOne) {
  launch();
  ASSERT_TRUE(menu.find({"Aurora"}));
  EXPECT_TRUE(menu.find({"Aurora"})->checked);

  ASSERT_TRUE(menu.choose({"Ember"}));
  loop.runUntilIdle();
  EXPECT_EQ(1, running->terminationRequests);
  EXPECT_EQ(std::vector<std::string>{ember.bundleURL.path()}, workspace.opened);

  // Ember quits outside the product and Aurora is started again; the refresh notices.
  workspace.applications.back()->requestTermination();
  launched(aurora.bundleURL, 303);
  loop.advance(1.0);
  loop.runUntilIdle();
  EXPECT_TRUE(menu.find({"Aurora"})->checked);

  ASSERT_TRUE(menu.choose({"終了"}));
  EXPECT_EQ(std::vector<int>{0}, exits);
  composition.applicationWillTerminate();
  EXPECT_EQ(nullptr, taps.router);  // the tap is gone before the router it fed
  EXPECT_EQ(0u, loop.pendingTimerCount());
}

// The guide's reset of the registry says what it did in the guide's message area, as
// its reload does, once the confirmation and the result's alert were answered.
TEST_F(QuillonCompositionTest, TheGuidesRegistryResetShowsItsResultInTheGuide) {
  launch();
  ASSERT_TRUE(menu.choose({"はじめに…"}));
  ASSERT_NE(nullptr, windows.onboarding);
  alerts.answerNextAlert(1);  // preserve and reset
  alerts.answerNextAlert(0);  // close the result
  windows.onboarding->send(LaunchOnboardingViewEvent::resetRegistrations());
  loop.runUntilIdle();
  const auto& message = windows.onboarding->viewState().message;
  ASSERT_TRUE(message);
  EXPECT_EQ(0u, message->find("登録一覧を初期化しました。元の登録データ: ")) << *message;
  EXPECT_TRUE(windows.onboarding->viewState().apps.empty());
}

TEST_F(QuillonCompositionTest, AGestureThroughThePlatformsTapSwitchesToTheNextCard) {
  launch();
  ASSERT_EQ(1, taps.made);
  ASSERT_NE(nullptr, taps.router);

  input.flags = kCommand;
  taps.router->modifiersChanged(kCommand, kOverNotch);
  loop.runUntilIdle();
  ASSERT_EQ(1u, panels.panels().size());
  EXPECT_TRUE(panels.panels().front()->visible);

  clock.advance(0.5);
  EXPECT_TRUE(taps.router->shouldConsumeScroll({.flags = kCommand, .lineDeltaAxis2 = -10}, kOverNotch));
  loop.runUntilIdle();
  input.flags = 0;
  taps.router->modifiersChanged(0, kOverNotch);
  loop.runUntilIdle();
  EXPECT_EQ(1, running->terminationRequests);
  EXPECT_EQ(std::vector<std::string>{ember.bundleURL.path()}, workspace.opened);
}

}  // namespace
}  // namespace quillon
