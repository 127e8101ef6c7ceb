#pragma once

#include <string>

#include "core/localization/localized_text.h"
#include "core/storage/plist/property_list_value.h"

namespace quillon {

// The texts of the About panel, built from this program's Info dictionary.
struct QuillonAboutContent {
  std::string version;  // "CFBundleShortVersionString", else "不明"
  std::string build;    // "CFBundleVersion", else "不明"

  static QuillonAboutContent fromInfoDictionary(const PropertyListValue::Dictionary& info);

  LocalizedText summary() const;
  static LocalizedText privacy();

  friend bool operator==(const QuillonAboutContent&, const QuillonAboutContent&) = default;
};

}  // namespace quillon
