#pragma once

#include <memory>
#include <vector>

#include <QPointer>

#include "core/platform/alert_presenter.h"

class QDialog;
class QFileDialog;
class QMessageBox;

namespace quillon {

// Alerts as QMessageBox and the open panel as a QFileDialog. Each is opened with
// open() rather than exec(): the dialog is modal to the user, but Qt's own event loop
// keeps running, and the answer arrives as a signal that completes the task.
class QtAlertPresenter final : public AlertPresenter {
 public:
  explicit QtAlertPresenter(MainLoop& loop);
  // Closes what is still open; the tasks waiting for it are never resumed.
  ~QtAlertPresenter() override;

  // The message box for `alert`, not yet shown: the first button is the default one,
  // Escape closes it without a button. Shared with the screenshot tests.
  static std::unique_ptr<QMessageBox> makeMessageBox(const Alert& alert);
  // The index of the button chosen in `box`, in the alert's order, or closedWithoutButton.
  static int chosenButton(const QMessageBox& box);
  // The file dialog for `request`. Application bundles are directories, so it chooses
  // directories (one at a time: Qt's dialog selects a single directory), and with
  // `applicationsOnly` it accepts only names ending in ".app", in any case, as the
  // bundle validator does.
  static std::unique_ptr<QFileDialog> makeOpenPanel(const OpenPanelRequest& request);

  // The dialogs open now (for tests).
  std::vector<QDialog*> openDialogs() const;

  // AlertPresenter:
  Task<int> showAlert(Alert alert) override;
  Task<std::vector<std::string>> showOpenPanel(OpenPanelRequest request) override;

 private:
  MainLoop& loop_;
  std::vector<QPointer<QDialog>> open_;
};

}  // namespace quillon
