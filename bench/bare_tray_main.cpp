// The reference for quillon's start: a Qt program that only shows a tray icon with a
// one-item menu, the least any tray utility built on Qt does before its icon appears.
#include <QApplication>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QPixmap pixmap(22, 22);
  pixmap.fill(Qt::darkCyan);
  QMenu menu;
  menu.addAction(QStringLiteral("Quit"), &application, &QApplication::quit);
  QSystemTrayIcon icon{QIcon(pixmap)};
  icon.setContextMenu(&menu);
  icon.show();
  return QApplication::exec();
}
