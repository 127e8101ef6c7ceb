#include "sample_notch_identity.h"

#include <plist/plist.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string_view>
#include <utility>

namespace quillon {
namespace {

// Owns a plist tree; plist_free releases the whole tree, so only the root is held.
struct PlistFree {
  void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

std::optional<std::string> stringValue(plist_t dict, const char* key) {
  plist_t node = plist_dict_get_item(dict, key);
  if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) {
    return std::nullopt;
  }
  char* raw = nullptr;
  plist_get_string_val(node, &raw);
  if (raw == nullptr) {
    return std::nullopt;
  }
  std::string value(raw);
  std::free(raw);  // libplist 2.2 hands out malloc'd copies
  return value;
}

std::optional<std::uint32_t> parseColor(const std::string& text) {
  if (text.size() != 7 || text[0] != '#') {
    return std::nullopt;
  }
  std::uint32_t value = 0;
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    std::uint32_t digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<std::uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<std::uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<std::uint32_t>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    value = (value << 4U) | digit;
  }
  return value;
}

// Sets `value` from the string at `key` when there is one; false, with a reason in
// `error`, when that string names none of the choices.
template <class Choice>
bool readChoice(plist_t dict, const char* key, std::initializer_list<std::pair<std::string_view, Choice>> choices,
                Choice& value, std::string& error) {
  const auto text = stringValue(dict, key);
  if (!text) {
    return true;
  }
  for (const auto& [name, choice] : choices) {
    if (*text == name) {
      value = choice;
      return true;
    }
  }
  error = std::string("unknown ") + key + ": " + *text;
  return false;
}

}  // namespace

std::optional<SampleNotchIdentity> readSampleNotchIdentity(const std::string& plistPath, std::string& error) {
  std::ifstream in(plistPath, std::ios::binary);
  if (!in) {
    error = "cannot open " + plistPath;
    return std::nullopt;
  }
  const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (data.empty() || data.size() > std::size_t{1024} * 1024) {
    error = "unexpected size of " + plistPath;
    return std::nullopt;
  }
  plist_t raw = nullptr;
  plist_from_memory(data.data(), static_cast<std::uint32_t>(data.size()), &raw);
  const PlistPtr root(raw);
  if (!root || plist_get_node_type(raw) != PLIST_DICT) {
    error = "not a property-list dictionary: " + plistPath;
    return std::nullopt;
  }

  SampleNotchIdentity identity;
  if (auto bundleName = stringValue(raw, "CFBundleName")) {
    identity.bundleName = *bundleName;
    identity.name = *bundleName;
  }
  if (auto name = stringValue(raw, "CFBundleDisplayName")) {
    identity.name = *name;
  }
  identity.bundleIdentifier = stringValue(raw, "CFBundleIdentifier").value_or("");
  if (auto color = stringValue(raw, "QuillonSampleColor")) {
    auto parsed = parseColor(*color);
    if (!parsed) {
      error = "QuillonSampleColor is not #RRGGBB: " + *color;
      return std::nullopt;
    }
    identity.color = *parsed;
  }
  using namespace std::string_view_literals;
  if (!readChoice(raw, "QuillonSampleStyle",
                  {{"rings"sv, SampleNotchStyle::rings},
                   {"bars"sv, SampleNotchStyle::bars},
                   {"dots"sv, SampleNotchStyle::dots}},
                  identity.style, error) ||
      !readChoice(raw, "QuillonSampleWindowKind",
                  {{"override-redirect"sv, SampleNotchWindowKind::overrideRedirect},
                   {"dock"sv, SampleNotchWindowKind::dock},
                   {"above"sv, SampleNotchWindowKind::above}},
                  identity.windowKind, error) ||
      !readChoice(raw, "QuillonSampleBehavior",
                  {{"exitOnTerm"sv, SampleNotchBehavior::exitOnTerm},
                   {"ignoreTerm"sv, SampleNotchBehavior::ignoreTerm},
                   {"exitAtOnce"sv, SampleNotchBehavior::exitAtOnce}},
                  identity.behavior, error)) {
    return std::nullopt;
  }
  return identity;
}

std::string ownBundleInfoPlistPath() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) {
    return {};
  }
  return (exe.parent_path().parent_path() / "Info.plist").string();
}

}  // namespace quillon
