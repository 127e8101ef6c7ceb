#include "core/switching/launch_switch_coordinator.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>

#include "core/async/launch_async_wait_error.h"
#include "core/bundle/launch_lifecycle_error.h"
#include "support/fake_log_sink.h"
#include "support/fake_workspace.h"
#include "support/manual_main_loop.h"
#include "support/registry_test_support.h"

namespace quillon {
namespace {

using registry_testing::RegistryFixture;

// Three registered apps on disk, a scripted switch operation that the test completes,
// and the running applications of a fake workspace.
struct CoordinatorTest : ::testing::Test, RegistryFixture {
  ManualClock clock;
  ManualMainLoop loop{clock};
  FakeWorkspace workspace;
  FakeLogSink log;
  AppRegistry registry{makeStore()};
  struct Call {
    ApplicationHandle source;
    Url url;
    Completion<LaunchLifecycleResult> complete;
  };
  std::deque<Call> calls;
  LaunchStatusModel statusModel;
  LaunchSwitchCoordinator coordinator{registry,
                                      workspace,
                                      loop,
                                      log,
                                      statusModel,
                                      [this](ApplicationHandle source, Url url) -> Task<LaunchLifecycleResult> {
                                        auto start = [this, source, url](Completion<LaunchLifecycleResult> done) {
                                          calls.push_back({source, url, std::move(done)});
                                        };
                                        co_return co_await awaitCallback<LaunchLifecycleResult>(loop, start);
                                      }};
  int changes = 0;
  ManagedNotchApp aurora = add("Aurora"), ember = add("Ember"), tide = add("Tide");

  ManagedNotchApp add(const std::string& name) { return *registry.add(directoryUrl(app(name, "com.example." + name))); }
  std::shared_ptr<FakeRunningApplication> run(const ManagedNotchApp& app, std::int32_t pid) {
    auto running = FakeRunningApplication::make(pid, app.bundleURL.path(), app.bundleIdentifier);
    workspace.applications.push_back(running);
    return running;
  }
  void SetUp() override {
    coordinator.onChange = [this] { ++changes; };
  }
  void refresh() { runTask(loop, coordinator.refreshRunningSelection()); }

  struct Selection {
    TaskHandle handle;
    std::shared_ptr<std::optional<bool>> result = std::make_shared<std::optional<bool>>();
  };
  Selection select(const ManagedNotchApp& app, std::optional<Uuid> sourceID = std::nullopt,
                   std::optional<std::int32_t> sourcePID = std::nullopt) {
    Selection selection;
    selection.handle = spawn<bool>(loop, coordinator.select(app.id, sourceID, sourcePID),
                                   [result = selection.result](Result<bool> r) { *result = r.value(); });
    loop.runUntilIdle();
    return selection;
  }
  // Completes the oldest switch call with `outcome`.
  void complete(Result<LaunchLifecycleResult> outcome) {
    auto call = std::move(calls.front());
    calls.pop_front();
    call.complete(std::move(outcome));
    loop.runUntilIdle();
  }
  void finish(std::shared_ptr<FakeRunningApplication> launched) {
    complete(LaunchLifecycleResult{std::move(launched), {0.1, 0.02, 0.125}});
  }
  void fail(const Error& error) { complete(std::make_exception_ptr(error)); }
  std::string status() const { return statusModel.status() ? statusModel.status()->key() : ""; }
};

TEST_F(CoordinatorTest, AMenuSwitchQuitsTheCurrentAppOpensTheSelectedOneAndAdoptsIt) {
  auto running = run(aurora, 101);
  refresh();
  EXPECT_EQ(coordinator.currentID(), aurora.id);
  EXPECT_EQ(log.lines().back(), "[Quillon/launch] adopted Aurora pid=101 path=" + aurora.bundleURL.path());

  auto selection = select(tide);
  EXPECT_TRUE(coordinator.isSwitching());
  EXPECT_EQ(status(), "%1$@ に切り替え中…");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls.front().source, running);
  EXPECT_EQ(calls.front().url, *registry.resolvedURL(tide));
  EXPECT_EQ(select(ember).result->value_or(true), false) << "one switch at a time";
  EXPECT_EQ(calls.size(), 1u);

  running->terminated = true;
  finish(run(tide, 202));
  EXPECT_EQ(*selection.result, true);
  EXPECT_FALSE(coordinator.isSwitching());
  EXPECT_EQ(coordinator.currentID(), tide.id);
  EXPECT_EQ(coordinator.currentApplication()->processIdentifier(), 202);
  EXPECT_FALSE(statusModel.status());
  EXPECT_EQ(log.lines().back(), "[Quillon/launch] committed Tide pid=202 terminate=0.100 open=0.020 total=0.125");

  EXPECT_EQ(*select(tide).result, true) << "the current, living app needs no switch";
  EXPECT_TRUE(calls.empty());
}

// A gesture names the app it began on; the menu does not, so only the gesture is refused
// when that app has gone in the meantime.
TEST_F(CoordinatorTest, AGestureWhoseSourceWentAwayIsRefusedButTheMenuIsNot) {
  auto running = run(aurora, 101);
  refresh();
  running->terminated = true;
  EXPECT_EQ(*select(tide, aurora.id, 101).result, false);
  EXPECT_EQ(status(), "切り替えを中止：操作を始めたアプリが変わりました");
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(*select(tide, aurora.id, 999).result, false) << "another process of the same app";

  auto selection = select(tide);
  ASSERT_EQ(calls.size(), 1u);
  finish(run(tide, 202));
  EXPECT_EQ(*selection.result, true);
}

TEST_F(CoordinatorTest, AFailureSaysWhyAndKeepsOnlyALivingCurrentApp) {
  auto running = run(aurora, 101);
  refresh();
  auto refused = select(tide);
  fail(LaunchLifecycleError::terminationRefused);
  EXPECT_EQ(*refused.result, false);
  EXPECT_EQ(coordinator.currentID(), aurora.id);
  const std::string failure = "切り替え失敗：%1$@。メニューで元のアプリまたは別のアプリを選び直せます";
  EXPECT_EQ(status(), failure);
  EXPECT_EQ(statusModel.status()->arguments().front(), "現在のアプリが終了要求を受け付けませんでした");

  running->terminated = true;
  auto timedOut = select(tide);
  fail(LaunchLifecycleError::terminationTimedOut);
  EXPECT_FALSE(coordinator.currentID()) << "the app that was to quit is gone";
  refresh();
  EXPECT_EQ(status(), failure) << "the failure outlives a refresh that finds no app";
  EXPECT_EQ(statusModel.status()->arguments().front(), "現在のアプリが10秒以内に終了しませんでした");
}

TEST_F(CoordinatorTest, AnOutcomeAfterTheLimitIsAppliedOnceByTheLateHandler) {
  run(aurora, 101);
  refresh();
  auto selection = select(tide);
  loop.advance(14.999);
  EXPECT_FALSE(selection.result->has_value());
  loop.advance(0.001);
  EXPECT_EQ(*selection.result, false);
  EXPECT_TRUE(coordinator.isAwaitingOutcome());
  EXPECT_TRUE(coordinator.isSwitching());
  EXPECT_EQ(status(), "切替結果は未確定です。メニューの「切替結果を再確認」を利用してください");
  EXPECT_EQ(*select(ember).result, false) << "still blocked until the outcome is known";

  auto tideProcess = run(tide, 202);
  tideProcess->executable = tide.bundleURL.path() + "/Contents/MacOS/Notch";
  runTask(loop, coordinator.recheckPending());
  EXPECT_EQ(status(), "対象アプリの起動を確認しました。通常操作は利用できます。OSの完了応答まで追加切替は待機します");
  EXPECT_EQ(coordinator.currentID(), aurora.id) << "adopted only when the outcome arrives";

  const auto linesBefore = log.lines().size();
  finish(tideProcess);
  EXPECT_FALSE(coordinator.isSwitching());
  EXPECT_FALSE(coordinator.isAwaitingOutcome());
  EXPECT_EQ(coordinator.currentID(), tide.id);
  EXPECT_EQ(log.lines().size(), linesBefore) << "no committed line on the late path";
}

TEST_F(CoordinatorTest, ARegistryChangedDuringTheSwitchLeavesNoCurrentApp) {
  auto selection = select(tide);
  ASSERT_TRUE(registry.remove(tide.id));
  finish(run(tide, 202));
  EXPECT_EQ(*selection.result, false);
  EXPECT_FALSE(coordinator.currentID());
  EXPECT_EQ(status(), "起動は完了しましたが登録が変わっています。メニューから操作対象を選択してください");
}

TEST_F(CoordinatorTest, RefreshAdoptsOnlyASingleRunningRegisteredApp) {
  refresh();
  EXPECT_EQ(status(), "メニューからアプリを選んで起動");
  run(aurora, 101);
  auto second = run(ember, 102);
  refresh();
  EXPECT_FALSE(coordinator.currentID());
  EXPECT_EQ(status(), "登録アプリが複数起動中");

  second->terminated = true;
  refresh();
  EXPECT_EQ(coordinator.currentID(), aurora.id);
  const int before = changes;
  refresh();
  EXPECT_EQ(changes, before) << "an unchanged current app publishes nothing";
}

// A switch that starts and ends while a refresh reads the process table keeps its app:
// the older list must not clear it and leave the next menu choice without a source.
TEST_F(CoordinatorTest, ARefreshKeepsASwitchMadeWhileItScanned) {
  workspace.holdScansOn = &loop;
  coordinator.refreshSoon();
  loop.runUntilIdle();
  workspace.holdScansOn = nullptr;
  auto selection = select(tide);
  finish(run(tide, 202));
  ASSERT_EQ(coordinator.currentID(), tide.id);
  workspace.releaseScan();
  loop.runUntilIdle();
  EXPECT_EQ(coordinator.currentID(), tide.id);
  ASSERT_TRUE(coordinator.currentApplication());
  EXPECT_EQ(coordinator.currentApplication()->processIdentifier(), 202);
}

// Of several running registered apps, also ones started beside the current app, one is kept: the others are asked to quit normally,
// one that refuses is reported and left running, never forced; then the kept one is
// adopted once it runs alone.
TEST_F(CoordinatorTest, KeepingOneQuitsTheOthersNormallyAndReportsARefusal) {
  run(aurora, 101);
  refresh();
  ASSERT_EQ(coordinator.currentID(), aurora.id);
  // Started elsewhere beside the current app: noticed although the current one lives.
  std::map<std::int32_t, std::shared_ptr<FakeRunningApplication>> others{{102, run(ember, 102)}, {103, run(tide, 103)}};
  refresh();
  ASSERT_EQ(coordinator.severalRunning().size(), 3u);
  std::vector<std::int32_t> asked;
  bool tideRefuses = true;
  coordinator.quitApplication = [&](ApplicationHandle app) -> Task<void> {
    const auto pid = app->processIdentifier();
    asked.push_back(pid);
    if (pid == 103 && tideRefuses) throw LaunchLifecycleError::terminationRefused;
    others.at(pid)->terminated = true;
    co_return;
  };
  runTask(loop, coordinator.keepOnly(aurora.id));
  EXPECT_EQ(asked, (std::vector<std::int32_t>{102, 103}));
  EXPECT_FALSE(coordinator.isSwitching());
  EXPECT_FALSE(coordinator.currentID()) << "Tide still runs beside Aurora";
  EXPECT_EQ(status(), "%1$@を終了できませんでした。強制終了はしていません");
  EXPECT_EQ(coordinator.severalRunning().size(), 2u);

  tideRefuses = false;
  runTask(loop, coordinator.keepOnly(aurora.id));
  EXPECT_EQ(coordinator.currentID(), aurora.id);
  EXPECT_TRUE(coordinator.severalRunning().empty());
  EXPECT_FALSE(statusModel.status());
}

}  // namespace
}  // namespace quillon
