#pragma once

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "core/records/registry/managed_notch_app.h"
#include "core/records/registry/settings_store.h"
#include "support/fake_user_defaults.h"
#include "support/temporary_directory.h"
#include "support/test_app_bundle.h"

namespace quillon::registry_testing {

// Writes a bundle shaped by `tweak` at `path`, runs `after` on it and returns its URL.
inline Url bundleAt(const std::filesystem::path& path, const std::function<void(TestAppBundle&)>& tweak = {},
                    const std::function<void(const std::filesystem::path&)>& after = {}) {
  TestAppBundle layout;
  if (tweak) tweak(layout);
  layout.writeTo(path);
  if (after) after(path);
  return directoryUrl(path);
}

// One stored entry as JSON, with every key present; tests remove or retype keys.
inline nlohmann::json entry(const std::string& identifier, const std::string& path, std::int64_t order,
                            const std::string& id = Uuid::random().toString()) {
  return {{"id", id},
          {"bundleIdentifier", identifier},
          {"bundleURL", Url::fileUrl(path, true).absoluteString()},
          {"displayName", identifier},
          {"order", order},
          {"enabled", true},
          {"visibilityDriver", "suppression"}};
}

inline Bytes blobOf(const nlohmann::json& json) { return bytesOf(json.dump()); }

// A registry on a fake defaults domain, with real bundles and a real backup directory
// in a temporary folder. Texts are compared in Japanese, the default language.
struct RegistryFixture {
  TemporaryDirectory temporary;
  std::filesystem::path root = std::filesystem::canonical(temporary.path());
  std::filesystem::path dataDirectory = root / "com.quillon.app";
  FakeUserDefaults defaults;

  SettingsStore makeStore() { return SettingsStore(defaults, directoryUrl(dataDirectory)); }
  void store(const Bytes& blob) { defaults.set(SettingsStore::defaultAppsKey, PropertyListValue{blob}); }
  std::optional<PropertyListValue> stored() const { return defaults.object(SettingsStore::defaultAppsKey); }

  std::filesystem::path app(const std::string& name, const std::string& identifier) {
    bundleAt(root / (name + ".app"), [&](TestAppBundle& b) {
      b.identifier = identifier;
      b.name = name;
    });
    return root / (name + ".app");
  }

  std::vector<std::string> backups() const {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& item : std::filesystem::directory_iterator(dataDirectory, ignored)) {
      names.push_back(item.path().filename().string());
    }
    return names;
  }
};

}  // namespace quillon::registry_testing
