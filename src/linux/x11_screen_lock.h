#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "core/async/subscription.h"

namespace quillon {

class X11Connection;

// Whether the user's screen is locked, as far as an X client can tell. X11 has no lock
// of its own: a locker is another client. Two things say it: the X server's screen saver
// turning on (MIT-SCREEN-SAVER, which lockers hook into), and the login session's lock
// (logind's Lock signal and LockedHint on the system bus), which a D-Bus adapter reports
// through setSessionLocked. Handlers run on the main thread when either starts.
class X11ScreenLock {
 public:
  explicit X11ScreenLock(X11Connection& connection);
  ~X11ScreenLock();
  X11ScreenLock(const X11ScreenLock&) = delete;
  X11ScreenLock& operator=(const X11ScreenLock&) = delete;

  bool isLocked() const { return saverOn_ || sessionLocked_; }
  // The session's lock state (logind's LockedHint). Handlers run when it locks.
  void setSessionLocked(bool locked);
  // The session manager asks for the screen to be locked (logind's Lock signal): the
  // handlers run, but the state follows the lock state alone, since not every locker
  // reports it.
  void lockRequested() { handlers_.notify(); }
  Subscription subscribe(std::function<void()> handler) { return handlers_.subscribe(std::move(handler)); }

 private:
  void update(bool saverOn, bool sessionLocked);

  X11Connection& connection_;
  std::optional<std::uint8_t> firstEvent_;
  bool saverOn_ = false;
  bool sessionLocked_ = false;
  Subscription events_;
  ObserverList<> handlers_;
};

}  // namespace quillon
