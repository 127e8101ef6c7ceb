#include "core/product/quillon_about_content.h"

#include "core/localization/l10n.h"

namespace quillon {

QuillonAboutContent QuillonAboutContent::fromInfoDictionary(const PropertyListValue::Dictionary& info) {
  const auto unknown = L10n::text(LocalizedText("不明"));
  return {stringValue(info, "CFBundleShortVersionString").value_or(unknown),
          stringValue(info, "CFBundleVersion").value_or(unknown)};
}

LocalizedText QuillonAboutContent::summary() const {
  return LocalizedText::format(
      "バージョン {}（ビルド "
      "{}"
      "）\n\nノッチ上で、使いたいアプリへ切り替える。\n切替時には元のアプリを通常終了し、選んだアプリを起動します。終了"
      "したアプリの音楽・通知などのバックグラウンド機能も止まります。\n\nmacOS 14 "
      "以降。ノッチアプリは別途インストールして登録してください。すべてのアプリ・画面環境での動作を保証するものではあり"
      "ません。",
      version, build);
}

LocalizedText QuillonAboutContent::privacy() {
  return LocalizedText(
      "登録したアプリの場所・名前・識別子は、このMacのQuillon用設定に保存します。呼び出しキーと画像保存の設定、はじめに"
      "の進行状態は、このMacのアプリ専用保存フォルダに保存します。\n\nアクセシビリティはノッチ上の対象確認とキー・スク"
      "ロール操作に使います。画面収録は対象ウィンドウの静止画を取得し、プレビューと表示領域の判定に使います。音声は取得"
      "しません。権限がなくてもメニュー切替は使えます。\n\n「前回の画像を再起動後も記憶する」は初期状態でONです。最大16"
      "件、長辺1,"
      "200px、合計24MiBまでをこのMac内に保存します。通知などの内容が写る場合があります。\n\n「設定…」で画像保存をOFFに"
      "すると、保存画像を削除しますが、利用中の一時画像は残ります。「保存画像を削除」ボタンは、保存画像と一時画像の両方"
      "を削除します。保存がONなら、次に開いた画像から再び記憶します。\n\nQuillonに解析・広告・画像アップロードの機能は"
      "なく、アプリ自身からこれらの情報を外部へ送信しません。第三者のノッチアプリの通信や、macOSの診断・バックアップは"
      "別に管理されます。");
}

}  // namespace quillon
