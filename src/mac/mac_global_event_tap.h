#pragma once

#include <memory>

#include "core/input/global_event_tap.h"
#include "core/records/preferences/launch_modifier_shortcut.h"

namespace quillon {

class LaunchInputTrace;
class LogSink;
class Screens;
class ModifierInputRouter;

// The session-wide event tap: a filtering Quartz event tap at the head of the session's
// taps for pointer moves, modifier changes and scroll-wheel events, served by the main
// run loop, so every router call happens on the main thread. A scroll the router claims
// is dropped here and reaches no application. When the system disables the tap (a slow
// callback, or secure input), the router hears of the interruption with the session's
// modifier state and the tap is enabled again at once.
//
// Needs the Accessibility permission; without it the tap cannot be created and `start`
// fails (the caller retries).
class MacGlobalEventTap final : public GlobalEventTap {
 public:
  // Everything given must outlive the tap.
  MacGlobalEventTap(ModifierInputRouter& router, Screens& screens, LaunchInputTrace& trace, LogSink& log);
  ~MacGlobalEventTap();
  MacGlobalEventTap(const MacGlobalEventTap&) = delete;
  MacGlobalEventTap& operator=(const MacGlobalEventTap&) = delete;

  // True once the tap is installed and enabled (also when already started).
  bool start() override;
  // A filtering tap sees every scroll whatever the chord, so there is nothing to renew;
  // kept so that both platforms' taps answer the same calls.
  void updateShortcut(LaunchModifierShortcut) override {}
  // Not applied here yet: this tap passes each scroll's two axes to the router as the
  // user made them, so the setting changes nothing on this platform.
  void setVerticalScrollPages(bool) override {}

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quillon
