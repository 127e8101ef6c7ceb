#include "core/product/app_delegate.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/product/launch_instance_acquisition.h"
#include "core/storage/files/launch_storage_error.h"
#include "support/fake_alert_presenter.h"
#include "support/fake_log_sink.h"
#include "support/manual_main_loop.h"
#include "support/temporary_directory.h"

namespace quillon {
namespace {

struct AppDelegateTest : ::testing::Test {
  TemporaryDirectory temporary;
  std::filesystem::path dataDirectory = temporary / "com.quillon.app";
  FakeLogSink log;
  ManualClock clock;
  ManualMainLoop loop{clock};
  FakeAlertPresenter alerts{loop};
  std::vector<std::string> calls;

  std::unique_ptr<AppDelegate> makeDelegate() {
    AppDelegate::Hooks hooks;
    hooks.becomeAccessory = [this] { calls.push_back("accessory"); };
    hooks.terminate = [this](int status) { calls.push_back("terminate " + std::to_string(status)); };
    hooks.reportStartFailure = [this](const Alert& alert) { calls.push_back("report " + alert.messageText); };
    hooks.compose = [this] { calls.push_back("compose"); };
    hooks.tearDown = [this] { calls.push_back("tearDown"); };
    return std::make_unique<AppDelegate>(Url::fileUrl(dataDirectory.string(), true), loop, log, alerts, hooks);
  }
};

TEST_F(AppDelegateTest, TakesTheLockThenHandsOverToComposition) {
  auto delegate = makeDelegate();
  EXPECT_FALSE(delegate->hasStarted());
  delegate->applicationDidFinishLaunching();
  EXPECT_EQ((std::vector<std::string>{"accessory", "compose"}), calls);
  EXPECT_TRUE(delegate->hasStarted());
  EXPECT_TRUE(delegate->isActive());
  EXPECT_TRUE(log.lines().empty());
  EXPECT_TRUE(alerts.alerts().empty());
  EXPECT_EQ(LaunchInstanceAcquisition::Kind::alreadyRunning,
            LaunchSingleInstance::acquire(Url::fileUrl(dataDirectory.string(), true)).kind());

  delegate->applicationWillTerminate();
  EXPECT_TRUE(delegate->isTerminating());
  EXPECT_FALSE(delegate->isActive());
  EXPECT_EQ("tearDown", calls.back());
  EXPECT_TRUE(std::filesystem::exists(dataDirectory / ".instance.lock"));
}

TEST_F(AppDelegateTest, ASecondInstanceLogsAndTerminatesSilently) {
  auto first = makeDelegate();
  first->applicationDidFinishLaunching();
  calls.clear();

  auto second = makeDelegate();
  second->applicationDidFinishLaunching();
  EXPECT_EQ((std::vector<std::string>{"accessory", "terminate 0"}), calls);
  EXPECT_EQ((std::vector<std::string>{
                "[Quillon/startup] another instance owns the local data and input; closing this instance"}),
            log.lines());
  EXPECT_TRUE(alerts.alerts().empty());
  EXPECT_FALSE(second->hasStarted());
  second->applicationWillTerminate();
  EXPECT_EQ("terminate 0", calls.back()) << "nothing was composed, so nothing is torn down";
  EXPECT_TRUE(first->isActive());
}

TEST_F(AppDelegateTest, AnUnusableLocationShowsTheStartFailureAlertAndTerminatesWhenItCloses) {
  std::filesystem::create_directories(dataDirectory / ".instance.lock");
  auto delegate = makeDelegate();
  delegate->applicationDidFinishLaunching();
  loop.runUntilIdle();
  ASSERT_EQ(1u, alerts.alerts().size());
  ASSERT_TRUE(alerts.isAlertOpen());
  EXPECT_EQ((std::vector<std::string>{"accessory", "report Quillonを開始できません"}), calls)
      << "the application stays until the alert is answered";
  alerts.answerAlert(AlertPresenter::closedWithoutButton);
  loop.runUntilIdle();
  const Alert& alert = alerts.alerts()[0];
  EXPECT_NE(std::string::npos, alert.informativeText.find("\n" + dataDirectory.string() + "\n" +
                                                          LaunchStorageError::unsafeLocation.description() + "\n"))
      << alert.informativeText;
  EXPECT_EQ((std::vector<std::string>{"閉じる"}), alert.buttons);
  EXPECT_EQ("terminate 1", calls.back());
  EXPECT_FALSE(delegate->hasStarted());
  EXPECT_TRUE(log.lines().empty());
}

}  // namespace
}  // namespace quillon
