// The stored registry blob as loadApps decodes it. Whatever decodes must survive an
// encode and decode unchanged, or a save would silently alter the user's list.
#include <cstdint>
#include <cstdlib>

#include "core/records/registry/registry_stored_record.h"
#include "core/records/registry/settings_store.h"
#include "core/storage/files/launch_storage_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillon;
  try {
    const auto decoded = SettingsStore::decodeStoredBlob({data, size});
    const auto again = RegistryJsonCoding::decodeApps(RegistryJsonCoding::encodeApps(decoded.apps));
    if (!again || *again != decoded.apps) std::abort();
  } catch (const Error&) {
  }
  return 0;
}
