#pragma once

#include <cmath>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "core/async/launch_async_wait_error.h"
#include "core/async/main_loop.h"
#include "core/async/task.h"
#include "core/support/result.h"
#include "core/support/uuid.h"

namespace quillon {

// Lets a main-loop caller await an asynchronous operation for a bounded time without
// giving up on the operation itself.
//
// Single flight: while an operation started through the gate is still running, `run`
// refuses another one with `alreadyRunning`, even after its caller stopped waiting.
// The caller gets the operation's value or error if it finishes in time; otherwise
// `timedOut` (or `CancellationError` when the caller's task is cancelled), and the
// outcome arrives later through `onLateResult`.
//
//   Idle --run--> Waiting --operation ends--> Idle (the caller gets the result)
//   Waiting --deadline or caller cancelled--> Detached --operation ends--> Idle
//                                                       (onLateResult gets the result)
//
// The operation runs in a task of its own, so cancelling the caller cancels the
// operation only when `cancelWorkOnTimeout` asks for that; the limit is measured on the
// main loop's clock. Every step runs on the main loop, and each checks the generation
// token of the `run` it belongs to, so a stale deadline, cancellation or worker never
// touches a newer wait; whoever resumes the caller clears `waiter` first, so the caller
// resumes exactly once.
//
// A caller whose task is dropped while it waits is released like a cancelled one: the
// outcome then goes to `onLateResult`, never to a frame that is gone.
//
// Destroying the gate lets the operation run to its end on its own (it may hold
// resources that must be released in order, such as a process being quit); nothing
// reaches the gate's owner afterwards: a caller still waiting is never resumed and
// `onLateResult` is not called, since both belong to the owner that went away.
template <class T>
class LaunchAsyncGate {
 public:
  using LateResultHandler = std::function<void(Result<T>)>;
  using Operation = std::function<Task<T>()>;

  explicit LaunchAsyncGate(MainLoop& loop) : state_(std::make_shared<State>(loop)) {}
  LaunchAsyncGate(const LaunchAsyncGate&) = delete;
  LaunchAsyncGate& operator=(const LaunchAsyncGate&) = delete;
  ~LaunchAsyncGate() {
    // A fresh generation makes every pending step of the last run stale.
    state_->generation = Uuid::random();
    state_->waiter.reset();
    state_->worker.detach();
    state_->deadline.detach();
  }

  bool isRunning() const { return state_->isRunning; }

  // Awaits `operation` for at most `timeout` seconds (0 or less, or not a number: the
  // operation starts, then the wait ends at once unless it finished without suspending).
  // Throws the operation's own error, `LaunchAsyncWaitError`, or `CancellationError`.
  Task<T> run(double timeout, bool cancelWorkOnTimeout, LateResultHandler onLateResult, Operation operation);
  // Late results are ignored.
  Task<T> run(double timeout, bool cancelWorkOnTimeout, Operation operation) {
    return run(timeout, cancelWorkOnTimeout, LateResultHandler{}, std::move(operation));
  }

 private:
  struct State {
    explicit State(MainLoop& l) : loop(l) {}
    MainLoop& loop;
    bool isRunning = false;
    Uuid generation = Uuid::random();
    TaskHandle worker;
    TaskHandle deadline;
    std::optional<Completion<T>> waiter;  // present only while somebody waits
  };

  static Task<void> work(std::weak_ptr<State> weak, Uuid token, Operation operation, LateResultHandler onLateResult);
  static Task<void> enforceDeadline(std::weak_ptr<State> weak, MainLoop& loop, Uuid token, double timeout,
                                    bool cancelWork);
  // Resolves the current wait with `failure`; does nothing for a stale token or when the
  // wait is already resolved. `isRunning` stays true until the operation ends.
  static void finishWaiting(State& state, const Uuid& token, Result<T> failure, bool cancelWork);
  // Ends the current wait without resuming anybody and hands back the waiter, if the
  // wait of `token` was still open.
  static std::optional<Completion<T>> release(State& state, const Uuid& token, bool cancelWork);

  std::shared_ptr<State> state_;
};

template <class T>
Task<T> LaunchAsyncGate<T>::run(double timeout, bool cancelWorkOnTimeout, LateResultHandler onLateResult,
                                Operation operation) {
  co_await checkCancellation();
  auto state = state_;
  if (state->isRunning) throw LaunchAsyncWaitError::alreadyRunning;
  const auto token = Uuid::random();
  state->generation = token;
  state->isRunning = true;
  const std::weak_ptr<State> weak = state;

  // The caller's cancellation may fire from anywhere; it only schedules the release.
  struct HandlerGuard {
    std::shared_ptr<Cancellation> cancellation;
    Cancellation::HandlerId id;
    ~HandlerGuard() { cancellation->removeHandler(id); }
  };
  auto cancellation = co_await currentCancellation();
  MainLoop* loop = &state->loop;
  const HandlerGuard guard{cancellation, cancellation->addHandler([loop, weak, token, cancelWorkOnTimeout] {
                             loop->post([weak, token, cancelWorkOnTimeout] {
                               if (auto s = weak.lock()) {
                                 finishWaiting(*s, token, std::make_exception_ptr(CancellationError{}),
                                               cancelWorkOnTimeout);
                               }
                             });
                           })};

  // Runs when this frame goes: after a resumed wait it finds nothing to release; when
  // the caller's task is dropped mid-wait it detaches the operation.
  struct ReleaseOnDrop {
    std::weak_ptr<State> weak;
    Uuid token;
    bool cancelWork;
    ~ReleaseOnDrop() {
      if (auto s = weak.lock()) release(*s, token, cancelWork);
    }
  };
  const ReleaseOnDrop releaseOnDrop{weak, token, cancelWorkOnTimeout};

  const double limit = std::isnan(timeout) ? 0.0 : std::max(timeout, 0.0);
  // Named rather than written inside the co_await: GCC 12 destroys a lambda temporary
  // of a co_await operand twice.
  std::function<void(Completion<T>)> begin = [&](Completion<T> completion) {
    state->waiter.emplace(std::move(completion));
    // The worker is posted first, so an operation that finishes without suspending
    // always beats even a zero deadline.
    state->worker = spawn<void>(state->loop, work(weak, token, std::move(operation), std::move(onLateResult)));
    state->deadline = spawn<void>(state->loop, enforceDeadline(weak, state->loop, token, limit, cancelWorkOnTimeout));
  };
  auto waiting = awaitCallback<T>(state->loop, std::move(begin));
  co_return co_await waiting;
}

template <class T>
Task<void> LaunchAsyncGate<T>::work(std::weak_ptr<State> weak, Uuid token, Operation operation,
                                    LateResultHandler onLateResult) {
  std::optional<Result<T>> result;
  try {
    result.emplace(co_await operation());
  } catch (const Error& error) {
    result.emplace(error);
  } catch (...) {
    result.emplace(std::current_exception());
  }
  auto state = weak.lock();
  if (!state || state->generation != token) co_return;
  state->deadline.reset();
  state->worker.reset();  // this task: its frames go once it returns
  state->isRunning = false;
  if (state->waiter) {
    auto waiter = std::move(*state->waiter);
    state->waiter.reset();
    waiter(std::move(*result));
  } else if (onLateResult) {
    onLateResult(std::move(*result));
  }
}

template <class T>
Task<void> LaunchAsyncGate<T>::enforceDeadline(std::weak_ptr<State> weak, MainLoop& loop, Uuid token, double timeout,
                                               bool cancelWork) {
  try {
    co_await sleepFor(loop, timeout);
  } catch (const CancellationError&) {
    co_return;
  }
  if (auto state = weak.lock()) {
    finishWaiting(*state, token, LaunchAsyncWaitError::timedOut, cancelWork);
  }
}

template <class T>
std::optional<Completion<T>> LaunchAsyncGate<T>::release(State& state, const Uuid& token, bool cancelWork) {
  if (state.generation != token || !state.waiter) return std::nullopt;
  std::optional<Completion<T>> waiter = std::move(state.waiter);
  state.waiter.reset();
  state.deadline.reset();
  // Cooperative: the operation ends when it notices, and its outcome (usually a
  // cancellation error) still goes to onLateResult.
  if (cancelWork) state.worker.cancel();
  return waiter;
}

template <class T>
void LaunchAsyncGate<T>::finishWaiting(State& state, const Uuid& token, Result<T> failure, bool cancelWork) {
  if (auto waiter = release(state, token, cancelWork)) (*waiter)(std::move(failure));
}

}  // namespace quillon
