// A bundle's Info.plist, foreign bytes read whenever an app is chosen or launched.
// Whatever decodes must encode again and decode to the same dictionary.
#include <cstdint>
#include <cstdlib>

#include "core/bundle/bundle.h"
#include "core/storage/plist/property_list_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillon;
  if (size > Bundle::infoPlistLimit) return 0;  // the bundle reader never reads more
  const auto info = Bundle::parseInfoDictionary({data, size});
  if (info.empty()) return 0;
  const PropertyListValue root{info};
  const auto again = PropertyListCodec::decode(PropertyListCodec::encodeBinary(root));
  if (!again || again->dictionary() == nullptr) std::abort();
  return 0;
}
