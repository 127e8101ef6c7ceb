#pragma once

#include <cstdio>

#include "core/platform/launch_alert_presenter.h"

namespace quillon {

// Alerts for the command-line build, until desktop windows exist: each alert is printed
// to the terminal and answered with its default (first) button, never waiting for
// input, so that a start-up failure under a service manager or a test still ends. The
// open panel is always cancelled.
class ConsoleAlertPresenter final : public LaunchAlertPresenter {
 public:
  explicit ConsoleAlertPresenter(std::FILE* out = stderr) : out_(out) {}

  // LaunchAlertPresenter:
  int runModal(const LaunchAlert& alert) override;
  std::vector<std::string> runOpenPanel(const LaunchOpenPanelRequest& request) override;

 private:
  std::FILE* out_;
};

}  // namespace quillon
