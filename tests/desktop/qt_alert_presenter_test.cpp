#include "desktop/qt_alert_presenter.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QDir>
#include <QFileDialog>
#include <QIcon>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>

#include "core/async/clock.h"
#include "desktop/qt_application_icon.h"
#include "desktop/qt_main_loop.h"
#include "qt_spin.h"
#include "support/temporary_directory.h"

namespace quillon {
namespace {

TEST(QtAlertPresenter, ButtonsKeepTheirOrderAndTheFirstIsTheDefault) {
  Alert alert;
  alert.style = Alert::Style::warning;
  alert.messageText = "登録データを確認してください";
  alert.buttons = {"閉じる", "権限を確認する", "あとで"};
  auto box = QtAlertPresenter::makeMessageBox(alert);
  EXPECT_EQ(box->icon(), QMessageBox::Warning);
  EXPECT_EQ(box->defaultButton()->text().toStdString(), "閉じる");
  // showAlert reports the index in the alert's own order, whatever the style's layout.
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
  OpenPanelRequest request;
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

  // The bundle validator accepts the extension in any case, so the panel does too.
  TemporaryDirectory temporary;
  const QString upper = QString::fromStdString((temporary / "Loud.APP").string());
  ASSERT_TRUE(QDir().mkpath(upper));
  dialog->setResult(QDialog::Rejected);
  dialog->setDirectory(QString::fromStdString(temporary.path().string()));
  dialog->show();
  dialog->selectFile(upper);
  asDialog->accept();
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

// The guide registers several bundles at once, as the menu does: the user picks them
// together in the file views, and the dialog hands all of them back.
TEST(QtAlertPresenter, OpenPanelTakesSeveralBundlesWhenAskedTo) {
  OpenPanelRequest request;
  request.directoryPath = QUILLON_BINARY_DIR "/sample-apps";
  request.applicationsOnly = true;
  request.allowsMultipleSelection = true;
  auto dialog = QtAlertPresenter::makeOpenPanel(request);
  dialog->show();
  auto* list = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
  // The file system model fills in on its own thread.
  auto* model = list->model();
  const auto rowOf = [&](const QString& name) {
    const auto found = model->match(model->index(0, 0, list->rootIndex()), Qt::DisplayRole, name);
    return found.isEmpty() ? QModelIndex() : found.front();
  };
  ASSERT_TRUE(spinUntil(
      [&] { return rowOf(QStringLiteral("Aurora.app")).isValid() && rowOf(QStringLiteral("Ember.app")).isValid(); }));
  list->selectionModel()->select(rowOf(QStringLiteral("Aurora.app")),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  list->selectionModel()->select(rowOf(QStringLiteral("Ember.app")),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  static_cast<QDialog*>(dialog.get())->accept();
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(dialog->selectedFiles().size(), 2) << dialog->selectedFiles().join(u' ').toStdString();
}

// The alert is shown and the task waits without a nested event loop; the answer comes
// back through the main loop, with the button's index in the alert's order.
TEST(QtAlertPresenter, AnAlertAnswersThroughTheMainLoopWithTheApplicationIcon) {
  SystemClock clock;
  QtMainLoop loop(clock);
  QtAlertPresenter presenter(loop);
  Alert alert{
      Alert::Style::informational, "Quillon", "", {"閉じる", "使い方", "プライバシー"}, Alert::Icon::application};
  std::optional<int> answer;
  auto handle = spawn<int>(loop, presenter.showAlert(alert), [&](Result<int> result) { answer = result.value(); });
  ASSERT_TRUE(spinUntil([&] { return !presenter.openDialogs().empty(); }));
  auto* box = qobject_cast<QMessageBox*>(presenter.openDialogs().front());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->iconPixmap().toImage(), qtApplicationIcon().pixmap(64, 64).toImage());
  EXPECT_FALSE(box->iconPixmap().isNull());
  EXPECT_FALSE(answer);
  for (auto* button : box->buttons()) {
    if (button->text() == QStringLiteral("プライバシー")) button->click();
  }
  ASSERT_TRUE(spinUntil([&] { return answer.has_value(); }));
  EXPECT_EQ(2, *answer);
  EXPECT_TRUE(spinUntil([&] { return presenter.openDialogs().empty(); })) << "the closed box is deleted";
}

}  // namespace
}  // namespace quillon
