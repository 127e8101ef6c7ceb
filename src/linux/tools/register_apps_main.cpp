// Registers application bundles in Quillon's registry the way the first-run guide does
// (the same validation, the same messages), without a window. scripts/demo uses it to
// fill the registry of its own data folder before it starts quillon.
//
//   quillon_register_apps BUNDLE.app...
//
// The registry and the data directory are the ones quillon itself would use, found from
// the same variables (XDG_CONFIG_HOME, XDG_DATA_HOME, HOME). Exits 1 when any bundle was
// refused; each line of the report goes to standard output.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <QCoreApplication>

#include "core/localization/l10n.h"
#include "core/product/app_registration_service.h"
#include "core/product/data_directory.h"
#include "core/records/registry/app_registry.h"
#include "desktop/qt_user_defaults.h"
#include "linux/environment_locale.h"

int main(int argc, char** argv) {
  using namespace quillon;
  if (argc < 2) {
    std::fprintf(stderr, "usage: quillon_register_apps BUNDLE.app...\n");
    return 2;
  }
  L10n::usePreferredLanguage(EnvironmentLocale().preferredLanguage());
  QCoreApplication application(argc, argv);
  const auto applicationSupport =
      DataDirectory::xdgApplicationSupportPath(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
  if (!applicationSupport) {
    std::fprintf(stderr, "quillon_register_apps: neither XDG_DATA_HOME nor HOME is an absolute path\n");
    return 1;
  }
  DataDirectory::createMissingPrivately(*applicationSupport);
  const Url dataDirectory = DataDirectory::url(Url::fileUrl(*applicationSupport, true));
  DataDirectory::createMissingPrivately(dataDirectory.path());

  auto defaults = QtUserDefaults::forApplication();
  AppRegistry registry(SettingsStore(*defaults, dataDirectory));
  if (registry.store().loadFailed()) {
    std::fprintf(stderr, "%s\n", registry.store().storageError().value_or("").c_str());
    return 1;
  }
  std::vector<Url> bundles;
  for (int i = 1; i < argc; ++i) bundles.push_back(Url::fileUrl(std::filesystem::absolute(argv[i]).string(), true));
  const auto report = AppRegistrationService::registerApplications(bundles, registry);
  for (const auto& line : report.lines) std::printf("%s\n", L10n::text(line).c_str());
  return report.failedCount == 0 ? 0 : 1;
}
