// Renders the desktop layer's Japanese surfaces headless and keeps them as PNG files in
// the build's artifacts folder, for a person to look at. They are not compared with
// reference images: fonts and styles differ between hosts.

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>

#include "core/localization/l10n.h"
#include "core/product/quillon_about_content.h"
#include "desktop/qt_alert_presenter.h"
#include "desktop/qt_status_menu_host.h"
#include "support/fake_log_sink.h"

namespace quillon {
namespace {

// Saves the widget's rendering; fails when it is empty or could not be written.
void save(QWidget& widget, const char* name) {
  QDir().mkpath(QStringLiteral(QUILLON_ARTIFACTS_DIR));
  widget.adjustSize();
  widget.show();
  const QImage image = widget.grab().toImage();
  widget.hide();
  ASSERT_FALSE(image.isNull());
  ASSERT_GT(image.width(), 50);
  ASSERT_GT(image.height(), 20);
  ASSERT_TRUE(image.save(QStringLiteral(QUILLON_ARTIFACTS_DIR "/") + QLatin1String(name), "PNG")) << name;
}

MenuItem item(std::string title, bool enabled = true, bool checked = false) {
  MenuItem result;
  result.title = std::move(title);
  result.enabled = enabled;
  result.checked = checked;
  return result;
}

TEST(DesktopScreenshots, AlertWithJapaneseText) {
  Alert alert;
  alert.messageText = "利用する操作に応じて権限を選べます";
  alert.informativeText =
      "メニューからの切替には追加の権限は不要です。ノッチ上のホットキー操作にはアクセシビリティが必要です。"
      "キーの組合せは設定で変更できます。\n\n続けると未許可の権限の要求が表示されます。画面収録は拒否しても構いません"
      "。";
  alert.buttons = {"閉じる", "権限を確認する"};
  save(*QtAlertPresenter::makeMessageBox(alert), "alert-permissions.png");
}

// The longest About text, with the application's icon.
TEST(DesktopScreenshots, PrivacyAlertWithTheApplicationIcon) {
  const Alert alert{Alert::Style::informational,
                    "このMac内のデータと権限",
                    L10n::text(QuillonAboutContent::privacy()),
                    {"閉じる", "設定を開く"},
                    Alert::Icon::application};
  save(*QtAlertPresenter::makeMessageBox(alert), "alert-privacy.png");
}

TEST(DesktopScreenshots, StatusMenuWithJapaneseItems) {
  FakeLogSink log;
  QtStatusMenuHost host(log);
  MenuItem remove = item("登録を解除");
  remove.kind = MenuItem::Kind::submenu;
  remove.submenu = {item("オーロラ（現在のアプリ）"), item("エンバー"), item("タイド（利用停止中）")};
  MenuItem permissions = item("アクセシビリティ: 許可済み", false);
  permissions.kind = MenuItem::Kind::label;
  host.setMenu({{
      item("オーロラ", true, true),
      item("エンバー"),
      item("タイド (利用停止中)", false),
      item("Quillonについて…"),
      item("はじめに…"),
      item("設定…"),
      permissions,
      item("権限について…"),
      MenuItem::separator(),
      item("アプリを追加…"),
      remove,
      MenuItem::separator(),
      item("終了"),
  }});
  save(*host.menu(), "status-menu.png");
  QMenu* submenu = host.menu()->actions()[10]->menu();
  ASSERT_NE(submenu, nullptr);
  save(*submenu, "status-menu-remove.png");
}

}  // namespace
}  // namespace quillon
