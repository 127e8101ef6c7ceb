#include <gtest/gtest.h>

#include <QApplication>

// Desktop adapters on a real X server (run under scripts/with-x --tray): the xcb
// platform, so the tray and the X connection behave as on a user's desktop.
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
