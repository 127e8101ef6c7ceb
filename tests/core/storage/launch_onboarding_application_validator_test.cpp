#include "core/storage/launch_onboarding_application_validator.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

#include "registry_test_support.h"

namespace quillon {
namespace {

using namespace registry_testing;
namespace fs = std::filesystem;
using E = LaunchOnboardingApplicationError;

std::optional<E> errorOf(const Url& url) {
  try {
    LaunchOnboardingApplicationValidator::validate(url);
    return std::nullopt;
  } catch (E error) {
    return error;
  }
}

struct OnboardingValidatorTest : ::testing::Test, RegistryFixture {};

TEST_F(OnboardingValidatorTest, EachFaultIsReportedWithTheFirstRuleItBreaks) {
  struct Row {
    const char* name;
    std::function<Url()> make;
    std::optional<E> expected;
  };
  const std::vector<Row> rows = {
      {"a web URL", [] { return *Url::parse("https://example.com/A.app/"); }, E::notLocalApplication},
      {"no .app extension", [&] { return directoryUrl(TestAppBundle{}.writeTo(root / "A.bundle")); }, E::notLocalApplication},
      {"extension written APP", [&] { return directoryUrl(TestAppBundle{}.writeTo(root / "Upper.APP")); }, std::nullopt},
      {"moved away", [&] { return directoryUrl(root / "Gone.app"); }, E::unavailable},
      {"a file named .app", [&] { writeTestFile(root / "F.app", "x"); return directoryUrl(root / "F.app"); }, E::unavailable},
      {"a folder merely named .app",
       [&] {
         fs::create_directories(root / "Folder.app/Contents/MacOS");
         return directoryUrl(root / "Folder.app");
       },
       E::invalidBundle},
      {"a framework",
       [&] {
         TestAppBundle layout;
         layout.packageType = "FMWK";
         return directoryUrl(layout.writeTo(root / "Kit.app"));
       },
       E::invalidBundle},
      {"no identifier",
       [&] {
         TestAppBundle layout;
         layout.identifier.reset();
         return directoryUrl(layout.writeTo(root / "NoId.app"));
       },
       E::invalidBundle},
      {"an empty identifier",
       [&] {
         TestAppBundle layout;
         layout.identifier = "";
         return directoryUrl(layout.writeTo(root / "EmptyId.app"));
       },
       E::invalidBundle},
      {"this program (even without an executable)",
       [&] {
         TestAppBundle layout;
         layout.identifier = "com.quillon.app";
         layout.writeExecutable = false;
         return directoryUrl(layout.writeTo(root / "Quillon.app"));
       },
       E::isQuillon},
      {"an executable linking outside the bundle",
       [&] {
         TestAppBundle layout;
         layout.writeExecutable = false;
         layout.writeTo(root / "Escape.app");
         fs::create_symlink("/bin/sh", root / "Escape.app/Contents/MacOS/Notch");
         return directoryUrl(root / "Escape.app");
       },
       E::missingExecutable},
      {"no executable",
       [&] {
         TestAppBundle layout;
         layout.writeExecutable = false;
         return directoryUrl(layout.writeTo(root / "NoExec.app"));
       },
       E::missingExecutable},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.expected, errorOf(row.make()));
  }
}

TEST_F(OnboardingValidatorTest, ALinkValidatesToItsTargetAndNamesFollowTheirPrecedence) {
  TestAppBundle named;
  named.name = "Bundle Name";
  const auto target = named.writeTo(root / "Real" / "Target.app");
  fs::create_directory_symlink(target, root / "Shortcut.app");
  const auto validated = LaunchOnboardingApplicationValidator::validate(directoryUrl(root / "Shortcut.app"));
  EXPECT_EQ(canonicalDirectoryUrl(target), validated.url);
  EXPECT_EQ("com.example.notch", validated.bundleIdentifier);
  EXPECT_EQ("Bundle Name", validated.displayName);

  named.displayName = "Display";
  EXPECT_EQ("Display", LaunchOnboardingApplicationValidator::validate(directoryUrl(named.writeTo(root / "D.app"))).displayName);
  EXPECT_EQ("Plain Name",
            LaunchOnboardingApplicationValidator::validate(directoryUrl(TestAppBundle{}.writeTo(root / "Plain Name.app"))).displayName);
}

TEST_F(OnboardingValidatorTest, EveryErrorHasItsFixedText) {
  const std::vector<std::pair<E, const char*>> texts = {
      {E::notLocalApplication, "Finderから、このMacにある.appを追加してください。"},
      {E::unavailable, "アプリを読み込めません。移動・削除されていないか確認してください。"},
      {E::invalidBundle, "有効なアプリではありません。.appという名前だけのフォルダは登録できません。"},
      {E::missingExecutable, "実行ファイルを確認できません。アプリのインストールを確認してください。"},
      {E::isQuillon, "Quillon自身は切替先に登録できません。使いたいノッチアプリを追加してください。"},
  };
  for (const auto& [error, text] : texts) EXPECT_EQ(text, description(error));
}

}  // namespace
}  // namespace quillon
