#include "core/records/registry/managed_notch_app.h"

#include <algorithm>
#include <array>
#include <set>

#include "core/bundle/bundle.h"
#include "core/bundle/own_application.h"
#include "core/bundle/validated_launch_application.h"
#include "core/storage/files/launch_storage_error.h"

namespace quillon {

namespace {

// UTF-8 encodings of the white space and line-break characters other than ASCII.
constexpr std::array<std::string_view, 19> unicodeSpaces = {
    "\xC2\x85",     "\xC2\xA0",     "\xE1\x9A\x80", "\xE2\x80\x80", "\xE2\x80\x81", "\xE2\x80\x82", "\xE2\x80\x83",
    "\xE2\x80\x84", "\xE2\x80\x85", "\xE2\x80\x86", "\xE2\x80\x87", "\xE2\x80\x88", "\xE2\x80\x89", "\xE2\x80\x8A",
    "\xE2\x80\xA8", "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F", "\xE3\x80\x80",
};

bool isAsciiSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::size_t leadingSpaceLength(std::string_view text) {
  if (text.empty()) return 0;
  if (isAsciiSpace(text.front())) return 1;
  for (auto space : unicodeSpaces) {
    if (text.substr(0, space.size()) == space) return space.size();
  }
  return 0;
}

std::size_t trailingSpaceLength(std::string_view text) {
  if (text.empty()) return 0;
  if (isAsciiSpace(text.back())) return 1;
  for (auto space : unicodeSpaces) {
    if (text.size() >= space.size() && text.substr(text.size() - space.size()) == space) return space.size();
  }
  return 0;
}

std::string withoutExtension(const std::string& name) {
  const auto dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

std::string trimmedWhitespaceAndNewlines(std::string_view text) {
  while (const auto length = leadingSpaceLength(text)) text.remove_prefix(length);
  while (const auto length = trailingSpaceLength(text)) text.remove_suffix(length);
  return std::string(text);
}

std::vector<ManagedNotchApp> ManagedNotchApp::normalized(std::vector<ManagedNotchApp> apps) {
  if (apps.size() > maximumCount) throw LaunchStorageError::invalidRecord;
  std::set<Uuid> ids;
  std::set<std::string> identifiers;
  for (const auto& app : apps) {
    if (!ids.insert(app.id).second || !identifiers.insert(app.bundleIdentifier).second) {
      throw LaunchStorageError::invalidRecord;
    }
  }
  std::stable_sort(apps.begin(), apps.end(), [](const auto& a, const auto& b) { return a.order < b.order; });

  for (std::size_t index = 0; index < apps.size(); ++index) {
    auto& app = apps[index];
    if (trimmedWhitespaceAndNewlines(app.bundleIdentifier).empty() ||
        app.bundleIdentifier == OwnApplication::ownBundleIdentifier || !app.bundleURL.isFileUrl() ||
        !hasApplicationExtension(app.bundleURL)) {
      throw LaunchStorageError::invalidRecord;
    }
    app.bundleURL = Url::fileUrl(standardizePath(app.bundleURL.path()), true);
    app.order = static_cast<std::int64_t>(index);
    if (const auto bundle = Bundle::open(app.bundleURL); bundle && bundle->bundleIdentifier() == app.bundleIdentifier) {
      if (auto name = bundle->displayName()) app.displayName = std::move(*name);
    }
    app.displayName = trimmedWhitespaceAndNewlines(app.displayName);
    if (app.displayName.empty()) app.displayName = withoutExtension(app.bundleURL.lastPathComponent());
  }
  return apps;
}

}  // namespace quillon
