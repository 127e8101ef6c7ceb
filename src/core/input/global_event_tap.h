#pragma once

#include <memory>

#include "core/records/preferences/launch_modifier_shortcut.h"

namespace quillon {

class LaunchInputTrace;
class ModifierInputRouter;

// The session-wide tap that feeds every pointer move, modifier change and scroll to the
// router on the main thread. Dropping it stops the events and releases whatever the
// platform holds for it (grabs, taps, run-loop sources).
class GlobalEventTap {
 public:
  GlobalEventTap() = default;
  GlobalEventTap(const GlobalEventTap&) = delete;
  GlobalEventTap& operator=(const GlobalEventTap&) = delete;
  virtual ~GlobalEventTap() = default;

  // True once events flow (also when already started); false when the platform refuses
  // the tap, as it does until input may be observed.
  virtual bool start() = 0;
  // The chord whose scrolls may be swallowed; the command chord until told otherwise.
  virtual void updateShortcut(LaunchModifierShortcut shortcut) = 0;
  // Whether vertical scrolling pages like horizontal (the user's setting); off at first.
  virtual void setVerticalScrollPages(bool on) = 0;
};

// Creates the session's event tap; the platform supplies it, since only the platform
// knows how to observe input. One tap at a time is asked for, once input may be
// observed, and it is dropped before the router it feeds.
class GlobalEventTapFactory {
 public:
  GlobalEventTapFactory() = default;
  GlobalEventTapFactory(const GlobalEventTapFactory&) = delete;
  GlobalEventTapFactory& operator=(const GlobalEventTapFactory&) = delete;
  virtual ~GlobalEventTapFactory() = default;

  // A tap, not yet started, that feeds `router` and records into `trace`; both outlive it.
  virtual std::unique_ptr<GlobalEventTap> makeEventTap(ModifierInputRouter& router, LaunchInputTrace& trace) = 0;
};

}  // namespace quillon
