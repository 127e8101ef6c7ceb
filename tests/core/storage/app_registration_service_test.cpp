#include "core/storage/app_registration_service.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "core/localization/l10n.h"
#include "core/storage/app_registry.h"
#include "registry_test_support.h"
#include "support/fake_alert_presenter.h"

namespace quillon {
namespace {

using namespace registry_testing;
namespace fs = std::filesystem;

struct AppRegistrationServiceTest : ::testing::Test, RegistryFixture {
  FakeAlertPresenter alerts;
  bool switching = false;
  int registered = 0;

  void addFromMenu(AppRegistry& registry) {
    AppRegistrationService::addFromMenu(registry, alerts, [this] { return switching; }, [this] { ++registered; });
  }
  static std::vector<std::string> texts(const std::vector<LocalizedText>& lines) {
    std::vector<std::string> out;
    for (const auto& line : lines) out.push_back(L10n::text(line));
    return out;
  }
};

TEST_F(AppRegistrationServiceTest, TheMenuAddsTheChosenAppThroughTheOpenPanel) {
  AppRegistry registry(makeStore());
  alerts.answerNextOpenPanel({app("Alpha", "com.example.alpha").string()});
  addFromMenu(registry);
  ASSERT_EQ(1u, alerts.openPanels().size());
  const auto& panel = alerts.openPanels()[0];
  EXPECT_EQ("/Applications", panel.directoryPath);
  EXPECT_FALSE(panel.allowsMultipleSelection);
  EXPECT_FALSE(panel.canChooseDirectories);
  EXPECT_TRUE(panel.applicationsOnly);
  EXPECT_EQ(1u, registry.apps().size());
  EXPECT_EQ(1, registered);
  EXPECT_TRUE(alerts.alerts().empty());
}

TEST_F(AppRegistrationServiceTest, TheMenuDoesNothingWhileSwitchingOrProtectedOrCancelled) {
  AppRegistry registry(makeStore());
  switching = true;
  addFromMenu(registry);
  switching = false;
  addFromMenu(registry);  // cancelled: no scripted answer
  EXPECT_EQ(1u, alerts.openPanels().size());

  store(bytesOf("garbage"));
  AppRegistry protectedRegistry(makeStore());
  addFromMenu(protectedRegistry);
  EXPECT_EQ(1u, alerts.openPanels().size());
  EXPECT_TRUE(alerts.alerts().empty());
  EXPECT_EQ(0, registered);
}

TEST_F(AppRegistrationServiceTest, TheMenuShowsWhyAnAddFailed) {
  struct Row {
    const char* name;
    std::string chosen;
    bool switchDuringPanel;
    bool corruptDuringPanel;
    bool reloadDuringPanel;
    AppRegistrationError expected;
  };
  const auto good = app("Good", "com.example.good").string();
  fs::create_directories(root / "Folder.app");
  const std::vector<Row> rows = {
      {"a switch started meanwhile", good, true, false, false, AppRegistrationError::switchInProgress},
      {"not an app", (root / "Folder.app").string(), false, false, false, AppRegistrationError::registrationFailed},
      {"stored value found unreadable meanwhile", good, false, true, true, AppRegistrationError::storageUnavailable},
      {"stored value turned unreadable unnoticed", good, false, true, false, AppRegistrationError::registrationFailed},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    defaults.erase(SettingsStore::defaultAppsKey);
    AppRegistry registry(makeStore());
    FakeAlertPresenter presenter;
    presenter.answerNextOpenPanel({row.chosen});
    int questions = 0;
    AppRegistrationService::addFromMenu(
        registry, presenter,
        [&] {
          // The second question is asked after the panel closed: what happened while
          // it was open happens here.
          if (++questions == 1) return false;
          if (row.corruptDuringPanel) store(bytesOf("garbage"));
          if (row.reloadDuringPanel) registry.store().loadApps();
          return row.switchDuringPanel;
        },
        [] {});
    ASSERT_EQ(1u, presenter.alerts().size());
    EXPECT_EQ("アプリを追加できません", presenter.alerts()[0].messageText);
    EXPECT_EQ(description(row.expected), presenter.alerts()[0].informativeText);
    EXPECT_EQ(std::vector<std::string>{"閉じる"}, presenter.alerts()[0].buttons);
    EXPECT_TRUE(registry.apps().empty());
  }
}

TEST_F(AppRegistrationServiceTest, RegisteringSeveralAppsReportsOneLinePerApp) {
  AppRegistry registry(makeStore());
  const auto kept = app("Kept", "com.example.kept");
  const auto moved = app("Moved", "com.example.moved");
  const auto resumed = app("Resumed", "com.example.resumed");
  const auto resumedMoved = app("ResumedMoved", "com.example.resumed-moved");
  for (const auto& path : {kept, moved, resumed, resumedMoved}) ASSERT_TRUE(registry.add(directoryUrl(path)));
  auto list = registry.apps();
  list[2].enabled = false;
  list[3].enabled = false;
  ASSERT_TRUE(registry.store().saveApps(list));
  registry.setApps(registry.store().loadApps());

  TestAppBundle copy;
  copy.identifier = "com.example.moved";
  copy.name = "Moved";
  const auto movedCopy = copy.writeTo(root / "Elsewhere" / "Moved.app");
  copy.identifier = "com.example.resumed-moved";
  copy.name = "ResumedMoved";
  const auto resumedCopy = copy.writeTo(root / "Elsewhere" / "ResumedMoved.app");
  const auto fresh = app("Fresh", "com.example.fresh");
  fs::create_directories(root / "Folder.app");

  const auto report = AppRegistrationService::registerApplications(
      {directoryUrl(fresh), directoryUrl(kept), directoryUrl(movedCopy), directoryUrl(resumed),
       directoryUrl(resumedCopy), directoryUrl(root / "Folder.app")},
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
  EXPECT_EQ("5件を登録・確認しました。", L10n::text(report.registeredCountText()));
  EXPECT_EQ("1件は登録できませんでした。", L10n::text(report.failedCountText()));
  EXPECT_EQ(5u, registry.apps().size());
}

TEST_F(AppRegistrationServiceTest, AnAddTheRegistryRefusesIsReportedByName) {
  AppRegistry registry(makeStore());
  defaults.dropWrites(true);
  const auto report = AppRegistrationService::registerApplications({directoryUrl(app("Lost", "com.example.lost"))}, registry);
  EXPECT_EQ(std::vector<std::string>{"Lost: 登録できませんでした。"}, texts(report.lines));
  EXPECT_EQ(0, report.registeredCount);
  EXPECT_EQ(1, report.failedCount);
}

TEST_F(AppRegistrationServiceTest, RemoveIsRefusedWhileSwitchingAndForUnknownIds) {
  AppRegistry registry(makeStore());
  const auto added = registry.add(directoryUrl(app("A", "com.example.a")));
  ASSERT_TRUE(added);
  EXPECT_FALSE(AppRegistrationService::remove(added->id, registry, true));
  EXPECT_FALSE(AppRegistrationService::remove(LaunchUuid::random(), registry, false));
  EXPECT_EQ(1u, registry.apps().size());
  EXPECT_TRUE(AppRegistrationService::remove(added->id, registry, false));
  EXPECT_TRUE(registry.apps().empty());
}

}  // namespace
}  // namespace quillon
