#pragma once

#include <deque>
#include <string>
#include <vector>

#include "core/platform/launch_alert_presenter.h"

namespace quillon {

// Records every alert and open panel; answers from scripted queues (an alert with no
// scripted answer is closed without a button, an open panel is cancelled).
class FakeAlertPresenter final : public LaunchAlertPresenter {
 public:
  void answerNextAlert(int buttonIndex) { alertAnswers_.push_back(buttonIndex); }
  void answerNextOpenPanel(std::vector<std::string> paths) { panelAnswers_.push_back(std::move(paths)); }

  const std::vector<LaunchAlert>& alerts() const { return alerts_; }
  const std::vector<LaunchOpenPanelRequest>& openPanels() const { return panels_; }

  int runModal(const LaunchAlert& alert) override {
    alerts_.push_back(alert);
    if (alertAnswers_.empty()) return closedWithoutButton;
    const int answer = alertAnswers_.front();
    alertAnswers_.pop_front();
    return answer;
  }
  std::vector<std::string> runOpenPanel(const LaunchOpenPanelRequest& request) override {
    panels_.push_back(request);
    if (panelAnswers_.empty()) return {};
    auto answer = std::move(panelAnswers_.front());
    panelAnswers_.pop_front();
    return answer;
  }

 private:
  std::deque<int> alertAnswers_;
  std::deque<std::vector<std::string>> panelAnswers_;
  std::vector<LaunchAlert> alerts_;
  std::vector<LaunchOpenPanelRequest> panels_;
};

}  // namespace quillon
