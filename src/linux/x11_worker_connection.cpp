#include "linux/x11_worker_connection.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

#include "core/async/cancellation.h"
#include "core/support/unique_fd.h"
#include "linux/x11_window_tracker.h"

namespace quillon {

// Shared with the work in flight, which may outlive the worker's owner.
struct X11WorkerConnection::Shared {
  std::mutex mutex;  // one piece of work at a time
  std::unique_ptr<X11Connection> connection;
  UniqueFd wake{::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)};
  // Under the mutex: the pieces of work begun, and the last read of the windows.
  X11WindowTracker windows;
  std::uint64_t pieces = 0;
  std::uint64_t windowsPiece = 0;
  std::chrono::steady_clock::time_point windowsReadAt;
};

X11WorkerConnection::X11WorkerConnection(MainLoop& loop, std::unique_ptr<X11Connection> connection)
    : loop_(loop), shared_(std::make_shared<Shared>()) {
  shared_->connection = std::move(connection);
}

X11WorkerConnection::~X11WorkerConnection() = default;

X11Deadline X11WorkerConnection::deadlineFor(const std::shared_ptr<Cancellation>& owner) {
  const bool sameOwner = !lastOwner_.expired() && !lastOwner_.owner_before(owner) && !owner.owner_before(lastOwner_);
  if (!sameOwner) {
    lastOwner_ = owner;
    lastDeadline_ = x11DeadlineAfter(kX11CaptureBound);
  }
  return lastDeadline_;
}

Task<void> X11WorkerConnection::runErased(std::function<void(X11Connection&, X11Deadline)> work,
                                          std::function<void()> stopped) {
  auto cancellation = co_await currentCancellation();
  const X11Deadline deadline = deadlineFor(cancellation);
  auto stop = std::make_shared<std::atomic<bool>>(false);
  // The handler runs on the main thread when the task is cancelled; it may find the
  // piece queued, running or done.
  struct HandlerGuard {
    std::shared_ptr<Cancellation> cancellation;
    Cancellation::HandlerId id;
    ~HandlerGuard() { cancellation->removeHandler(id); }
  };
  const HandlerGuard guard{cancellation, cancellation->addHandler([stop, shared = shared_] {
                             stop->store(true);
                             const std::uint64_t one = 1;
                             [[maybe_unused]] const auto written = ::write(shared->wake.get(), &one, sizeof one);
                           })};
  std::function<void()> job = [shared = shared_, stop, deadline, work = std::move(work), stopped = std::move(stopped)] {
    const std::lock_guard lock(shared->mutex);
    ++shared->pieces;
    X11Connection& connection = *shared->connection;
    if (stop->load() || std::chrono::steady_clock::now() >= deadline) stopped();
    struct Interruption {
      X11Connection& connection;
      ~Interruption() { connection.interruptWaitsOn(nullptr, -1); }
    } const interruption{connection};
    connection.interruptWaitsOn(stop.get(), shared->wake.get());
    work(connection, deadline);
  };
  auto running = runOffMainThread<void>(loop_, std::move(job));
  co_await std::move(running);
}

Task<std::optional<X11WindowSnapshot>> X11WorkerConnection::readWindows(std::function<void()> stopped) {
  watchLease_ = Timer(loop_, std::chrono::duration<double>(kX11WindowWatchLease).count(), false,
                      [this] { stopWatchingWindows(); });
  // Runs under the mutex, as every piece of work does.
  std::function<std::optional<X11WindowSnapshot>(X11Connection&, X11Deadline)> read =
      [shared = shared_](X11Connection& connection, X11Deadline deadline) {
        const auto now = std::chrono::steady_clock::now();
        const bool justChecked =
            shared->windowsPiece + 1 == shared->pieces && now - shared->windowsReadAt <= kX11WindowListReuse;
        auto reading = shared->windows.read(connection, deadline, justChecked);
        shared->windowsPiece = shared->pieces;
        shared->windowsReadAt = std::chrono::steady_clock::now();
        return reading;
      };
  auto reading = run<std::optional<X11WindowSnapshot>>(std::move(read), std::move(stopped));
  co_return co_await std::move(reading);
}

std::uint64_t X11WorkerConnection::wholeWindowReadings() const { return shared_->windows.wholeReadings(); }

void X11WorkerConnection::stopWatchingWindows() {
  loop_.runDetached(
      [shared = shared_] {
        const std::lock_guard lock(shared->mutex);
        shared->windows.stop(*shared->connection);
      },
      [] {});
}

}  // namespace quillon
