#pragma once

#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "core/async/subscription.h"
#include "core/support/geometry.h"
#include "linux/x11_reply.h"

namespace quillon {

class LogSink;
class MainLoop;
class X11Connection;

using X11Deadline = std::chrono::steady_clock::time_point;

// How long the adapters wait on the X server. Any client may grab the server, and while
// it does the server answers nobody else; an unbounded wait would freeze the main thread
// for as long as that client likes. Work that runs past its bound answers "nothing" (an
// empty list, no monitors, a capture error) and leaves the connection usable: replies
// that arrive late are dropped by XCB.
//
//   one small query (monitors, an atom, extension presence)   kX11QueryBound
//   a whole window list, however many windows                  kX11WindowListBound
//   one capture (geometry, pixmap, image)                      kX11CaptureBound
//
// The capture bound matches the capture's own time limit in the core, so the adapter
// has answered by the time the caller stops waiting.
inline constexpr std::chrono::milliseconds kX11QueryBound{1000};
inline constexpr std::chrono::milliseconds kX11WindowListBound{1000};
inline constexpr std::chrono::milliseconds kX11CaptureBound{2500};

inline X11Deadline x11DeadlineAfter(std::chrono::steady_clock::duration bound) {
  return std::chrono::steady_clock::now() + bound;
}

// A request sent whose reply has not been read yet. Taking it hands the reply over;
// dropping it unread has XCB discard the reply, which it would otherwise keep queued for
// the life of the connection (every early return of a batch of requests would leak).
class X11PendingReply {
 public:
  X11PendingReply() = default;
  X11PendingReply(X11Connection& connection, unsigned int sequence) : connection_(&connection), sequence_(sequence) {}
  X11PendingReply(X11PendingReply&& other) noexcept
      : connection_(std::exchange(other.connection_, nullptr)), sequence_(other.sequence_) {}
  X11PendingReply& operator=(X11PendingReply&& other) noexcept;
  X11PendingReply(const X11PendingReply&) = delete;
  X11PendingReply& operator=(const X11PendingReply&) = delete;
  ~X11PendingReply() { discard(); }

  // The connection it was sent on; null once taken.
  const X11Connection* connection() const { return connection_; }
  // The reply, or none (an error, the deadline passed, a broken connection). Once only.
  template <class R>
  XcbReply<R> take(X11Deadline deadline);

 private:
  void discard();

  X11Connection* connection_ = nullptr;
  unsigned int sequence_ = 0;
};

// The one X connection the Linux adapters share, with the extensions they need.
// Internal to the Linux layer: the adapters' own headers only forward-declare it.
//
// Events: once attached to a main loop, the connection reads its events when its
// descriptor becomes readable and hands each one to the subscribed handlers on the main
// thread. Replies read by a round trip can pull events into XCB's queue without the
// descriptor becoming readable again, so every round trip through this class schedules
// a drain of that queue as well.
//
// Round trips: every reply is awaited through waitForReply, bounded by a deadline (see
// the bounds above); nothing in the adapters calls XCB's blocking reply functions.
class X11Connection {
 public:
  using EventHandler = std::function<void(const xcb_generic_event_t&)>;

  // Connects to `displayName` (the DISPLAY variable when null); none when it fails.
  // Each extension the server lacks costs one line in `log`, naming what is lost.
  static std::unique_ptr<X11Connection> open(const char* displayName = nullptr, LogSink* log = nullptr);
  ~X11Connection();
  X11Connection(const X11Connection&) = delete;
  X11Connection& operator=(const X11Connection&) = delete;

  xcb_connection_t* get() const { return connection_; }
  xcb_window_t root() const { return screen_->root; }
  const xcb_screen_t& screen() const { return *screen_; }
  bool hasError() const;

  // Extensions and the first event code of those that send events (RandR). An absent
  // extension is never sent a request: XCB closes the connection when one is.
  bool hasComposite() const { return hasComposite_; }
  bool hasRandr() const { return randrFirstEvent_.has_value(); }
  bool hasXRes() const { return hasXRes_; }
  bool hasXTest() const { return hasXTest_; }
  std::optional<std::uint8_t> randrFirstEvent() const { return randrFirstEvent_; }
  // XInput 2.2 or later (raw events reach the root whoever grabs the pointer): the
  // major opcode its generic events carry.
  std::optional<std::uint8_t> xinputOpcode() const { return xinputOpcode_; }
  // XKB, enabled for this connection: the code of its one event.
  std::optional<std::uint8_t> xkbFirstEvent() const { return xkbFirstEvent_; }

  // Interned once, then cached; XCB_ATOM_NONE when the server does not answer in time.
  xcb_atom_t atom(const std::string& name, X11Deadline deadline = x11DeadlineAfter(kX11QueryBound));

  // The reply to `sequence`, or none once `deadline` has passed. An abandoned reply is
  // discarded when it arrives.
  XcbReply<void> waitForReply(unsigned int sequence, X11Deadline deadline);
  template <class Cookie>
  X11PendingReply pending(Cookie cookie) {
    return {*this, cookie.sequence};
  }
  // The outcome of a checked request without a reply: none when the server did not get
  // to it in time, else the error (null when it succeeded).
  std::optional<XcbReply<xcb_generic_error_t>> check(xcb_void_cookie_t cookie, X11Deadline deadline);

  // Ends every wait for a reply early, as if its deadline had passed, once `stop` is
  // set; `wakeFd` (an eventfd) is written when it is, so a wait asleep in poll notices at
  // once. For a connection that one worker thread uses; null stops nothing.
  void interruptWaitsOn(const std::atomic<bool>* stop, int wakeFd);
  bool waitsInterrupted() const;

  void attach(MainLoop& loop);
  // Whether the main loop still watches the connection (it stops once it breaks).
  bool isWatched() const { return watchId_ != 0; }
  Subscription subscribe(EventHandler handler) { return handlers_.subscribe(std::move(handler)); }
  // Told once, on the main loop, when the connection is found broken (the server went
  // away or closed it); the server has then dropped every grab the connection held.
  Subscription subscribeToLoss(std::function<void()> handler) { return losses_.subscribe(std::move(handler)); }
  // Sends the buffered requests. XCB reads whatever the server has sent while it writes,
  // and an event read that way no longer wakes the main loop; a drain is scheduled so it
  // does not wait in XCB's queue for the next unrelated wake-up. A frozen pointer waits
  // on such an event, so every flush goes through here.
  void flush();
  // Hands every event already read to the handlers.
  void dispatchPending();
  // Called by code that made round trips; drains the event queue on the main loop soon.
  void scheduleDispatch();

 private:
  X11Connection(xcb_connection_t* connection, xcb_screen_t* screen);
  void queryExtensions(LogSink* log);

  xcb_connection_t* connection_;
  xcb_screen_t* screen_;
  bool hasComposite_ = false;
  bool hasXRes_ = false;
  bool hasXTest_ = false;
  std::optional<std::uint8_t> randrFirstEvent_;
  std::optional<std::uint8_t> xinputOpcode_;
  std::optional<std::uint8_t> xkbFirstEvent_;
  std::map<std::string, xcb_atom_t> atoms_;
  ObserverList<const xcb_generic_event_t&> handlers_;
  ObserverList<> losses_;
  MainLoop* loop_ = nullptr;
  std::uint64_t watchId_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  bool dispatchScheduled_ = false;
  const std::atomic<bool>* interruptStop_ = nullptr;
  int interruptFd_ = -1;
};

template <class R>
XcbReply<R> X11PendingReply::take(X11Deadline deadline) {
  if (connection_ == nullptr) return nullptr;
  auto reply = std::exchange(connection_, nullptr)->waitForReply(sequence_, deadline);
  return XcbReply<R>(static_cast<R*>(reply.release()));
}

}  // namespace quillon
