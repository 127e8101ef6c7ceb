#include "desktop/qt_alert_presenter.h"

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace quillon {
namespace {

TEST(QtAlertPresenter, ButtonsKeepTheirOrderAndTheFirstIsTheDefault) {
  LaunchAlert alert;
  alert.style = LaunchAlert::Style::warning;
  alert.messageText = "登録データを確認してください";
  alert.buttons = {"閉じる", "権限を確認する", "あとで"};
  auto box = QtAlertPresenter::makeMessageBox(alert);
  EXPECT_EQ(box->icon(), QMessageBox::Warning);
  EXPECT_EQ(box->defaultButton()->text().toStdString(), "閉じる");
  // runModal reports the index in the alert's own order, whatever the style's layout.
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    QAbstractButton* button = nullptr;
    for (auto* candidate : box->buttons()) {
      if (candidate->text().toStdString() == alert.buttons[static_cast<std::size_t>(i)]) button = candidate;
    }
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->property("launchIndex").toInt(), i);
  }
}

TEST(QtAlertPresenter, OpenPanelChoosesOnlyApplicationBundles) {
  LaunchOpenPanelRequest request;
  request.directoryPath = QUILLON_BINARY_DIR "/sample-apps";
  auto dialog = QtAlertPresenter::makeOpenPanel(request);
  auto* asDialog = static_cast<QDialog*>(dialog.get());  // accept() is public on QDialog
  dialog->show();
  dialog->selectFile(QStringLiteral(QUILLON_BINARY_DIR "/sample-apps/Aurora.app/Contents"));
  asDialog->accept();
  EXPECT_TRUE(dialog->isVisible()) << "a folder that is not an .app was accepted";
  EXPECT_NE(dialog->result(), QDialog::Accepted);

  dialog->selectFile(QStringLiteral(QUILLON_BINARY_DIR "/sample-apps/Aurora.app"));
  asDialog->accept();
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  ASSERT_EQ(dialog->selectedFiles().size(), 1);
  EXPECT_TRUE(dialog->selectedFiles()[0].endsWith(QStringLiteral("/Aurora.app")));

  // Opening a bundle, as a double click does, chooses it instead of entering it.
  dialog->setResult(QDialog::Rejected);
  dialog->show();
  emit dialog->directoryEntered(QStringLiteral(QUILLON_BINARY_DIR "/sample-apps/Ember.app"));
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  ASSERT_EQ(dialog->selectedFiles().size(), 1);
  EXPECT_TRUE(dialog->selectedFiles()[0].endsWith(QStringLiteral("/Ember.app")));
}

}  // namespace
}  // namespace quillon
