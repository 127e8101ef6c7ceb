#pragma once

#include <memory>

#include "core/input/global_event_tap.h"
#include "core/records/preferences/launch_modifier_shortcut.h"

namespace quillon {

class LaunchInputTrace;
class LogSink;
class MainLoop;
class Screens;
class ModifierInputRouter;
class X11Connection;
class X11InputSystem;

// The session-wide event tap of the X11 desktop: every pointer move, modifier change and
// scroll of the session reaches the router on the main thread, with the pointer in
// screen coordinates.
//
// What stands in for each behaviour of the home platform's filtering event tap:
//
//   observing moves and scrolls   XInput 2 raw events on the root window, delivered
//                                 whoever holds the pointer; raw events carry no
//                                 position, so raw motion is only the cue to ask the
//                                 server where the pointer is (once per burst)
//   event location                the server's pointer, asked at every modifier change
//                                 (a warp moves the pointer without raw motion)
//   flags-changed events          XKB state events; the time stamp is the server's
//                                 millisecond clock. Mod3 and AltGr (Mod5) held count
//                                 as a modifier outside the chord
//   dropping a claimed scroll     no event can be dropped once delivered, so scrolls are
//                                 claimed ahead: while the switcher is up (the input
//                                 system's scroll claim) the tap holds an active pointer
//                                 grab (on a second connection, so that the raw events
//                                 keep coming to the first), and every scroll, wheel or
//                                 smooth, goes to it and none to applications. Outside the switcher nothing
//                                 is grabbed and every scroll reaches the application
//                                 unchanged, whatever the router answers
//   wheel and trackpad deltas     non-emulated raw wheel presses and raw smooth-scroll
//                                 valuators, each scroll counted once: the server's
//                                 emulated presses and emulated valuator motion are
//                                 ignored. Units calibrated in x11_scroll_decoding.h;
//                                 no phases and no momentum
//   tap disabled by timeout       none: nothing waits for the router's answer
//   tap disabled by user input    the pointer grab is refused because another client
//                                 holds the pointer: reason "user-input", the router's
//                                 interruption, "tap.reenabled"
//   (no counterpart)              the connection breaks: reason "connection-lost" and the
//                                 router's interruption; the server dropped our grab
//   tap creation refused          no XInput 2.2 or XKB, or the selection refused
//   combined session flags        the modifier mask of a pointer query
//
// Deviations that stay: the scroll that cancels a gesture (another modifier came with
// it) was already taken by the grab and reaches no application; scrolls made while the
// switcher is being prepared still reach the application under the pointer.
//
// The grab is released (and flushed) by every end: the claim's end, destruction, and
// with the connection. It is asynchronous, so nothing is ever frozen.
class X11GlobalEventTap final : public GlobalEventTap {
 public:
  // Everything given must outlive the tap; `connection` must be attached to `loop`.
  X11GlobalEventTap(X11Connection& connection, MainLoop& loop, ModifierInputRouter& router, Screens& screens,
                    LaunchInputTrace& trace, LogSink& log);
  ~X11GlobalEventTap() override;
  X11GlobalEventTap(const X11GlobalEventTap&) = delete;
  X11GlobalEventTap& operator=(const X11GlobalEventTap&) = delete;

  // True once events flow (also when already started); false when the server lacks
  // XInput 2.2 or XKB, refuses the selection, or the connection is gone.
  bool start() override;
  // The chord the gesture is made with; the command chord until told otherwise.
  void updateShortcut(LaunchModifierShortcut shortcut) override;
  // Whether vertical scrolling pages like horizontal (the user's setting); off at first.
  void setVerticalScrollPages(bool on) override;
  // Takes the pointer while the router claims scrolls (the switcher is up), for as long
  // as both live; a refused grab interrupts the gesture.
  void followScrollClaims(X11InputSystem& input);
  // The same claim, told directly: true grabs the pointer, false releases it.
  void claimScrolls(bool claimed);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quillon
