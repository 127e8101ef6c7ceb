#include "core/records/registry/launch_onboarding_application_validator.h"

#include <gtest/gtest.h>

#include "support/registry_test_support.h"

namespace quillon {
namespace {

using namespace registry_testing;
namespace fs = std::filesystem;
using E = LaunchOnboardingApplicationError;

struct OnboardingValidatorTest : ::testing::Test, RegistryFixture {};

TEST_F(OnboardingValidatorTest, EachFaultIsReportedWithTheFirstRuleItBreaks) {
  const auto noExecutable = [](TestAppBundle& b) { b.writeExecutable = false; };
  const struct {
    const char* name;
    std::function<Url(const fs::path&)> make;
    std::optional<Error> expected;
  } rows[] = {
      {"a web URL", [](const fs::path&) { return *Url::parse("https://example.com/A.app/"); }, E::notLocalApplication},
      {"no .app extension", [](const fs::path& p) { return bundleAt(p.parent_path() / "A.bundle"); },
       E::notLocalApplication},
      {"extension written APP", [](const fs::path& p) { return bundleAt(p.parent_path() / "A.APP"); }, std::nullopt},
      {"moved away", [](const fs::path& p) { return directoryUrl(p); }, E::unavailable},
      {"a file named .app",
       [](const fs::path& p) {
         writeTestFile(p, "x");
         return directoryUrl(p);
       },
       E::unavailable},
      {"a folder merely named .app",
       [](const fs::path& p) {
         fs::create_directories(p / "Contents/MacOS");
         return directoryUrl(p);
       },
       E::invalidBundle},
      {"a framework", [](const fs::path& p) { return bundleAt(p, [](TestAppBundle& b) { b.packageType = "FMWK"; }); },
       E::invalidBundle},
      {"no identifier", [](const fs::path& p) { return bundleAt(p, [](TestAppBundle& b) { b.identifier.reset(); }); },
       E::invalidBundle},
      {"an empty identifier",
       [](const fs::path& p) { return bundleAt(p, [](TestAppBundle& b) { b.identifier = ""; }); }, E::invalidBundle},
      {"this program (even without an executable)",
       [](const fs::path& p) {
         return bundleAt(p, [](TestAppBundle& b) {
           b.identifier = "com.quillon.app";
           b.writeExecutable = false;
         });
       },
       E::isQuillon},
      {"an executable linking outside the bundle",
       [&](const fs::path& p) {
         return bundleAt(p, noExecutable,
                         [](const fs::path& a) { fs::create_symlink("/bin/sh", a / "Contents/MacOS/Notch"); });
       },
       E::missingExecutable},
      {"no executable", [&](const fs::path& p) { return bundleAt(p, noExecutable); }, E::missingExecutable},
  };
  int index = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const Url url = row.make(root / std::to_string(index++) / "A.app");
    EXPECT_EQ(row.expected, failure(LaunchOnboardingApplicationValidator::validate(url)));
  }
}

TEST_F(OnboardingValidatorTest, ALinkValidatesToItsTargetAndNamesFollowTheirPrecedence) {
  const auto target = root / "Real" / "Target.app";
  bundleAt(target, [](TestAppBundle& b) { b.name = "Bundle Name"; });
  fs::create_directory_symlink(target, root / "Shortcut.app");
  const auto validated = LaunchOnboardingApplicationValidator::validate(directoryUrl(root / "Shortcut.app")).value();
  EXPECT_EQ(canonicalDirectoryUrl(target), validated.url);
  EXPECT_EQ("com.example.notch", validated.bundleIdentifier);
  EXPECT_EQ("Bundle Name", validated.displayName);

  const auto named = bundleAt(root / "D.app", [](TestAppBundle& b) {
    b.name = "Name";
    b.displayName = "Display";
  });
  EXPECT_EQ("Display", LaunchOnboardingApplicationValidator::validate(named).value().displayName);
  EXPECT_EQ("Plain Name",
            LaunchOnboardingApplicationValidator::validate(bundleAt(root / "Plain Name.app")).value().displayName);
}

}  // namespace
}  // namespace quillon
