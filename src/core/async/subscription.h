#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <utility>

namespace quillon {

// Keeps one handler registered for as long as it lives. Destroying it, or calling
// reset(), removes the handler; after that the handler never runs again, even when the
// removal happens in the middle of a notification. Outliving the observed object is
// harmless.
class [[nodiscard]] Subscription {
 public:
  Subscription() = default;
  explicit Subscription(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
  Subscription(Subscription&& other) noexcept : cancel_(std::exchange(other.cancel_, nullptr)) {}
  Subscription& operator=(Subscription&& other) noexcept {
    if (this != &other) {
      reset();
      cancel_ = std::exchange(other.cancel_, nullptr);
    }
    return *this;
  }
  Subscription(const Subscription&) = delete;
  Subscription& operator=(const Subscription&) = delete;
  ~Subscription() { reset(); }

  void reset() {
    if (auto cancel = std::exchange(cancel_, nullptr)) cancel();
  }
  explicit operator bool() const { return static_cast<bool>(cancel_); }

 private:
  std::function<void()> cancel_;
};

// The handlers of one kind of notification, main thread only. A notification calls the
// handlers registered when it started, in order, without copying them; a handler may
// subscribe, unsubscribe (itself or another) or destroy the list while it runs.
template <class... Args>
class ObserverList {
 public:
  ObserverList() = default;
  ObserverList(const ObserverList&) = delete;
  ObserverList& operator=(const ObserverList&) = delete;

  Subscription subscribe(std::function<void(Args...)> handler) {
    const auto id = state_->nextId++;
    state_->entries.push_back({id, std::move(handler)});
    return Subscription([weak = std::weak_ptr<State>(state_), id] {
      if (auto state = weak.lock()) state->remove(id);
    });
  }

  void notify(Args... args) {
    // Held so that a handler destroying the list does not pull the entries from under us.
    const auto state = state_;
    ++state->depth;
    // Entries appended during the loop are not called this time; a deque keeps the
    // reference to the running handler valid while they are appended.
    const std::size_t count = state->entries.size();
    for (std::size_t i = 0; i < count; ++i) {
      auto& entry = state->entries[i];
      if (!entry.removed) entry.handler(args...);
    }
    if (--state->depth == 0 && state->hasRemoved) state->compact();
  }

  bool empty() const {
    for (const auto& entry : state_->entries)
      if (!entry.removed) return false;
    return true;
  }

 private:
  struct Entry {
    std::uint64_t id;
    std::function<void(Args...)> handler;
    bool removed = false;
  };
  struct State {
    std::deque<Entry> entries;
    std::uint64_t nextId = 1;
    int depth = 0;
    bool hasRemoved = false;

    void remove(std::uint64_t id) {
      for (auto& entry : entries) {
        if (entry.id != id) continue;
        entry.removed = true;
        // A removed handler may be the one running now, so it is destroyed only once
        // no notification is under way.
        if (depth > 0) {
          hasRemoved = true;
        } else {
          compact();
        }
        return;
      }
    }
    void compact() {
      std::erase_if(entries, [](const Entry& entry) { return entry.removed; });
      hasRemoved = false;
    }
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace quillon
