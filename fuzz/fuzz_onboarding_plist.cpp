// onboarding.plist as the onboarding store decodes it.
#include <cstdint>
#include <cstdlib>

#include "core/records/onboarding/launch_onboarding_store.h"
#include "core/storage/files/launch_storage_error.h"
#include "core/storage/plist/property_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillon;
  if (size > PropertyListFile::maximumBytes) return 0;  // the store never reads more
  const auto dictionary = PropertyList::parseDictionary({data, size});
  if (!dictionary) return 0;
  try {
    LaunchOnboardingRecordCoding::decode(*dictionary);
  } catch (const Error&) {
  }
  return 0;
}
