#pragma once

#include <span>

#include "core/localization/localized_text.h"
#include "core/records/preferences/launch_preferences.h"
#include "core/storage/plist/property_list_store.h"

namespace quillon {

// How the preferences map to their property list: "shortcut" (the chord's raw value as
// an unsigned number) and "savePreviews" (a boolean), both required, and
// "switchWithVerticalScroll" (a boolean), off when absent.
struct LaunchPreferencesCoding {
  using Record = LaunchPreferences;
  static Record defaultRecord() { return {LaunchModifierShortcut::command(), true}; }
  // While the file cannot be read the program runs on ⌘ and keeps no new previews on
  // disk: nothing the user may not have chosen is written, and the file stays as it is.
  static Record fallbackRecord() { return {LaunchModifierShortcut::command(), false}; }
  // Throws LaunchStorageError::invalidRecord for a missing or mistyped key and
  // LaunchDecodingError for an unusable chord.
  static Record decode(const PropertyList& dictionary);
  static PropertyList encode(const Record& record);

  // The bytes of a preferences file decoded as load() decodes them; throws as decode.
  // Exposed for the fuzzer.
  static Record decodeFile(std::span<const std::uint8_t> bytes);
};

// The preferences in "preferences.plist" in the data directory.
class LaunchPreferencesStore final : public PropertyListStore<LaunchPreferencesCoding> {
 public:
  static constexpr const char* fileName = "preferences.plist";

  using PropertyListStore::PropertyListStore;
  // The store for the file in `dataDirectory`.
  static LaunchPreferencesStore inDataDirectory(const Url& dataDirectory);

  // What the settings window shows while the file cannot be read, and the question
  // asked before a reset.
  static LocalizedText fallbackNotice();
  static LocalizedText resetTitle();
  static LocalizedText resetDetail();
};

}  // namespace quillon
