#pragma once

#include <map>
#include <memory>

#include "core/async/main_loop.h"

class QObject;
class QSocketNotifier;
class QThreadPool;
class QTimer;

namespace quillon {

// MainLoop on Qt's event loop: posted work and completions of detached work are
// queued events of the main thread, timers are QTimers, descriptor watches are socket
// notifiers. Create it on the main thread after the QApplication; it does not run the
// loop itself (QApplication::exec does).
class QtMainLoop final : public MainLoop {
 public:
  explicit QtMainLoop(const Clock& clock);
  // Waits for detached work still running, so none of it outlives what it captured.
  ~QtMainLoop() override;

  // MainLoop:
  const Clock& clock() const override { return clock_; }
  void post(std::function<void()> work) override;
  TimerId startTimer(double delaySeconds, bool repeats, std::function<void()> fire) override;
  void cancelTimer(TimerId id) override;
  void runDetached(std::function<void()> work, std::function<void()> completion) override;
  WatchId watchReadable(int fd, std::function<void()> ready) override;
  void unwatch(WatchId id) override;

 private:
  struct Shared;
  const Clock& clock_;
  std::shared_ptr<Shared> shared_;
  std::unique_ptr<QThreadPool> pool_;
  std::map<TimerId, QTimer*> timers_;
  std::map<WatchId, QSocketNotifier*> watches_;
  TimerId nextTimerId_ = 0;
  WatchId nextWatchId_ = 0;
};

}  // namespace quillon
