#include "core/storage/app_registry_recovery.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "core/localization/l10n.h"
#include "core/storage/app_registry.h"
#include "core/storage/launch_storage_error.h"
#include "registry_test_support.h"
#include "storage_test_files.h"
#include "support/fake_alert_presenter.h"

namespace quillon {
namespace {

using namespace registry_testing;
using nlohmann::json;

struct AppRegistryRecoveryTest : ::testing::Test, RegistryFixture {
  FakeAlertPresenter alerts;
  bool switching = false;
  int changes = 0;

  AppRegistryRecovery recoveryFor(AppRegistry& registry) {
    return AppRegistryRecovery(registry, alerts, {[this] { return switching; }, [this] { ++changes; }});
  }
};

TEST_F(AppRegistryRecoveryTest, ReloadReplacesTheListOnlyWhenTheStoredValueReads) {
  const auto a = app("A", "com.example.a").string();
  AppRegistry registry(makeStore());
  auto recovery = recoveryFor(registry);
  store(blobOf(json::array({entry("com.example.a", a, 0)})));

  switching = true;
  EXPECT_EQ(std::nullopt, recovery.reload());
  EXPECT_TRUE(registry.apps().empty());
  EXPECT_EQ(0, changes);

  switching = false;
  EXPECT_EQ(LocalizedText("登録データを再確認しました。"), recovery.reload());
  EXPECT_EQ(1u, registry.apps().size());
  EXPECT_EQ(1, changes);

  store(bytesOf("garbage"));
  EXPECT_EQ(std::nullopt, recovery.reload());
  EXPECT_EQ(1u, registry.apps().size()) << "a failed reload keeps the list in memory";
  EXPECT_TRUE(registry.store().loadFailed());
  EXPECT_EQ(2, changes);
}

TEST_F(AppRegistryRecoveryTest, ResetAsksWithItsTextsAndDoesNothingWhenCancelled) {
  const Bytes original = bytesOf("garbage");
  store(original);
  AppRegistry registry(makeStore());
  auto recovery = recoveryFor(registry);
  alerts.answerNextAlert(0);
  EXPECT_EQ(std::nullopt, recovery.reset());
  ASSERT_EQ(1u, alerts.alerts().size());
  const auto& confirm = alerts.alerts()[0];
  EXPECT_EQ("アプリの登録データを初期化しますか？", confirm.messageText);
  EXPECT_EQ("元の登録データをバックアップとして保全したうえで、登録一覧だけを空にします。アプリ自体は削除・終了しません。保存画像もここでは削除しません。使いたい.appは、あとで登録し直せます。\n\n安全にバックアップを作れない場合は、初期化せず停止します。",
            confirm.informativeText);
  EXPECT_EQ((std::vector<std::string>{"キャンセル", "元のデータを保全して初期化"}), confirm.buttons);
  EXPECT_EQ(PropertyListValue{original}, stored());
  EXPECT_TRUE(backups().empty());
  EXPECT_EQ(0, changes);
}

TEST_F(AppRegistryRecoveryTest, AConfirmedResetPreservesTheOriginalAndEmptiesTheList) {
  const Bytes original = bytesOf("garbage");
  store(original);
  AppRegistry registry(makeStore());
  auto recovery = recoveryFor(registry);
  alerts.answerNextAlert(1);
  const auto result = recovery.reset();
  ASSERT_TRUE(result);
  ASSERT_EQ(1u, backups().size());
  const auto backupPath = (dataDirectory / backups()[0]).string();
  EXPECT_EQ(original, testing_files::readFile(backupPath));
  const std::string expected = "登録一覧を初期化しました。元の登録データ: " + backupPath + "\n起動中のアプリと保存画像は変更していません。";
  EXPECT_EQ(expected, L10n::text(*result));
  ASSERT_EQ(2u, alerts.alerts().size());
  EXPECT_EQ("元の登録データを保全しました", alerts.alerts()[1].messageText);
  EXPECT_EQ(expected, alerts.alerts()[1].informativeText);
  EXPECT_EQ(std::vector<std::string>{"閉じる"}, alerts.alerts()[1].buttons);
  EXPECT_FALSE(registry.store().loadFailed());
  EXPECT_FALSE(registry.canPrunePreviews());
  EXPECT_EQ(1, changes);
}

TEST_F(AppRegistryRecoveryTest, ASwitchStartedDuringTheQuestionStopsTheReset) {
  store(bytesOf("garbage"));
  AppRegistry registry(makeStore());
  AppRegistryRecovery recovery(registry, alerts, {[this] { return alerts.alerts().size() == 1; }, [this] { ++changes; }});
  alerts.answerNextAlert(1);
  EXPECT_EQ(std::nullopt, recovery.reset());
  EXPECT_TRUE(backups().empty());
  EXPECT_EQ(PropertyListValue{bytesOf("garbage")}, stored());
}

TEST_F(AppRegistryRecoveryTest, AFailedResetSaysWhyAndStillRefreshes) {
  AppRegistry registry(makeStore());  // nothing stored: nothing to preserve
  auto recovery = recoveryFor(registry);
  alerts.answerNextAlert(1);
  EXPECT_EQ(std::nullopt, recovery.reset());
  ASSERT_EQ(2u, alerts.alerts().size());
  EXPECT_EQ("登録データを初期化できませんでした", alerts.alerts()[1].messageText);
  EXPECT_EQ(LaunchStorageError::invalidRecord().description(), alerts.alerts()[1].informativeText);
  EXPECT_EQ(std::vector<std::string>{"閉じる"}, alerts.alerts()[1].buttons);
  EXPECT_EQ(1, changes);
  EXPECT_EQ(0, defaults.writeCount());
}

}  // namespace
}  // namespace quillon
