// preferences.plist as the preferences store decodes it.
#include <cstdint>
#include <cstdlib>

#include "core/records/preferences/launch_preferences_store.h"
#include "core/storage/plist/property_list.h"
#include "core/support/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillon;
  try {
    const auto preferences = LaunchPreferencesCoding::decodeFile({data, size});
    // What was accepted is written back the same way.
    const auto again = LaunchPreferencesCoding::decodeFile(LaunchPreferencesCoding::encode(preferences).toBinary());
    if (again != preferences) std::abort();
  } catch (const Error&) {
  }
  return 0;
}
