#include "core/app/quillon_about_presenter.h"

#include "core/localization/l10n.h"
#include "core/platform/launch_alert_presenter.h"

namespace quillon {

namespace {
constexpr int secondButton = 1;
constexpr int thirdButton = 2;

std::string text(const char* source) { return L10n::text(LocalizedText(source)); }
}  // namespace

void QuillonAboutPresenter::present(const std::string& shortcutLabel, const std::function<void()>& onShowOnboarding,
                                    const std::function<void()>& onShowSettings) {
  const int answer = alerts_.runModal({LaunchAlert::Style::informational, "Quillon", L10n::text(content_.summary()),
                                       {text("閉じる"), text("使い方"), text("プライバシー")}});
  if (answer == secondButton) showUsage(shortcutLabel, onShowOnboarding);
  if (answer == thirdButton) showPrivacy(onShowSettings);
}

void QuillonAboutPresenter::showUsage(const std::string& shortcutLabel, const std::function<void()>& onShowOnboarding) {
  const auto usage = LocalizedText::format(
      "1. メニューの「アプリを追加…」または「はじめに…」から、切り替えたいノッチアプリを登録します。\n2. ノッチアプリを展開し、そのノッチにカーソルを置きます。\n3. {} を押したまま、枠が表示されてから横スクロールで選びます。左右どちらにもループします。\n4. キーを離すと切り替わります。Escape または選択を変えないまま離すと、起動・終了は行いません。\n\nキーの組合せと画像保存は「設定…」で変更できます。修飾キーの組合せに対応し、文字キーは使いません。\n\n画像や対象を確認できず枠が出ない場合も、メニューから切り替えられます。画像が取れないアプリでは、確認できる範囲でアイコンと名前を使います。",
      shortcutLabel);
  const int answer = alerts_.runModal({LaunchAlert::Style::informational, text("Quillonの使い方"), L10n::text(usage),
                                       {text("閉じる"), text("はじめにを開く")}});
  if (answer == secondButton) onShowOnboarding();
}

void QuillonAboutPresenter::showPrivacy(const std::function<void()>& onShowSettings) {
  const int answer =
      alerts_.runModal({LaunchAlert::Style::informational, text("このMac内のデータと権限"),
                        L10n::text(QuillonAboutContent::privacy()), {text("閉じる"), text("設定を開く")}});
  if (answer == secondButton) onShowSettings();
}

}  // namespace quillon
