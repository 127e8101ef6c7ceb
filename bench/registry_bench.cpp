// The registry with a full list of real bundles on disk: a load (which normalizes and
// opens every bundle), an add of one more app through the whole path (validate, load
// before saving, normalize, encode, write, read back), the launchable subset the menu
// and the router ask for, and the decoder alone on the same stored blob.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "core/records/registry/app_registry.h"
#include "core/records/registry/registry_stored_record.h"
#include "core/records/registry/settings_store.h"
#include "support/fake_user_defaults.h"
#include "support/temporary_directory.h"
#include "support/test_app_bundle.h"

namespace quillon {
namespace {

struct Fixture {
  TemporaryDirectory temporary;
  FakeUserDefaults defaults;
  Url dataDirectory = directoryUrl(temporary / "com.quillon.app");

  // `count` registered apps, each a real bundle.
  explicit Fixture(int count) {
    std::vector<ManagedNotchApp> apps;
    for (int i = 0; i < count; ++i) {
      TestAppBundle layout;
      layout.identifier = "com.example.app" + std::to_string(i);
      layout.name = "App " + std::to_string(i);
      const auto path = layout.writeTo(temporary / ("App" + std::to_string(i) + ".app"));
      apps.push_back({Uuid::random(), *layout.identifier, directoryUrl(path), *layout.name, i, true, "suppression"});
    }
    defaults.set(SettingsStore::defaultAppsKey, PropertyListValue{RegistryJsonCoding::encodeApps(apps)});
  }
  SettingsStore store() { return SettingsStore(defaults, dataDirectory); }
};

void BM_LoadApps(benchmark::State& state) {
  Fixture fixture(static_cast<int>(state.range(0)));
  auto store = fixture.store();
  for (auto _ : state) benchmark::DoNotOptimize(store.loadApps());
}
BENCHMARK(BM_LoadApps)->Arg(16)->Arg(255)->Unit(benchmark::kMillisecond);

void BM_DecodeStoredBlobOnly(benchmark::State& state) {
  Fixture fixture(static_cast<int>(state.range(0)));
  const auto blob = *fixture.defaults.data(SettingsStore::defaultAppsKey);
  for (auto _ : state) benchmark::DoNotOptimize(RegistryJsonCoding::decodeApps(blob));
}
BENCHMARK(BM_DecodeStoredBlobOnly)->Arg(255)->Unit(benchmark::kMillisecond);

void BM_AddOneMoreApp(benchmark::State& state) {
  Fixture fixture(static_cast<int>(state.range(0)));
  TestAppBundle layout;
  layout.identifier = "com.example.added";
  const auto added = directoryUrl(layout.writeTo(fixture.temporary / "Added.app"));
  AppRegistry registry(fixture.store());
  const auto before = registry.apps();
  for (auto _ : state) {
    benchmark::DoNotOptimize(registry.add(added));
    state.PauseTiming();
    registry.store().saveApps(before);
    registry.setApps(before);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_AddOneMoreApp)->Arg(16)->Arg(255)->Unit(benchmark::kMillisecond);

void BM_LaunchableApps(benchmark::State& state) {
  Fixture fixture(static_cast<int>(state.range(0)));
  AppRegistry registry(fixture.store());
  for (auto _ : state) benchmark::DoNotOptimize(registry.launchableApps());
}
BENCHMARK(BM_LaunchableApps)->Arg(16)->Arg(255)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillon

BENCHMARK_MAIN();
