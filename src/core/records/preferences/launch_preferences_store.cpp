#include "core/records/preferences/launch_preferences_store.h"

#include "core/storage/files/launch_storage_error.h"
#include "core/storage/plist/property_list.h"

namespace quillon {

namespace {
constexpr const char* shortcutKey = "shortcut";
constexpr const char* savePreviewsKey = "savePreviews";
constexpr const char* switchWithVerticalScrollKey = "switchWithVerticalScroll";
}  // namespace

LaunchPreferences LaunchPreferencesCoding::decode(const PropertyList& dictionary) {
  const auto raw = dictionary.unsignedInteger(shortcutKey);
  const auto savePreviews = dictionary.boolean(savePreviewsKey);
  if (!raw || !savePreviews) throw LaunchStorageError::invalidRecord;
  // Files written before the vertical-scroll setting existed lack it: it is off.
  const auto vertical = dictionary.boolean(switchWithVerticalScrollKey);
  if (!vertical && dictionary.contains(switchWithVerticalScrollKey)) throw LaunchStorageError::invalidRecord;
  return {LaunchModifierShortcut::decode(*raw), *savePreviews, vertical.value_or(false)};
}

PropertyList LaunchPreferencesCoding::encode(const LaunchPreferences& record) {
  PropertyList dictionary;
  dictionary.setUnsignedInteger(shortcutKey, record.shortcut.rawValue());
  dictionary.setBoolean(savePreviewsKey, record.savePreviews);
  dictionary.setBoolean(switchWithVerticalScrollKey, record.switchWithVerticalScroll);
  return dictionary;
}

LaunchPreferences LaunchPreferencesCoding::decodeFile(std::span<const std::uint8_t> bytes) {
  if (bytes.size() > PropertyListFile::maximumBytes) throw LaunchStorageError::tooLarge;
  const auto dictionary = PropertyList::parseDictionary(bytes);
  if (!dictionary) throw LaunchStorageError::invalidRecord;
  return decode(*dictionary);
}

LaunchPreferencesStore LaunchPreferencesStore::inDataDirectory(const Url& dataDirectory) {
  return LaunchPreferencesStore(Url::fileUrl(standardizePath(dataDirectory.path()) + "/" + fileName, false));
}

LocalizedText LaunchPreferencesStore::fallbackNotice() {
  return LocalizedText(
      "設定を読み込めないため、一時的に呼び出しキーを⌘、画像の保存をOFFにしています。元のデータは変更していません。「保"
      "存先を再確認」または「設定データの復旧について…」から確認してください。");
}

LocalizedText LaunchPreferencesStore::resetTitle() {
  return LocalizedText("呼び出しキーと画像保存の設定を初期化しますか？");
}

LocalizedText LaunchPreferencesStore::resetDetail() {
  return LocalizedText(
      "元の設定ファイルをバックアップとして保全し、呼び出しキーを⌘、画像保存をONに戻します。アプリの登録・案内の進行状"
      "態・保存画像は削除しません。");
}

}  // namespace quillon
