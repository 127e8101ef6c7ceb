#include "core/storage/files/launch_storage_error.h"

#include "core/localization/l10n.h"

namespace quillon {

LocalizedText LaunchStorageError::localizedDescription() const {
  switch (code) {
    case Code::unavailable:
      return LocalizedText("保存先にアクセスできません。空き容量とアクセス権を確認してから再確認してください。");
    case Code::unsafeLocation:
      return LocalizedText(
          "保存先が通常のフォルダ／ファイルではないか、安全にアクセスできません。保存先のリンクやアクセス権を確認してか"
          "ら再確認してください。元のデータは変更していません。");
    case Code::invalidRecord:
      return LocalizedText("保存データを読み込めませんでした。再確認するか、元のデータを退避して初期化してください。");
    case Code::tooLarge:
      return LocalizedText("保存データのサイズが上限を超えています。元のデータを退避して初期化できます。");
  }
  return LocalizedText("");
}

std::string LaunchStorageError::description() const { return L10n::text(localizedDescription()); }

}  // namespace quillon
