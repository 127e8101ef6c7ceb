#include "core/records/onboarding/launch_onboarding_store.h"

#include "core/storage/files/launch_storage_error.h"
#include "core/storage/plist/property_list.h"

namespace quillon {

namespace {
constexpr const char* versionKey = "version";
constexpr const char* lastStepKey = "lastStep";
constexpr const char* completedAtKey = "completedAt";
constexpr const char* dismissedAtKey = "dismissedAt";

// An optional date: absent is none, present with another type is invalid.
std::optional<double> optionalDate(const PropertyList& dictionary, const char* key) {
  if (!dictionary.contains(key)) return std::nullopt;
  auto date = dictionary.date(key);
  if (!date) throw LaunchStorageError::invalidRecord;
  return date;
}
}  // namespace

LaunchOnboardingRecord LaunchOnboardingRecordCoding::decode(const PropertyList& dictionary) {
  const auto version = dictionary.integer(versionKey);
  if (!version || *version != LaunchOnboardingRecord::currentVersion) throw LaunchStorageError::invalidRecord;
  const auto stepName = dictionary.string(lastStepKey);
  const auto step = stepName ? onboardingStepNamed(*stepName) : std::nullopt;
  if (!step) throw LaunchStorageError::invalidRecord;
  LaunchOnboardingRecord record;
  record.version = LaunchOnboardingRecord::currentVersion;
  record.lastStep = *step;
  record.completedAt = optionalDate(dictionary, completedAtKey);
  record.dismissedAt = optionalDate(dictionary, dismissedAtKey);
  return record;
}

PropertyList LaunchOnboardingRecordCoding::encode(const LaunchOnboardingRecord& record) {
  PropertyList dictionary;
  dictionary.setInteger(versionKey, record.version);
  dictionary.setString(lastStepKey, std::string(onboardingStepName(record.lastStep)));
  if (record.completedAt) dictionary.setDate(completedAtKey, *record.completedAt);
  if (record.dismissedAt) dictionary.setDate(dismissedAtKey, *record.dismissedAt);
  return dictionary;
}

LaunchOnboardingStore LaunchOnboardingStore::inDataDirectory(const Url& dataDirectory) {
  return LaunchOnboardingStore(Url::fileUrl(standardizePath(dataDirectory.path()) + "/" + fileName, false));
}

}  // namespace quillon
