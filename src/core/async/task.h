#pragma once

// C++20 coroutines for the main thread.
//
// A `Task<T>` is lazy: it runs when awaited by another task or when `spawn` starts it
// on the main loop. Every wake-up (a timer, a callback, a cancellation) is posted to
// the main loop, so a task never resumes on another thread and never re-enters the
// code that woke it.
//
// Cancellation is cooperative and shared by a spawned task and everything it awaits:
// `TaskHandle::cancel()` wakes a pending `sleepFor` with `CancellationError` and
// makes `checkCancellation()` throw; other awaits run to completion.
//
// Ownership: the `TaskHandle` returned by `spawn` owns the coroutine frames.
// Dropping it while the task is suspended destroys the frames at once (their pending
// timers and callbacks are disarmed), so a task never resumes into an owner that is
// gone. Dropping it while the task is running (from inside the task) defers the
// destruction until the task suspends. `detach()` lets the task run to its end on its own.

#include <concepts>
#include <coroutine>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

#include "core/async/cancellation.h"
#include "core/async/main_loop.h"
#include "core/support/result.h"

namespace quillon {

namespace detail {

struct TaskContext {
  Cancellation cancellation;
  std::coroutine_handle<> root;  // null once the frames are destroyed
  int running = 0;               // nesting depth of resumptions in progress
  bool ownerGone = false;        // the handle was dropped while running
  bool detached = false;
  bool finished = false;
};

inline void destroyRoot(TaskContext& context) {
  if (!context.root) return;
  auto root = std::exchange(context.root, nullptr);
  root.destroy();
}

// Resumes `handle`, a frame of the task owned by `context`, unless the task is gone.
inline void resumeIn(const std::shared_ptr<TaskContext>& context, std::coroutine_handle<> handle) {
  // A copy, not the caller's reference: the resumed frame may drop the last other owner.
  auto keep = context;  // NOLINT(performance-unnecessary-copy-initialization)
  if (!keep->root) return;
  ++keep->running;
  handle.resume();
  --keep->running;
  if (keep->running == 0 && keep->ownerGone) destroyRoot(*keep);
}

struct PromiseBase {
  std::shared_ptr<TaskContext> context;
  std::coroutine_handle<> continuation;
  std::exception_ptr error;
  // Set while the awaiting task is still inside its await_suspend, which started this
  // one inline; a completion then returns there instead of resuming the awaiting task.
  bool startedInline = false;
  bool completedInline = false;

  std::suspend_always initial_suspend() noexcept { return {}; }

  struct FinalAwaiter {
    bool await_ready() noexcept { return false; }
    template <class P>
    std::coroutine_handle<> await_suspend(std::coroutine_handle<P> self) noexcept {
      auto& promise = self.promise();
      if (promise.startedInline) {
        promise.completedInline = true;
        return std::noop_coroutine();
      }
      auto next = promise.continuation;
      return next ? next : std::noop_coroutine();
    }
    void await_resume() noexcept {}
  };
  FinalAwaiter final_suspend() noexcept { return {}; }
  void unhandled_exception() noexcept { error = std::current_exception(); }
};

template <class P>
concept TaskPromise = std::derived_from<P, PromiseBase>;

template <class T>
struct ValuePromise : PromiseBase {
  std::optional<T> value;
  void return_value(T result) { value.emplace(std::move(result)); }
  T take() {
    if (error) std::rethrow_exception(error);
    return std::move(*value);
  }
};

template <>
struct ValuePromise<void> : PromiseBase {
  void return_void() noexcept {}
  void take() const {
    if (error) std::rethrow_exception(error);
  }
};

// State shared between a suspended awaiter and whoever will wake it.
struct WakeState {
  bool alive = true;  // false once the awaiting frame moved on or was destroyed
  bool woken = false;
  bool cancelled = false;
  std::coroutine_handle<> handle;
  std::shared_ptr<TaskContext> context;
  MainLoop* loop = nullptr;
};

inline void wake(const std::shared_ptr<WakeState>& state) {
  if (!state->alive || state->woken) return;
  state->woken = true;
  state->loop->post([state] {
    if (state->alive) resumeIn(state->context, state->handle);
  });
}

}  // namespace detail

template <class T = void>
class [[nodiscard]] Task {
 public:
  struct promise_type : detail::ValuePromise<T> {
    Task get_return_object() { return Task(std::coroutine_handle<promise_type>::from_promise(*this)); }
  };
  using Handle = std::coroutine_handle<promise_type>;

  Task(Task&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Task& operator=(Task&& other) noexcept {
    if (this != &other) {
      if (handle_) handle_.destroy();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  Task(const Task&) = delete;
  Task& operator=(const Task&) = delete;
  ~Task() {
    if (handle_) handle_.destroy();
  }

  // Starts the child inline. A child that completes without suspending lets the parent
  // continue without suspending; only a child that really suspended resumes its
  // parent later (by symmetric transfer). Compilers do not turn symmetric transfer
  // into a tail call in every build (GCC does not at -O0 or under AddressSanitizer),
  // so a loop awaiting many quick tasks would otherwise grow the stack per iteration.
  struct Awaiter {
    Handle child;
    bool await_ready() const noexcept { return false; }
    template <detail::TaskPromise P>
    bool await_suspend(std::coroutine_handle<P> parent) {
      auto& promise = child.promise();
      promise.context = parent.promise().context;
      promise.continuation = parent;
      promise.startedInline = true;
      child.resume();
      promise.startedInline = false;
      return !promise.completedInline;
    }
    T await_resume() { return child.promise().take(); }
  };
  Awaiter operator co_await() && noexcept { return Awaiter{handle_}; }

 private:
  explicit Task(Handle handle) : handle_(handle) {}
  Handle handle_;
};

// Owns a spawned task; see the ownership notes at the top of this file.
class TaskHandle {
 public:
  TaskHandle() = default;
  explicit TaskHandle(std::shared_ptr<detail::TaskContext> context) : context_(std::move(context)) {}
  TaskHandle(TaskHandle&& other) noexcept = default;
  TaskHandle& operator=(TaskHandle&& other) noexcept {
    if (this != &other) {
      reset();
      context_ = std::move(other.context_);
    }
    return *this;
  }
  TaskHandle(const TaskHandle&) = delete;
  TaskHandle& operator=(const TaskHandle&) = delete;
  ~TaskHandle() { reset(); }

  bool isValid() const { return context_ != nullptr; }
  bool isFinished() const { return !context_ || context_->finished; }
  bool isCancelled() const { return context_ && context_->cancellation.isCancelled(); }
  void cancel() {
    if (context_) context_->cancellation.cancel();
  }

  // Lets the task run to its end without an owner.
  void detach() {
    if (!context_) return;
    auto context = std::exchange(context_, nullptr);
    context->detached = true;
    if (context->finished) detail::destroyRoot(*context);
  }

  // Drops the task: its frames are destroyed without resuming them again.
  void reset() {
    if (!context_) return;
    auto context = std::exchange(context_, nullptr);
    if (context->running > 0) {
      context->ownerGone = true;
    } else {
      detail::destroyRoot(*context);
    }
  }

 private:
  std::shared_ptr<detail::TaskContext> context_;
};

namespace detail {

struct RootTask {
  struct promise_type : PromiseBase {
    RootTask get_return_object() { return RootTask{std::coroutine_handle<promise_type>::from_promise(*this)}; }
    void return_void() noexcept {}
    // The body catches everything the task throws; what escapes is a completion
    // handler's exception, and exceptions never cross the main loop.
    void unhandled_exception() noexcept { std::terminate(); }
    struct RootFinal {
      bool await_ready() noexcept { return false; }
      void await_suspend(std::coroutine_handle<promise_type> self) noexcept {
        auto context = self.promise().context;
        context->finished = true;
        if (context->detached || context->ownerGone) destroyRoot(*context);
      }
      void await_resume() noexcept {}
    };
    RootFinal final_suspend() noexcept { return {}; }
  };
  std::coroutine_handle<promise_type> handle;
};

template <class T>
RootTask runRoot(Task<T> task, std::function<void(Result<T>)> done) {
  std::optional<Result<T>> result;
  try {
    if constexpr (std::is_void_v<T>) {
      co_await std::move(task);
      result.emplace();
    } else {
      result.emplace(co_await std::move(task));
    }
  } catch (const Error& error) {
    result.emplace(error);
  } catch (...) {
    result.emplace(std::current_exception());
  }
  if (done) done(std::move(*result));
}

}  // namespace detail

// Starts `task` on the main loop (it first runs after the current work item) and
// returns its owner. `done` runs on the main thread with the outcome; it may drop the
// handle.
template <class T>
TaskHandle spawn(MainLoop& loop, Task<T> task, std::function<void(Result<T>)> done = {}) {
  auto context = std::make_shared<detail::TaskContext>();
  auto root = detail::runRoot<T>(std::move(task), std::move(done));
  root.handle.promise().context = context;
  context->root = root.handle;
  loop.post([context] { detail::resumeIn(context, context->root); });
  return TaskHandle(context);
}

// Lets an event end a `sleepFor` early: the sleep it is given returns as soon as
// `signal()` is called, or at once when that happened before the sleep began. Copies
// share one state. Main thread only.
class Wakeup {
 public:
  void signal() const {
    state_->signalled = true;
    if (auto sleeper = state_->sleeper.lock()) detail::wake(sleeper);
  }
  bool isSignalled() const { return state_->signalled; }

 private:
  friend class SleepAwaiter;
  struct State {
    bool signalled = false;
    std::weak_ptr<detail::WakeState> sleeper;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

// Suspends for `seconds` on the loop's clock, or until `wakeup` is signalled; throws
// `CancellationError` when the task is cancelled before or during the sleep.
class SleepAwaiter {
 public:
  SleepAwaiter(MainLoop& loop, double seconds) : loop_(loop), seconds_(seconds) {}
  SleepAwaiter(MainLoop& loop, double seconds, const Wakeup& wakeup)
      : loop_(loop), seconds_(seconds), wakeup_(wakeup.state_) {}
  SleepAwaiter(const SleepAwaiter&) = delete;
  SleepAwaiter& operator=(const SleepAwaiter&) = delete;
  ~SleepAwaiter() { disarm(); }

  bool await_ready() const noexcept { return false; }
  template <detail::TaskPromise P>
  bool await_suspend(std::coroutine_handle<P> self) {
    context_ = self.promise().context;
    if (context_->cancellation.isCancelled()) {
      cancelledEarly_ = true;
      return false;
    }
    if (wakeup_ && wakeup_->signalled) return false;
    state_ = std::make_shared<detail::WakeState>();
    state_->handle = self;
    state_->context = context_;
    state_->loop = &loop_;
    timer_ = loop_.startTimer(seconds_, false, [state = state_] { detail::wake(state); });
    if (wakeup_) wakeup_->sleeper = state_;
    handler_ = context_->cancellation.addHandler([state = state_] {
      if (state->woken) return;
      state->cancelled = true;
      detail::wake(state);
    });
    return true;
  }
  void await_resume() {
    const bool cancelled = cancelledEarly_ || (state_ && state_->cancelled);
    disarm();
    if (cancelled) throw CancellationError{};
  }

 private:
  void disarm() {
    if (state_) state_->alive = false;
    if (wakeup_) wakeup_->sleeper.reset();
    if (timer_ != 0) loop_.cancelTimer(std::exchange(timer_, 0));
    if (handler_ != 0) context_->cancellation.removeHandler(std::exchange(handler_, 0));
  }

  MainLoop& loop_;
  double seconds_;
  std::shared_ptr<Wakeup::State> wakeup_;
  bool cancelledEarly_ = false;
  std::shared_ptr<detail::TaskContext> context_;
  std::shared_ptr<detail::WakeState> state_;
  MainLoop::TimerId timer_ = 0;
  Cancellation::HandlerId handler_ = 0;
};

inline SleepAwaiter sleepFor(MainLoop& loop, double seconds) { return SleepAwaiter(loop, seconds); }
inline SleepAwaiter sleepFor(MainLoop& loop, double seconds, const Wakeup& wakeup) {
  return SleepAwaiter(loop, seconds, wakeup);
}

// Delivers one result to a task suspended in `awaitCallback`. Copyable; the first call
// wins, later calls and calls after the task moved on or was destroyed do nothing.
// Call it on the main thread.
template <class T>
class Completion {
 public:
  struct State {
    std::shared_ptr<detail::WakeState> wake;
    std::optional<Result<T>> result;
  };
  explicit Completion(std::shared_ptr<State> state) : state_(std::move(state)) {}

  void operator()(Result<T> result) const {
    if (!state_->wake->alive || state_->result) return;
    state_->result.emplace(std::move(result));
    detail::wake(state_->wake);
  }

 private:
  std::shared_ptr<State> state_;
};

// Bridges a callback-style operation: `start` receives the completion to call later.
// Cancellation does not interrupt the wait; the operation decides when it ends.
template <class T>
class CallbackAwaiter {
 public:
  CallbackAwaiter(MainLoop& loop, std::function<void(Completion<T>)> start) : loop_(loop), start_(std::move(start)) {}
  CallbackAwaiter(const CallbackAwaiter&) = delete;
  CallbackAwaiter& operator=(const CallbackAwaiter&) = delete;
  ~CallbackAwaiter() {
    if (state_) state_->wake->alive = false;
  }

  bool await_ready() const noexcept { return false; }
  template <detail::TaskPromise P>
  void await_suspend(std::coroutine_handle<P> self) {
    state_ = std::make_shared<typename Completion<T>::State>();
    state_->wake = std::make_shared<detail::WakeState>();
    state_->wake->handle = self;
    state_->wake->context = self.promise().context;
    state_->wake->loop = &loop_;
    start_(Completion<T>(state_));
  }
  T await_resume() {
    state_->wake->alive = false;
    return std::move(*state_->result).get();
  }

 private:
  MainLoop& loop_;
  std::function<void(Completion<T>)> start_;
  std::shared_ptr<typename Completion<T>::State> state_;
};

template <class T>
CallbackAwaiter<T> awaitCallback(MainLoop& loop, std::function<void(Completion<T>)> start) {
  return CallbackAwaiter<T>(loop, std::move(start));
}

// Runs `work` off the main thread and resumes with its value or error.
//
// WORKAROUND(GCC 12): a lambda (or another aggregate) with non-trivially destructible
// members created as a temporary inside a `co_await` expression is destroyed twice,
// once at a wrong address; with a std::function capture that is a double free. Bind
// such a lambda to a named local first, as below, and never write one inline in a
// `co_await` expression.
template <class T>
Task<T> runOffMainThread(MainLoop& loop, std::function<T()> work) {
  std::function<void(Completion<T>)> start = [&loop, work = std::move(work)](Completion<T> done) {
    auto outcome = std::make_shared<std::optional<Result<T>>>();
    loop.runDetached([work, outcome] { outcome->emplace(resultOf<T>(work)); },
                     [done, outcome] { done(std::move(**outcome)); });
  };
  co_return co_await awaitCallback<T>(loop, std::move(start));
}

namespace detail {
// Reads the running task's context without suspending.
struct ContextProbe {
  std::shared_ptr<TaskContext> context;
  bool await_ready() const noexcept { return false; }
  template <TaskPromise P>
  bool await_suspend(std::coroutine_handle<P> self) noexcept {
    context = self.promise().context;
    return false;
  }
};
}  // namespace detail

// `co_await checkCancellation()` throws `CancellationError` when the task was cancelled.
struct CheckCancellation : detail::ContextProbe {
  void await_resume() const { context->cancellation.throwIfCancelled(); }
};
inline CheckCancellation checkCancellation() { return {}; }

// `co_await currentCancellation()` gives the running task's cancellation, to install
// handlers or to read it without throwing.
struct CurrentCancellation : detail::ContextProbe {
  std::shared_ptr<Cancellation> await_resume() const {
    return std::shared_ptr<Cancellation>(context, &context->cancellation);
  }
};
inline CurrentCancellation currentCancellation() { return {}; }

}  // namespace quillon
