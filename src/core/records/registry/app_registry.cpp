#include "core/records/registry/app_registry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "core/bundle/bundle.h"
#include "core/bundle/validated_launch_application.h"
#include "core/records/registry/launch_onboarding_application_validator.h"
#include "core/storage/files/launch_storage_error.h"
#include "core/support/file_times.h"

namespace quillon {
namespace {

// Device, inode, mode, size and the modification and change times of each file, in one
// list; empty when one of them cannot be looked at.
std::vector<std::int64_t> identityOf(std::initializer_list<std::string> paths) {
  std::vector<std::int64_t> identity;
  for (const auto& path : paths) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return {};
    const timespec modified = modificationTimeOf(info);
    const timespec changed = changeTimeOf(info);
    identity.insert(identity.end(), {static_cast<std::int64_t>(info.st_dev), static_cast<std::int64_t>(info.st_ino),
                                     static_cast<std::int64_t>(info.st_mode), static_cast<std::int64_t>(info.st_size),
                                     modified.tv_sec, modified.tv_nsec, changed.tv_sec, changed.tv_nsec});
  }
  return identity;
}

std::string infoPlistOf(const Url& bundle) { return bundle.path() + "/Contents/Info.plist"; }

}  // namespace

AppRegistry::AppRegistry(SettingsStore store) : store_(std::move(store)) { apps_ = store_.loadApps(); }

void AppRegistry::setApps(std::vector<ManagedNotchApp> apps) {
  if (apps == apps_) return;
  apps_ = std::move(apps);
  passedChecks_.clear();
  observers_.notify();
}

bool AppRegistry::canPrunePreviews() const { return !store_.loadFailed() && !store_.preservesPreviewsAfterRecovery(); }

std::optional<Url> AppRegistry::resolvedURL(const ManagedNotchApp& app) const {
  if (store_.loadFailed()) return std::nullopt;
  const auto validated = LaunchOnboardingApplicationValidator::validate(app.bundleURL);
  if (!validated.hasValue() || validated.value().bundleIdentifier != app.bundleIdentifier) return std::nullopt;
  return validated.value().url;
}

std::optional<Url> AppRegistry::launchableURL(const ManagedNotchApp& app) const {
  if (!app.enabled) return std::nullopt;
  const auto passed = std::find_if(passedChecks_.begin(), passedChecks_.end(),
                                   [&](const PassedCheck& check) { return check.app == app; });
  if (passed != passedChecks_.end()) {
    const auto identity = identityOf({app.bundleURL.path(), infoPlistOf(passed->url), passed->executable});
    if (!identity.empty() && identity == passed->identity) return passed->url;
    passedChecks_.erase(passed);
  }

  auto url = resolvedURL(app);
  if (!url || !hasApplicationExtension(*url)) return std::nullopt;
  const auto bundle = Bundle::open(*url);
  if (!bundle || bundle->bundleIdentifier() != app.bundleIdentifier) return std::nullopt;
  const auto executable = bundle->executableURL();
  if (!executable || ::access(executable->path().c_str(), X_OK) != 0) return std::nullopt;
  auto identity = identityOf({app.bundleURL.path(), infoPlistOf(*url), executable->path()});
  if (!identity.empty()) passedChecks_.push_back({app, *url, executable->path(), std::move(identity)});
  return url;
}

std::vector<ManagedNotchApp> AppRegistry::launchableApps() const {
  if (store_.loadFailed()) return {};
  std::vector<ManagedNotchApp> launchable;
  for (const auto& app : apps_) {
    if (launchableURL(app)) launchable.push_back(app);
  }
  std::stable_sort(launchable.begin(), launchable.end(),
                   [](const auto& a, const auto& b) { return a.order < b.order; });
  return launchable;
}

std::optional<ManagedNotchApp> AppRegistry::launchableApp(const Uuid& id) const {
  auto found = launchableAppAndURL(id);
  return found ? std::optional(std::move(found->first)) : std::nullopt;
}

std::optional<std::pair<ManagedNotchApp, Url>> AppRegistry::launchableAppAndURL(const Uuid& id) const {
  if (store_.loadFailed()) return std::nullopt;
  // The first entry with the identifier, as a search of the ordered list would find.
  std::optional<std::pair<ManagedNotchApp, Url>> found;
  for (const auto& app : apps_) {
    if (app.id != id || (found && app.order >= found->first.order)) continue;
    if (auto url = launchableURL(app)) found.emplace(app, std::move(*url));
  }
  return found;
}

std::optional<ManagedNotchApp> AppRegistry::add(const Url& bundleURL) {
  if (store_.loadFailed()) return std::nullopt;
  const auto checked = LaunchOnboardingApplicationValidator::validate(bundleURL);
  if (!checked.hasValue()) return std::nullopt;
  const LaunchOnboardingApplication& validated = checked.value();
  auto updated = apps_;
  Uuid affected;
  const auto existing = std::find_if(updated.begin(), updated.end(), [&](const auto& app) {
    return app.bundleIdentifier == validated.bundleIdentifier;
  });
  if (existing != updated.end()) {
    existing->bundleURL = validated.url;
    existing->displayName = validated.displayName;
    existing->enabled = true;
    affected = existing->id;
  } else {
    affected = Uuid::random();
    updated.push_back(ManagedNotchApp{affected, validated.bundleIdentifier, validated.url, validated.displayName,
                                      static_cast<std::int64_t>(updated.size()), true,
                                      std::string(ManagedNotchApp::suppressionDriver)});
  }
  try {
    updated = ManagedNotchApp::normalized(std::move(updated));
  } catch (const Error&) {
    return std::nullopt;
  }
  if (!store_.saveApps(updated)) return std::nullopt;
  setApps(updated);
  const auto stored = std::find_if(apps_.begin(), apps_.end(), [&](const auto& app) { return app.id == affected; });
  return stored == apps_.end() ? std::nullopt : std::optional<ManagedNotchApp>(*stored);
}

bool AppRegistry::remove(const Uuid& id) {
  if (store_.loadFailed()) return false;
  auto updated = apps_;
  const auto found = std::find_if(updated.begin(), updated.end(), [&](const auto& app) { return app.id == id; });
  if (found == updated.end()) return false;
  updated.erase(found);
  try {
    updated = ManagedNotchApp::normalized(std::move(updated));
  } catch (const Error&) {
    return false;
  }
  if (!store_.saveApps(updated)) return false;
  setApps(std::move(updated));
  return true;
}

}  // namespace quillon
