#pragma once

#include <memory>

#include "core/input/global_event_tap.h"
#include "core/input/input_router.h"

namespace quillon {

// Makes taps that start when `startSucceeds` says so; `router` is the one the last tap
// feeds, so a test plays the session's input into it.
class FakeEventTaps final : public GlobalEventTapFactory {
 public:
  bool startSucceeds = true;
  int made = 0;
  ModifierInputRouter* router = nullptr;
  LaunchModifierShortcut shortcut = LaunchModifierShortcut::command();  // the live tap's chord
  bool verticalScrollPages = false;

  // GlobalEventTapFactory:
  std::unique_ptr<GlobalEventTap> makeEventTap(ModifierInputRouter& feeds, LaunchInputTrace&) override {
    ++made;
    router = &feeds;
    return std::make_unique<Tap>(*this);
  }

 private:
  class Tap final : public GlobalEventTap {
   public:
    explicit Tap(FakeEventTaps& owner) : owner_(owner) {}
    ~Tap() override { owner_.router = nullptr; }
    bool start() override { return owner_.startSucceeds; }
    void updateShortcut(LaunchModifierShortcut chord) override { owner_.shortcut = chord; }
    void setVerticalScrollPages(bool on) override { owner_.verticalScrollPages = on; }

   private:
    FakeEventTaps& owner_;
  };
};

}  // namespace quillon
