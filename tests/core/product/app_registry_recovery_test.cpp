#include "core/product/app_registry_recovery.h"

#include <gtest/gtest.h>

#include "core/localization/l10n.h"
#include "core/records/registry/app_registry.h"
#include "core/storage/files/launch_storage_error.h"
#include "support/fake_alert_presenter.h"
#include "support/manual_main_loop.h"
#include "support/registry_test_support.h"
#include "support/storage_test_files.h"

namespace quillon {
namespace {

using namespace registry_testing;
using nlohmann::json;

struct AppRegistryRecoveryTest : ::testing::Test, RegistryFixture {
  ManualClock clock;
  ManualMainLoop loop{clock};
  FakeAlertPresenter alerts{loop};
  std::function<bool()> switching = [] { return false; };
  int changes = 0;
  const Bytes garbage = bytesOf("garbage");

  AppRegistryRecovery recoveryFor(AppRegistry& registry) {
    return AppRegistryRecovery(registry, alerts, {[this] { return switching(); }, [this] { ++changes; }});
  }
  // The reset's outcome once every alert it showed was answered as scripted.
  std::optional<LocalizedText> reset(AppRegistryRecovery& recovery) {
    auto outcome = runTask(loop, recovery.reset());
    if (!outcome) ADD_FAILURE() << "the reset still waits for an answer";
    return outcome ? outcome->value() : std::nullopt;
  }
};

TEST_F(AppRegistryRecoveryTest, ReloadReplacesTheListOnlyWhenTheStoredValueReads) {
  AppRegistry registry(makeStore());
  auto recovery = recoveryFor(registry);
  store(blobOf(json::array({entry("com.example.a", app("A", "com.example.a").string(), 0)})));
  switching = [] { return true; };
  EXPECT_EQ(std::nullopt, recovery.reload());
  EXPECT_TRUE(registry.apps().empty());
  EXPECT_EQ(0, changes);

  switching = [] { return false; };
  EXPECT_TRUE(recovery.reload());
  EXPECT_EQ(1u, registry.apps().size());
  store(garbage);
  EXPECT_EQ(std::nullopt, recovery.reload());
  EXPECT_EQ(1u, registry.apps().size()) << "a failed reload keeps the list in memory";
  EXPECT_TRUE(registry.store().loadFailed());
  EXPECT_EQ(2, changes);
}

TEST_F(AppRegistryRecoveryTest, ResetIsDoneOnlyWhenConfirmedAndNoSwitchStartedMeanwhile) {
  store(garbage);
  AppRegistry registry(makeStore());
  auto recovery = recoveryFor(registry);
  alerts.answerNextAlert(0);
  EXPECT_EQ(std::nullopt, reset(recovery));
  // A switch starts while the question is open.
  const auto handle = spawn(loop, recovery.reset());
  loop.runUntilIdle();
  ASSERT_TRUE(alerts.isAlertOpen());
  switching = [] { return true; };
  alerts.answerAlert(1);
  loop.runUntilIdle();
  EXPECT_TRUE(handle.isFinished());
  EXPECT_EQ(PropertyListValue{garbage}, stored());
  EXPECT_TRUE(backups().empty());
  EXPECT_EQ(0, changes);

  switching = [] { return false; };
  alerts.answerNextAlert(1);
  alerts.answerNextAlert(0);
  const auto result = reset(recovery);
  ASSERT_TRUE(result);
  ASSERT_EQ(1u, backups().size());
  const auto backupPath = (dataDirectory / backups()[0]).string();
  EXPECT_EQ(garbage, testing_files::readFile(backupPath));
  EXPECT_NE(std::string::npos, L10n::text(*result).find(backupPath));
  EXPECT_EQ(L10n::text(*result), alerts.alerts().back().informativeText);
  EXPECT_FALSE(registry.store().loadFailed());
  EXPECT_FALSE(registry.canPrunePreviews());
  EXPECT_EQ(1, changes);
}

TEST_F(AppRegistryRecoveryTest, AFailedResetSaysWhyAndStillRefreshes) {
  AppRegistry registry(makeStore());  // nothing stored: nothing to preserve
  auto recovery = recoveryFor(registry);
  alerts.answerNextAlert(1);
  alerts.answerNextAlert(0);
  EXPECT_EQ(std::nullopt, reset(recovery));
  ASSERT_EQ(2u, alerts.alerts().size());
  EXPECT_EQ(LaunchStorageError::invalidRecord.description(), alerts.alerts()[1].informativeText);
  EXPECT_EQ(1, changes);
  EXPECT_EQ(0, defaults.writeCount());
}

}  // namespace
}  // namespace quillon
