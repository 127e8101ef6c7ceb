#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/platform/status_menu_host.h"

class QMenu;
class QRect;
class QSystemTrayIcon;
class QTimer;

namespace quillon {

class LogSink;

// The status item as a tray icon whose context menu shows the menu model. Without a
// tray (no tray host on the desktop) the menu is still kept, so it can be inspected,
// one line says why nothing is shown, and the icon appears once a tray host does.
//
// With `logMenus` every menu set that differs from the one before (the refresh may
// rebuild it every second) is also logged as one line, so a bug report, or a test
// driving the real tray, can tell what the user was shown without reading pixels:
// "[Quillon/menu] " and the items joined by " | ", a disabled item marked "~", a checked
// one "✓", a separator "—", a submenu's entries in "{ … ; … }" after its title.
class QtStatusMenuHost final : public StatusMenuHost {
 public:
  explicit QtStatusMenuHost(LogSink& log, bool logMenus = false);
  ~QtStatusMenuHost() override;

  // The menu as last set (for tests and screenshots).
  QMenu* menu() const;
  // Where the tray host shows the status item; empty without a tray or before the
  // host has embedded it.
  QRect statusItemGeometry() const;

  // StatusMenuHost:
  bool isAvailable() const override;
  void setMenu(LaunchMenuModel model) override;
  void setToolTip(const std::string& toolTip) override;
  void setOpenHandler(std::function<void()> handler) override;
  void setCloseHandler(std::function<void()> handler) override;

 private:
  void showTray();

  std::unique_ptr<QMenu> menu_;
  std::unique_ptr<QSystemTrayIcon> tray_;
  std::unique_ptr<QTimer> trayWatch_;
  std::string toolTip_ = "Quillon";
  std::function<void()> openHandler_;
  std::function<void()> closeHandler_;
  LogSink& log_;
  bool logMenus_ = false;
  std::string loggedMenu_;
  bool available_ = false;
};

}  // namespace quillon
