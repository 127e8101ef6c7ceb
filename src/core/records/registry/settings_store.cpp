#include "core/records/registry/settings_store.h"

#include <algorithm>

#include "core/localization/l10n.h"
#include "core/platform/user_defaults.h"
#include "core/records/registry/registry_stored_record.h"
#include "core/storage/files/launch_local_storage.h"
#include "core/storage/files/launch_storage_error.h"
#include "core/storage/plist/property_list_codec.h"
#include "core/support/uuid.h"

namespace quillon {

SettingsStore::SettingsStore(std::string appsKey, ReadOriginal readOriginal, WriteRecord writeRecord,
                             Url backupDirectory, ReadStamp readStamp)
    : appsKey_(std::move(appsKey)),
      readOriginal_(std::move(readOriginal)),
      writeRecord_(std::move(writeRecord)),
      backupDirectory_(std::move(backupDirectory)),
      readStamp_(std::move(readStamp)) {}

SettingsStore::SettingsStore(UserDefaults& defaults, Url backupDirectory)
    : SettingsStore(
          defaultAppsKey,
          [&defaults] {
            // An unreadable domain reads as an empty one, which must not pass for an
            // empty registry: the next save would overwrite the user's list.
            if (const int error = defaults.readError()) throw LaunchStorageError::unavailable(error);
            return defaults.object(defaultAppsKey);
          },
          [&defaults](std::span<const std::uint8_t> blob) {
            defaults.setData(blob, defaultAppsKey);
            // A defaults write can be dropped without an error; only reading it back
            // tells a saved registry from a lost one.
            const auto readBack = defaults.data(defaultAppsKey);
            return readBack && std::equal(readBack->begin(), readBack->end(), blob.begin(), blob.end());
          },
          std::move(backupDirectory), [&defaults] { return defaults.stamp(); }) {}

LocalizedText SettingsStore::unreadableMessage() {
  return LocalizedText(
      "アプリの登録情報を読み込めません。登録情報と保存画像は保護しています。再確認するか、登録情報を退避して初期化して"
      "ください。");
}

SettingsStore::Decoded SettingsStore::decodeStoredBlob(std::span<const std::uint8_t> blob) {
  if (blob.size() > maximumStoredBytes) throw LaunchStorageError::tooLarge;
  Decoded decoded;
  if (auto apps = RegistryJsonCoding::decodeApps(blob)) {
    decoded.apps = std::move(*apps);
  } else if (auto record = RegistryJsonCoding::decodeRecord(blob);
             record && record->version == RegistryStoredRecord::currentVersion) {
    decoded.apps = std::move(record->apps);
    decoded.preservePreviews = record->preservePreviews;
  } else {
    throw LaunchStorageError::invalidRecord;
  }
  decoded.apps = ManagedNotchApp::normalized(std::move(decoded.apps));
  return decoded;
}

std::vector<ManagedNotchApp> SettingsStore::loadApps() {
  // Taken before the read: a write in between then shows as a change at the next look.
  if (readStamp_) lastStamp_ = readStamp_();
  try {
    const auto original = readOriginal_();
    if (!original) {
      loadFailed_ = false;
      storageError_.reset();
      preservesPreviewsAfterRecovery_ = false;
      return {};
    }
    const auto* blob = original->data();
    if (blob == nullptr) throw LaunchStorageError::invalidRecord;
    auto decoded = decodeStoredBlob(*blob);
    preservesPreviewsAfterRecovery_ = decoded.preservePreviews;
    loadFailed_ = false;
    storageError_.reset();
    return std::move(decoded.apps);
  } catch (const Error&) {
    // Which rule the value broke does not change what the user can do about it.
    loadFailed_ = true;
    storageError_ = L10n::text(unreadableMessage());
    return {};
  }
}

bool SettingsStore::saveApps(const std::vector<ManagedNotchApp>& apps) {
  loadApps();
  if (loadFailed_) return false;
  try {
    const auto normalizedApps = ManagedNotchApp::normalized(apps);
    if (!writeRecord_(RegistryJsonCoding::encodeApps(normalizedApps))) throw LaunchStorageError::unavailable(0);
    if (readStamp_) lastStamp_ = readStamp_();
    preservesPreviewsAfterRecovery_ = false;
    storageError_.reset();
    return true;
  } catch (const Error& error) {
    storageError_ = error.description();
    return false;
  }
}

Url SettingsStore::resetPreservingBackup() {
  const auto original = readOriginal_();
  if (!original) throw LaunchStorageError::invalidRecord;
  Bytes backup;
  if (const auto* blob = original->data()) {
    backup = *blob;
  } else {
    backup = PropertyListCodec::encodeBinary(PropertyListValue{PropertyListValue::Dictionary{{appsKey_, *original}}});
  }
  const std::string name = backupPrefix + Uuid::random().toString();
  LaunchLocalStorage(backupDirectory_).write(backup, name, {});

  const RegistryStoredRecord emptied{RegistryStoredRecord::currentVersion, {}, true};
  if (!writeRecord_(RegistryJsonCoding::encodeRecord(emptied))) throw LaunchStorageError::unavailable(0);
  loadApps();
  if (loadFailed_) throw LaunchStorageError::invalidRecord;
  return Url::fileUrl(standardizePath(backupDirectory_.path()) + "/" + name, false);
}

}  // namespace quillon
