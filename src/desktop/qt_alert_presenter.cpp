#include "desktop/qt_alert_presenter.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace quillon {
namespace {

QMessageBox::Icon iconFor(LaunchAlert::Style style) {
  switch (style) {
    case LaunchAlert::Style::informational:
      return QMessageBox::Information;
    case LaunchAlert::Style::warning:
      return QMessageBox::Warning;
    case LaunchAlert::Style::critical:
      return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

// Accepts a choice only when every chosen path is an application bundle.
class BundleFileDialog final : public QFileDialog {
 public:
  explicit BundleFileDialog(bool applicationsOnly) : applicationsOnly_(applicationsOnly) {
    // A bundle is one item to the user, as it is on macOS: opening it (a double click)
    // chooses it instead of showing its insides.
    connect(this, &QFileDialog::directoryEntered, this, [this](const QString& path) {
      if (!isVisible() || !path.endsWith(QStringLiteral(".app"))) return;
      QDir parent(path);
      parent.cdUp();
      setDirectory(parent);
      selectFile(path);
      accept();
    });
  }

  void accept() override {
    if (applicationsOnly_) {
      for (const QString& path : selectedFiles()) {
        if (!path.endsWith(QStringLiteral(".app"))) return;  // stays open, as a disabled Open button would
      }
    }
    QFileDialog::accept();
  }

 private:
  bool applicationsOnly_;
};

}  // namespace

std::unique_ptr<QMessageBox> QtAlertPresenter::makeMessageBox(const LaunchAlert& alert) {
  auto box = std::make_unique<QMessageBox>();
  box->setIcon(iconFor(alert.style));
  box->setWindowTitle(QStringLiteral("Quillon"));
  box->setText(QString::fromStdString(alert.messageText));
  box->setInformativeText(QString::fromStdString(alert.informativeText));
  const auto& titles = alert.buttons.empty() ? std::vector<std::string>{"OK"} : alert.buttons;
  for (std::size_t i = 0; i < titles.size(); ++i) {
    auto* button =
        box->addButton(QString::fromStdString(titles[i]), i == 0 ? QMessageBox::AcceptRole : QMessageBox::ActionRole);
    button->setProperty("launchIndex", static_cast<int>(i));
    if (i == 0) box->setDefaultButton(button);
  }
  return box;
}

std::unique_ptr<QFileDialog> QtAlertPresenter::makeOpenPanel(const LaunchOpenPanelRequest& request) {
  auto dialog = std::make_unique<BundleFileDialog>(request.applicationsOnly);
  // The Qt dialog rather than a desktop portal: it behaves the same under Xvfb, in
  // tests and on every desktop.
  dialog->setOption(QFileDialog::DontUseNativeDialog, true);
  dialog->setWindowTitle(QStringLiteral("Quillon"));
  dialog->setDirectory(QString::fromStdString(request.directoryPath));
  if (request.applicationsOnly || request.canChooseDirectories) {
    dialog->setFileMode(QFileDialog::Directory);
  } else {
    dialog->setFileMode(request.allowsMultipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  }
  return dialog;
}

int QtAlertPresenter::runModal(const LaunchAlert& alert) {
  auto box = makeMessageBox(alert);
  box->exec();
  const auto* clicked = box->clickedButton();
  if (clicked == nullptr) return closedWithoutButton;
  const QVariant index = clicked->property("launchIndex");
  return index.isValid() ? index.toInt() : closedWithoutButton;
}

std::vector<std::string> QtAlertPresenter::runOpenPanel(const LaunchOpenPanelRequest& request) {
  auto dialog = makeOpenPanel(request);
  std::vector<std::string> paths;
  if (dialog->exec() != QDialog::Accepted) return paths;
  for (const QString& path : dialog->selectedFiles()) paths.push_back(path.toStdString());
  return paths;
}

}  // namespace quillon
