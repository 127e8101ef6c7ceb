// A preview record as the archive restores it: the property list, then the PNG inside
// it, decoded with the same size limit. An input whose first byte is odd goes to the
// PNG decoder directly, so the search also reaches deep into PNG chunks that a
// property-list wrapper would rarely let it mutate intact.
#include <cstdint>
#include <cstdlib>

#include "core/capture/launch_preview_archive.h"
#include "core/capture/launch_preview_record.h"
#include "core/storage/files/launch_storage_error.h"
#include "desktop/qt_image_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillon;
  if (size == 0 || size > LaunchPreviewArchive::maximumRecordBytes) return 0;  // the archive never reads more
  static const QtImageCodec codec;
  const std::span<const std::uint8_t> rest(data + 1, size - 1);
  if ((data[0] & 1U) != 0) {
    const auto image = codec.decodePng(rest, LaunchPreviewArchive::maximumPixelSide);
    if (image && (image->width > LaunchPreviewArchive::maximumPixelSide ||
                  image->height > LaunchPreviewArchive::maximumPixelSide)) {
      std::abort();
    }
    return 0;
  }
  try {
    const auto record = LaunchPreviewRecord::decode(rest);
    const auto image = codec.decodePng(record.png, LaunchPreviewArchive::maximumPixelSide);
    if (image && image->pixels.size() != image->bytesPerRow * static_cast<std::size_t>(image->height)) std::abort();
    // What decodes must encode to the same record again (dates aside: NaN is stored too).
    const auto again = LaunchPreviewRecord::decode(record.encode());
    if (again.version != record.version || again.applicationURL != record.applicationURL || again.png != record.png) {
      std::abort();
    }
  } catch (const Error&) {
  }
  return 0;
}
