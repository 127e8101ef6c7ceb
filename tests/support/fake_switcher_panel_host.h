#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/async/subscription.h"
#include "core/overlay/launch_switcher_panel_host.h"

namespace quillon {

// What a fake panel went through; it outlives the panel so a test can look after a
// dismissal.
struct FakePanelRecord {
  ScreenRect frame;
  int level = 0;
  bool visible = false;
  bool acceptsMouse = false;
  bool keptAbove = false;
  bool destroyed = false;
  int redraws = 0;
};

// Panels that only record; `keepAboveFailure` makes keeping above all fail with that
// description, as a platform without the means does.
class FakeSwitcherPanelHost final : public LaunchSwitcherPanelHost {
 public:
  std::optional<std::string> keepAboveFailure;

  const std::vector<std::shared_ptr<FakePanelRecord>>& panels() const { return panels_; }
  void lockScreen() { locks_.notify(); }
  bool observesLock() const { return !locks_.empty(); }

  // LaunchSwitcherPanelHost:
  std::unique_ptr<LaunchSwitcherPanel> makePanel(LaunchSwitcherContentView&, const ScreenRect& frame,
                                                 int level) override {
    auto record = std::make_shared<FakePanelRecord>();
    record->frame = frame;
    record->level = level;
    panels_.push_back(record);
    return std::make_unique<Panel>(record, keepAboveFailure);
  }
  double backingScale(const ScreenRect&) const override { return 2; }
  int mainMenuLevel() const override { return 24; }
  int maximumLevel() const override { return 2147483631; }
  Subscription observeScreenLock(std::function<void()> handler) override {
    return locks_.subscribe(std::move(handler));
  }

 private:
  class Panel final : public LaunchSwitcherPanel {
   public:
    Panel(std::shared_ptr<FakePanelRecord> record, std::optional<std::string> failure)
        : record_(std::move(record)), failure_(std::move(failure)) {}
    ~Panel() override { record_->destroyed = true; }
    void orderFront() override { record_->visible = true; }
    void orderOut() override {
      record_->visible = false;
      record_->keptAbove = false;
    }
    bool isVisible() const override { return record_->visible; }
    void setAcceptsMouse(bool accepts) override { record_->acceptsMouse = accepts; }
    std::optional<std::string> keepAboveAll() override {
      if (failure_) return failure_;
      record_->keptAbove = true;
      return std::nullopt;
    }
    void contentChanged() override { ++record_->redraws; }

   private:
    std::shared_ptr<FakePanelRecord> record_;
    std::optional<std::string> failure_;
  };

  std::vector<std::shared_ptr<FakePanelRecord>> panels_;
  ObserverList<> locks_;
};

}  // namespace quillon
