#include "core/records/registry/registry_stored_record.h"

#include <algorithm>
#include <limits>
#include <nlohmann/json.hpp>

namespace quillon {

namespace {

using Json = nlohmann::json;

// The registry nests three levels (envelope, apps, app). Anything far deeper is not a
// registry, and refusing it before parsing keeps a hostile blob of brackets from
// costing memory and time in the parser.
constexpr int maximumJsonDepth = 16;

bool withinDepth(std::span<const std::uint8_t> json) {
  int depth = 0;
  bool inString = false;
  bool escaped = false;
  for (const auto byte : json) {
    if (inString) {
      if (escaped) {
        escaped = false;
      } else if (byte == '\\') {
        escaped = true;
      } else if (byte == '"') {
        inString = false;
      }
    } else if (byte == '"') {
      inString = true;
    } else if (byte == '[' || byte == '{') {
      if (++depth > maximumJsonDepth) return false;
    } else if (byte == ']' || byte == '}') {
      --depth;
    }
  }
  return true;
}

std::optional<Json> parse(std::span<const std::uint8_t> bytes) {
  if (!withinDepth(bytes)) return std::nullopt;
  Json json = Json::parse(bytes.begin(), bytes.end(), nullptr, /*allow_exceptions=*/false);
  if (json.is_discarded()) return std::nullopt;
  return json;
}

const Json* member(const Json& object, const char* key) {
  const auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

std::optional<std::string> stringMember(const Json& object, const char* key) {
  const auto* value = member(object, key);
  if (value == nullptr || !value->is_string()) return std::nullopt;
  return value->get<std::string>();
}

std::optional<std::int64_t> integerMember(const Json& object, const char* key) {
  const auto* value = member(object, key);
  if (value == nullptr) return std::nullopt;
  if (value->is_number_unsigned()) {
    const auto number = value->get<std::uint64_t>();
    if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
    return static_cast<std::int64_t>(number);
  }
  if (value->is_number_integer()) return value->get<std::int64_t>();
  return std::nullopt;
}

std::optional<bool> boolMember(const Json& object, const char* key) {
  const auto* value = member(object, key);
  if (value == nullptr || !value->is_boolean()) return std::nullopt;
  return value->get<bool>();
}

Json toJson(const ManagedNotchApp& app) {
  return Json{{"id", app.id.toString()},
              {"bundleIdentifier", app.bundleIdentifier},
              {"bundleURL", app.bundleURL.absoluteString()},
              {"displayName", app.displayName},
              {"order", app.order},
              {"enabled", app.enabled},
              {"visibilityDriver", app.visibilityDriver}};
}

std::optional<ManagedNotchApp> appFromJson(const Json& json) {
  if (!json.is_object()) return std::nullopt;
  const auto idText = stringMember(json, "id");
  const auto identifier = stringMember(json, "bundleIdentifier");
  const auto urlText = stringMember(json, "bundleURL");
  const auto name = stringMember(json, "displayName");
  const auto order = integerMember(json, "order");
  const auto enabled = boolMember(json, "enabled");
  const auto driver = stringMember(json, "visibilityDriver");
  if (!idText || !identifier || !urlText || !name || !order || !enabled || !driver) return std::nullopt;
  const auto id = Uuid::parse(*idText);
  const auto url = Url::parse(*urlText);
  if (!id || !url) return std::nullopt;
  return ManagedNotchApp{*id, *identifier, *url, *name, *order, *enabled, *driver};
}

std::optional<std::vector<ManagedNotchApp>> appsFromJson(const Json& json) {
  if (!json.is_array()) return std::nullopt;
  std::vector<ManagedNotchApp> apps;
  apps.reserve(std::min<std::size_t>(json.size(), ManagedNotchApp::maximumCount + 1));
  for (const auto& item : json) {
    auto app = appFromJson(item);
    if (!app) return std::nullopt;
    apps.push_back(std::move(*app));
  }
  return apps;
}

Bytes serialized(const Json& json) {
  // Invalid UTF-8 cannot come from our own fields' sources, but a replaced character
  // is better than an exception escaping a save.
  return bytesOf(json.dump(-1, ' ', false, Json::error_handler_t::replace));
}

}  // namespace

Bytes RegistryJsonCoding::encodeApps(const std::vector<ManagedNotchApp>& apps) {
  Json array = Json::array();
  for (const auto& app : apps) array.push_back(toJson(app));
  return serialized(array);
}

std::optional<std::vector<ManagedNotchApp>> RegistryJsonCoding::decodeApps(std::span<const std::uint8_t> bytes) {
  const auto json = parse(bytes);
  if (!json) return std::nullopt;
  return appsFromJson(*json);
}

Bytes RegistryJsonCoding::encodeRecord(const RegistryStoredRecord& record) {
  Json apps = Json::array();
  for (const auto& app : record.apps) apps.push_back(toJson(app));
  return serialized(Json{{"version", record.version}, {"apps", apps}, {"preservePreviews", record.preservePreviews}});
}

std::optional<RegistryStoredRecord> RegistryJsonCoding::decodeRecord(std::span<const std::uint8_t> bytes) {
  const auto json = parse(bytes);
  if (!json || !json->is_object()) return std::nullopt;
  const auto version = integerMember(*json, "version");
  const auto preserve = boolMember(*json, "preservePreviews");
  const auto* appsJson = member(*json, "apps");
  if (!version || !preserve || appsJson == nullptr) return std::nullopt;
  auto apps = appsFromJson(*appsJson);
  if (!apps) return std::nullopt;
  return RegistryStoredRecord{*version, std::move(*apps), *preserve};
}

}  // namespace quillon
