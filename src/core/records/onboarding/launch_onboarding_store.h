#pragma once

#include "core/records/onboarding/launch_onboarding_record.h"
#include "core/storage/plist/property_list_store.h"

namespace quillon {

// How the onboarding record maps to its property list: "version" (must be 1),
// "lastStep" (the step's name), and the optional dates "completedAt" and "dismissedAt".
// Unknown keys are ignored, so a newer program's additions do not make the file invalid.
struct LaunchOnboardingRecordCoding {
  using Record = LaunchOnboardingRecord;
  static Record defaultRecord() { return {}; }
  // An unreadable progress file behaves like a fresh one for the session; the file
  // itself stays untouched until the user resets it.
  static Record fallbackRecord() { return {}; }
  static Record decode(const PropertyList& dictionary);
  static PropertyList encode(const Record& record);
};

// The first-run guide's progress in "onboarding.plist" in the data directory.
class LaunchOnboardingStore final : public PropertyListStore<LaunchOnboardingRecordCoding> {
 public:
  static constexpr const char* fileName = "onboarding.plist";

  using PropertyListStore::PropertyListStore;
  // The store for the file in `dataDirectory`.
  static LaunchOnboardingStore inDataDirectory(const Url& dataDirectory);
};

}  // namespace quillon
