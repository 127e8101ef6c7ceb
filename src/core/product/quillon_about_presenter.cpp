#include "core/product/quillon_about_presenter.h"

#include "core/localization/l10n.h"
#include "core/platform/alert_presenter.h"

namespace quillon {

namespace {
constexpr int secondButton = 1;
constexpr int thirdButton = 2;

// Every literal stays inside LocalizedText(...) where it is written, where the
// string-table check finds it.
std::string text(const LocalizedText& source) { return L10n::text(source); }

Alert aboutAlert(std::string messageText, std::string informativeText, std::vector<std::string> buttons) {
  return {Alert::Style::informational, std::move(messageText), std::move(informativeText), std::move(buttons),
          Alert::Icon::application};
}
}  // namespace

Task<void> QuillonAboutPresenter::present(std::string shortcutLabel, std::function<void()> onShowOnboarding,
                                          std::function<void()> onShowSettings) {
  // Named first: an aggregate built inside a co_await expression is destroyed twice by GCC 12.
  Alert about =
      aboutAlert(text(LocalizedText("Quillon")), text(content_.summary()),
                 {text(LocalizedText("閉じる")), text(LocalizedText("使い方")), text(LocalizedText("プライバシー"))});
  const int answer = co_await alerts_.showAlert(std::move(about));
  if (answer == secondButton) co_await showUsage(std::move(shortcutLabel), std::move(onShowOnboarding));
  if (answer == thirdButton) co_await showPrivacy(std::move(onShowSettings));
}

Task<void> QuillonAboutPresenter::showUsage(std::string shortcutLabel, std::function<void()> onShowOnboarding) {
  const auto usage = LocalizedText::format(
      "1. メニューの「アプリを追加…」または「はじめに…」から、切り替えたいノッチアプリを登録します。\n2. "
      "ノッチアプリを展開し、そのノッチにカーソルを置きます。\n3. {} "
      "を押したまま、枠が表示されてから横スクロールで選びます。左右どちらにもループします。\n4. "
      "キーを離すと切り替わります。Escape "
      "または選択を変えないまま離すと、起動・終了は行いません。\n\nキーの組合せと画像保存は「設定…」で変更できます。修"
      "飾キーの組合せに対応し、文字キーは使いません。\n\n画像や対象を確認できず枠が出ない場合も、メニューから切り替えら"
      "れます。画像が取れないアプリでは、確認できる範囲でアイコンと名前を使います。",
      shortcutLabel);
  Alert alert = aboutAlert(text(LocalizedText("Quillonの使い方")), text(usage),
                           {text(LocalizedText("閉じる")), text(LocalizedText("はじめにを開く"))});
  const int answer = co_await alerts_.showAlert(std::move(alert));
  if (answer == secondButton && onShowOnboarding) onShowOnboarding();
}

Task<void> QuillonAboutPresenter::showPrivacy(std::function<void()> onShowSettings) {
  Alert alert = aboutAlert(text(LocalizedText("このMac内のデータと権限")), text(QuillonAboutContent::privacy()),
                           {text(LocalizedText("閉じる")), text(LocalizedText("設定を開く"))});
  const int answer = co_await alerts_.showAlert(std::move(alert));
  if (answer == secondButton && onShowSettings) onShowSettings();
}

}  // namespace quillon
