#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <utility>
#include <vector>

namespace quillon {

// Thrown when a task notices that it was cancelled; the counterpart of the platform's
// cancellation error.
struct CancellationError final : std::exception {
  const char* what() const noexcept override { return "cancelled"; }
};

// Cooperative cancellation shared by a task and everything it awaits.
class Cancellation {
 public:
  using HandlerId = std::uint64_t;

  bool isCancelled() const { return cancelled_; }

  // Runs the registered handlers once, in registration order. Handlers must not
  // resume coroutines directly: they post to the main loop.
  void cancel() {
    if (cancelled_) return;
    cancelled_ = true;
    auto handlers = std::move(handlers_);
    handlers_.clear();
    for (auto& [id, handler] : handlers) handler();
  }

  // A handler added after cancellation runs at once and is not kept (returns 0).
  HandlerId addHandler(std::function<void()> handler) {
    if (cancelled_) {
      handler();
      return 0;
    }
    handlers_.emplace_back(++nextId_, std::move(handler));
    return nextId_;
  }

  void removeHandler(HandlerId id) {
    std::erase_if(handlers_, [id](const auto& entry) { return entry.first == id; });
  }

  void throwIfCancelled() const {
    if (cancelled_) throw CancellationError{};
  }

 private:
  bool cancelled_ = false;
  HandlerId nextId_ = 0;
  std::vector<std::pair<HandlerId, std::function<void()>>> handlers_;
};

}  // namespace quillon
