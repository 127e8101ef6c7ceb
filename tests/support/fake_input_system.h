#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "core/platform/input_system.h"

namespace quillon {

// The session's modifiers as the test sets them, and Escape taps that record
// whether they are installed; `pressEscape` offers a key-down to the started taps as the
// system would, and tells whether it was swallowed.
class FakeInputSystem final : public InputSystem {
 public:
  struct TapRecord {
    std::function<bool()> onEscape;
    bool started = false;
    bool stopped = false;
    bool destroyed = false;
    bool installed() const { return started && !stopped; }
  };

  EventFlags flags = 0;
  std::vector<bool> claims;  // every claimScrolls, in order
  bool refuseTaps = false;   // starting a tap fails, as without the permission

  int installedTapCount() const {
    int count = 0;
    for (const auto& tap : taps_) count += tap->installed() ? 1 : 0;
    return count;
  }
  // True when a started tap swallowed the key; the application gets it otherwise.
  bool pressEscape() {
    for (std::size_t i = 0; i < taps_.size(); ++i) {
      auto tap = taps_[i];
      if (tap->installed() && tap->onEscape()) return true;
    }
    return false;
  }

  // InputSystem:
  EventFlags currentModifierFlags() override { return flags; }
  ScreenPoint currentCursorLocation() override { return {}; }
  void claimScrolls(bool claimed) override { claims.push_back(claimed); }
  std::unique_ptr<LaunchEscapeTap> makeEscapeTap(std::function<bool()> onEscape) override {
    // Long runs make many taps; the ones gone for good say nothing more.
    if (taps_.size() > 256) std::erase_if(taps_, [](const auto& tap) { return tap->destroyed && !tap->installed(); });
    auto record = std::make_shared<TapRecord>();
    record->onEscape = std::move(onEscape);
    taps_.push_back(record);
    return std::make_unique<Tap>(record, refuseTaps);
  }

 private:
  class Tap final : public LaunchEscapeTap {
   public:
    Tap(std::shared_ptr<TapRecord> record, bool refuse) : record_(std::move(record)), refuse_(refuse) {}
    ~Tap() override { record_->destroyed = true; }
    bool start() override {
      if (refuse_) return false;
      record_->started = true;
      return true;
    }
    void stop() override { record_->stopped = true; }

   private:
    std::shared_ptr<TapRecord> record_;
    bool refuse_;
  };

  std::vector<std::shared_ptr<TapRecord>> taps_;
};

}  // namespace quillon
