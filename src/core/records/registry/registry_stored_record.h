#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/records/registry/managed_notch_app.h"
#include "core/support/bytes.h"

namespace quillon {

// The versioned envelope of the stored registry. A normal save writes a bare JSON
// array of apps; a reset writes this envelope (version 1, no apps, previews kept) so
// that the next start knows not to prune the previews of apps it no longer lists.
struct RegistryStoredRecord {
  static constexpr std::int64_t currentVersion = 1;

  std::int64_t version = currentVersion;
  std::vector<ManagedNotchApp> apps;
  bool preservePreviews = false;

  friend bool operator==(const RegistryStoredRecord&, const RegistryStoredRecord&) = default;
};

// The JSON forms of the registry (UTF-8). Every key of an app and of the envelope is
// required; unknown keys are ignored. Decoding never throws: anything malformed,
// mistyped or nested absurdly deep is none.
class RegistryJsonCoding {
 public:
  static Bytes encodeApps(const std::vector<ManagedNotchApp>& apps);
  static std::optional<std::vector<ManagedNotchApp>> decodeApps(std::span<const std::uint8_t> json);
  static Bytes encodeRecord(const RegistryStoredRecord& record);
  static std::optional<RegistryStoredRecord> decodeRecord(std::span<const std::uint8_t> json);
};

}  // namespace quillon
