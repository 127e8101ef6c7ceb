#include "core/product/app_registration_service.h"

#include <gtest/gtest.h>

#include "core/localization/l10n.h"
#include "core/records/registry/app_registry.h"
#include "support/fake_alert_presenter.h"
#include "support/manual_main_loop.h"
#include "support/registry_test_support.h"

namespace quillon {
namespace {

using namespace registry_testing;
namespace fs = std::filesystem;

struct AppRegistrationServiceTest : ::testing::Test, RegistryFixture {
  ManualClock clock;
  ManualMainLoop loop{clock};
  FakeAlertPresenter alerts{loop};
  int registered = 0;

  // Runs the menu's add until it finished or waits for an answer.
  TaskHandle addFromMenu(
      AppRegistry& registry, std::function<bool()> switching = [] { return false; }) {
    auto handle = spawn(
        loop, AppRegistrationService::addFromMenu(registry, alerts, std::move(switching), [this] { ++registered; }));
    loop.runUntilIdle();
    return handle;
  }
  static std::vector<std::string> texts(const std::vector<LocalizedText>& lines) {
    std::vector<std::string> out;
    for (const auto& line : lines) out.push_back(L10n::text(line));
    return out;
  }
};

TEST_F(AppRegistrationServiceTest, TheMenuAddsTheChosenAppUnlessSwitchingProtectedOrCancelled) {
  AppRegistry registry(makeStore());
  addFromMenu(registry, [] { return true; });
  alerts.answerNextOpenPanel({});  // cancelled
  addFromMenu(registry);
  alerts.answerNextOpenPanel({app("Alpha", "com.example.alpha").string()});
  addFromMenu(registry);
  ASSERT_EQ(2u, alerts.openPanels().size());
  EXPECT_TRUE(alerts.openPanels()[1].applicationsOnly);
  EXPECT_EQ(1u, registry.apps().size());
  EXPECT_EQ(1, registered);

  store(bytesOf("garbage"));
  AppRegistry protectedRegistry(makeStore());
  addFromMenu(protectedRegistry);
  EXPECT_EQ(2u, alerts.openPanels().size());
  EXPECT_TRUE(alerts.alerts().empty());
}

TEST_F(AppRegistrationServiceTest, TheMenuShowsWhyAnAddFailed) {
  const auto good = app("Good", "com.example.good").string();
  fs::create_directories(root / "Folder.app");
  const struct {
    const char* name;
    std::string chosen;
    bool switchDuringPanel, corruptDuringPanel;
    Error expected;
  } rows[] = {
      {"a switch started meanwhile", good, true, false, AppRegistrationError::switchInProgress},
      {"not an app", (root / "Folder.app").string(), false, false, AppRegistrationError::registrationFailed},
      {"stored value found unreadable meanwhile", good, false, true, AppRegistrationError::storageUnavailable},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    defaults.erase(SettingsStore::defaultAppsKey);
    AppRegistry registry(makeStore());
    FakeAlertPresenter presenter(loop);
    bool switching = false;
    const auto handle = spawn(loop, AppRegistrationService::addFromMenu(
                                        registry, presenter, [&] { return switching; }, [] {}));
    loop.runUntilIdle();
    ASSERT_TRUE(presenter.isOpenPanelOpen());
    // While the panel is open the main loop runs on, and so do switches and reloads.
    switching = row.switchDuringPanel;
    if (row.corruptDuringPanel) {
      store(bytesOf("garbage"));
      registry.store().loadApps();
    }
    presenter.answerOpenPanel({row.chosen});
    loop.runUntilIdle();
    ASSERT_EQ(1u, presenter.alerts().size());
    EXPECT_EQ(row.expected.description(), presenter.alerts()[0].informativeText);
    EXPECT_FALSE(handle.isFinished()) << "the task ends only when the failure alert is answered";
    presenter.answerAlert(0);
    loop.runUntilIdle();
    EXPECT_TRUE(handle.isFinished());
    EXPECT_TRUE(registry.apps().empty());
  }
}

TEST_F(AppRegistrationServiceTest, RegisteringSeveralAppsReportsOneLinePerApp) {
  AppRegistry registry(makeStore());
  const auto kept = app("Kept", "com.example.kept");
  const auto resumed = app("Resumed", "com.example.resumed");
  for (const auto& path :
       {kept, app("Moved", "com.example.moved"), resumed, app("ResumedMoved", "com.example.resumed-moved")}) {
    ASSERT_TRUE(registry.add(directoryUrl(path)));
  }
  auto list = registry.apps();
  list[2].enabled = list[3].enabled = false;
  ASSERT_TRUE(registry.store().saveApps(list));
  registry.setApps(registry.store().loadApps());
  const auto copyOf = [&](const std::string& name, const std::string& identifier) {
    return bundleAt(root / "Elsewhere" / (name + ".app"), [&](TestAppBundle& b) {
      b.identifier = identifier;
      b.name = name;
    });
  };
  fs::create_directories(root / "Folder.app");

  const auto report = AppRegistrationService::registerApplications(
      {directoryUrl(app("Fresh", "com.example.fresh")), directoryUrl(kept), copyOf("Moved", "com.example.moved"),
       directoryUrl(resumed), copyOf("ResumedMoved", "com.example.resumed-moved"), directoryUrl(root / "Folder.app")},
      registry);
  EXPECT_EQ((std::vector<std::string>{
                "Freshを追加しました",
                "Keptは登録済みです",
                "Movedの登録先を更新しました",
                "Resumedの利用を再開しました",
                "ResumedMovedの登録先を更新し、利用を再開しました",
                "Folder.app: 有効なアプリではありません。.appという名前だけのフォルダは登録できません。",
            }),
            texts(report.lines));
  EXPECT_EQ(5, report.registeredCount);
  EXPECT_EQ(1, report.failedCount);
  EXPECT_EQ(5u, registry.apps().size());

  defaults.dropWrites(true);
  const auto lost =
      AppRegistrationService::registerApplications({directoryUrl(app("Lost", "com.example.lost"))}, registry);
  EXPECT_EQ(std::vector<std::string>{"Lost: 登録できませんでした。"}, texts(lost.lines));
  EXPECT_EQ(1, lost.failedCount);
}

TEST_F(AppRegistrationServiceTest, RemoveIsRefusedWhileSwitching) {
  AppRegistry registry(makeStore());
  const auto added = registry.add(directoryUrl(app("A", "com.example.a")));
  ASSERT_TRUE(added);
  EXPECT_FALSE(AppRegistrationService::remove(added->id, registry, true));
  EXPECT_TRUE(AppRegistrationService::remove(added->id, registry, false));
  EXPECT_TRUE(registry.apps().empty());
}

}  // namespace
}  // namespace quillon
