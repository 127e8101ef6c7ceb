#include "desktop/qt_main_loop.h"

#include <cmath>
#include <limits>
#include <mutex>

#include <QCoreApplication>
#include <QObject>
#include <QSocketNotifier>
#include <QThreadPool>
#include <QTimer>

namespace quillon {

// The cross-thread part. Worker threads post through it; once the loop is gone the
// context is null and their completions are dropped instead of reaching freed memory.
struct QtMainLoop::Shared {
  std::mutex mutex;
  QObject* context = nullptr;

  void post(std::function<void()> work) {
    std::lock_guard lock(mutex);
    if (context == nullptr) return;
    QMetaObject::invokeMethod(context, std::move(work), Qt::QueuedConnection);
  }
};

QtMainLoop::QtMainLoop(const Clock& clock)
    : clock_(clock), shared_(std::make_shared<Shared>()), pool_(std::make_unique<QThreadPool>()) {
  shared_->context = new QObject();
}

QtMainLoop::~QtMainLoop() {
  pool_->waitForDone();
  for (auto& [id, timer] : timers_) delete timer;
  for (auto& [id, notifier] : watches_) delete notifier;
  QObject* context = nullptr;
  {
    std::lock_guard lock(shared_->mutex);
    context = std::exchange(shared_->context, nullptr);
  }
  // Deleting the context discards the work still queued for it.
  delete context;
}

void QtMainLoop::post(std::function<void()> work) { shared_->post(std::move(work)); }

MainLoop::TimerId QtMainLoop::startTimer(double delaySeconds, bool repeats, std::function<void()> fire) {
  const double delay = std::isfinite(delaySeconds) ? std::max(delaySeconds, 0.0) : 0.0;
  const double milliseconds = std::min(std::ceil(delay * 1000.0), static_cast<double>(std::numeric_limits<int>::max()));
  const TimerId id = ++nextTimerId_;
  auto* timer = new QTimer();
  timer->setTimerType(Qt::PreciseTimer);
  timer->setSingleShot(!repeats);
  timer->setInterval(static_cast<int>(milliseconds));
  QObject::connect(timer, &QTimer::timeout, timer, [this, id, repeats, fire = std::move(fire)] {
    // Copy first: the callback may cancel its own timer, which deletes this lambda.
    auto call = fire;
    if (!repeats) {
      if (auto found = timers_.find(id); found != timers_.end()) {
        found->second->deleteLater();
        timers_.erase(found);
      }
    }
    call();
  });
  timers_.emplace(id, timer);
  timer->start();
  return id;
}

void QtMainLoop::cancelTimer(TimerId id) {
  auto found = timers_.find(id);
  if (found == timers_.end()) return;
  found->second->stop();
  // deleteLater: the timer may be the one whose callback is running now.
  found->second->deleteLater();
  timers_.erase(found);
}

void QtMainLoop::runDetached(std::function<void()> work, std::function<void()> completion) {
  pool_->start([shared = shared_, work = std::move(work), completion = std::move(completion)]() mutable {
    work();
    shared->post(std::move(completion));
  });
}

MainLoop::WatchId QtMainLoop::watchReadable(int fd, std::function<void()> ready) {
  const WatchId id = ++nextWatchId_;
  auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [ready = std::move(ready)] {
    auto call = ready;
    call();
  });
  watches_.emplace(id, notifier);
  return id;
}

void QtMainLoop::unwatch(WatchId id) {
  auto found = watches_.find(id);
  if (found == watches_.end()) return;
  found->second->setEnabled(false);
  found->second->deleteLater();
  watches_.erase(found);
}

}  // namespace quillon
