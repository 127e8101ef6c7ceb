#pragma once

// The fixtures of the tests that run the real quillon executable on an X display with a
// tray host (scripts/with-x --tray): its own home and data directory per test, the
// window list, XTest input and screenshots in test-artifacts/.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <thread>
#include <utility>

#include <QImage>

#include "core/records/registry/app_registry.h"
#include "desktop/qt_user_defaults.h"
#include "linux/x11_connection.h"
#include "linux/x11_window_server.h"
#include "support/child_process.h"
#include "support/temporary_directory.h"
#include "support/test_app_bundle.h"

namespace quillon {

namespace fs = std::filesystem;

constexpr double deadline = 30.0;  // generous: CI machines are shared
inline const std::string startedLine =
    "[Quillon/launch] product initialized; permission monitor controls Command input availability; "
    "hosts are unmodified";

// Looks again until `done` holds; the deadline only keeps a broken test from hanging.
inline bool waitUntil(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(deadline);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // between two looks only
  }
  return true;
}

// `exitStatus` of a normal exit; -1 for a time-out or a signal.
inline int exitStatus(std::optional<int> status) { return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1; }

struct QuillonProcessTest : ::testing::Test {
  TemporaryDirectory temporary;
  // A fresh account: the Application Support directory does not exist yet.
  fs::path applicationSupport = temporary / "home" / ".local" / "share";
  fs::path dataDirectory = applicationSupport / "com.quillon.app";
  fs::path lockFile = dataDirectory / ".instance.lock";

  std::unique_ptr<ChildProcess> startQuillon(std::vector<std::string> environment = {},
                                             const std::vector<std::string>& arguments = {}) {
    fs::create_directories(temporary / "runtime");
    fs::permissions(temporary / "runtime", fs::perms::owner_all);
    environment.insert(environment.begin(), {"HOME=" + (temporary / "home").string(),
                                             "XDG_DATA_HOME=", "XDG_CONFIG_HOME=" + (temporary / "config").string(),
                                             "XDG_RUNTIME_DIR=" + (temporary / "runtime").string(),
                                             "QUILLON_LOG=stderr", "LC_ALL=ja_JP.UTF-8"});
    std::vector<std::string> command{QUILLON_EXECUTABLE};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return std::make_unique<ChildProcess>(command, environment);
  }
};

// Inside an item, measured from the menu's top or bottom edge: item rows are taller
// than this in every style.
constexpr int itemInset = 12;

struct TrayMenuTest : QuillonProcessTest {
  std::unique_ptr<X11Connection> x11 = X11Connection::open();
  std::unique_ptr<ChildProcess> quillon;

  std::vector<std::string> quillonEnvironment = {"LANG=ja_JP.UTF-8", "LC_ALL=", "LC_MESSAGES=", "LANGUAGE="};
  std::vector<std::string> quillonArguments;

  void SetUp() override {
    ASSERT_TRUE(x11) << "no X display; run under scripts/with-x --tray";
    fs::create_directories(QUILLON_ARTIFACTS_DIR);
    quillon = startQuillon(quillonEnvironment, quillonArguments);
    ASSERT_TRUE(quillon->waitForErrorLine(startedLine, deadline)) << quillon->errorText();
  }

  // Asks the window list again until `pick` accepts a row (or, with `gone`, until it
  // accepts none); the deadline only keeps a broken test from hanging.
  std::optional<GlobalRect> waitForWindow(const std::function<bool(const WindowRow&)>& pick, bool gone = false) {
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
  bool ownedByQuillon(const WindowRow& row) const { return row.ownerPID == quillon->pid(); }

  std::size_t outputMark() const { return quillon->errorText().size(); }

  // The first line the window titled `title` logs after `from` that shows every one of
  // `controls` (written as logged: "~" before a disabled one, " [on]" after a checked one).
  std::optional<std::string> waitForControls(const std::string& title, const std::vector<std::string>& controls,
                                             std::size_t from) {
    const std::string prefix = "[Quillon/window] " + title + " | ";
    return quillon->waitForErrorLineWhere(
        [&](std::string_view line) {
          return line.starts_with(prefix) && std::all_of(controls.begin(), controls.end(), [&](const std::string& c) {
                   return line.find(" | " + c + "@") != std::string_view::npos;
                 });
        },
        deadline, from);
  }
  // Clicks the centre of `control` as `line` placed it.
  void clickControl(const std::string& line, const std::string& control) {
    const auto at = line.find(" | " + control + "@");
    ASSERT_NE(at, std::string::npos) << control << " is not in " << line;
    int x = 0, y = 0;
    ASSERT_EQ(2, std::sscanf(line.c_str() + at + control.size() + 4, "%d,%d", &x, &y)) << line;
    click(x, y);
  }

  // Drops `path` at (x, y) as a file manager does: the drag-and-drop protocol (XDND)
  // from a window of the test's own, which serves the file list the target asks for.
  bool dropFile(const fs::path& path, double x, double y) {
    xcb_connection_t* c = x11->get();
    const xcb_window_t source = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, source, x11->root(), -10, -10, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_set_selection_owner(c, source, x11->atom("XdndSelection"), XCB_CURRENT_TIME);
    const auto rootX = static_cast<std::int16_t>(x), rootY = static_cast<std::int16_t>(y);
    XcbReply<xcb_translate_coordinates_reply_t> under(xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, x11->root(), x11->root(), rootX, rootY), nullptr));
    if (!under || under->child == XCB_WINDOW_NONE) return false;
    const xcb_window_t target = under->child;
    const auto send = [&](const char* type, std::array<std::uint32_t, 5> data) {
      xcb_client_message_event_t event{};
      event.response_type = XCB_CLIENT_MESSAGE;
      event.format = 32;
      event.window = target;
      event.type = x11->atom(type);
      std::copy(data.begin(), data.end(), event.data.data32);
      xcb_send_event(c, 0, target, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
      xcb_flush(c);
    };
    const xcb_atom_t uriList = x11->atom("text/uri-list");
    const std::string uris = "file://" + path.string() + "\r\n";
    send("XdndEnter", {source, 5u << 24, uriList, 0, 0});
    send("XdndPosition", {source, 0, (static_cast<std::uint32_t>(x) << 16) | static_cast<std::uint32_t>(y),
                          XCB_CURRENT_TIME, x11->atom("XdndActionCopy")});
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(deadline);
    bool finished = false;
    while (!finished && std::chrono::steady_clock::now() < end) {
      XcbReply<xcb_generic_event_t> event(xcb_poll_for_event(c));
      if (!event) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));  // between two looks only
        continue;
      }
      const int type = event->response_type & 0x7f;
      if (type == XCB_CLIENT_MESSAGE) {
        const auto& message = reinterpret_cast<const xcb_client_message_event_t&>(*event);
        if (message.type == x11->atom("XdndStatus")) {
          if ((message.data.data32[1] & 1) == 0) return false;  // refused
          send("XdndDrop", {source, 0, XCB_CURRENT_TIME, 0, 0});
        }
        finished = message.type == x11->atom("XdndFinished");
      } else if (type == XCB_SELECTION_REQUEST) {
        const auto& request = reinterpret_cast<const xcb_selection_request_event_t&>(*event);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, request.requestor, request.property, uriList, 8,
                            static_cast<std::uint32_t>(uris.size()), uris.data());
        xcb_selection_notify_event_t notify{};
        notify.response_type = XCB_SELECTION_NOTIFY;
        notify.time = request.time;
        notify.requestor = request.requestor;
        notify.selection = request.selection;
        notify.target = request.target;
        notify.property = request.property;
        xcb_send_event(c, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&notify));
        xcb_flush(c);
      }
    }
    xcb_destroy_window(c, source);
    xcb_flush(c);
    return finished;
  }

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

  // Presses (or releases) the key that produces `keysym` in the server's keymap.
  void sendKey(xcb_keysym_t keysym, bool down) {
    xcb_connection_t* c = x11->get();
    const xcb_setup_t* setup = xcb_get_setup(c);
    const auto count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    auto* mapping = xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, setup->min_keycode, count), nullptr);
    ASSERT_NE(mapping, nullptr);
    const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(mapping);
    const int perCode = mapping->keysyms_per_keycode;
    std::optional<std::uint8_t> keycode;
    for (int i = 0; i < count * perCode && !keycode; ++i) {
      if (symbols[i] == keysym) keycode = static_cast<std::uint8_t>(setup->min_keycode + i / perCode);
    }
    std::free(mapping);
    ASSERT_TRUE(keycode);
    fakeInput(down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, *keycode);
    xcb_flush(c);
  }
  void pressKey(xcb_keysym_t keysym) {
    sendKey(keysym, true);
    sendKey(keysym, false);
  }

  // The status item's icon where a tray host embedded it: a window of quillon's inside
  // another client's top-level window (trayer's, or a desktop panel's).
  std::optional<GlobalRect> trayIcon() {
    xcb_connection_t* c = x11->get();
    const xcb_atom_t pidAtom = x11->atom("_NET_WM_PID");
    const auto ownerOf = [&](xcb_window_t window) -> std::int64_t {
      XcbReply<xcb_get_property_reply_t> pid(
          xcb_get_property_reply(c, xcb_get_property(c, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
      return pid && xcb_get_property_value_length(pid.get()) == 4
                 ? std::int64_t{*static_cast<const std::uint32_t*>(xcb_get_property_value(pid.get()))}
                 : std::int64_t{-1};
    };
    const auto children = [&](xcb_window_t window) {
      XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
      return tree ? std::vector<xcb_window_t>(
                        xcb_query_tree_children(tree.get()),
                        xcb_query_tree_children(tree.get()) + xcb_query_tree_children_length(tree.get()))
                  : std::vector<xcb_window_t>{};
    };
    for (const xcb_window_t host : children(x11->root())) {
      if (ownerOf(host) == quillon->pid()) continue;
      std::vector<xcb_window_t> inside = children(host);
      for (std::size_t i = 0; i < inside.size(); ++i) {
        const xcb_window_t window = inside[i];
        if (ownerOf(window) != quillon->pid()) {
          for (const xcb_window_t child : children(window)) inside.push_back(child);
          continue;
        }
        XcbReply<xcb_get_window_attributes_reply_t> state(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
        if (!state || state->map_state != XCB_MAP_STATE_VIEWABLE) continue;
        XcbReply<xcb_get_geometry_reply_t> size(xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
        XcbReply<xcb_translate_coordinates_reply_t> at(
            xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, x11->root(), 0, 0), nullptr));
        if (size && at)
          return GlobalRect{double(at->dst_x), double(at->dst_y), double(size->width), double(size->height)};
      }
    }
    return std::nullopt;
  }

  // Clicks the status item's icon in the tray and returns the menu.
  std::optional<GlobalRect> openMenu() {
    std::optional<GlobalRect> tray;
    const auto isMenu = [&](const WindowRow& row) {
      return ownedByQuillon(row) && row.layer > 0 && row.bounds->height > 2 * itemInset;
    };
    // A menu that is still closing would take the click as one outside itself.
    // The host places an icon after embedding it (trayer grows towards the left): the
    // click goes where two looks in a row found it.
    const auto settled = [&] {
      const auto previous = std::exchange(tray, trayIcon());
      return tray && previous && tray->x == previous->x && tray->y == previous->y;
    };
    if (!waitUntil(settled) || !waitForWindow(isMenu, true)) {
      return std::nullopt;
    }
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
  // window's bottom-left corner and centre no longer show the empty desktop (as the
  // screen's top-left corner does: the tray hosts sit top right or at the bottom; a
  // window manager's frame is drawn before the client fills it).
  void saveScreenshot(const std::string& name, std::optional<GlobalRect> painted = std::nullopt) {
    const auto isPainted = [&](const QImage& image) {
      const QRgb desktop = image.pixel(0, 0);
      return image.pixel(static_cast<int>(painted->x) + 3, static_cast<int>(painted->maxY()) - 3) != desktop &&
             image.pixel(static_cast<int>(painted->midX()), static_cast<int>(painted->midY())) != desktop;
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

// Keysyms of the keys that walk the menu and answer an alert.
constexpr xcb_keysym_t downKey = 0xff54, rightKey = 0xff53, returnKey = 0xff0d, escapeKey = 0xff1b, tabKey = 0xff09,
                       spaceKey = 0x20;

inline std::string readText(const fs::path& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Whether some process runs `executable`.
inline bool anyProcessRuns(const fs::path& executable) {
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
  std::vector<std::string> auroraOptions;        // what the sample app prints goes to its errorText()
  std::unique_ptr<ChildProcess> aurora;          // apps quillon launches end with the test's X server

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
    std::vector<std::string> command{executable("Aurora")};
    command.insert(command.end(), auroraOptions.begin(), auroraOptions.end());
    aurora = std::make_unique<ChildProcess>(command, std::vector<std::string>{}, true);
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

  // Aurora quits on SIGTERM and the app logged as `title` runs from the registered copy
  // of `name`, as /proc tells.
  void expectSwitchFromAurora(const std::string& title, const std::string& name, std::size_t mark) {
    EXPECT_EQ(0, exitStatus(aurora->waitForExit(deadline))) << "Aurora did not quit on SIGTERM";
    const std::string committed = "[Quillon/launch] committed " + title + " pid=";
    const auto line = quillon->waitForErrorLineStartingWith(committed, deadline, mark);
    ASSERT_TRUE(line) << quillon->errorText();
    const std::string pid = std::to_string(std::stoi(line->substr(committed.size())));
    EXPECT_EQ(fs::canonical(executable(name)), fs::read_symlink("/proc/" + pid + "/exe"));
  }

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

}  // namespace quillon
