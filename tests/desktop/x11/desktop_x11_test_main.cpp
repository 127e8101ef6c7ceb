#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>

// Desktop adapters on a real X server (run under scripts/with-x --tray): the xcb
// platform, so the tray and the X connection behave as on a user's desktop.
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  // Installed with the test dependencies; it has the Japanese glyphs the screenshots show.
  QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK JP"), 11));
  return RUN_ALL_TESTS();
}
