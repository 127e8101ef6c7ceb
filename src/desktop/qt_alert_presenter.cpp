#include "desktop/qt_alert_presenter.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "desktop/qt_application_icon.h"

namespace quillon {
namespace {

QMessageBox::Icon iconFor(Alert::Style style) {
  switch (style) {
    case Alert::Style::informational: return QMessageBox::Information;
    case Alert::Style::warning: return QMessageBox::Warning;
    case Alert::Style::critical: return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

bool isBundleName(const QString& path) { return path.endsWith(QStringLiteral(".app"), Qt::CaseInsensitive); }

// Accepts a choice only when every chosen path is an application bundle.
class BundleFileDialog final : public QFileDialog {
 public:
  explicit BundleFileDialog(bool applicationsOnly) : applicationsOnly_(applicationsOnly) {
    // A bundle is one item to the user, as it is on macOS: opening it (a double click)
    // chooses it instead of showing its insides.
    connect(this, &QFileDialog::directoryEntered, this, [this](const QString& path) {
      if (!isVisible() || !isBundleName(path)) return;
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
        if (!isBundleName(path)) return;  // stays open, as a disabled Open button would
      }
    }
    QFileDialog::accept();
  }

 private:
  bool applicationsOnly_;
};

}  // namespace

std::unique_ptr<QMessageBox> QtAlertPresenter::makeMessageBox(const Alert& alert) {
  auto box = std::make_unique<QMessageBox>();
  box->setIcon(iconFor(alert.style));
  const QIcon applicationIcon = qtApplicationIcon();
  if (alert.icon == Alert::Icon::application && !applicationIcon.isNull()) {
    box->setIconPixmap(applicationIcon.pixmap(64, 64));
  }
  box->setWindowIcon(applicationIcon);
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

std::unique_ptr<QFileDialog> QtAlertPresenter::makeOpenPanel(const OpenPanelRequest& request) {
  auto dialog = std::make_unique<BundleFileDialog>(request.applicationsOnly);
  // The Qt dialog rather than a desktop portal: it behaves the same under Xvfb, in
  // tests and on every desktop.
  dialog->setOption(QFileDialog::DontUseNativeDialog, true);
  dialog->setWindowTitle(request.message.empty() ? QStringLiteral("Quillon") : QString::fromStdString(request.message));
  dialog->setDirectory(QString::fromStdString(request.directoryPath));
  if (request.applicationsOnly || request.canChooseDirectories) {
    dialog->setFileMode(QFileDialog::Directory);
    // WORKAROUND(Qt): a directory-mode dialog lets the user pick one folder only, and a
    // bundle is a folder. Its file views take several when asked to, and its accept()
    // passes on every selected one.
    if (request.allowsMultipleSelection) {
      for (auto* view : dialog->findChildren<QAbstractItemView*>()) {
        const QString name = view->objectName();
        if (name == QStringLiteral("listView") || name == QStringLiteral("treeView"))
          view->setSelectionMode(QAbstractItemView::ExtendedSelection);
      }
    }
  } else {
    dialog->setFileMode(request.allowsMultipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  }
  return dialog;
}

QtAlertPresenter::QtAlertPresenter(MainLoop& loop) : loop_(loop) {}

QtAlertPresenter::~QtAlertPresenter() {
  for (const auto& dialog : open_) delete dialog.data();
}

int QtAlertPresenter::chosenButton(const QMessageBox& box) {
  const auto* clicked = box.clickedButton();
  if (clicked == nullptr) return closedWithoutButton;
  const QVariant index = clicked->property("launchIndex");
  return index.isValid() ? index.toInt() : closedWithoutButton;
}

std::vector<QDialog*> QtAlertPresenter::openDialogs() const {
  std::vector<QDialog*> dialogs;
  for (const auto& dialog : open_) {
    if (dialog) dialogs.push_back(dialog.data());
  }
  return dialogs;
}

Task<int> QtAlertPresenter::showAlert(Alert alert) {
  std::function<void(Completion<int>)> start = [this, alert = std::move(alert)](const Completion<int>& done) {
    QMessageBox* box = makeMessageBox(alert).release();
    box->setAttribute(Qt::WA_DeleteOnClose);
    // finished comes before the deferred deletion, with the clicked button still known.
    QObject::connect(box, &QDialog::finished, box, [box, done](int) { done(chosenButton(*box)); });
    std::erase_if(open_, [](const QPointer<QDialog>& gone) { return gone.isNull(); });
    open_.emplace_back(box);
    box->open();
  };
  co_return co_await awaitCallback<int>(loop_, std::move(start));
}

Task<std::vector<std::string>> QtAlertPresenter::showOpenPanel(OpenPanelRequest request) {
  using Paths = std::vector<std::string>;
  std::function<void(Completion<Paths>)> start = [this, request = std::move(request)](const Completion<Paths>& done) {
    QFileDialog* dialog = makeOpenPanel(request).release();
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, done](int result) {
      Paths paths;
      if (result == QDialog::Accepted) {
        for (const QString& path : dialog->selectedFiles()) paths.push_back(path.toStdString());
      }
      done(std::move(paths));
    });
    std::erase_if(open_, [](const QPointer<QDialog>& gone) { return gone.isNull(); });
    open_.emplace_back(dialog);
    static_cast<QDialog*>(dialog)->open();
  };
  co_return co_await awaitCallback<Paths>(loop_, std::move(start));
}

}  // namespace quillon
