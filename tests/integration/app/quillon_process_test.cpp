// The real quillon executable, started as a user would start it on an X display with a
// tray host. One process per user owns the data directory; a second exits silently; an
// unusable location or a missing display stops the start with the alert's text on the
// terminal and status 1. A click on the tray opens the status item's menu, whose items
// open the About alert and quit, and choosing a registered sample app switches to it (or
// says what failed and what was kept); windows are found through the window-list
// adapter, by their verified owner. The screenshots in test-artifacts/ are for a person to look at
// (Japanese text, nothing clipped); nothing compares their pixels.

#include <sys/stat.h>

#include "app/quillon_app_fixture.h"
#include "core/records/onboarding/launch_onboarding_store.h"
#include "core/records/preferences/launch_preferences_store.h"

namespace quillon {
namespace {

unsigned modeOf(const fs::path& path) {
  struct stat info {};
  ::lstat(path.c_str(), &info);
  return info.st_mode & 07777;
}

TEST_F(QuillonProcessTest, ASecondProcessExitsSilentlyAndLeavesTheFirstRunning) {
  auto first = startQuillon();
  ASSERT_TRUE(first->waitForErrorLine(startedLine, deadline)) << first->errorText();
  EXPECT_EQ(0700u, modeOf(applicationSupport));
  EXPECT_EQ(0700u, modeOf(dataDirectory));
  EXPECT_EQ(0600u, modeOf(lockFile));
  ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(lockFile)));

  auto second = startQuillon();
  EXPECT_EQ(0, exitStatus(second->waitForExit(deadline))) << "the second instance kept running";
  EXPECT_EQ("[Quillon/startup] another instance owns the local data and input; closing this instance\n",
            second->errorText())
      << "exactly the log line, and no alert";
  EXPECT_TRUE(first->isRunning());
  EXPECT_EQ(0600u, modeOf(lockFile));

  // Quitting keeps the lock file; the next start takes it over.
  EXPECT_EQ(0, exitStatus(first->killAndWait(SIGTERM)));
  EXPECT_TRUE(fs::exists(lockFile)) << "the lock file must never be removed";
  auto third = startQuillon();
  EXPECT_TRUE(third->waitForErrorLine(startedLine, deadline)) << third->errorText();
}

// Every kind of unsafe lock file is refused in the core tests; here one shows that the
// refusal reaches the terminal as the alert's text (the alert itself is on the screen)
// and ends the process with status 1, also when a signal ends it before the user
// answered.
TEST_F(QuillonProcessTest, AnUnsafeLockFileStopsTheStartWithTheAlert) {
  fs::create_directories(dataDirectory);
  fs::create_symlink(temporary / "elsewhere", lockFile);
  auto quillon = startQuillon();
  ASSERT_TRUE(quillon->waitForErrorLine("[閉じる]", deadline)) << quillon->errorText();
  const std::string& text = quillon->errorText();
  EXPECT_EQ(0u, text.find("Quillonを開始できません\n")) << text;
  EXPECT_NE(std::string::npos, text.find(dataDirectory.string() + "\n")) << text;
  EXPECT_NE(std::string::npos, text.find("\n登録・保存画像・起動中のアプリは変更していません。\n[閉じる]\n")) << text;
  EXPECT_EQ(std::string::npos, text.find(startedLine)) << text;
  EXPECT_EQ(1, exitStatus(quillon->killAndWait(SIGTERM)));
  EXPECT_FALSE(fs::exists(temporary / "elsewhere"));
}

TEST_F(QuillonProcessTest, WithoutADisplayTheAlertTextGoesToTheTerminal) {
  auto quillon = startQuillon({"DISPLAY=:none"});
  EXPECT_EQ(1, exitStatus(quillon->waitForExit(deadline))) << quillon->errorText();
  EXPECT_EQ(
      "Quillonを開始できません\n画面を表示できません。Xディスプレイ「:none」に接続できませんでした。\n"
      "登録・保存画像・起動中のアプリは変更していません。\n",
      quillon->errorText());
  EXPECT_FALSE(fs::exists(lockFile)) << "nothing is touched before the platform exists";
}

// The desktop entry's actions start quillon again; the running instance opens the window
// asked for (settings by default, the guide with --onboarding) and the new process exits.
struct SecondStartTest : TrayMenuTest {
  SecondStartTest() { quillonEnvironment.push_back("QUILLON_MENU_LOG=1"); }
};

TEST_F(SecondStartTest, OpensTheAskedWindowInTheRunningInstance) {
  // The first-run guide of the fresh account is put away first, so that its reopening shows.
  const auto guideAtStart = waitForControls("Quillon — はじめに", {"あとで"}, 0);
  ASSERT_TRUE(guideAtStart) << quillon->errorText();
  clickControl(*guideAtStart, "あとで");
  ASSERT_TRUE(waitForWindow([&](const WindowRow& row) { return ownedByQuillon(row) && row.layer == 0; }, true));
  for (const auto& [arguments, title] : {std::pair{std::vector<std::string>{}, "Quillon 設定"},
                                         std::pair{std::vector<std::string>{"--onboarding"}, "Quillon — はじめに"}}) {
    SCOPED_TRACE(title);
    const auto mark = outputMark();
    auto again = startQuillon(quillonEnvironment, arguments);
    EXPECT_EQ(0, exitStatus(again->waitForExit(deadline))) << again->errorText();
    const std::string prefix = std::string("[Quillon/window] ") + title + " | ";
    EXPECT_TRUE(
        quillon->waitForErrorLineWhere([&](std::string_view line) { return line.starts_with(prefix); }, deadline, mark))
        << quillon->errorText();
  }
}

// The settings action of the desktop entry, when Quillon is not running yet.
struct SettingsAtStartTest : SecondStartTest {
  SettingsAtStartTest() { quillonArguments = {"--settings"}; }
};

TEST_F(SettingsAtStartTest, AFirstStartWithSettingsOpensTheSettingsWindow) {
  EXPECT_TRUE(waitForControls("Quillon 設定", {"Alt+Shift を使う"}, 0)) << quillon->errorText();
}

TEST_F(TrayMenuTest, TheStatusItemsMenuOpensByAClickAndItsLastItemQuits) {
  const auto menu = openMenu();
  ASSERT_TRUE(menu) << "no menu opened from the tray\n" << quillon->errorText();
  saveScreenshot("tray-menu.png", menu);
  click(menu->midX(), menu->maxY() - itemInset);
  EXPECT_EQ(0, exitStatus(quillon->waitForExit(deadline))) << "choosing the last item did not quit cleanly";
}

TEST_F(TrayMenuTest, TheFirstItemShowsTheAboutAlertAndSigtermStillEndsCleanly) {
  const auto menu = openMenu();
  ASSERT_TRUE(menu) << "no menu opened from the tray\n" << quillon->errorText();
  // The list and the status come first and cannot be chosen; the keyboard skips them to
  // the first enabled item, the About item.
  pressKey(0xff54);  // Down
  pressKey(0xff0d);  // Return
  // Narrower than the first-run guide, which a fresh account also gets at start.
  const auto alert = waitForWindow(
      [&](const WindowRow& row) { return ownedByQuillon(row) && row.layer == 0 && row.bounds->width < 800; });
  ASSERT_TRUE(alert) << "the About alert did not appear";
  saveScreenshot("about-alert.png", alert);
  EXPECT_EQ(0, exitStatus(quillon->killAndWait(SIGTERM)));
}

// A fresh account gets the first-run guide at start. It takes a dropped app, resumes at
// the step where it was left, and once finished no longer opens by itself.
struct GuideTest : TrayMenuTest {
  void SetUp() override {
    quillonEnvironment.push_back("QUILLON_MENU_LOG=1");
    TrayMenuTest::SetUp();
  }
  void restart() {
    ASSERT_EQ(0, exitStatus(quillon->killAndWait(SIGTERM)));
    quillon = startQuillon(quillonEnvironment);
    ASSERT_TRUE(quillon->waitForErrorLine(startedLine, deadline)) << quillon->errorText();
  }
  bool waitForRecord(const std::function<bool(const LaunchOnboardingRecord&)>& accept) {
    auto store = LaunchOnboardingStore::inDataDirectory(directoryUrl(dataDirectory));
    return waitUntil([&] { return accept(store.load()); });
  }
  const std::string guide = "Quillon — はじめに";
};

TEST_F(GuideTest, ResumesWhereItWasLeftTakesADroppedAppAndRecordsItsEnd) {
  const auto first = waitForControls(guide, {"次へ"}, 0);
  ASSERT_TRUE(first) << "the first-run guide did not open\n" << quillon->errorText();
  const auto window = waitForWindow([&](const WindowRow& row) { return ownedByQuillon(row) && row.layer == 0; });
  ASSERT_TRUE(window);
  saveScreenshot("onboarding-at-start.png", window);

  // One step on, quit in the middle: the next start resumes there.
  auto mark = outputMark();
  clickControl(*first, "次へ");
  ASSERT_TRUE(waitForControls(guide, {"戻る", "次へ"}, mark)) << quillon->errorText();
  restart();
  auto step = waitForControls(guide, {"戻る", "次へ"}, 0);
  ASSERT_TRUE(step) << "the guide did not resume at its second step\n" << quillon->errorText();

  fs::copy(fs::path(QUILLON_SAMPLE_APPS_DIR) / "Aurora.app", temporary / "Aurora.app", fs::copy_options::recursive);
  fs::create_directories(temporary / "Notes.app");  // a folder named like an app
  mark = outputMark();
  ASSERT_TRUE(dropFile(temporary / "Aurora.app", window->midX(), window->midY()));
  EXPECT_TRUE(quillon->waitForErrorLine("[Quillon/registration] オーロラを追加しました", deadline))
      << quillon->errorText();
  EXPECT_TRUE(quillon->waitForErrorLineStartingWith("[Quillon/menu] オーロラ | ", deadline, mark)) << "not registered";
  ASSERT_TRUE(dropFile(temporary / "Notes.app", window->midX(), window->midY()));
  EXPECT_TRUE(quillon->waitForErrorLineStartingWith("[Quillon/registration] ", deadline, outputMark())
                  .value_or("")
                  .ends_with("有効なアプリではありません。.appという名前だけのフォルダは登録できません。"))
      << quillon->errorText();
  saveScreenshot("onboarding-drop.png", window);

  // The next step shows the same controls; the record tells it was reached.
  clickControl(*step, "次へ");
  ASSERT_TRUE(
      waitForRecord([](const LaunchOnboardingRecord& r) { return r.lastStep == LaunchOnboardingStep::preview; }));
  mark = outputMark();
  clickControl(*step, "次へ");
  step = waitForControls(guide, {"はじめる"}, mark);
  ASSERT_TRUE(step) << quillon->errorText();
  clickControl(*step, "はじめる");
  ASSERT_TRUE(waitForWindow([&](const WindowRow& row) { return ownedByQuillon(row) && row.layer == 0; }, true));
  EXPECT_TRUE(waitForRecord([](const LaunchOnboardingRecord& r) { return r.completedAt.has_value(); }));
}

TEST_F(SwitchMenuTest, ChoosingAnAppQuitsTheRunningOneAndLaunchesItsRegisteredBundle) {
  const auto mark = outputMark();
  choose(3, "switch-menu-before.png");
  expectSwitchFromAurora("タイド", "Tide", mark);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(waitForMenu("オーロラ | エンバー | ✓タイド | Quillonについて…", mark)) << quillon->errorText();
  const auto menu = openMenu();
  ASSERT_TRUE(menu);
  saveScreenshot("switch-menu-after.png", menu);
  pressKey(escapeKey);

  // Polled every second since the start, the X server's permissions were logged once,
  // with the event tap started on the first poll.
  const std::string permissions =
      "[Quillon/permissions] AX=true screenCapture=true inputTapStarted=true; "
      "アクセシビリティ: 許可済み / 画面収録: 許可済み / ホットキー切替: 入力受付は起動済み\n";
  const std::string& text = quillon->errorText();
  EXPECT_NE(std::string::npos, text.find(permissions)) << text;
  EXPECT_EQ(text.find("[Quillon/permissions]"), text.rfind("[Quillon/permissions]")) << text;
}

// A registered app started elsewhere beside the current one: the menu says so and keeps
// the one chosen, quitting the other normally.
TEST_F(SwitchMenuTest, SeveralRunningAppsAreReducedToTheOneChosen) {
  const auto mark = outputMark();
  ChildProcess ember({executable("Ember").string()}, {}, true);
  ASSERT_TRUE(
      waitForMenu("オーロラ | エンバー | タイド | ~登録アプリが複数起動中 | 残すアプリを選んで他を終了 { "
                  "「オーロラ」だけを残して他を終了 ; 「エンバー」だけを残して他を終了 } | Quillonについて…",
                  mark))
      << quillon->errorText();
  const auto menu = openMenu();
  ASSERT_TRUE(menu) << "no menu opened from the tray\n" << quillon->errorText();
  for (int i = 0; i < 4; ++i) pressKey(downKey);
  pressKey(rightKey);
  saveScreenshot("several-running-menu.png", menu);
  const auto chosen = outputMark();
  pressKey(returnKey);
  EXPECT_EQ(0, exitStatus(ember.waitForExit(deadline))) << "Ember did not quit on SIGTERM";
  ASSERT_TRUE(waitForMenu("✓オーロラ | エンバー | タイド | Quillonについて…", chosen)) << quillon->errorText();
  EXPECT_TRUE(aurora->isRunning());
}

struct FailedSwitch {
  const char* name;
  std::map<std::string, std::string> behaviors;
  bool deleteTideWhileTheMenuIsOpen;
  std::vector<std::string> menus;  // set after Tide was chosen, in this order
  bool auroraKeepsRunning;
};
void PrintTo(const FailedSwitch& row, std::ostream* out) { *out << row.name; }

struct FailedSwitchTest : SwitchMenuTest, ::testing::WithParamInterface<FailedSwitch> {
  void SetUp() override {
    behaviors = GetParam().behaviors;
    SwitchMenuTest::SetUp();
  }
};

TEST_P(FailedSwitchTest, TheMenuShowsWhatFailedAndWhatWasKept) {
  const auto& row = GetParam();
  const auto mark = outputMark();
  choose(3, {}, [&] {
    if (row.deleteTideWhileTheMenuIsOpen) fs::remove_all(bundle("Tide"));
  });
  for (const auto& menu : row.menus) {
    ASSERT_TRUE(waitForMenu(menu, mark)) << menu << "\n" << quillon->errorText();
  }
  EXPECT_EQ(row.auroraKeepsRunning, aurora->isRunning());
  if (row.auroraKeepsRunning) {
    EXPECT_FALSE(anyProcessRuns(fs::weakly_canonical(executable("Tide")))) << "nothing was launched";
  }
  const auto menu = openMenu();
  ASSERT_TRUE(menu);
  saveScreenshot(std::string("switch-failed-") + row.name + ".png", menu);
  pressKey(escapeKey);
}

const std::string switchingToTide = "~✓オーロラ | ~エンバー | ~タイド | ~タイド に切り替え中… | Quillonについて…";
const std::string choiceFailed = "。メニューで元のアプリまたは別のアプリを選び直せます | Quillonについて…";

INSTANTIATE_TEST_SUITE_P(
    RealProcesses, FailedSwitchTest,
    ::testing::Values(
        // The switch runs for the whole quit limit: meanwhile no app can be chosen.
        FailedSwitch{"RunningAppIgnoresTheQuit",
                     {{"Aurora", "ignoreTerm"}},
                     false,
                     {switchingToTide,
                      "✓オーロラ | エンバー | タイド | ~切り替え失敗：現在のアプリが10秒以内に終了しませんでした" +
                          choiceFailed},
                     true},
        // Launched and verified, then found gone by the next refresh.
        FailedSwitch{"ChosenAppExitsAtOnce",
                     {{"Tide", "exitAtOnce"}},
                     false,
                     {"オーロラ | エンバー | ✓タイド | Quillonについて…",
                      "オーロラ | エンバー | タイド | ~メニューからアプリを選んで起動 | Quillonについて…"},
                     false},
        // The open menu is not rebuilt under the user, so the gone bundle is still offered.
        FailedSwitch{"ChosenBundleWasDeleted",
                     {},
                     true,
                     {"✓オーロラ | エンバー | ~タイド (アプリを確認できません) | "
                      "~選択先を確認できません。「アプリを追加…」でアプリを登録し直せます | Quillonについて…"},
                     true}),
    [](const ::testing::TestParamInfo<FailedSwitch>& test) { return std::string(test.param.name); });

TEST_F(SwitchMenuTest, AnUnreadableRegistryOffersRecoveryAndTheResetKeepsABackupFirst) {
  auto mark = outputMark();
  const std::string broken = "{ not a registry";
  QtUserDefaults::atPath(defaultsFile)->setData(bytesOf(broken), SettingsStore::defaultAppsKey);
  ASSERT_TRUE(waitForMenu(
      "~オーロラ (アプリを確認できません) | ~エンバー (アプリを確認できません) | ~タイド (アプリを確認できません) | "
      "~登録データを確認してください | 登録データを再確認 | 登録データの復旧について… | "
      "~メニューからアプリを選んで起動 | Quillonについて…",
      mark))
      << quillon->errorText();

  mark = outputMark();
  choose(2, "registry-recovery-menu.png");
  const auto question = waitForWindow([&](const WindowRow& row) { return ownedByQuillon(row) && row.layer == 0; });
  ASSERT_TRUE(question);
  saveScreenshot("registry-reset-question.png", question);
  pressKey(tabKey);  // from the default "キャンセル" to "元のデータを保全して初期化"
  pressKey(spaceKey);
  ASSERT_TRUE(waitForMenu("~アプリが登録されていません | ", mark)) << quillon->errorText();

  // The backup holds the unreadable bytes: it was written before the list was emptied.
  std::vector<fs::path> backups;
  for (const auto& entry : fs::directory_iterator(dataDirectory)) {
    if (entry.path().filename().string().starts_with(SettingsStore::backupPrefix)) backups.push_back(entry.path());
  }
  ASSERT_EQ(1u, backups.size());
  EXPECT_EQ(broken, readText(backups[0]));
  auto defaults = QtUserDefaults::atPath(defaultsFile);
  SettingsStore store(*defaults, directoryUrl(dataDirectory));
  EXPECT_TRUE(store.loadApps().empty());
  EXPECT_FALSE(store.loadFailed());
  EXPECT_TRUE(store.preservesPreviewsAfterRecovery());
  EXPECT_TRUE(aurora->isRunning());
}

// A preferences file that cannot be read shows the recovery box in the settings window,
// and its reset keeps the unreadable bytes in a backup before it writes the defaults.
struct UnreadablePreferencesTest : SwitchMenuTest {
  const std::string broken = "not a property list";
  void SetUp() override {
    fs::create_directories(dataDirectory);
    std::ofstream(dataDirectory / "preferences.plist") << broken;
    SwitchMenuTest::SetUp();
  }
};

TEST_F(UnreadablePreferencesTest, TheSettingsWindowOffersTheResetAndItKeepsABackupFirst) {
  const std::string settings = "Quillon 設定", recovery = "設定データの復旧について…";
  auto mark = outputMark();
  choose(6);
  const auto controls = waitForControls(settings, {"保存先を再確認", recovery}, mark);
  ASSERT_TRUE(controls) << "no recovery box\n" << quillon->errorText();
  const auto window = waitForWindow([&](const WindowRow& row) { return ownedByQuillon(row) && row.layer == 0; });
  ASSERT_TRUE(window);
  saveScreenshot("settings-recovery.png", window);

  mark = outputMark();
  clickControl(*controls, recovery);
  const auto question = waitForWindow(
      [&](const WindowRow& row) { return ownedByQuillon(row) && row.layer == 0 && *row.bounds != *window; });
  ASSERT_TRUE(question) << "the reset was not asked about\n" << quillon->errorText();
  saveScreenshot("settings-reset-question.png", question);
  pressKey(tabKey);  // from the default "キャンセル" to the reset
  pressKey(spaceKey);
  const auto after = waitForControls(settings, {"前回の画像を再起動後も記憶する [on]"}, mark);
  ASSERT_TRUE(after) << quillon->errorText();
  EXPECT_EQ(std::string::npos, after->find(recovery)) << *after;

  std::vector<fs::path> backups;
  for (const auto& entry : fs::directory_iterator(dataDirectory)) {
    if (entry.path().filename().string().starts_with("preferences.plist.preserved-")) backups.push_back(entry.path());
  }
  ASSERT_EQ(1u, backups.size());
  EXPECT_EQ(broken, readText(backups[0]));
  auto store = LaunchPreferencesStore::inDataDirectory(directoryUrl(dataDirectory));
  EXPECT_EQ(store.load(), LaunchPreferencesCoding::defaultRecord());
}

}  // namespace
}  // namespace quillon
