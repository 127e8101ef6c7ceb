#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "core/async/main_loop.h"
#include "core/async/task.h"
#include "linux/x11_connection.h"
#include "linux/x11_window_list.h"

namespace quillon {

class Cancellation;

// How long the worker keeps the server reporting changes to the windows after the last
// read of them (see X11WindowTracker): a gesture reads them on every step, and an idle
// connection should not collect reports that nobody reads.
inline constexpr std::chrono::seconds kX11WindowWatchLease{5};
// A capture asks for its content and for the window rows back to back, and on X11 both
// are the same reading: a read that comes right after another, with no other work
// between them and within this time, takes the reports already in as the whole answer
// instead of waiting for the server once more.
inline constexpr std::chrono::milliseconds kX11WindowListReuse{10};

// A connection of its own for round trips that must not hold the main thread (a
// capture and its window lists): each piece of work runs on a worker thread and its
// outcome comes back on the loop. A server that stalls (another client grabbed it) then
// holds the worker, never the main loop, and these round trips do not queue behind the
// main connection's.
//
// One piece of work at a time, in the order they were asked for, so requests of two
// captures never interleave.
//
// Deadline: every piece of work awaited by one task (one capture, with everything it
// asks for) shares a single deadline, `kX11CaptureBound` from the first; a piece asked
// for after it passed fails at once. Cancelling the awaiting task (the capture's own
// time limit does) stops the piece in progress within one wake-up: its waits end as if
// their deadline had passed, and the worker is free for the next capture.
class X11WorkerConnection {
 public:
  X11WorkerConnection(MainLoop& loop, std::unique_ptr<X11Connection> connection);
  ~X11WorkerConnection();
  X11WorkerConnection(const X11WorkerConnection&) = delete;
  X11WorkerConnection& operator=(const X11WorkerConnection&) = delete;

  // Runs `work` over the worker's connection with the awaiting task's deadline. A piece
  // that was stopped (cancelled, or its deadline passed before it began) never touches
  // the connection: `stopped`, which must throw, runs instead and its error comes back.
  template <class T>
  Task<T> run(std::function<T(X11Connection&, X11Deadline)> work, std::function<void()> stopped) {
    auto value = std::make_shared<std::optional<T>>();
    std::function<void(X11Connection&, X11Deadline)> erased =
        [value, work = std::move(work)](X11Connection& c, X11Deadline d) { value->emplace(work(c, d)); };
    auto running = runErased(std::move(erased), std::move(stopped));
    co_await std::move(running);
    co_return std::move(**value);
  }

  // The monitors and the window list (none when the server did not answer in time), as
  // a piece of work like the others. While reads keep coming (within
  // kX11WindowWatchLease of each other), the server reports changes to the windows, and
  // a read of an unchanged desktop costs one round trip instead of a walk of the tree.
  Task<std::optional<X11WindowSnapshot>> readWindows(std::function<void()> stopped);
  // How many reads walked the whole tree (any thread).
  std::uint64_t wholeWindowReadings() const;

 private:
  struct Shared;
  Task<void> runErased(std::function<void(X11Connection&, X11Deadline)> work, std::function<void()> stopped);
  X11Deadline deadlineFor(const std::shared_ptr<Cancellation>& owner);
  void stopWatchingWindows();

  MainLoop& loop_;
  std::shared_ptr<Shared> shared_;
  // The task whose deadline was given last (main thread only).
  std::weak_ptr<Cancellation> lastOwner_;
  X11Deadline lastDeadline_{};
  // Ends the window watch once reads stop coming.
  Timer watchLease_;
};

}  // namespace quillon
