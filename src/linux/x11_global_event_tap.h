#pragma once

#include <memory>

#include "core/input/global_event_tap.h"
#include "core/storage/preferences/launch_modifier_shortcut.h"

namespace quillon {

class LaunchInputTrace;
class LaunchLogSink;
class LaunchMainLoop;
class LaunchScreens;
class ModifierInputRouter;
class X11Connection;

// The session-wide event tap of the X11 desktop: every pointer move, modifier change and
// scroll of the session reaches the router on the main thread, with the pointer in
// screen coordinates.
//
// What stands in for each behaviour of the home platform's filtering event tap:
//
//   observing moves and scrolls   XInput 2 raw events on the root window, delivered
//                                 whoever holds the pointer; one pointer query per burst
//                                 of motion, since raw events carry no position
//   flags-changed events          XKB state events; the time stamp is the server's
//                                 millisecond clock
//   dropping a claimed scroll     while the chord is held, the wheel buttons (4-7) are
//                                 passively grabbed on the root, synchronously and with
//                                 Caps/Num Lock variants; each grabbed press freezes the
//                                 pointer until the router answers, then is dropped
//                                 (AsyncPointer) or replayed unchanged to the window
//                                 under the pointer (ReplayPointer)
//   wheel and trackpad deltas     buttons are one line each; smooth-scroll valuators are
//                                 continuous, in lines and 10 points per line; no phases
//                                 (with the chord held the server's emulated wheel
//                                 presses reach the grab and the valuators are ignored)
//   tap disabled by timeout       none: a slow answer freezes the pointer instead
//   tap disabled by user input    another client held the pointer when a chord scroll
//                                 came, so it escaped our grab: reason "user-input", the
//                                 router's interruption, grabs renewed, "tap.reenabled"
//   (no counterpart)              the connection breaks: reason "connection-lost" and the
//                                 router's interruption; the server dropped our grabs
//   tap creation refused          no XInput 2.2 or XKB, or the selection refused
//   combined session flags        the modifier mask of a pointer query
//
// Known gap: a client reading XInput 2 smooth scrolling itself still gets the motion
// that precedes the first emulated wheel press of a claimed scroll.
//
// Every grab is released by the destructor; a broken connection loses them with it.
class X11GlobalEventTap final : public GlobalEventTap {
 public:
  // Everything given must outlive the tap; `connection` must be attached to `loop`.
  X11GlobalEventTap(X11Connection& connection, LaunchMainLoop& loop, ModifierInputRouter& router,
                    LaunchScreens& screens, LaunchInputTrace& trace, LaunchLogSink& log);
  ~X11GlobalEventTap() override;
  X11GlobalEventTap(const X11GlobalEventTap&) = delete;
  X11GlobalEventTap& operator=(const X11GlobalEventTap&) = delete;

  // True once events flow (also when already started); false when the server lacks
  // XInput 2.2 or XKB, refuses the selection, or the connection is gone.
  bool start() override;
  // The chord whose scrolls may be swallowed; the command chord until told otherwise.
  void updateShortcut(LaunchModifierShortcut shortcut) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quillon
