#pragma once

#include <functional>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

namespace quillon {

// Runs Qt's event loop until `done` or a generous deadline; the deadline only stops a
// broken test from hanging, nothing is timed by it.
inline bool spinUntil(const std::function<bool()>& done, int deadlineMs = 20000) {
  QElapsedTimer elapsed;
  elapsed.start();
  while (!done()) {
    if (elapsed.elapsed() > deadlineMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
  }
  return true;
}

}  // namespace quillon
