#include "executable/linux_platform.h"

#include <cstdlib>
#include <string_view>

#include <QApplication>
#include <QIcon>

#include "core/async/clock.h"
#include "core/input/global_event_tap.h"
#include "core/localization/l10n.h"
#include "desktop/qt_alert_presenter.h"
#include "desktop/qt_application_icon.h"
#include "desktop/qt_image_codec.h"
#include "desktop/qt_logind_session.h"
#include "desktop/qt_main_loop.h"
#include "desktop/qt_status_menu_host.h"
#include "desktop/qt_switcher_panel_host.h"
#include "desktop/qt_user_defaults.h"
#include "desktop/qt_window_host.h"
#include "desktop/qt_window_style.h"
#include "desktop/qt_workspace_icons.h"
#include "executable/log_sink_selection.h"
#include "linux/environment_locale.h"
#include "linux/process_workspace.h"
#include "linux/syslog_log_sink.h"
#include "linux/x11_accessibility.h"
#include "linux/x11_connection.h"
#include "linux/x11_global_event_tap.h"
#include "linux/x11_input_system.h"
#include "linux/x11_monitors.h"
#include "linux/x11_screen_capture_service.h"
#include "linux/x11_screen_lock.h"
#include "linux/x11_screens.h"
#include "linux/x11_stacking_keeper.h"
#include "linux/x11_window_server.h"
#include "linux/xdg_autostart_login_item.h"

namespace quillon {

namespace {

class X11EventTapFactory final : public GlobalEventTapFactory {
 public:
  explicit X11EventTapFactory(LinuxPlatform& platform) : platform_(platform) {}

  // GlobalEventTapFactory:
  std::unique_ptr<GlobalEventTap> makeEventTap(ModifierInputRouter& router, LaunchInputTrace& trace) override {
    auto tap = std::make_unique<X11GlobalEventTap>(*platform_.x11, *platform_.loop, router, *platform_.screens, trace,
                                                   *platform_.log);
    // The tap takes every scroll while the router's switcher is up.
    tap->followScrollClaims(*platform_.input);
    return tap;
  }

 private:
  LinuxPlatform& platform_;
};

}  // namespace

LinuxPlatform::LinuxPlatform() = default;

LinuxPlatform::~LinuxPlatform() = default;

QuillonPlatform LinuxPlatform::ports() {
  return {*clock,         *loop,   *log,       *windowServer, *screens,      *accessibility,
          *screenCapture, *input,  *workspace, *imageCodec,   *userDefaults, *alerts,
          *statusMenu,    *panels, *eventTaps, *windowHost};
}

QtSwitcherPanelHost::Windowing x11PanelWindowing(X11Connection& connection, X11ScreenLock* lock) {
  QtSwitcherPanelHost::Windowing windowing;
  windowing.compositing = x11HasCompositingManager(connection);
  // The event tap holds an active pointer grab while the switcher is up.
  windowing.pointerGrabbedWhileUp = true;
  windowing.keepAbove = [&connection](std::uint64_t window, std::function<void()> covered) {
    return X11StackingKeeper::hold(connection, static_cast<std::uint32_t>(window), std::move(covered));
  };
  windowing.deviceFrame = [&connection](const ScreenRect& frame) -> std::optional<Rect> {
    const auto monitors = queryX11Monitors(connection, x11DeadlineAfter(kX11QueryBound));
    if (!monitors) return std::nullopt;
    return X11RootSpace(*monitors).rootFromScreen(frame);
  };
  if (lock != nullptr) {
    windowing.observeLock = [lock](std::function<void()> handler) { return lock->subscribe(std::move(handler)); };
  }
  return windowing;
}

LinuxPlatformStart makeLinuxPlatform(int& argc, char** argv) {
  auto platform = std::make_unique<LinuxPlatform>();
  platform->locale = std::make_unique<EnvironmentLocale>();
  useLinuxTexts(*platform->locale);
  platform->log = makeLogSink(std::getenv("QUILLON_LOG"), [] { return std::make_unique<SyslogLogSink>(); });

  // Connecting first: QApplication would abort the process without a display, before
  // the user could be told why.
  platform->x11 = X11Connection::open();
  if (!platform->x11) {
    const char* display = std::getenv("DISPLAY");
    const std::string name = display != nullptr ? display : "";
    return {nullptr, L10n::text(LocalizedText::format(
                         "画面を表示できません。Xディスプレイ「{}」に接続できませんでした。", name))};
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
  platform->application = std::make_unique<QApplication>(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillon"));
  QApplication::setWindowIcon(qtApplicationIcon());
  // An accessory: closing an alert, the only kind of window so far, must not end it.
  QApplication::setQuitOnLastWindowClosed(false);

  platform->clock = std::make_unique<SystemClock>();
  platform->loop = std::make_unique<QtMainLoop>(*platform->clock);
  platform->x11->attach(*platform->loop);
  platform->screenLock = std::make_unique<X11ScreenLock>(*platform->x11);
  auto& lock = *platform->screenLock;
  platform->session = std::make_unique<QtLogindSession>(QtLogindSession::Handlers{
      [&lock] { lock.lockRequested(); }, [&lock](bool locked) { lock.setSessionLocked(locked); }});
  platform->windowServer = std::make_unique<X11WindowServer>(*platform->x11, platform->screenLock.get());
  platform->screens = std::make_unique<X11Screens>(*platform->x11);
  platform->accessibility = std::make_unique<X11Accessibility>(*platform->x11, platform->log.get());
  platform->screenCapture = std::make_unique<X11ScreenCaptureService>(*platform->x11, platform->log.get());
  platform->screenCapture->captureOffMainThread(*platform->loop, X11Connection::open());
  platform->windowServer->readOffMainThread(platform->screenCapture->worker());
  platform->accessibility->readOffMainThread(platform->screenCapture->worker());
  platform->input = std::make_unique<X11InputSystem>(*platform->x11);
  platform->workspace = std::make_unique<ProcessWorkspace>(
      *platform->loop, ProcessWorkspace::IconReader{qtImageFileIcon, qtGenericApplicationIcon});
  platform->imageCodec = std::make_unique<QtImageCodec>();
  platform->userDefaults = QtUserDefaults::forApplication();
  platform->alerts = std::make_unique<QtAlertPresenter>(*platform->loop);
  // Logs every menu set and where the windows' controls are: what the tests read.
  const char* logMenus = std::getenv("QUILLON_MENU_LOG");
  const bool logInterface = logMenus != nullptr && std::string_view(logMenus) == "1";
  platform->statusMenu = std::make_unique<QtStatusMenuHost>(*platform->log, logInterface);
  if (logInterface) QtWindowStyle::setControlLog(platform->log.get());
  auto& connection = *platform->x11;
  platform->panels = std::make_unique<QtSwitcherPanelHost>(*platform->clock, x11PanelWindowing(connection, &lock));
  platform->loginItem = XdgAutostartLoginItem::forCurrentUser();
  platform->windowHost = std::make_unique<QtWindowHost>(platform->loginItem.get());
  platform->eventTaps = std::make_unique<X11EventTapFactory>(*platform);
  return {std::move(platform), {}};
}

}  // namespace quillon
