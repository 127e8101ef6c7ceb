#pragma once

#include <cstdint>
#include <span>

#include "core/support/bytes.h"
#include "core/support/url.h"

namespace quillon {

// One app's preview as stored in the archive: a binary property list with the keys
// "version" (1), "applicationURL" (the platform's keyed URL form, {"relative": ...}),
// "savedAt" (a date) and "png" (the image).
struct LaunchPreviewRecord {
  static constexpr std::int64_t currentVersion = 1;

  std::int64_t version = currentVersion;
  Url applicationURL;
  double savedAt = 0;  // seconds since the Unix epoch
  Bytes png;

  Bytes encode() const;
  // Throws LaunchStorageError::invalidRecord for anything that is not a dictionary
  // with those four keys of those types. The version and the URL's scheme are read,
  // not judged: the archive decides which records it restores.
  static LaunchPreviewRecord decode(std::span<const std::uint8_t> data);

  friend bool operator==(const LaunchPreviewRecord&, const LaunchPreviewRecord&) = default;
};

}  // namespace quillon
