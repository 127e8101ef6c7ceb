// The real quillon executable, started as a user would start it on an X display with a
// tray host. One process per user owns the data directory; a second exits silently; an
// unusable location or a missing display stops the start with the alert's text on the
// terminal and status 1. A click on the tray opens the status item's menu, whose items
// open the About alert and quit; windows are found through the window-list adapter, by
// their verified owner. The screenshots in test-artifacts/ are for a person to look at
// (Japanese text, nothing clipped); nothing compares their pixels.

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <xcb/xtest.h>

#include <gtest/gtest.h>

#include <QImage>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "linux/x11_connection.h"
#include "linux/x11_window_server.h"
#include "support/child_process.h"
#include "support/temporary_directory.h"

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

  void SetUp() override {
    ASSERT_TRUE(x11) << "no X display; run under scripts/with-x --tray";
    fs::create_directories(QUILLON_ARTIFACTS_DIR);
    quillon = startQuillon({"LANG=ja_JP.UTF-8", "LC_ALL=", "LC_MESSAGES=", "LANGUAGE="});
    ASSERT_TRUE(quillon->waitForErrorLine(startedLine, deadline)) << quillon->errorText();
  }

  // Asks the window list again until `pick` accepts a row; the deadline only keeps a
  // broken test from hanging.
  std::optional<GlobalRect> waitForWindow(const std::function<bool(const LaunchWindowRow&)>& pick) {
    const X11WindowServer windows(*x11);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(deadline);
    while (std::chrono::steady_clock::now() < end) {
      for (const auto& row : windows.onScreenWindows(false)) {
        if (row.bounds && pick(row)) return row.bounds;
      }
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
    if (!tray) return std::nullopt;
    click(tray->midX(), tray->midY());
    return waitForWindow([&](const LaunchWindowRow& row) {
      return ownedByQuillon(row) && row.layer > 0 && row.bounds->height > 2 * itemInset;
    });
  }

  // The whole screen as a PNG: without a compositing manager the root window's contents
  // are what the screen shows.
  void saveScreenshot(const std::string& name) {
    const auto& screen = x11->screen();
    auto* reply = xcb_get_image_reply(x11->get(),
                                      xcb_get_image(x11->get(), XCB_IMAGE_FORMAT_Z_PIXMAP, screen.root, 0, 0,
                                                    screen.width_in_pixels, screen.height_in_pixels, ~0u),
                                      nullptr);
    ASSERT_NE(reply, nullptr);
    const QImage image(xcb_get_image_data(reply), screen.width_in_pixels, screen.height_in_pixels,
                       QImage::Format_RGB32);
    EXPECT_TRUE(image.copy().save(QString::fromStdString(QUILLON_ARTIFACTS_DIR "/" + name), "PNG"));
    std::free(reply);
  }
};

TEST_F(TrayMenuTest, TheStatusItemsMenuOpensByAClickAndItsLastItemQuits) {
  const auto menu = openMenu();
  ASSERT_TRUE(menu) << "no menu opened from the tray\n" << quillon->errorText();
  saveScreenshot("tray-menu.png");
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
  saveScreenshot("about-alert.png");
  EXPECT_EQ(0, exitStatus(quillon->killAndWait(SIGTERM)));
}

TEST_F(TrayMenuTest, AFreshAccountGetsTheFirstRunGuideAgainUntilItIsDealtWith) {
  auto guide = [&](const LaunchWindowRow& row) { return ownedByQuillon(row) && row.layer == 0 && row.bounds->width >= 860; };
  const auto shown = waitForWindow(guide);
  ASSERT_TRUE(shown) << "the first-run guide did not open\n" << quillon->errorText();
  // Mapped comes before painted: the screenshot waits until its sidebar is drawn.
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(deadline);
  while (std::chrono::steady_clock::now() < end) {
    auto* pixel = xcb_get_image_reply(x11->get(),
                                      xcb_get_image(x11->get(), XCB_IMAGE_FORMAT_Z_PIXMAP, x11->root(),
                                                    static_cast<std::int16_t>(shown->x + 20),
                                                    static_cast<std::int16_t>(shown->y + 20), 1, 1, ~0u),
                                      nullptr);
    const bool drawn = pixel != nullptr && (*reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(pixel)) &
                                            0xFFFFFFu) != 0;
    std::free(pixel);
    if (drawn) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // between two questions only
  }
  saveScreenshot("onboarding-at-start.png");
  // Quitting in the middle records no dismissal, so the guide opens again at the next start.
  EXPECT_EQ(0, exitStatus(quillon->killAndWait(SIGTERM)));
  quillon = startQuillon({"LANG=ja_JP.UTF-8", "LC_ALL=", "LC_MESSAGES=", "LANGUAGE="});
  ASSERT_TRUE(quillon->waitForErrorLine(startedLine, deadline)) << quillon->errorText();
  EXPECT_TRUE(waitForWindow(guide)) << "the unfinished guide did not open again";
  EXPECT_EQ(0, exitStatus(quillon->killAndWait(SIGTERM)));
}

}  // namespace
}  // namespace quillon
