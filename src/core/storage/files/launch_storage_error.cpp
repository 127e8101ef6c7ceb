#include "core/storage/files/launch_storage_error.h"

#include "core/localization/l10n.h"

namespace quillon {

std::string launchErrorText(LaunchStorageError::Code code, const Error&) {
  switch (code) {
    case LaunchStorageError::Code::unavailable:
      return L10n::text(
          LocalizedText("保存先にアクセスできません。空き容量とアクセス権を確認してから再確認してください。"));
    case LaunchStorageError::Code::unsafeLocation:
      return L10n::text(LocalizedText(
          "保存先が通常のフォルダ／ファイルではないか、安全にアクセスできません。保存先のリンクやアクセス権を確認してか"
          "ら再確認してください。元のデータは変更していません。"));
    case LaunchStorageError::Code::invalidRecord:
      return L10n::text(
          LocalizedText("保存データを読み込めませんでした。再確認するか、元のデータを退避して初期化してください。"));
    case LaunchStorageError::Code::tooLarge:
      return L10n::text(LocalizedText("保存データのサイズが上限を超えています。元のデータを退避して初期化できます。"));
  }
  return {};
}

}  // namespace quillon
