#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>

// Qt widgets need one QApplication for the whole process, created before any test.
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // Headless unless a test run asks for a real display (the X11 tray test does).
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // A font installed with the test dependencies, so screenshots do not depend on what
  // else the host has; it covers Japanese.
  QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK JP"), 11));
  return RUN_ALL_TESTS();
}
