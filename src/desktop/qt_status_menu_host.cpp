#include "desktop/qt_status_menu_host.h"

#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

#include "core/platform/log_sink.h"

namespace quillon {
namespace {

// Three stacked squares, drawn rather than loaded so the icon needs no theme.
QIcon statusIcon() {
  QPixmap pixmap(44, 44);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  QPen pen(QColor(40, 40, 40));
  pen.setWidthF(3.0);
  painter.setPen(pen);
  for (int i = 0; i < 3; ++i) {
    painter.setBrush(i == 2 ? QColor(250, 250, 250) : QColor(200, 200, 200));
    painter.drawRoundedRect(QRectF(6 + i * 5, 18 - i * 6, 22, 18), 3, 3);
  }
  return QIcon(pixmap);
}

void fill(QMenu& menu, const std::vector<MenuItem>& items) {
  for (const auto& item : items) {
    switch (item.kind) {
      case MenuItem::Kind::separator: menu.addSeparator(); break;
      case MenuItem::Kind::submenu: {
        // Owned by `menu`: QMenu::clear() deletes actions, and the submenu goes with
        // its parent menu when the whole menu is replaced.
        auto* submenu = new QMenu(QString::fromStdString(item.title), &menu);
        submenu->setToolTipsVisible(true);
        fill(*submenu, item.submenu);
        QAction* action = menu.addMenu(submenu);
        action->setEnabled(item.enabled);
        action->setToolTip(QString::fromStdString(item.toolTip));
        break;
      }
      case MenuItem::Kind::label:
      case MenuItem::Kind::action: {
        QAction* action = menu.addAction(QString::fromStdString(item.title));
        action->setEnabled(item.kind == MenuItem::Kind::action && item.enabled);
        action->setCheckable(item.checked);
        action->setChecked(item.checked);
        if (!item.toolTip.empty()) action->setToolTip(QString::fromStdString(item.toolTip));
        if (!item.keyEquivalent.empty()) {
          action->setShortcut(
              QKeySequence(QStringLiteral("Ctrl+") + QString::fromStdString(item.keyEquivalent).toUpper()));
        }
        if (item.action) {
          QObject::connect(action, &QAction::triggered, action, [run = item.action] { run(); });
        }
        break;
      }
    }
  }
}

std::string summary(const std::vector<MenuItem>& items) {
  std::string text;
  for (const auto& item : items) {
    if (!text.empty()) text += " | ";
    if (item.kind == MenuItem::Kind::separator) {
      text += "—";
      continue;
    }
    if (!item.enabled || item.kind == MenuItem::Kind::label) text += "~";
    if (item.checked) text += "✓";
    text += item.title;
    if (item.kind == MenuItem::Kind::submenu) {
      std::string entries = summary(item.submenu);
      for (auto at = entries.find(" | "); at != std::string::npos; at = entries.find(" | ", at)) {
        entries.replace(at, 3, " ; ");
      }
      text += " { " + entries + " }";
    }
  }
  return text;
}

}  // namespace

QtStatusMenuHost::QtStatusMenuHost(LogSink& log, bool logMenus) : log_(log), logMenus_(logMenus) {
  available_ = QSystemTrayIcon::isSystemTrayAvailable();
  menu_ = std::make_unique<QMenu>();
  menu_->setToolTipsVisible(true);
  QObject::connect(menu_.get(), &QMenu::aboutToShow, menu_.get(), [this] {
    if (openHandler_) openHandler_();
  });
  // Queued: QMenu hides itself before it triggers the chosen action, and a close
  // handler that rebuilds the menu would delete that action first, so a chosen item
  // would silently do nothing.
  QObject::connect(
      menu_.get(), &QMenu::aboutToHide, menu_.get(),
      [this] {
        if (closeHandler_) closeHandler_();
      },
      Qt::QueuedConnection);
  if (available_) {
    showTray();
    return;
  }
  log.log("[Quillon/startup] no system tray on this desktop; the status menu cannot be shown");
  // A panel started after the apps of the session brings its tray a little later: the
  // icon appears as soon as it does. The gesture never waited for it.
  trayWatch_ = std::make_unique<QTimer>();
  QObject::connect(trayWatch_.get(), &QTimer::timeout, trayWatch_.get(), [this] {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    trayWatch_->stop();
    available_ = true;
    log_.log("[Quillon/startup] a system tray appeared; showing the status icon");
    showTray();
  });
  trayWatch_->start(1000);
}

void QtStatusMenuHost::showTray() {
  tray_ = std::make_unique<QSystemTrayIcon>(statusIcon());
  tray_->setToolTip(QString::fromStdString(toolTip_));
  tray_->setContextMenu(menu_.get());
  // A left click opens the same menu, as the status item does. So does a second click
  // soon after one that chose an item: Qt reports that as a double click, which would
  // otherwise be dropped.
  QObject::connect(tray_.get(), &QSystemTrayIcon::activated, tray_.get(),
                   [this](QSystemTrayIcon::ActivationReason reason) {
                     if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                       menu_->popup(QCursor::pos());
                     }
                   });
  tray_->show();
}

QtStatusMenuHost::~QtStatusMenuHost() {
  if (tray_) tray_->setContextMenu(nullptr);
  tray_.reset();
}

QMenu* QtStatusMenuHost::menu() const { return menu_.get(); }

QRect QtStatusMenuHost::statusItemGeometry() const { return tray_ ? tray_->geometry() : QRect(); }

bool QtStatusMenuHost::isAvailable() const { return available_; }

void QtStatusMenuHost::setMenu(LaunchMenuModel model) {
  // Submenus are children of the menu; clear() removes actions only, so they are
  // deleted here to keep a rebuilt menu from accumulating them.
  for (QMenu* submenu : menu_->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) submenu->deleteLater();
  menu_->clear();
  fill(*menu_, model.items);
  if (!logMenus_) return;
  std::string line = "[Quillon/menu] " + summary(model.items);
  if (line == loggedMenu_) return;
  log_.log(line);
  loggedMenu_ = std::move(line);
}

void QtStatusMenuHost::setToolTip(const std::string& toolTip) {
  toolTip_ = toolTip;
  if (tray_) tray_->setToolTip(QString::fromStdString(toolTip));
}

void QtStatusMenuHost::setOpenHandler(std::function<void()> handler) { openHandler_ = std::move(handler); }

void QtStatusMenuHost::setCloseHandler(std::function<void()> handler) { closeHandler_ = std::move(handler); }

}  // namespace quillon
