#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/platform/alert_presenter.h"

namespace quillon {

// Records every alert and open panel. Answers scripted beforehand are given at once (on
// the next loop turn); without one the alert or panel stays open until the test
// answers it, then the test runs the loop to let the waiting task go on.
class FakeAlertPresenter final : public AlertPresenter {
 public:
  explicit FakeAlertPresenter(MainLoop& loop) : loop_(loop) {}

  void answerNextAlert(int buttonIndex) { alertAnswers_.push_back(buttonIndex); }
  void answerNextOpenPanel(std::vector<std::string> paths) { panelAnswers_.push_back(std::move(paths)); }

  bool isAlertOpen() const { return openAlert_.has_value(); }
  bool isOpenPanelOpen() const { return openPanel_.has_value(); }
  void answerAlert(int buttonIndex) { std::exchange(openAlert_, std::nullopt).value()(buttonIndex); }
  void answerOpenPanel(std::vector<std::string> paths) {
    std::exchange(openPanel_, std::nullopt).value()(std::move(paths));
  }

  const std::vector<Alert>& alerts() const { return alerts_; }
  const std::vector<OpenPanelRequest>& openPanels() const { return panels_; }

  Task<int> showAlert(Alert alert) override {
    alerts_.push_back(std::move(alert));
    std::function<void(Completion<int>)> start = [this](Completion<int> done) {
      if (alertAnswers_.empty()) {
        openAlert_.emplace(std::move(done));
        return;
      }
      done(alertAnswers_.front());
      alertAnswers_.pop_front();
    };
    co_return co_await awaitCallback<int>(loop_, std::move(start));
  }
  Task<std::vector<std::string>> showOpenPanel(OpenPanelRequest request) override {
    panels_.push_back(std::move(request));
    using Paths = std::vector<std::string>;
    std::function<void(Completion<Paths>)> start = [this](Completion<Paths> done) {
      if (panelAnswers_.empty()) {
        openPanel_.emplace(std::move(done));
        return;
      }
      done(std::move(panelAnswers_.front()));
      panelAnswers_.pop_front();
    };
    co_return co_await awaitCallback<Paths>(loop_, std::move(start));
  }

 private:
  MainLoop& loop_;
  std::deque<int> alertAnswers_;
  std::deque<std::vector<std::string>> panelAnswers_;
  std::optional<Completion<int>> openAlert_;
  std::optional<Completion<std::vector<std::string>>> openPanel_;
  std::vector<Alert> alerts_;
  std::vector<OpenPanelRequest> panels_;
};

}  // namespace quillon
