// The settings window and the first-run guide over their real models: clicks reach the
// preferences file, drops reach registration, no label is cut off in either language,
// and every screen is kept as a PNG in the artifacts folder for a person to look at.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>

#include "core/localization/l10n.h"
#include "core/records/onboarding/launch_onboarding_store.h"
#include "core/records/preferences/launch_preferences_store.h"
#include "desktop/qt_onboarding_window.h"
#include "desktop/qt_settings_window.h"
#include "support/fake_login_item.h"
#include "support/manual_main_loop.h"
#include "support/storage_test_files.h"
#include "support/temporary_directory.h"

namespace quillon {
namespace {

// Every shown label and button gets the room its text needs at the window's size.
void expectNothingClipped(QWidget& window) {
  // Layouts settle on the event loop after the texts changed.
  QCoreApplication::processEvents();
  for (auto* label : window.findChildren<QLabel*>()) {
    if (!label->isVisible() || label->text().isEmpty()) continue;
    SCOPED_TRACE(label->text().toStdString());
    if (label->wordWrap()) {
      EXPECT_LE(label->heightForWidth(label->width()), label->height());
    } else {
      EXPECT_LE(label->sizeHint().width(), label->width());
    }
  }
  for (auto* button : window.findChildren<QAbstractButton*>()) {
    if (!button->isVisible()) continue;
    SCOPED_TRACE(button->text().toStdString());
    EXPECT_LE(button->sizeHint().width(), button->width());
  }
}

void screenshot(QWidget& window, const std::string& name) {
  QDir().mkpath(QStringLiteral(QUILLON_ARTIFACTS_DIR));
  QCoreApplication::processEvents();
  const QImage image = window.grab().toImage();
  ASSERT_FALSE(image.isNull());
  EXPECT_TRUE(image.save(QStringLiteral(QUILLON_ARTIFACTS_DIR "/") + QString::fromStdString(name), "PNG")) << name;
}

struct QtWindowsTest : ::testing::TestWithParam<const char*> {
  TemporaryDirectory temporary;
  ManualClock clock;
  ManualMainLoop loop{clock};
  LaunchPreferencesStore preferences{Url::fileUrl((temporary / "preferences.plist").string(), false)};
  LaunchOnboardingStore progress{Url::fileUrl((temporary / "onboarding.plist").string(), false)};
  FakeLoginItem loginItem;

  void SetUp() override { L10n::usePreferredLanguage(GetParam()); }
  void TearDown() override { L10n::usePreferredLanguage("ja"); }
  std::string suffix() const { return L10n::preferredLanguage() + ".png"; }
};

TEST_P(QtWindowsTest, SettingsWindowChangesThePreferencesFileAndShowsTheRecoveryBox) {
  LaunchSettingsViewModel::Callbacks callbacks;
  callbacks.readImageStorageError = [] { return std::optional<std::string>(); };
  LaunchSettingsViewModel model(preferences, loop, std::move(callbacks));
  QtSettingsWindow window(model, &loginItem);
  window.present();
  EXPECT_FALSE(window.storageBox()->isVisible());
  EXPECT_TRUE(window.modifierButton(LaunchModifierShortcut::commandFlag)->isChecked());
  expectNothingClipped(window);
  screenshot(window, "settings-" + suffix());

  window.modifierButton(LaunchModifierShortcut::shiftFlag)->click();
  window.modifierButton(LaunchModifierShortcut::commandFlag)->click();
  window.savePreviewsToggle()->click();
  EXPECT_EQ((LaunchPreferences{*LaunchModifierShortcut::fromRawValue(LaunchModifierShortcut::shiftFlag), false}),
            preferences.load());
  // The last key cannot be removed: the button stays down and the message says why.
  window.modifierButton(LaunchModifierShortcut::shiftFlag)->click();
  EXPECT_TRUE(window.modifierButton(LaunchModifierShortcut::shiftFlag)->isChecked());
  EXPECT_TRUE(window.messageLabel()->isVisible());
  window.loginItemToggle()->click();
  EXPECT_TRUE(loginItem.isEnabled());
  screenshot(window, "settings-refused-" + suffix());

  testing_files::writeFile(temporary / "preferences.plist", bytesOf("garbage"));
  LaunchSettingsViewModel broken(preferences, loop, {});
  QtSettingsWindow recovery(broken);
  recovery.present();
  EXPECT_TRUE(recovery.storageBox()->isVisible());
  EXPECT_FALSE(recovery.imageBox()->isVisible());
  expectNothingClipped(recovery);
  screenshot(recovery, "settings-recovery-" + suffix());
}

TEST_P(QtWindowsTest, GuideWalksItsStepsAndTakesDroppedBundles) {
  std::vector<std::vector<Url>> dropped;
  LaunchOnboardingViewModel::Callbacks callbacks;
  callbacks.readApps = [] {
    ManagedNotchApp app;
    app.displayName = "オーロラ";
    app.bundleURL = Url::fileUrl("/Applications/Aurora.app", true);
    return std::vector<ManagedNotchApp>{app};
  };
  callbacks.registerApplications = [&dropped](const std::vector<Url>& urls) {
    dropped.push_back(urls);
    return LaunchOnboardingRegistrationReport{{"Aurora: ok"}, "1", "0", 1, 0};
  };
  LaunchOnboardingViewModel model(progress, loop, "⌘", std::move(callbacks));
  QtOnboardingWindow window(model);
  window.present();
  window.demonstration()->freezeAt(1.9);

  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/Sample.app"))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  EXPECT_TRUE(model.viewState().isDropTargeted);
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &drop);
  ASSERT_EQ(1u, dropped.size());
  EXPECT_EQ("/tmp/Sample.app", dropped[0].at(0).path());
  EXPECT_FALSE(model.viewState().isDropTargeted);
  EXPECT_EQ("Aurora: ok", window.messageLabel()->text().toStdString());

  const char* names[] = {"overview", "input", "preview", "ready"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    EXPECT_EQ(window.headingLabel()->text().toStdString(), LaunchOnboardingViewModel::heading(model.viewState().step));
    expectNothingClipped(window);
    screenshot(window, std::string("onboarding-") + name + "-" + suffix());
    // Return acts as the shown default button, "次へ" and at last "はじめる".
    QKeyEvent enterKey(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&window, &enterKey);
  }
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(progress.load().completedAt);
}

INSTANTIATE_TEST_SUITE_P(Languages, QtWindowsTest, ::testing::Values("ja", "en_US.UTF-8"));

}  // namespace
}  // namespace quillon
