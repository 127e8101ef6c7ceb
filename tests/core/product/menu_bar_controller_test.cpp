#include "core/product/menu_bar_controller.h"

#include <gtest/gtest.h>

#include <deque>

#include "core/switching/launch_switch_coordinator.h"
#include "support/fake_alert_presenter.h"
#include "support/fake_log_sink.h"
#include "support/fake_status_menu_host.h"
#include "support/fake_workspace.h"
#include "support/manual_main_loop.h"
#include "support/registry_test_support.h"

namespace quillon {
namespace {

using registry_testing::RegistryFixture;

std::vector<std::string> titles(const std::vector<MenuItem>& items) {
  std::vector<std::string> result;
  for (const auto& item : items) result.push_back(item.kind == MenuItem::Kind::separator ? "-" : item.title);
  return result;
}

// Two apps named alike and one whose bundle is deleted, a switch the test completes.
struct MenuTest : ::testing::Test, RegistryFixture {
  ManualClock clock;
  ManualMainLoop loop{clock};
  FakeWorkspace workspace;
  FakeLogSink log;
  FakeAlertPresenter alerts{loop};
  FakeStatusMenuHost host;
  std::unique_ptr<AppRegistry> registry = std::make_unique<AppRegistry>(makeStore());
  std::deque<Completion<LaunchLifecycleResult>> switches;
  LaunchStatusModel status;
  std::unique_ptr<LaunchSwitchCoordinator> coordinator;
  std::unique_ptr<MenuBarController> menu;

  void compose() {
    coordinator = std::make_unique<LaunchSwitchCoordinator>(
        *registry, workspace, loop, log, status, [this](ApplicationHandle, Url) -> Task<LaunchLifecycleResult> {
          auto start = [this](Completion<LaunchLifecycleResult> done) { switches.push_back(std::move(done)); };
          co_return co_await awaitCallback<LaunchLifecycleResult>(loop, start);
        });
    runTask(loop, coordinator->refreshRunningSelection());
    menu = std::make_unique<MenuBarController>(host, *registry, *coordinator, status, alerts, loop);
    menu->launchPermissionLines = {"line 1", "line 2", "line 3"};
    menu->rebuildMenu();
  }
  const std::vector<MenuItem>& items() const { return host.models().back().items; }
};

TEST_F(MenuTest, ListsAppsDisambiguatedWithTheirStatusAndDisablesEditsWhileSwitching) {
  const auto first = *registry->add(directoryUrl(app("Aurora", "com.example.one")));
  registry->add(registry_testing::bundleAt(root / "other" / "Aurora.app", [](TestAppBundle& b) {
    b.identifier = "com.example.two";
    b.name = "Aurora";
  }));
  const auto gone = *registry->add(directoryUrl(app("Tide", "com.example.tide")));
  std::filesystem::remove_all(gone.bundleURL.path());
  compose();

  EXPECT_EQ(
      titles(items()),
      (std::vector<std::string>{"Aurora — com.example.one", "Aurora — com.example.two", "Tide (アプリを確認できません)",
                                "メニューからアプリを選んで起動", "Quillonについて…", "はじめに…", "設定…", "line 1",
                                "line 2", "line 3", "権限について…", "-", "アプリを追加…", "登録を解除", "-", "終了"}));
  EXPECT_FALSE(host.find({"Tide (アプリを確認できません)"})->enabled);
  EXPECT_EQ(host.find({"設定…"})->keyEquivalent, ",");
  EXPECT_EQ(titles(host.find({"登録を解除"})->submenu),
            (std::vector<std::string>{"Aurora — com.example.one", "Aurora — com.example.two",
                                      "Tide（アプリを確認できません）"}));

  host.open();
  ASSERT_TRUE(host.choose({"Aurora — com.example.one"}));
  loop.runUntilIdle();
  const auto openModels = host.models().size();
  EXPECT_TRUE(coordinator->isSwitching());
  EXPECT_EQ(host.models().size(), openModels) << "the open menu is not changed under the user";
  host.close();
  for (const auto& title : {"Aurora — com.example.two", "アプリを追加…", "登録を解除"}) {
    SCOPED_TRACE(title);
    EXPECT_FALSE(host.find({title})->enabled);
  }
  EXPECT_FALSE(host.find({"登録を解除", "Aurora — com.example.two"})->enabled);

  auto launched = FakeRunningApplication::make(7, first.bundleURL.path(), first.bundleIdentifier);
  switches.front()(Result<LaunchLifecycleResult>(LaunchLifecycleResult{launched, {}}));
  loop.runUntilIdle();
  EXPECT_TRUE(host.find({"Aurora — com.example.one"})->checked);
  EXPECT_TRUE(host.find({"登録を解除", "Aurora — com.example.one（現在のアプリ）"}));
  // Either explanation opens while the other is still open.
  status.showImageStatus(std::nullopt, LocalizedText("画像の説明"));
  const auto shown = alerts.alerts().size();
  ASSERT_TRUE(host.choose({"権限について…"}));
  loop.runUntilIdle();
  ASSERT_TRUE(host.choose({"画像表示について…"}));
  loop.runUntilIdle();
  EXPECT_EQ(alerts.alerts().size(), shown + 2);
  ASSERT_TRUE(host.choose({"登録を解除", "Aurora — com.example.two"}));
  EXPECT_EQ(registry->apps().size(), 2u);
}

TEST_F(MenuTest, OpeningTheMenuShowsABundleDeletedOrReinstalledSinceTheLastChange) {
  const auto tide = *registry->add(directoryUrl(app("Tide", "com.example.tide")));
  compose();
  const std::filesystem::path kept = root / "kept.app";
  std::filesystem::rename(tide.bundleURL.path(), kept);
  host.open();
  ASSERT_TRUE(host.find({"Tide (アプリを確認できません)"}));
  EXPECT_FALSE(host.find({"Tide (アプリを確認できません)"})->enabled);
  host.close();
  std::filesystem::rename(kept, tide.bundleURL.path());
  host.open();
  ASSERT_TRUE(host.find({"Tide"}));
  EXPECT_TRUE(host.find({"Tide"})->enabled);
}

TEST_F(MenuTest, UnreadableRegistryDataOffersOnlyTheRecoveryItems) {
  store(bytesOf("{not json"));
  registry = std::make_unique<AppRegistry>(makeStore());
  compose();
  auto head = titles(items());
  head.resize(5);
  EXPECT_EQ(head, (std::vector<std::string>{"登録データを読み込めません", "登録データを確認してください",
                                            "登録データを再確認", "登録データの復旧について…",
                                            "メニューからアプリを選んで起動"}));
  int reloads = 0;
  menu->onReloadRegistrations = [&] { ++reloads; };
  EXPECT_TRUE(host.choose({"登録データを再確認"}));
  EXPECT_EQ(reloads, 1);
  EXPECT_FALSE(host.find({"アプリを追加…"})->enabled);
}

}  // namespace
}  // namespace quillon
