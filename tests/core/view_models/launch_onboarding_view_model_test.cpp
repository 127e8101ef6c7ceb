#include "core/view_models/launch_onboarding_view_model.h"

#include <gtest/gtest.h>

#include "core/localization/l10n.h"
#include "core/records/onboarding/launch_onboarding_store.h"
#include "support/manual_main_loop.h"
#include "support/storage_test_files.h"
#include "support/temporary_directory.h"

namespace quillon {
namespace {

using testing_files::readFile;
using testing_files::writeFile;
using Step = LaunchOnboardingStep;

struct LaunchOnboardingViewModelTest : ::testing::Test {
  TemporaryDirectory temporary;
  std::filesystem::path file = temporary / "onboarding.plist";
  LaunchOnboardingStore store{Url::fileUrl(file.string(), false)};
  ManualClock clock;
  ManualMainLoop loop{clock};
  std::vector<std::string> calls;
  std::vector<std::vector<Url>> registered;
  LaunchOnboardingRegistrationReport report;
  bool confirm = true;
  bool switching = false;
  std::vector<ManagedNotchApp> apps;
  std::optional<std::string> reloadText;

  std::unique_ptr<LaunchOnboardingViewModel> makeModel() {
    auto record = [this](const char* name) { return [this, name] { calls.emplace_back(name); }; };
    LaunchOnboardingViewModel::Callbacks callbacks;
    callbacks.registerApplications = [this](const std::vector<Url>& urls) {
      registered.push_back(urls);
      return report;
    };
    callbacks.requestAccessibility = record("requestAccessibility");
    callbacks.requestScreenCapture = record("requestScreenCapture");
    callbacks.refreshPermissions = record("refreshPermissions");
    callbacks.openAccessibilitySettings = [] { return false; };
    callbacks.openScreenCaptureSettings = [] { return true; };
    callbacks.onRegistryChanged = record("onRegistryChanged");
    callbacks.onClose = record("onClose");
    callbacks.confirmProgressReset = [this]() -> Task<bool> { co_return confirm; };
    callbacks.isSwitching = [this] { return switching; };
    callbacks.readApps = [this] { return apps; };
    callbacks.onRefreshRegistrations = [this] { return reloadText; };
    callbacks.canResolve = [](const ManagedNotchApp& app) { return app.displayName != "Gone"; };
    return std::make_unique<LaunchOnboardingViewModel>(store, loop, "⌘", std::move(callbacks));
  }
  static std::string text(const char* source) { return L10n::text(LocalizedText(source)); }
};

TEST_F(LaunchOnboardingViewModelTest, StepsMoveWithinTheGuideAndEveryMoveIsKept) {
  struct Row {
    const char* name;
    Step from;
    LaunchOnboardingViewEvent event;
    Step to;
    bool written;
  };
  const Row rows[] = {
      {"back on the first step", Step::overview, LaunchOnboardingViewEvent::back(), Step::overview, false},
      {"next on the last step", Step::ready, LaunchOnboardingViewEvent::next(), Step::ready, false},
      {"finish before the end", Step::preview, LaunchOnboardingViewEvent::finish(), Step::preview, false},
      {"next", Step::input, LaunchOnboardingViewEvent::next(), Step::preview, true},
      {"back", Step::ready, LaunchOnboardingViewEvent::back(), Step::preview, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::filesystem::remove(file);
    if (row.from != Step::overview) store.save({1, row.from, std::nullopt, std::nullopt});
    const Bytes before = readFile(file);
    // A new model resumes where the last one left the record.
    auto model = makeModel();
    ASSERT_EQ(row.from, model->viewState().step);
    model->send(row.event);
    EXPECT_EQ(row.to, model->viewState().step);
    EXPECT_EQ(row.written, readFile(file) != before);
    EXPECT_EQ(row.to, makeModel()->viewState().step);
    EXPECT_FALSE(store.load().completedAt);
  }
}

TEST_F(LaunchOnboardingViewModelTest, FinishRecordsCompletionOrKeepsTheGuideOpen) {
  store.save({1, Step::ready, std::nullopt, std::nullopt});
  clock.setNow(1'800'000'000);
  auto model = makeModel();
  model->beginPresentation();
  calls.clear();
  // An unreadable record cannot be overwritten: the guide stays and says so.
  writeFile(file, bytesOf("garbage"));
  model->send(LaunchOnboardingViewEvent::finish());
  EXPECT_TRUE(model->viewState().isVisible);
  EXPECT_FALSE(model->record().completedAt);
  EXPECT_TRUE(model->viewState().progressError);
  EXPECT_TRUE(model->viewState().isError);
  EXPECT_TRUE(calls.empty());

  std::filesystem::remove(file);
  model->send(LaunchOnboardingViewEvent::finish());
  EXPECT_FALSE(model->viewState().isVisible);
  EXPECT_FALSE(model->hasActivePresentation());
  EXPECT_EQ(std::optional(1'800'000'000.0), store.load().completedAt);
  EXPECT_EQ(std::vector<std::string>{"onClose"}, calls);
  EXPECT_FALSE(store.load().shouldPresentAutomatically(0, false));
  EXPECT_EQ(Step::overview, makeModel()->viewState().step);
  // The same window opened again starts over too.
  model->beginPresentation();
  EXPECT_EQ(Step::overview, model->viewState().step);
}

TEST_F(LaunchOnboardingViewModelTest, LaterAndClosingRecordTheDismissalEvenWhenItCannotBeSaved) {
  clock.setNow(1'700'000'000);
  auto model = makeModel();
  model->windowClosed();  // not presented: nothing to record
  EXPECT_FALSE(std::filesystem::exists(file));

  model->beginPresentation();
  model->send(LaunchOnboardingViewEvent::next());
  model->windowClosed();
  const auto stored = store.load();
  EXPECT_EQ(Step::input, stored.lastStep);
  EXPECT_EQ(std::optional(1'700'000'000.0), stored.dismissedAt);

  writeFile(file, bytesOf("garbage"));
  auto later = makeModel();
  later->beginPresentation();
  later->send(LaunchOnboardingViewEvent::doLater());
  EXPECT_FALSE(later->viewState().isVisible);
  EXPECT_EQ(bytesOf("garbage"), readFile(file));
  EXPECT_EQ((std::vector<std::string>{"refreshPermissions", "onClose", "refreshPermissions", "onClose"}), calls);
}

TEST_F(LaunchOnboardingViewModelTest, PermissionRequestsAskOnlyForWhatIsMissing) {
  auto model = makeModel();
  model->updatePermissions({true, false, true});
  EXPECT_TRUE(model->viewState().permissionObserved);
  model->send(LaunchOnboardingViewEvent::requestAccessibility());
  model->send(LaunchOnboardingViewEvent::requestScreenCapture());
  EXPECT_EQ((std::vector<std::string>{"refreshPermissions", "requestScreenCapture", "refreshPermissions"}), calls);
  EXPECT_FALSE(model->viewState().accessibilityRequested);
  EXPECT_TRUE(model->viewState().screenCaptureRequested);

  model->send(LaunchOnboardingViewEvent::openScreenCaptureSettings());
  EXPECT_FALSE(model->viewState().message);
  model->send(LaunchOnboardingViewEvent::openAccessibilitySettings());
  EXPECT_EQ(text("システム設定を開けませんでした。Appleメニューから「システム設定」→「プライバシーとセキュリティ」を開"
                 "いてください。"),
            model->viewState().message);
}

TEST_F(LaunchOnboardingViewModelTest, RegistrationShowsTwoLinesAndSumsUpTheRest) {
  auto model = makeModel();
  const std::vector<Url> urls = {Url::fileUrl("/a/One.app", true), Url::fileUrl("/a/Two.app", true),
                                 Url::fileUrl("/a/Folder", true)};
  report = {{"One added", "Two added", "Folder: refused"}, "2 registered.", "1 failed.", 2, 1};
  model->send(LaunchOnboardingViewEvent::registerApplications(urls));
  EXPECT_EQ(std::optional<std::string>("One added\nTwo added\n2 registered.1 failed."), model->viewState().message);
  EXPECT_FALSE(model->viewState().isError);
  EXPECT_EQ(std::vector<std::string>{"onRegistryChanged"}, calls);

  report = {{"Folder: refused"}, "0 registered.", "1 failed.", 0, 1};
  model->send(LaunchOnboardingViewEvent::registerApplications({urls[2]}));
  EXPECT_EQ(std::optional<std::string>("Folder: refused"), model->viewState().message);
  EXPECT_TRUE(model->viewState().isError);

  // While a switch runs the registry must not change under the coordinator: also when
  // the switch began after the last tick told the guide.
  for (const bool shownBusy : {true, false}) {
    SCOPED_TRACE(shownBusy);
    model->setRegistrationBusy(shownBusy);
    switching = !shownBusy;
    model->send(LaunchOnboardingViewEvent::registerApplications(urls));
    EXPECT_EQ(2u, registered.size());
    EXPECT_TRUE(model->viewState().isError);
  }
}

TEST_F(LaunchOnboardingViewModelTest, ProgressResetBacksUpFirstAndRetryReadsTheFileAgain) {
  writeFile(file, bytesOf("garbage"));
  auto model = makeModel();
  EXPECT_TRUE(model->viewState().progressError);
  confirm = false;
  model->send(LaunchOnboardingViewEvent::resetProgress());
  loop.runUntilIdle();
  EXPECT_EQ(bytesOf("garbage"), readFile(file));
  EXPECT_FALSE(model->viewState().message);

  confirm = true;
  model->send(LaunchOnboardingViewEvent::next());
  model->send(LaunchOnboardingViewEvent::resetProgress());
  loop.runUntilIdle();
  EXPECT_FALSE(model->viewState().progressError);
  EXPECT_FALSE(model->viewState().isError);
  EXPECT_EQ(Step::overview, model->viewState().step) << "the reset promised a fresh start";
  EXPECT_EQ(2u, testing_files::entries(temporary.path()).size());
  EXPECT_NE(std::string::npos, model->viewState().message->find("onboarding.plist.preserved-"));

  writeFile(file, bytesOf("garbage"));
  model->send(LaunchOnboardingViewEvent::retryProgress());
  EXPECT_TRUE(model->viewState().progressError);
  std::filesystem::remove(file);
  model->send(LaunchOnboardingViewEvent::retryProgress());
  EXPECT_FALSE(model->viewState().progressError);
  EXPECT_EQ(text("案内の保存先を再確認しました。"), model->viewState().message);
}

// Each registered app's state in the menu's words; a vanished bundle is never "in use".
// A reload's result is told in the message area.
TEST_F(LaunchOnboardingViewModelTest, RegistrationsNameEachStateAsTheMenuDoesAndReloadsSayHowTheyWent) {
  apps.resize(3);
  apps[0].displayName = "Ready";
  apps[1].displayName = "Paused";
  apps[1].enabled = false;
  apps[2].displayName = "Gone";
  auto model = makeModel();
  model->beginPresentation();
  std::vector<std::string> states;
  for (const auto& row : model->viewState().registrations) states.push_back(row.state);
  EXPECT_EQ((std::vector<std::string>{text("切替に使います"), text("利用停止中"), text("アプリを確認できません")}),
            states);
  reloadText = "reloaded";
  model->send(LaunchOnboardingViewEvent::refreshRegistrations());
  EXPECT_EQ(reloadText, model->viewState().message);
  EXPECT_FALSE(model->viewState().isError);
}

}  // namespace
}  // namespace quillon
