#include "core/async/poll_main_loop.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <deque>
#include <limits>
#include <mutex>
#include <semaphore>
#include <thread>
#include <vector>

#include "core/async/clock.h"
#include "core/support/unique_fd.h"

namespace quillon {

// The cross-thread part: posted work and the self-pipe that wakes poll(). Detached
// workers hold it by shared_ptr, so one that finishes after the loop is gone posts
// into a closed queue instead of freed memory.
struct PollMainLoop::Shared {
  std::mutex mutex;
  std::deque<std::function<void()>> posted;
  bool closed = false;
  std::atomic<bool> quit{false};
  UniqueFd wakeRead;
  UniqueFd wakeWrite;

  void wake() const {
    const char byte = 1;
    // A full pipe already guarantees a wake-up, so EAGAIN is fine to ignore.
    [[maybe_unused]] auto written = ::write(wakeWrite.get(), &byte, 1);
  }
  void push(std::function<void()> work) {
    {
      std::lock_guard lock(mutex);
      if (closed) return;
      posted.push_back(std::move(work));
    }
    wake();
  }

  // Detached work runs on threads kept for it, as a thread pool would: starting a thread
  // for every piece cost the main thread a clone each time. A thread is started only
  // when every one started is busy, up to kMaxWorkers; after that, work waits its turn.
  // Threads are woken through a semaphore, whose release never blocks: signalling a
  // condition variable can wait for a waiter that is just going to sleep.
  static constexpr int kMaxWorkers = 8;
  std::mutex workMutex;
  std::deque<std::function<void()>> queued;
  std::counting_semaphore<> available{0};  // one release per queued piece and per leave
  int workers = 0;
  int busy = 0;
  bool stopping = false;  // the loop is gone: threads leave once the queue is empty

  static void serve(const std::shared_ptr<Shared>& shared) {
    for (;;) {
      shared->available.acquire();
      std::function<void()> item;
      {
        std::lock_guard lock(shared->workMutex);
        if (shared->queued.empty()) {
          if (!shared->stopping) continue;
          --shared->workers;
          return;
        }
        item = std::move(shared->queued.front());
        shared->queued.pop_front();
        ++shared->busy;
      }
      item();
      item = nullptr;  // what it holds is released here, off the main thread
      std::lock_guard lock(shared->workMutex);
      --shared->busy;
    }
  }
};

PollMainLoop::PollMainLoop(const Clock& clock) : clock_(clock), shared_(std::make_shared<Shared>()) {
  int fds[2];
  if (::pipe(fds) != 0) std::terminate();
  for (int fd : fds) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  shared_->wakeRead.reset(fds[0]);
  shared_->wakeWrite.reset(fds[1]);
}

PollMainLoop::~PollMainLoop() {
  std::ptrdiff_t workers = 0;
  {
    std::lock_guard lock(shared_->workMutex);
    shared_->stopping = true;
    workers = shared_->workers;
  }
  shared_->available.release(workers);
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard lock(shared_->mutex);
    shared_->closed = true;
    dropped.swap(shared_->posted);
  }
  // Destroyed outside the lock: a dropped closure may own something whose destructor
  // posts again, which would otherwise deadlock on the mutex.
}

void PollMainLoop::post(std::function<void()> work) { shared_->push(std::move(work)); }

MainLoop::TimerId PollMainLoop::startTimer(double delaySeconds, bool repeats, std::function<void()> fire) {
  return timers_.start(clock_.uptime(), delaySeconds, repeats, std::move(fire));
}

void PollMainLoop::cancelTimer(TimerId id) { timers_.cancel(id); }

void PollMainLoop::runDetached(std::function<void()> work, std::function<void()> completion) {
  std::function<void()> item = [shared = shared_, work = std::move(work),
                                completion = std::move(completion)]() mutable {
    work();
    shared->push(std::move(completion));
  };
  bool startWorker = false;
  {
    std::lock_guard lock(shared_->workMutex);
    shared_->queued.push_back(std::move(item));
    const int idle = shared_->workers - shared_->busy;
    startWorker = static_cast<int>(shared_->queued.size()) > idle && shared_->workers < Shared::kMaxWorkers;
    if (startWorker) ++shared_->workers;
  }
  if (startWorker) std::thread([shared = shared_] { Shared::serve(shared); }).detach();
  shared_->available.release();
}

MainLoop::WatchId PollMainLoop::watchReadable(int fd, std::function<void()> ready) {
  const WatchId id = ++nextWatchId_;
  watches_.emplace(id, Watch{fd, std::move(ready)});
  return id;
}

void PollMainLoop::unwatch(WatchId id) { watches_.erase(id); }

void PollMainLoop::quit() {
  shared_->quit = true;
  shared_->wake();
}

bool PollMainLoop::runOnce(double maximumWait) {
  // Posted work first, one item at a time, so work posted by work runs after it.
  std::function<void()> work;
  {
    std::lock_guard lock(shared_->mutex);
    if (!shared_->posted.empty()) {
      work = std::move(shared_->posted.front());
      shared_->posted.pop_front();
    }
  }
  if (work) {
    work();
    return true;
  }

  const double now = clock_.uptime();
  if (timers_.fireNext(now)) return true;

  double wait = maximumWait;
  if (const auto due = timers_.nextDue()) wait = std::min(wait, *due - now);
  std::vector<pollfd> fds{{shared_->wakeRead.get(), POLLIN, 0}};
  std::vector<WatchId> ids{0};
  for (const auto& [id, watch] : watches_) {
    fds.push_back({watch.fd, POLLIN, 0});
    ids.push_back(id);
  }
  const int timeoutMs = static_cast<int>(std::ceil(std::clamp(wait, 0.0, 3600.0) * 1000.0));
  const int count = ::poll(fds.data(), fds.size(), timeoutMs);
  if (count <= 0) return false;
  if (fds[0].revents != 0) {
    char buffer[64];
    while (::read(shared_->wakeRead.get(), buffer, sizeof buffer) > 0) {
    }
  }
  for (std::size_t i = 1; i < fds.size(); ++i) {
    if (fds[i].revents == 0) continue;
    auto watch = watches_.find(ids[i]);
    if (watch == watches_.end()) continue;
    auto ready = watch->second.ready;
    ready();
  }
  return true;
}

void PollMainLoop::run() {
  // A quit() that came before run() (say, from start-up code that decided to stop)
  // ends this run at once instead of being lost.
  while (!shared_->quit) runOnce(std::numeric_limits<double>::infinity());
  shared_->quit = false;
}

bool PollMainLoop::runUntil(const std::function<bool()>& done, double timeoutSeconds) {
  const double deadline = clock_.uptime() + timeoutSeconds;
  while (!done()) {
    const double left = deadline - clock_.uptime();
    if (left <= 0) return false;
    runOnce(left);
  }
  return true;
}

}  // namespace quillon
