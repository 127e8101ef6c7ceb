#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "core/support/geometry.h"
#include "linux/x11_reply.h"

namespace quillon {

class LaunchMainLoop;

// The one X connection the Linux adapters share, with the extensions they need.
// Internal to the Linux layer: the adapters' own headers only forward-declare it.
//
// Events: once attached to a main loop, the connection reads its events when its
// descriptor becomes readable and hands each one to the registered handlers on the main
// thread. Replies read by a round trip can pull events into XCB's queue without the
// descriptor becoming readable again, so every round trip through this class schedules
// a drain of that queue as well.
class X11Connection {
 public:
  using EventHandler = std::function<void(const xcb_generic_event_t&)>;
  using HandlerId = std::uint64_t;

  // Connects to `displayName` (the DISPLAY variable when null); none when it fails.
  static std::unique_ptr<X11Connection> open(const char* displayName = nullptr);
  ~X11Connection();
  X11Connection(const X11Connection&) = delete;
  X11Connection& operator=(const X11Connection&) = delete;

  xcb_connection_t* get() const { return connection_; }
  xcb_window_t root() const { return screen_->root; }
  const xcb_screen_t& screen() const { return *screen_; }
  bool hasError() const;

  // Extensions and the first event code of those that send events (RandR).
  bool hasComposite() const { return hasComposite_; }
  bool hasRandr() const { return randrFirstEvent_.has_value(); }
  bool hasXRes() const { return hasXRes_; }
  bool hasXTest() const { return hasXTest_; }
  std::optional<std::uint8_t> randrFirstEvent() const { return randrFirstEvent_; }

  // Interned once, then cached; XCB_ATOM_NONE when the server does not answer.
  xcb_atom_t atom(const std::string& name);

  // The reply to `sequence`, waiting at most `timeoutSeconds`. On time-out the reply is
  // discarded when it arrives, so a server stalled by another client (a server grab)
  // cannot stall the caller.
  XcbReply<void> waitForReply(unsigned int sequence, double timeoutSeconds);

  void attach(LaunchMainLoop& loop);
  // Whether the main loop still watches the connection (it stops once it breaks).
  bool isWatched() const { return watchId_ != 0; }
  HandlerId addEventHandler(EventHandler handler);
  void removeEventHandler(HandlerId id);
  // Hands every event already read to the handlers.
  void dispatchPending();
  // Called by code that made round trips; drains the event queue on the main loop soon.
  void scheduleDispatch();

 private:
  X11Connection(xcb_connection_t* connection, xcb_screen_t* screen);
  void queryExtensions();

  xcb_connection_t* connection_;
  xcb_screen_t* screen_;
  bool hasComposite_ = false;
  bool hasXRes_ = false;
  bool hasXTest_ = false;
  std::optional<std::uint8_t> randrFirstEvent_;
  std::map<std::string, xcb_atom_t> atoms_;
  std::map<HandlerId, EventHandler> handlers_;
  HandlerId nextHandlerId_ = 0;
  LaunchMainLoop* loop_ = nullptr;
  std::uint64_t watchId_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  bool dispatchScheduled_ = false;
};

}  // namespace quillon
