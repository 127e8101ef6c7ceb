#pragma once

#include <memory>

#include "core/platform/launch_alert_presenter.h"

class QFileDialog;
class QMessageBox;

namespace quillon {

// Alerts as QMessageBox and the open panel as a QFileDialog, both run modally.
class QtAlertPresenter final : public LaunchAlertPresenter {
 public:
  // The message box for `alert`, not yet shown: the first button is the default one,
  // Escape closes it without a button. Shared with the screenshot tests.
  static std::unique_ptr<QMessageBox> makeMessageBox(const LaunchAlert& alert);
  // The file dialog for `request`. Application bundles are directories, so it chooses
  // directories (one at a time: Qt's dialog selects a single directory), and with
  // `applicationsOnly` it accepts only names ending in ".app".
  static std::unique_ptr<QFileDialog> makeOpenPanel(const LaunchOpenPanelRequest& request);

  // LaunchAlertPresenter:
  int runModal(const LaunchAlert& alert) override;
  std::vector<std::string> runOpenPanel(const LaunchOpenPanelRequest& request) override;
};

}  // namespace quillon
