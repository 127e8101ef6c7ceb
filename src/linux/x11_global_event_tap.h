#pragma once

#include <memory>

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
// Observing takes nothing from other applications: XInput 2 raw events on the root
// window (moves and scrolls, delivered whoever holds the pointer) and XKB state events
// (modifiers). X11 cannot drop an event once it has been delivered, so swallowing works
// the other way round: while the chord is held, the scroll buttons are passively grabbed
// on the root window, each grabbed press freezes the pointer until the router has
// answered, and is then either dropped or replayed, unchanged, to the window under the
// pointer. A grab that cannot take effect because another client holds the pointer is
// this platform's interrupted tap and goes through the router's interruption handling.
//
// Every grab is released by the destructor; a broken connection loses them with it.
class X11GlobalEventTap {
 public:
  // Everything given must outlive the tap; `connection` must be attached to `loop`.
  X11GlobalEventTap(X11Connection& connection, LaunchMainLoop& loop, ModifierInputRouter& router,
                    LaunchScreens& screens, LaunchInputTrace& trace, LaunchLogSink& log);
  ~X11GlobalEventTap();
  X11GlobalEventTap(const X11GlobalEventTap&) = delete;
  X11GlobalEventTap& operator=(const X11GlobalEventTap&) = delete;

  // True once events flow (also when already started); false when the server lacks
  // XInput 2.2 or XKB, refuses the selection, or the connection is gone.
  bool start();
  // The chord whose scrolls may be swallowed; the command chord until told otherwise.
  void updateShortcut(LaunchModifierShortcut shortcut);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quillon
