#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/async/subscription.h"
#include "core/records/registry/managed_notch_app.h"
#include "core/records/registry/settings_store.h"

namespace quillon {

// The user's notch apps in memory: what the menu, the onboarding window, the router,
// the coordinator and the overlay read. Observers hear of every change of the list and
// only of real changes. While the store is protected (its stored value could not be
// read) the registry offers nothing to switch to and refuses every change.
class AppRegistry {
 public:
  // Loads the list from `store`.
  explicit AppRegistry(SettingsStore store);
  AppRegistry(const AppRegistry&) = delete;
  AppRegistry& operator=(const AppRegistry&) = delete;

  const std::vector<ManagedNotchApp>& apps() const { return apps_; }
  // Replaces the list; observers are told only when it differs.
  void setApps(std::vector<ManagedNotchApp> apps);

  SettingsStore& store() { return store_; }
  const SettingsStore& store() const { return store_; }

  // `observer` hears of every change of the list until the subscription ends.
  Subscription subscribeToChanges(std::function<void()> observer) { return observers_.subscribe(std::move(observer)); }

  // Previews of apps no longer listed may be deleted: the list is known and is not the
  // empty one a reset left behind.
  bool canPrunePreviews() const;
  // The enabled apps that can be switched to now, stably ordered by `order`.
  std::vector<ManagedNotchApp> launchableApps() const;
  // The registered app `id` when it is among `launchableApps`; checks that app alone,
  // which matters to callers asking every second.
  std::optional<ManagedNotchApp> launchableApp(const Uuid& id) const;
  // The same app with its validated bundle location, for one validation instead of two.
  std::optional<std::pair<ManagedNotchApp, Url>> launchableAppAndURL(const Uuid& id) const;
  // The app's validated bundle location, when it is still the registered app.
  std::optional<Url> resolvedURL(const ManagedNotchApp& app) const;

  // Registers the bundle, or refreshes and re-enables the entry with its identifier.
  // The entry as stored, or none when the bundle or the save is refused.
  std::optional<ManagedNotchApp> add(const Url& bundleURL);
  bool remove(const Uuid& id);

 private:
  // The validated bundle location when the app is launchable.
  std::optional<Url> launchableURL(const ManagedNotchApp& app) const;

  // The last passed check of each app, with the identity of the files it read (bundle
  // folder, Info.plist, executable) taken right after it. While they are the same files,
  // unchanged, its answer stands: the every-second question about the current app then
  // costs three looks at files instead of resolving every path component and reading
  // the Info.plist again.
  struct PassedCheck {
    ManagedNotchApp app;
    Url url;
    std::string executable;
    std::vector<std::int64_t> identity;
  };
  mutable std::vector<PassedCheck> passedChecks_;

  SettingsStore store_;
  std::vector<ManagedNotchApp> apps_;
  ObserverList<> observers_;
};

}  // namespace quillon
