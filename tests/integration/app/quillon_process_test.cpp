// The real quillon executable, started as a user would start it on an X display with a
// tray host. One process per user owns the data directory; a second exits silently; an
// unusable location or a missing display stops the start with the alert's text on the
// terminal and status 1. A click on the tray opens the status item's menu, whose items
// open the About alert and quit, and choosing a registered sample app switches to it (or
// says what failed and what was kept); windows are found through the window-list
// adapter, by their verified owner. The screenshots in test-artifacts/ are for a person to look at
// (Japanese text, nothing clipped); nothing compares their pixels.

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <xcb/xtest.h>

#include <gtest/gtest.h>

#include <QImage>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <thread>

#include "core/storage/registry/app_registry.h"
#include "desktop/qt_user_defaults.h"
#include "linux/x11_connection.h"
#include "linux/x11_window_server.h"
#include "support/child_process.h"
#include "support/temporary_directory.h"
#include "support/test_app_bundle.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

constexpr double deadline = 30.0;  // generous: CI machines are shared
const std::string startedLine = "[Quillon/launch] product initialized; permission monitor controls Command input availability; "
    "hosts are unmodified";

unsigned modeOf(const fs::path& path) {
  struct stat info {};
  ::lstat(path.c_str(), &info);
  return info.st_mode & 07777;
}

// `exitStatus` of a normal exit; -1 for a time-out or a signal.
int exitStatus(std::optional<int> status) { return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1; }

struct QuillonProcessTest : ::testing::Test {
  TemporaryDirectory temporary;
  // A fresh account: the Application Support directory does not exist yet.
  fs::path applicationSupport = temporary / "home" / ".local" / "share";
  fs::path dataDirectory = applicationSupport / "com.quillon.app";
  fs::path lockFile = dataDirectory / ".instance.lock";

  std::unique_ptr<ChildProcess> startQuillon(std::vector<std::string> environment = {}) {
    fs::create_directories(temporary / "runtime");
    fs::permissions(temporary / "runtime", fs::perms::owner_all);
    environment.insert(environment.begin(), {"HOME=" + (temporary / "home").string(), "XDG_DATA_HOME=",
                                             "XDG_CONFIG_HOME=" + (temporary / "config").string(),
                                             "XDG_RUNTIME_DIR=" + (temporary / "runtime").string(),
                                             "QUILLON_LOG=stderr", "LC_ALL=ja_JP.UTF-8"});
    return std::make_unique<ChildProcess>(std::vector<std::string>{QUILLON_EXECUTABLE}, environment);
  }
};

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
            second->errorText()) << "exactly the log line, and no alert";
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
  EXPECT_EQ("Quillonを開始できません\n画面を表示できません。Xディスプレイ「:none」に接続できませんでした。\n"
            "登録・保存画像・起動中のアプリは変更していません。\n",
            quillon->errorText());
  EXPECT_FALSE(fs::exists(lockFile)) << "nothing is touched before the platform exists";
}

// Inside an item, measured from the menu's top or bottom edge: item rows are taller
// than this in every style.
constexpr int itemInset = 12;
constexpr int trayHeight = 24;  // scripts/lib/xharness.sh starts the tray host so

struct TrayMenuTest : QuillonProcessTest {
  std::unique_ptr<X11Connection> x11 = X11Connection::open();
  std::unique_ptr<ChildProcess> quillon;

  std::vector<std::string> quillonEnvironment = {"LANG=ja_JP.UTF-8", "LC_ALL=", "LC_MESSAGES=", "LANGUAGE="};

  void SetUp() override {
    ASSERT_TRUE(x11) << "no X display; run under scripts/with-x --tray";
    fs::create_directories(QUILLON_ARTIFACTS_DIR);
    quillon = startQuillon(quillonEnvironment);
    ASSERT_TRUE(quillon->waitForErrorLine(startedLine, deadline)) << quillon->errorText() ;
  }

  // Asks the window list again until `pick` accepts a row (or, with `gone`, until it
  // accepts none); the deadline only keeps a broken test from hanging.
  std::optional<GlobalRect> waitForWindow(const std::function<bool(const LaunchWindowRow&)>& pick, bool gone = false) {
    const X11WindowServer windows(*x11);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(deadline);
    while (std::chrono::steady_clock::now() < end) {
      std::optional<GlobalRect> found;
      for (const auto& row : windows.onScreenWindows(false)) {
        if (row.bounds && pick(row)) found = row.bounds;
      }
      if (found.has_value() != gone) return gone ? GlobalRect{} : found;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));  // between two questions only
    }
    return std::nullopt;
  }
  bool ownedByQuillon(const LaunchWindowRow& row) const { return row.ownerPID == quillon->pid(); }

  void fakeInput(std::uint8_t type, std::uint8_t detail, xcb_window_t root = XCB_NONE, double x = 0, double y = 0) {
    xcb_test_fake_input(x11->get(), type, detail, XCB_CURRENT_TIME, root, static_cast<std::int16_t>(x),
                        static_cast<std::int16_t>(y), 0);
  }
  void click(double x, double y) {
    fakeInput(XCB_MOTION_NOTIFY, 0, x11->root(), x, y);
    fakeInput(XCB_BUTTON_PRESS, 1);
    fakeInput(XCB_BUTTON_RELEASE, 1);
    xcb_flush(x11->get());
  }

  // Presses and releases the key that produces `keysym` in the server's keymap.
  void pressKey(xcb_keysym_t keysym) {
    xcb_connection_t* c = x11->get();
    const xcb_setup_t* setup = xcb_get_setup(c);
    const auto count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    auto* mapping =
        xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, setup->min_keycode, count), nullptr);
    ASSERT_NE(mapping, nullptr);
    const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(mapping);
    const int perCode = mapping->keysyms_per_keycode;
    std::optional<std::uint8_t> keycode;
    for (int i = 0; i < count * perCode && !keycode; ++i) {
      if (symbols[i] == keysym) keycode = static_cast<std::uint8_t>(setup->min_keycode + i / perCode);
    }
    std::free(mapping);
    ASSERT_TRUE(keycode);
    fakeInput(XCB_KEY_PRESS, *keycode);
    fakeInput(XCB_KEY_RELEASE, *keycode);
    xcb_flush(c);
  }

  // Clicks the tray, where the status item is the only icon, and returns the menu.
  std::optional<GlobalRect> openMenu() {
    const double screenWidth = x11->screen().width_in_pixels;
    // The tray host sizes its panel to its icons, so a square panel holds the one icon.
    const auto tray = waitForWindow([&](const LaunchWindowRow& row) {
      return !ownedByQuillon(row) && row.bounds->y == 0 && row.bounds->height == trayHeight &&
             row.bounds->maxX() == screenWidth && row.bounds->width >= trayHeight;
    });
    const auto isMenu = [&](const LaunchWindowRow& row) {
      return ownedByQuillon(row) && row.layer > 0 && row.bounds->height > 2 * itemInset;
    };
    // A menu that is still closing would take the click as one outside itself.
    if (!tray || !waitForWindow(isMenu, true)) return std::nullopt;
    click(tray->midX(), tray->midY());
    return waitForWindow(isMenu);
  }

  QImage grabScreen() {
    const auto& screen = x11->screen();
    std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> reply(
        xcb_get_image_reply(x11->get(),
                            xcb_get_image(x11->get(), XCB_IMAGE_FORMAT_Z_PIXMAP, screen.root, 0, 0,
                                          screen.width_in_pixels, screen.height_in_pixels, ~0u),
                            nullptr),
        &std::free);
    if (!reply) return {};
    return QImage(xcb_get_image_data(reply.get()), screen.width_in_pixels, screen.height_in_pixels,
                  QImage::Format_RGB32)
        .copy();
  }

  // The whole screen as a PNG: without a compositing manager the root window's contents
  // are what the screen shows. A window is mapped before its client paints it (until
  // then it shows what was under it), so with `painted` the picture is taken once that
  // window's bottom-left corner no longer shows the empty desktop.
  void saveScreenshot(const std::string& name, std::optional<GlobalRect> painted = std::nullopt) {
    const auto isPainted = [&](const QImage& image) {
      return image.pixel(static_cast<int>(painted->x) + 3, static_cast<int>(painted->maxY()) - 3) !=
             image.pixel(0, image.height() - 1);
    };
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(deadline);
    QImage image = grabScreen();
    while (painted && !isPainted(image) && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));  // between two looks only
      image = grabScreen();
    }
    EXPECT_TRUE(image.save(QString::fromStdString(QUILLON_ARTIFACTS_DIR "/" + name), "PNG"));
  }
};

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
      [&](const LaunchWindowRow& row) { return ownedByQuillon(row) && row.layer == 0 && row.bounds->width < 800; });
  ASSERT_TRUE(alert) << "the About alert did not appear";
  saveScreenshot("about-alert.png", alert);
  EXPECT_EQ(0, exitStatus(quillon->killAndWait(SIGTERM)));
}

TEST_F(TrayMenuTest, AFreshAccountGetsTheFirstRunGuideAgainUntilItIsDealtWith) {
  auto guide = [&](const LaunchWindowRow& row) { return ownedByQuillon(row) && row.layer == 0 && row.bounds->width >= 860; };
  const auto shown = waitForWindow(guide);
  ASSERT_TRUE(shown) << "the first-run guide did not open\n" << quillon->errorText();
  saveScreenshot("onboarding-at-start.png", shown);
  // Quitting in the middle records no dismissal, so the guide opens again at the next start.
  EXPECT_EQ(0, exitStatus(quillon->killAndWait(SIGTERM)));
  quillon = startQuillon({"LANG=ja_JP.UTF-8", "LC_ALL=", "LC_MESSAGES=", "LANGUAGE="});
  ASSERT_TRUE(quillon->waitForErrorLine(startedLine, deadline)) << quillon->errorText();
  EXPECT_TRUE(waitForWindow(guide)) << "the unfinished guide did not open again";
  EXPECT_EQ(0, exitStatus(quillon->killAndWait(SIGTERM)));
}

// Keysyms of the keys that walk the menu and answer an alert.
constexpr xcb_keysym_t downKey = 0xff54, returnKey = 0xff0d, escapeKey = 0xff1b, tabKey = 0xff09, spaceKey = 0x20;

std::string readText(const fs::path& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Whether some process runs `executable`.
bool anyProcessRuns(const fs::path& executable) {
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::error_code ignored;
    if (fs::read_symlink(entry.path() / "exe", ignored) == executable) return true;
  }
  return false;
}

// The three sample apps, registered from copies in the temporary folder (so that a test
// may break one), Aurora started before quillon. quillon logs every menu it sets, which
// is how these tests read the menu's items, marks and enabled states.
struct SwitchMenuTest : TrayMenuTest {
  fs::path applications = temporary / "Applications";
  std::string defaultsFile = (temporary / "config" / "com.quillon.app" / "defaults.ini").string();
  std::map<std::string, std::string> behaviors;  // "QuillonSampleBehavior" by app; none quits on SIGTERM
  std::unique_ptr<ChildProcess> aurora;  // apps quillon launches end with the test's X server

  fs::path bundle(const std::string& name) const { return applications / (name + ".app"); }
  fs::path executable(const std::string& name) const { return bundle(name) / "Contents" / "MacOS" / name; }

  void SetUp() override {
    for (const std::string name : {"Aurora", "Ember", "Tide"}) {
      fs::create_directories(applications);
      fs::copy(fs::path(QUILLON_SAMPLE_APPS_DIR) / (name + ".app"), bundle(name), fs::copy_options::recursive);
      if (const auto behavior = behaviors.find(name); behavior != behaviors.end()) {
        const fs::path plist = bundle(name) / "Contents" / "Info.plist";
        std::string info = readText(plist);
        info.insert(info.rfind("</dict>"), "<key>QuillonSampleBehavior</key><string>" + behavior->second + "</string>");
        std::ofstream(plist) << info;
      }
    }
    {
      auto defaults = QtUserDefaults::atPath(defaultsFile);
      AppRegistry registry(SettingsStore(*defaults, directoryUrl(dataDirectory)));
      for (const char* name : {"Aurora", "Ember", "Tide"}) ASSERT_TRUE(registry.add(directoryUrl(bundle(name))));
    }
    aurora = std::make_unique<ChildProcess>(std::vector<std::string>{executable("Aurora")});
    quillonEnvironment.push_back("QUILLON_MENU_LOG=1");
    TrayMenuTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(quillon->waitForErrorLineStartingWith(
        "[Quillon/launch] adopted オーロラ pid=" + std::to_string(aurora->pid()) + " path=", deadline))
        << quillon->errorText();
    ASSERT_TRUE(waitForMenu("✓オーロラ | エンバー | タイド | Quillonについて…"));
  }

  // Waits for quillon to set a menu whose items begin with `items`, after `from` in its
  // output.
  bool waitForMenu(const std::string& items, std::size_t from = 0) {
    return quillon->waitForErrorLineStartingWith("[Quillon/menu] " + items, deadline, from).has_value();
  }
  std::size_t outputMark() const { return quillon->errorText().size(); }

  // Opens the menu and chooses its `index`-th enabled item by keyboard, as a user can;
  // `whileOpen` runs between.
  void choose(int index, const std::string& screenshot = {}, const std::function<void()>& whileOpen = {}) {
    const auto menu = openMenu();
    ASSERT_TRUE(menu) << "no menu opened from the tray\n" << quillon->errorText();
    if (!screenshot.empty()) saveScreenshot(screenshot, menu);
    if (whileOpen) whileOpen();
    for (int i = 0; i < index; ++i) pressKey(downKey);
    pressKey(returnKey);
  }
};

TEST_F(SwitchMenuTest, ChoosingAnAppQuitsTheRunningOneAndLaunchesItsRegisteredBundle) {
  const auto mark = outputMark();
  choose(3, "switch-menu-before.png");
  EXPECT_EQ(0, exitStatus(aurora->waitForExit(deadline))) << "Aurora did not quit on SIGTERM";
  const std::string committed = "[Quillon/launch] committed タイド pid=";
  const auto line = quillon->waitForErrorLineStartingWith(committed, deadline, mark);
  ASSERT_TRUE(line) << quillon->errorText();
  const std::string tide = std::to_string(std::stoi(line->substr(committed.size())));
  EXPECT_EQ(fs::canonical(executable("Tide")), fs::read_symlink("/proc/" + tide + "/exe"));
  ASSERT_TRUE(waitForMenu("オーロラ | エンバー | ✓タイド | Quillonについて…", mark)) << quillon->errorText();
  const auto menu = openMenu();
  ASSERT_TRUE(menu);
  saveScreenshot("switch-menu-after.png", menu);
  pressKey(escapeKey);

  // Polled every second since the start, the X server's permissions were logged once,
  // with the event tap started on the first poll.
  const std::string permissions = "[Quillon/permissions] AX=true screenCapture=true inputTapStarted=true; "
      "アクセシビリティ: 許可済み / 画面収録: 許可済み / ホットキー切替: 入力受付は起動済み\n";
  const std::string& text = quillon->errorText();
  EXPECT_NE(std::string::npos, text.find(permissions)) << text;
  EXPECT_EQ(text.find("[Quillon/permissions]"), text.rfind("[Quillon/permissions]")) << text;
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
                      "✓オーロラ | エンバー | タイド | ~切り替え失敗：現在のアプリが10秒以内に終了しませんでした" + choiceFailed},
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
  ASSERT_TRUE(waitForMenu("~オーロラ (アプリを確認できません) | ~エンバー (アプリを確認できません) | ~タイド (アプリを確認できません) | "
                          "~登録データを確認してください | 登録データを再確認 | 登録データの復旧について… | "
                          "~メニューからアプリを選んで起動 | Quillonについて…",
                          mark))
      << quillon->errorText();

  mark = outputMark();
  choose(2, "registry-recovery-menu.png");
  const auto question =
      waitForWindow([&](const LaunchWindowRow& row) { return ownedByQuillon(row) && row.layer == 0; });
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

}  // namespace
}  // namespace quillon
