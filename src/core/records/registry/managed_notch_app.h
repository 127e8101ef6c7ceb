#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/support/url.h"
#include "core/support/uuid.h"

namespace quillon {

// One registered notch app. Identity is `id`; equality compares every field, so a
// changed name or order counts as a change of the registry.
struct ManagedNotchApp {
  static constexpr std::size_t maximumCount = 256;
  // Written for every entry this program creates; other values are carried unchanged.
  static constexpr std::string_view suppressionDriver = "suppression";

  Uuid id;
  std::string bundleIdentifier;
  Url bundleURL;  // a standardized directory file URL after normalization
  std::string displayName;
  std::int64_t order = 0;
  bool enabled = true;  // false: suspended, kept and shown but never offered for switching
  std::string visibilityDriver{suppressionDriver};

  // The list as it is kept: at most 256 entries with unique ids and bundle
  // identifiers, sorted stably by order with order renumbered 0..n-1, bundle URLs
  // standardized, names refreshed from the bundle when it is still the same app.
  // Throws LaunchStorageError::invalidRecord rather than repairing a list that breaks
  // those rules (dropping entries silently would lose the user's data).
  static std::vector<ManagedNotchApp> normalized(std::vector<ManagedNotchApp> apps);

  friend bool operator==(const ManagedNotchApp&, const ManagedNotchApp&) = default;
};

// `text` without leading and trailing white space and line breaks, Unicode ones
// (such as the ideographic space) included.
std::string trimmedWhitespaceAndNewlines(std::string_view text);

}  // namespace quillon
