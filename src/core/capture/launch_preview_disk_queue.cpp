#include "core/capture/launch_preview_disk_queue.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <utility>

#include "core/async/main_loop.h"

namespace quillon {

struct LaunchPreviewDiskQueue::Shared {
  explicit Shared(const LaunchPreviewArchive& settings) : archive(settings) {}

  const LaunchPreviewArchive archive;  // a copy: it holds only settings
  std::mutex mutex;
  std::condition_variable drained;
  std::deque<std::pair<std::uint64_t, Operation>> pending;
  std::deque<std::pair<std::uint64_t, Result<void>>> done;
  bool draining = false;  // a worker is taking operations from `pending`
  // Main thread only.
  std::uint64_t nextTicket = 0;
  std::map<std::uint64_t, Outcome> outcomes;

  // The worker: runs operations until none is left. One worker at a time keeps the
  // order; an operation asked for while it runs is taken by the same worker.
  void drain() {
    std::unique_lock lock(mutex);
    while (!pending.empty()) {
      auto next = std::move(pending.front());
      pending.pop_front();
      lock.unlock();
      auto result = resultOf<void>([&] { next.second(archive); });
      lock.lock();
      done.emplace_back(next.first, std::move(result));
    }
    draining = false;
    drained.notify_all();
  }
};

LaunchPreviewDiskQueue::LaunchPreviewDiskQueue(MainLoop& loop, const LaunchPreviewArchive& archive)
    : loop_(loop), shared_(std::make_shared<Shared>(archive)) {}

LaunchPreviewDiskQueue::~LaunchPreviewDiskQueue() {
  std::unique_lock lock(shared_->mutex);
  shared_->drained.wait_for(lock, std::chrono::duration<double>(drainLimit), [this] { return !shared_->draining; });
}

void LaunchPreviewDiskQueue::enqueue(Operation operation, Outcome outcome) {
  const std::uint64_t ticket = ++shared_->nextTicket;
  shared_->outcomes.emplace(ticket, std::move(outcome));
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->pending.emplace_back(ticket, std::move(operation));
    if (shared_->draining) return;
    shared_->draining = true;
  }
  loop_.runDetached([shared = shared_] { shared->drain(); },
                    [this, alive = std::weak_ptr<const bool>(alive_)] {
                      if (!alive.expired()) deliverOutcomes();
                    });
}

bool LaunchPreviewDiskQueue::isDrained() const {
  const std::lock_guard lock(shared_->mutex);
  return !shared_->draining;
}

void LaunchPreviewDiskQueue::deliverOutcomes() {
  std::deque<std::pair<std::uint64_t, Result<void>>> done;
  {
    const std::lock_guard lock(shared_->mutex);
    done.swap(shared_->done);
  }
  for (auto& [ticket, result] : done) {
    auto found = shared_->outcomes.find(ticket);
    if (found == shared_->outcomes.end()) continue;
    Outcome outcome = std::move(found->second);
    shared_->outcomes.erase(found);
    if (outcome) outcome(result);
  }
}

}  // namespace quillon
