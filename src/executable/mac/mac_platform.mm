#include "executable/mac/mac_platform.h"

#import <AppKit/AppKit.h>

#include <cstdlib>
#include <string_view>

#include <QApplication>

#include "core/async/clock.h"
#include "core/input/global_event_tap.h"
#include "core/localization/l10n.h"
#include "desktop/qt_alert_presenter.h"
#include "desktop/qt_application_icon.h"
#include "desktop/qt_image_codec.h"
#include "desktop/qt_main_loop.h"
#include "desktop/qt_status_menu_host.h"
#include "desktop/qt_switcher_panel_host.h"
#include "desktop/qt_user_defaults.h"
#include "desktop/qt_window_host.h"
#include "desktop/qt_window_style.h"
#include "executable/log_sink_selection.h"
#include "mac/mac_accessibility.h"
#include "mac/mac_global_event_tap.h"
#include "mac/mac_input_system.h"
#include "mac/mac_locale.h"
#include "mac/mac_login_item.h"
#include "mac/mac_own_application.h"
#include "mac/mac_screen_capture_service.h"
#include "mac/mac_screens.h"
#include "mac/mac_switcher_panel_host.h"
#include "mac/mac_window_server.h"
#include "mac/mac_workspace.h"
#include "mac/os_log_sink.h"

namespace quillon {

namespace {

class MacEventTapFactory final : public GlobalEventTapFactory {
 public:
  explicit MacEventTapFactory(MacPlatform& platform) : platform_(platform) {}

  // GlobalEventTapFactory:
  std::unique_ptr<GlobalEventTap> makeEventTap(ModifierInputRouter& router, LaunchInputTrace& trace) override {
    return std::make_unique<MacGlobalEventTap>(router, *platform_.screens, trace, *platform_.log);
  }

 private:
  MacPlatform& platform_;
};

}  // namespace

MacPlatform::MacPlatform() = default;

MacPlatform::~MacPlatform() = default;

QuillonPlatform MacPlatform::ports() {
  return {*clock,         *loop,   *log,       *windowServer, *screens,      *accessibility,
          *screenCapture, *input,  *workspace, *imageCodec,   *userDefaults, *alerts,
          *statusMenu,    *panels, *eventTaps, *windowHost};
}

std::unique_ptr<MacPlatform> makeMacPlatform(int& argc, char** argv) {
  auto platform = std::make_unique<MacPlatform>();
  platform->locale = std::make_unique<MacLocale>();
  L10n::usePreferredLanguage(platform->locale->preferredLanguage());
  platform->log = makeLogSink(std::getenv("QUILLON_LOG"), [] { return std::make_unique<OsLogSink>(); });

  platform->application = std::make_unique<QApplication>(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillon"));
  QApplication::setWindowIcon(qtApplicationIcon());
  // An accessory: closing its last window must not end it.
  QApplication::setQuitOnLastWindowClosed(false);
  // The bundle's LSUIElement already says so; a bare executable (a build tree) needs it
  // said here. Qt created the shared application above.
  [NSApp setActivationPolicy:NSApplicationActivationPolicyAccessory];

  platform->clock = std::make_unique<SystemClock>();
  platform->loop = std::make_unique<QtMainLoop>(*platform->clock);
  platform->windowServer = std::make_unique<MacWindowServer>();
  platform->screens = std::make_unique<MacScreens>();
  platform->accessibility = std::make_unique<MacAccessibility>();
  platform->screenCapture = std::make_unique<MacScreenCaptureService>(*platform->loop);
  platform->input = std::make_unique<MacInputSystem>();
  platform->workspace = std::make_unique<MacWorkspace>(*platform->loop);
  platform->imageCodec = std::make_unique<QtImageCodec>();
  platform->userDefaults = QtUserDefaults::forApplication();
  platform->alerts = std::make_unique<QtAlertPresenter>(*platform->loop);
  // Logs every menu set and where the windows' controls are: what the tests read.
  const char* logMenus = std::getenv("QUILLON_MENU_LOG");
  const bool logInterface = logMenus != nullptr && std::string_view(logMenus) == "1";
  platform->statusMenu = std::make_unique<QtStatusMenuHost>(*platform->log, logInterface);
  if (logInterface) QtWindowStyle::setControlLog(platform->log.get());
  // The window server composites every window, so the panel is always translucent.
  platform->panels = std::make_unique<MacSwitcherPanelHost>(
      std::make_unique<QtSwitcherPanelHost>(*platform->clock, true, QtSwitcherPanelHost::KeepAbove()));
  platform->loginItem = std::make_unique<MacLoginItem>();
  platform->windowHost = std::make_unique<QtWindowHost>(platform->loginItem.get());
  platform->eventTaps = std::make_unique<MacEventTapFactory>(*platform);
  platform->ownApplication = macOwnApplication();
  return platform;
}

}  // namespace quillon
