// Plays the demo's scripted tour on an X display of its own, with synthetic input
// (XTest), and leaves a numbered screenshot of every stage and a contact sheet of them.
// Only for a desktop nobody sits at: it moves the pointer and presses keys.
//
//   quillon_demo_tour --quillon-pid PID --out DIR
//
// Every stage waits for what it expects to see (a window, a process, a change of the
// picture) under a deadline of its own. A stage that does not see it says so, keeps
// its screenshot and the tour goes on, so one missing feature never hides the others.
// Exits 0 when the tour ran to the end (whatever the stages saw), 1 when it could not
// start, 3 when quillon is gone.

#include <signal.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <QColor>
#include <QGuiApplication>
#include <QImage>

#include "linux/tools/desktop_screenshot.h"
#include "linux/x11_connection.h"
#include "linux/x11_window_server.h"

namespace {

using namespace quillon;
using SteadyClock = std::chrono::steady_clock;

constexpr int trayHeight = 24;  // scripts/lib/xharness.sh starts the tray host so
constexpr const char* sampleApps[] = {"Aurora", "Ember", "Tide"};

constexpr xcb_keysym_t keyUp = 0xff52, keyDown = 0xff54, keyReturn = 0xff0d, keySuper = 0xffeb, keyEscape = 0xff1b;
constexpr std::uint8_t scrollRight = 7;
constexpr int linesPerPage = 1;         // one wheel click pages once
constexpr double collapsedHeight = 32;  // the sample apps' notch until the pointer is on it

std::string processName(std::int32_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

struct Stage {
  std::string file;
  std::string title;
  std::string outcome;  // "ok", or what was not seen
};

class Tour {
 public:
  Tour(X11Connection& x11, std::int32_t quillonPid, std::string out)
      : x11_(x11), windows_(x11), screenshot_(x11), quillonPid_(quillonPid), out_(std::move(out)) {}

  int run();

 private:
  // Polls `seen` until it holds or `seconds` pass; between two questions only.
  bool waitFor(double seconds, const std::function<bool()>& seen) {
    const auto end = SteadyClock::now() + std::chrono::duration<double>(seconds);
    while (SteadyClock::now() < end) {
      if (seen()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return seen();
  }
  bool quillonAlive() const { return ::kill(quillonPid_, 0) == 0; }

  std::vector<WindowRow> rows() const { return windows_.onScreenWindows(false); }
  std::optional<WindowRow> find(const std::function<bool(const WindowRow&)>& pick) const {
    for (const auto& row : rows()) {
      if (row.bounds && row.ownerPID && pick(row)) return row;
    }
    return std::nullopt;
  }
  bool ownedByQuillon(const WindowRow& row) const { return row.ownerPID == quillonPid_; }
  // The surface of the sample app on screen now (the demo runs one at a time).
  std::optional<WindowRow> notchWindow() const {
    return find([](const WindowRow& row) {
      const std::string name = processName(*row.ownerPID);
      return std::any_of(std::begin(sampleApps), std::end(sampleApps), [&](const char* app) { return name == app; });
    });
  }
  std::optional<std::string> runningNotchApp() const {
    const auto window = notchWindow();
    return window ? std::optional(processName(*window->ownerPID)) : std::nullopt;
  }

  void fakeInput(std::uint8_t type, std::uint8_t detail, double x = 0, double y = 0) {
    xcb_test_fake_input(x11_.get(), type, detail, XCB_CURRENT_TIME, type == XCB_MOTION_NOTIFY ? x11_.root() : XCB_NONE,
                        static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 0);
    x11_.flush();
  }
  void movePointer(double x, double y) { fakeInput(XCB_MOTION_NOTIFY, 0, x, y); }
  void click(double x, double y) {
    movePointer(x, y);
    fakeInput(XCB_BUTTON_PRESS, 1);
    fakeInput(XCB_BUTTON_RELEASE, 1);
  }
  void scroll(std::uint8_t button) {
    fakeInput(XCB_BUTTON_PRESS, button);
    fakeInput(XCB_BUTTON_RELEASE, button);
  }
  std::uint8_t keycode(xcb_keysym_t keysym);
  void key(xcb_keysym_t keysym, bool down) { fakeInput(down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode(keysym)); }
  void tap(xcb_keysym_t keysym, int times = 1) {
    for (int i = 0; i < times; ++i) {
      key(keysym, true);
      key(keysym, false);
    }
  }

  QImage screen() const;
  static QRect pixels(const GlobalRect& area);
  // Whether the picture of `area` changes within `seconds` of `action` (taken before it).
  bool pictureChanges(const GlobalRect& area, double seconds, const std::function<void()>& action = {});
  void settle(const std::optional<WindowRow>& window);
  void record(const std::string& name, const std::string& title, bool seen, const std::string& missing);
  void writeContactSheet() const;
  void closeWindow(std::uint32_t window);

  int stages();
  std::optional<WindowRow> waitForTray();
  std::optional<WindowRow> openMenu();
  bool chooseFromMenu(xcb_keysym_t direction, int steps);
  std::optional<WindowRow> waitForNewWindow(double seconds, const std::set<std::uint32_t>& before);
  std::optional<WindowRow> openCarousel();
  bool stepCarousel(const WindowRow& panel);
  QImage imageArea(const WindowRow& panel) const;
  static QColor meanColour(const QImage& area);
  static double colourDistance(const QColor& a, const QColor& b);
  bool showsImage(const WindowRow& panel) const;

  X11Connection& x11_;
  X11WindowServer windows_;
  DesktopScreenshot screenshot_;
  std::int32_t quillonPid_;
  std::string out_;
  std::vector<Stage> stages_;
};

std::uint8_t Tour::keycode(xcb_keysym_t keysym) {
  xcb_connection_t* c = x11_.get();
  const xcb_setup_t* setup = xcb_get_setup(c);
  const auto count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
  auto* mapping = xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, setup->min_keycode, count), nullptr);
  std::uint8_t found = 0;
  if (mapping != nullptr) {
    const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(mapping);
    const int perCode = mapping->keysyms_per_keycode;
    for (int i = 0; i < count * perCode && found == 0; ++i) {
      if (symbols[i] == keysym) found = static_cast<std::uint8_t>(setup->min_keycode + i / perCode);
    }
    std::free(mapping);
  }
  return found;
}

// The whole screen as the server shows it, to tell when something changed: without a
// compositing manager the root window's contents are the screen (windows redirected
// automatically are painted into it too). The screenshots kept compose the windows with
// their alpha instead, as a compositing desktop would show them.
QImage Tour::screen() const {
  const auto& s = x11_.screen();
  auto* reply = xcb_get_image_reply(
      x11_.get(),
      xcb_get_image(x11_.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, s.root, 0, 0, s.width_in_pixels, s.height_in_pixels, ~0u),
      nullptr);
  if (reply == nullptr) return {};
  QImage image = QImage(xcb_get_image_data(reply), s.width_in_pixels, s.height_in_pixels, QImage::Format_RGB32).copy();
  std::free(reply);
  return image;
}

QRect Tour::pixels(const GlobalRect& area) {
  return {static_cast<int>(area.x), static_cast<int>(area.y), static_cast<int>(area.width),
          static_cast<int>(area.height)};
}

bool Tour::pictureChanges(const GlobalRect& area, double seconds, const std::function<void()>& action) {
  const QImage before = screen().copy(pixels(area));
  if (action) action();
  return waitFor(seconds, [&] { return screen().copy(pixels(area)) != before; });
}

// A window is mapped before it is painted: waits until its pixels show something (more
// than one colour) and stay the same between two looks, so the screenshot shows it drawn.
void Tour::settle(const std::optional<WindowRow>& window) {
  if (!window) return;
  QImage last;
  waitFor(3, [&] {
    const QImage now = screen().copy(pixels(*window->bounds));
    const bool drawn = !now.isNull() && now.pixel(0, 0) != now.pixel(now.width() / 2, now.height() / 2);
    const bool same = drawn && now == last;
    last = now;
    if (!same) std::this_thread::sleep_for(std::chrono::milliseconds(60));
    return same;
  });
}

void Tour::record(const std::string& name, const std::string& title, bool seen, const std::string& missing) {
  char file[64];
  std::snprintf(file, sizeof file, "%02zu-%s.png", stages_.size() + 1, name.c_str());
  std::string outcome = seen ? "ok" : "missing: " + missing;
  if (const auto failure = screenshot_.save(out_ + "/" + file); !failure.empty())
    outcome += " (screenshot: " + failure + ")";
  stages_.push_back({file, title, outcome});
  std::printf("tour: %s — %s\n", file, stages_.back().outcome.c_str());
  std::fflush(stdout);
}

void Tour::writeContactSheet() const {
  std::ofstream html(out_ + "/index.html");
  html << "<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"utf-8\"><title>Quillon demo tour</title>\n"
       << "<style>body{font-family:sans-serif;background:#20242c;color:#eee;margin:16px}"
       << "main{display:grid;grid-template-columns:repeat(auto-fill,minmax(360px,1fr));gap:12px}"
       << "figure{margin:0;background:#2c313c;padding:8px;border-radius:6px}img{width:100%}"
       << "figcaption{font-size:13px;margin-top:4px}.missing{color:#f6a}</style></head><body>\n"
       << "<h1>Quillon demo tour</h1><main>\n";
  for (const auto& stage : stages_) {
    const bool ok = stage.outcome == "ok";
    html << "<figure><a href=\"" << stage.file << "\"><img src=\"" << stage.file << "\" alt=\"" << stage.title
         << "\"></a><figcaption>" << stage.file.substr(0, 2) << ". " << stage.title << " — <span"
         << (ok ? "" : " class=\"missing\"") << ">" << stage.outcome << "</span></figcaption></figure>\n";
  }
  html << "</main></body></html>\n";
}

// What a window manager's close button does: asks the window to close itself.
void Tour::closeWindow(std::uint32_t window) {
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = window;
  event.type = x11_.atom("WM_PROTOCOLS");
  event.data.data32[0] = x11_.atom("WM_DELETE_WINDOW");
  event.data.data32[1] = XCB_CURRENT_TIME;
  xcb_send_event(x11_.get(), 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
  x11_.flush();
}

// The tray host sizes its panel to its icons, so a panel of at least one square holds
// the status item, the only icon there.
std::optional<WindowRow> Tour::waitForTray() {
  const double width = x11_.screen().width_in_pixels;
  std::optional<WindowRow> tray;
  waitFor(20, [&] {
    tray = find([&](const WindowRow& row) {
      return !ownedByQuillon(row) && row.bounds->y == 0 && row.bounds->height == trayHeight &&
             row.bounds->maxX() == width && row.bounds->width >= trayHeight;
    });
    return tray.has_value();
  });
  return tray;
}

// Clicks the status item and returns its menu.
std::optional<WindowRow> Tour::openMenu() {
  const auto tray = waitForTray();
  if (!tray) return std::nullopt;
  click(tray->bounds->midX(), tray->bounds->midY());
  std::optional<WindowRow> menu;
  waitFor(10, [&] {
    menu = find([&](const WindowRow& row) { return ownedByQuillon(row) && row.layer > 0; });
    return menu.has_value();
  });
  return menu;
}

// The menu's keyboard skips labels and separators: Down from the top reaches the
// registered apps first, Up from the bottom the fixed items in their order.
bool Tour::chooseFromMenu(xcb_keysym_t direction, int steps) {
  const auto menu = openMenu();
  if (!menu) return false;
  settle(menu);                                             // drawn means shown, and shown means it holds the keyboard
  movePointer(menu->bounds->x - 40, menu->bounds->midY());  // off the items, so that only keys choose
  tap(direction, steps);
  tap(keyReturn);
  return true;
}

std::optional<WindowRow> Tour::waitForNewWindow(double seconds, const std::set<std::uint32_t>& before) {
  std::optional<WindowRow> found;
  waitFor(seconds, [&] {
    found = find([&](const WindowRow& row) {
      return ownedByQuillon(row) && row.layer == 0 && row.windowNumber && !before.contains(*row.windowNumber) &&
             row.bounds->width >= 200 && row.bounds->height >= 200;
    });
    return found.has_value();
  });
  return found;
}

// Brings the pointer onto the running app's notch until it expands, then holds the
// chord; the switcher opens on the press itself (should it wait for the first scroll,
// one is given after a while). Returns the drawn panel with the chord still held.
std::optional<WindowRow> Tour::openCarousel() {
  const auto source = runningNotchApp();
  const auto notchHeight = [&] {
    const auto row = find([&](const WindowRow& r) { return processName(*r.ownerPID) == source; });
    return row ? row->bounds->height : 0.0;
  };
  const double width = x11_.screen().width_in_pixels;
  // The pointer comes from below, as a person's would, onto a collapsed notch.
  movePointer(width / 2, 400);
  waitFor(3, [&] { return notchHeight() <= collapsedHeight; });
  movePointer(width / 2, 8);
  waitFor(3, [&] { return notchHeight() > collapsedHeight; });
  std::optional<WindowRow> panel;
  const auto panelShown = [&] {
    panel = find([&](const WindowRow& row) { return ownedByQuillon(row) && row.bounds->y < 200; });
    return panel.has_value();
  };
  key(keySuper, true);
  if (!waitFor(4, panelShown)) {
    scroll(scrollRight);
    waitFor(6, panelShown);
  }
  settle(panel);
  return panel;
}

// A page takes eight wheel lines within one burst (a pause of 0.4 s ends a burst), so a
// step is one quick run of clicks; the slide ends before the next step may come.
bool Tour::stepCarousel(const WindowRow& panel) {
  const bool moved = pictureChanges(*panel.bounds, 3, [&] {
    for (int click = 0; click < linesPerPage; ++click) scroll(scrollRight);
  });
  settle(panel);
  return moved;
}

// Whether the selected card shows an image: the card keeps its icon and name on the
// left and the image on the right, so without one the right part of the body is the
// plain black of the panel. An image covers more than a sliver of it with colours
// other than its most common one.
QImage Tour::imageArea(const WindowRow& panel) const {
  const GlobalRect& b = *panel.bounds;
  return screen().copy(pixels({b.x + b.width * 0.62, b.y + b.height * 0.1, b.width * 0.28, b.height * 0.5}));
}

// The mean colour of a picture: each sample app draws its notch in a colour of its own,
// so it tells whose image a card shows even while the image animates.
QColor Tour::meanColour(const QImage& area) {
  double sum[3] = {};
  for (int y = 0; y < area.height(); ++y) {
    for (int x = 0; x < area.width(); ++x) {
      const QRgb p = area.pixel(x, y);
      sum[0] += qRed(p);
      sum[1] += qGreen(p);
      sum[2] += qBlue(p);
    }
  }
  const double n = std::max(1, area.width() * area.height());
  return QColor(static_cast<int>(sum[0] / n), static_cast<int>(sum[1] / n), static_cast<int>(sum[2] / n));
}

double Tour::colourDistance(const QColor& a, const QColor& b) {
  return std::hypot(a.red() - b.red(), a.green() - b.green(), a.blue() - b.blue());
}

bool Tour::showsImage(const WindowRow& panel) const {
  const QImage area = imageArea(panel);
  if (area.isNull()) return false;
  std::map<QRgb, int> counts;
  for (int y = 0; y < area.height(); ++y) {
    for (int x = 0; x < area.width(); ++x) ++counts[area.pixel(x, y) & 0xffffffu];
  }
  const auto common =
      std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& c) { return a.second < c.second; });
  const double others = 1.0 - static_cast<double>(common->second) / (area.width() * area.height());
  return others > 0.02;
}

int Tour::run() {
  const int status = stages();
  writeContactSheet();
  return status;
}

int Tour::stages() {
  const double width = x11_.screen().width_in_pixels;
  std::set<std::uint32_t> known;
  for (const auto& row : rows()) {
    if (row.windowNumber) known.insert(*row.windowNumber);
  }

  // 1. Quillon in the tray beside the running notch app.
  const bool started = waitFor(20, [&] { return runningNotchApp().has_value(); });
  const auto tray = waitForTray();
  const bool inTray = tray.has_value();
  settle(tray);
  record("desktop", "デスクトップ：トレイのQuillonとノッチアプリ", started && inTray,
         started ? "the tray icon" : "a notch app");
  if (!quillonAlive()) return 3;

  // 2. Its menu, opened by a click.
  const auto firstMenu = openMenu();
  settle(firstMenu);
  record("menu", "トレイのメニュー", firstMenu.has_value(), "the tray menu");
  // 3. The second registered app, chosen from the menu.
  const auto before = runningNotchApp();
  if (firstMenu) movePointer(firstMenu->bounds->x - 40, firstMenu->bounds->midY());
  tap(keyDown, 2);
  tap(keyReturn);
  const bool menuSwitched = waitFor(25, [&] {
    const auto now = runningNotchApp();
    return now && now != before;
  });
  settle(notchWindow());
  record("menu-switch", "メニューから切り替え：" + runningNotchApp().value_or("?"), menuSwitched,
         "another notch app after choosing it");
  if (!quillonAlive()) return 3;

  // 4-6. The gesture: the pointer over the notch until it expands, the chord held (the
  // switcher opens on the press itself), then scroll steps, then the release.
  const auto source = runningNotchApp();
  std::optional<WindowRow> panel = openCarousel();
  const bool carousel = panel.has_value();
  const bool live = carousel && showsImage(*panel);
  // The current card's image: the app the gesture starts from, seen live.
  const std::optional<QColor> shownBefore = live ? std::optional(meanColour(imageArea(*panel))) : std::nullopt;
  record("carousel", "呼び出しキーを押したまま：カルーセル", live,
         carousel ? "the live image of the current app on its card" : "the switcher panel");
  // Two steps go two apps on.
  bool stepped = carousel;
  for (int page = 0; stepped && page < 2; ++page) stepped = stepCarousel(*panel);
  record("carousel-step", "横スクロール：2つ先のアプリへ", stepped, carousel ? "the carousel moving" : "no carousel");
  key(keySuper, false);
  const bool gestureSwitched = stepped && waitFor(25, [&] {
                                 const auto now = runningNotchApp();
                                 return now && now != source;
                               });
  settle(notchWindow());
  record("gesture-switch", "キーを離して切り替え：" + runningNotchApp().value_or("?"), gestureSwitched,
         stepped ? "another notch app after releasing the chord" : "no step in the carousel");
  if (!quillonAlive()) return 3;

  // 7. The gesture again: one step on is the app the first gesture started from, whose
  // card now shows the image kept from then. Escape closes the carousel without switching.
  // The stepped card counts when its image area shows a picture in the colours of the
  // one seen live in 4, nearer to it than to what the card of the current app showed
  // before the step: an icon-only card, or the current app's card left in place, fails.
  const auto again = gestureSwitched ? openCarousel() : std::nullopt;
  bool kept = false;
  if (again && shownBefore) {
    const QColor current = meanColour(imageArea(*again));
    const bool movedOn = stepCarousel(*again);
    const QColor now = meanColour(imageArea(*again));
    kept = movedOn && showsImage(*again) && colourDistance(now, *shownBefore) < colourDistance(now, current);
  }
  record("carousel-kept", "もう一度：前に表示したアプリの保存画像", kept,
         !again         ? "the switcher panel"
         : !shownBefore ? "no live image in 4 to keep"
                        : "the kept image on the stepped card of the app shown before");
  tap(keyEscape);
  key(keySuper, false);
  if (again)
    waitFor(5, [&] { return !find([&](const WindowRow& row) { return row.windowNumber == again->windowNumber; }); });
  if (!quillonAlive()) return 3;

  // 7. The settings window, from the menu.
  movePointer(width / 2, 400);
  std::optional<WindowRow> settings;
  if (chooseFromMenu(keyUp, 5)) settings = waitForNewWindow(10, known);
  settle(settings);
  record("settings", "設定ウインドウ", settings.has_value(), "the settings window");
  if (settings) {
    closeWindow(*settings->windowNumber);
    waitFor(5, [&] { return !find([&](const WindowRow& row) { return row.windowNumber == settings->windowNumber; }); });
  }

  // 8. The first-run guide, from the menu, walked page by page with its default button.
  // A new user may have it open since the start, so any normal window of quillon's but
  // the settings window counts.
  std::set<std::uint32_t> notGuide;
  if (settings) notGuide.insert(*settings->windowNumber);
  std::optional<WindowRow> guide;
  if (chooseFromMenu(keyUp, 6)) guide = waitForNewWindow(10, notGuide);
  settle(guide);
  // A page is told by its heading: the band right of the sidebar, above the page's
  // demonstration, whose animation would make any picture of the whole window change.
  // Each page's heading must differ from every one seen before it.
  const auto heading = [&](const WindowRow& window) {
    const GlobalRect& b = *window.bounds;
    return screen().copy(pixels(GlobalRect{b.x + 230, b.y, std::max(1.0, b.width - 260), 130}));
  };
  std::vector<QImage> headings;
  if (guide) headings.push_back(heading(*guide));
  record("guide", "はじめに：案内の最初のページ", guide.has_value(), "the first-run guide");
  // Four pages; "はじめる" on the fourth closes the guide.
  for (int page = 2; guide && page <= 5; ++page) {
    const bool closing = page == 5;
    bool gone = false;
    const auto advanced = [&] {
      gone = !find([&](const WindowRow& row) { return row.windowNumber == guide->windowNumber; });
      if (gone) return closing;
      const QImage now = heading(*guide);
      return !closing &&
             std::none_of(headings.begin(), headings.end(), [&](const QImage& seen) { return seen == now; });
    };
    movePointer(guide->bounds->midX(), guide->bounds->midY());
    tap(keyReturn);  // the guide's default button
    bool moved = waitFor(3, advanced);
    if (!moved && !gone) {
      // Focus may be elsewhere: the button the guide keeps at its bottom right corner.
      click(guide->bounds->maxX() - 50, guide->bounds->maxY() - 30);
      moved = waitFor(5, advanced);
    }
    if (moved && !gone) {
      settle(guide);
      headings.push_back(heading(*guide));
    }
    record(closing ? "guide-done" : "guide-" + std::to_string(page),
           closing ? "はじめに：「はじめる」で閉じる" : "はじめに：" + std::to_string(page) + "ページ目", moved,
           closing ? "the guide closing" : "a new page heading");
    if (!moved || gone) break;
  }
  return quillonAlive() ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
  std::int32_t quillonPid = 0;
  std::string out;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--quillon-pid") quillonPid = std::atoi(argv[i + 1]);
    if (option == "--out") out = argv[i + 1];
  }
  if (quillonPid <= 0 || out.empty()) {
    std::fprintf(stderr, "usage: quillon_demo_tour --quillon-pid PID --out DIR\n");
    return 1;
  }
  auto x11 = quillon::X11Connection::open();
  if (!x11 || !x11->hasXTest()) {
    std::fprintf(stderr, "quillon_demo_tour: no X display with XTest\n");
    return 1;
  }
  // QImage's PNG writer needs a Gui application, but no window of its own.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  Tour tour(*x11, quillonPid, out);
  const int status = tour.run();
  if (status == 3) std::fprintf(stderr, "quillon_demo_tour: quillon is gone\n");
  return status;
}
