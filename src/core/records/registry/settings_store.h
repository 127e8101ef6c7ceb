#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/localization/localized_text.h"
#include "core/platform/user_defaults.h"
#include "core/records/registry/managed_notch_app.h"
#include "core/storage/plist/property_list_value.h"
#include "core/support/bytes.h"
#include "core/support/url.h"

namespace quillon {

// Keeps the registry in the user defaults and is the only code that touches that value.
// Stored data it cannot read puts it in a protected state: the value is never
// overwritten, saves are refused, and only a successful reload or a reset (which first
// writes a backup) leaves that state.
class SettingsStore {
 public:
  static constexpr const char* defaultAppsKey = "com.quillon.registeredApps";
  static constexpr std::size_t maximumStoredBytes = 2'097'152;  // 2 MiB
  static constexpr const char* backupPrefix = "registry.json.preserved-";

  using ReadOriginal = std::function<std::optional<PropertyListValue>()>;
  // Stores the blob, reads it back and is true only when the bytes are identical.
  using WriteRecord = std::function<bool(std::span<const std::uint8_t>)>;
  // The stamp of the stored value's storage.
  using ReadStamp = std::function<DefaultsStamp()>;

  // The registry decoded from a stored blob the way loadApps reads it.
  struct Decoded {
    std::vector<ManagedNotchApp> apps;
    bool preservePreviews = false;
  };

  // `readOriginal` throws LaunchStorageError when the value exists but cannot be read.
  // Without `readStamp`, storedValueChanged() is always false.
  SettingsStore(std::string appsKey, ReadOriginal readOriginal, WriteRecord writeRecord, Url backupDirectory,
                ReadStamp readStamp = {});
  // Reads and writes `appsKey` of `defaults`, which must outlive the store.
  SettingsStore(UserDefaults& defaults, Url backupDirectory);

  const std::string& appsKey() const { return appsKey_; }
  const Url& backupDirectory() const { return backupDirectory_; }
  bool loadFailed() const { return loadFailed_; }
  const std::optional<std::string>& storageError() const { return storageError_; }
  bool preservesPreviewsAfterRecovery() const { return preservesPreviewsAfterRecovery_; }

  // Something else wrote the stored value since this store last read or wrote it.
  bool storedValueChanged() const { return readStamp_ && readStamp_() != lastStamp_; }

  // Never throws; an unreadable value gives an empty list and the protected state.
  std::vector<ManagedNotchApp> loadApps();
  // False, with storageError set, when the stored value is unreadable, the list breaks
  // the registry's rules, or the write did not read back identically.
  bool saveApps(const std::vector<ManagedNotchApp>& apps);
  // Writes a backup of the stored value to backupDirectory, then stores an empty
  // registry that keeps previews. A failed backup throws before anything changes.
  Url resetPreservingBackup();

  // The stored blob decoded and normalized; throws LaunchStorageError (tooLarge,
  // invalidRecord). Exposed for the fuzzer, which feeds it arbitrary bytes.
  static Decoded decodeStoredBlob(std::span<const std::uint8_t> blob);

  static LocalizedText unreadableMessage();

 private:
  std::string appsKey_;
  ReadOriginal readOriginal_;
  WriteRecord writeRecord_;
  Url backupDirectory_;
  ReadStamp readStamp_;
  DefaultsStamp lastStamp_;
  bool loadFailed_ = false;
  std::optional<std::string> storageError_;
  bool preservesPreviewsAfterRecovery_ = false;
};

}  // namespace quillon
