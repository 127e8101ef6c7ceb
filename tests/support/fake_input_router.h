#pragma once

#include <vector>

#include "core/input/input_router.h"

namespace quillon {

// Records what the event tap delivers and answers every scroll with `claimScrolls`.
class FakeInputRouter final : public ModifierInputRouter {
 public:
  struct Scroll {
    ScrollEvent event;
    ScreenPoint cursor;
  };

  bool claimScrolls = false;
  std::vector<EventFlags> modifiers;
  std::vector<ScreenPoint> modifierCursors;  // where the pointer was at each change
  std::vector<bool> commandChanges;
  std::vector<ScreenPoint> moves;
  std::vector<Scroll> scrolls;
  std::vector<EventFlags> interruptions;

  // ModifierInputRouter:
  void commandChanged(bool isDown, ScreenPoint) override { commandChanges.push_back(isDown); }
  void cursorMoved(ScreenPoint to) override { moves.push_back(to); }
  bool shouldConsumeScroll(const ScrollEvent& event, ScreenPoint cursor) override {
    scrolls.push_back({event, cursor});
    return claimScrolls;
  }
  void modifiersChanged(EventFlags flags, ScreenPoint cursor) override {
    modifiers.push_back(flags);
    modifierCursors.push_back(cursor);
  }
  void inputObservationInterrupted(EventFlags currentFlags) override { interruptions.push_back(currentFlags); }
};

}  // namespace quillon
