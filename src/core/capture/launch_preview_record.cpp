#include "core/capture/launch_preview_record.h"

#include "core/storage/files/launch_storage_error.h"
#include "core/storage/plist/property_list.h"
#include "core/storage/plist/property_list_codec.h"

namespace quillon {

namespace {

const PropertyListValue& member(const PropertyListValue::Dictionary& dictionary, const char* key) {
  const auto found = dictionary.find(key);
  if (found == dictionary.end()) throw LaunchStorageError::invalidRecord;
  return found->second;
}

}  // namespace

Bytes LaunchPreviewRecord::encode() const {
  PropertyListValue::Dictionary url{{"relative", {applicationURL.absoluteString()}}};
  PropertyListValue::Dictionary record{
      {"version", {version}},
      {"applicationURL", {std::move(url)}},
      {"savedAt", {PropertyListDate{savedAt - PropertyList::referenceDateOffset}}},
      {"png", {png}},
  };
  return PropertyListCodec::encodeBinary({std::move(record)});
}

LaunchPreviewRecord LaunchPreviewRecord::decode(std::span<const std::uint8_t> data) {
  const auto root = PropertyListCodec::decode(data);
  const auto* dictionary = root ? root->dictionary() : nullptr;
  if (!dictionary) throw LaunchStorageError::invalidRecord;

  const auto* version = member(*dictionary, "version").integer();
  const auto* url = member(*dictionary, "applicationURL").dictionary();
  const auto* savedAt = std::get_if<PropertyListDate>(&member(*dictionary, "savedAt").value);
  const auto* png = member(*dictionary, "png").data();
  if (!version || !url || !savedAt || !png) throw LaunchStorageError::invalidRecord;
  // A URL relative to a base is not what the archive writes; taking only "relative"
  // would silently read it as another location.
  const auto relative = stringValue(*url, "relative");
  if (!relative || url->size() != 1) throw LaunchStorageError::invalidRecord;
  const auto parsed = Url::parse(*relative);
  if (!parsed) throw LaunchStorageError::invalidRecord;

  LaunchPreviewRecord record;
  record.version = *version;
  record.applicationURL = *parsed;
  record.savedAt = savedAt->secondsSinceReferenceDate + PropertyList::referenceDateOffset;
  record.png = *png;
  return record;
}

}  // namespace quillon
