#include "core/bundle/validated_launch_application.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/bundle/launch_bundle_location.h"
#include "core/bundle/launch_lifecycle_error.h"
#include "support/registry_test_support.h"

namespace quillon {
namespace {

using namespace registry_testing;
namespace fs = std::filesystem;
using E = LaunchLifecycleError;

struct ValidatedLaunchApplicationTest : ::testing::Test, RegistryFixture {};

TEST_F(ValidatedLaunchApplicationTest, AcceptsARealBundleInEitherInfoFormatUnderAnyName) {
  for (bool binary : {false, true}) {
    SCOPED_TRACE(binary);
    const auto app = root / (binary ? "ノッチ アプリ%20.app" : "Xml.app");
    const auto validated =
        ValidatedLaunchApplication::validate(bundleAt(app, [&](TestAppBundle& b) { b.binaryInfo = binary; }));
    EXPECT_EQ(directoryUrl(app), validated.url);
    EXPECT_EQ(Url::fileUrl((app / "Contents/MacOS/Notch").string(), false), validated.executableURL);
  }
}

TEST_F(ValidatedLaunchApplicationTest, RefusesEveryFaultyBundleWithItsCase) {
  const auto noExecutable = [](TestAppBundle& b) { b.writeExecutable = false; };
  const auto executableNamedAfterTheBundle = [](const fs::path& p) {
    writeTestFile(p / "Contents/MacOS" / p.stem(), "#!/bin/sh\n", 0755);
  };
  const struct {
    const char* name;
    std::function<Url(const fs::path&)> make;
    std::optional<Error> expected;
  } rows[] = {
      {"folder merely named .app",
       [](const fs::path& p) {
         fs::create_directories(p);
         return directoryUrl(p);
       },
       E::invalidApplicationURL},
      {"framework", [](const fs::path& p) { return bundleAt(p, [](TestAppBundle& b) { b.packageType = "FMWK"; }); },
       E::invalidApplicationURL},
      {"package type missing",
       [](const fs::path& p) { return bundleAt(p, [](TestAppBundle& b) { b.packageType.reset(); }); },
       E::invalidApplicationURL},
      {"no .app extension", [](const fs::path& p) { return bundleAt(p.parent_path() / "N.bundle"); },
       E::invalidApplicationURL},
      {"extension written APP", [](const fs::path& p) { return bundleAt(p.parent_path() / "Upper.APP"); },
       std::nullopt},
      {"not a file URL", [](const fs::path&) { return *Url::parse("https://example.com/Notch.app/"); },
       E::invalidApplicationURL},
      {"nothing there", [](const fs::path& p) { return directoryUrl(p); }, E::invalidApplicationURL},
      {"a regular file",
       [](const fs::path& p) {
         writeTestFile(p, "x");
         return Url::fileUrl(p.string(), false);
       },
       E::invalidApplicationURL},
      {"corrupt Info.plist",
       [](const fs::path& p) {
         return bundleAt(p, {},
                         [](const fs::path& a) { writeTestFile(a / "Contents/Info.plist", "<plist><dict><key>"); });
       },
       E::invalidApplicationURL},
      {"Info.plist whose root is an array",
       [](const fs::path& p) {
         return bundleAt(p, {}, [](const fs::path& a) {
           writeTestFile(a / "Contents/Info.plist", "<plist version=\"1.0\"><array/></plist>");
         });
       },
       E::invalidApplicationURL},
      {"Info.plist is a FIFO (must not block)",
       [](const fs::path& p) {
         return bundleAt(
             p, [](TestAppBundle& b) { b.writeInfo = false; },
             [](const fs::path& a) { ::mkfifo((a / "Contents/Info.plist").c_str(), 0644); });
       },
       E::invalidApplicationURL},
      {"Info.plist over the size bound",
       [](const fs::path& p) {
         return bundleAt(
             p, [](TestAppBundle& b) { b.extraInfo["Pad"] = PropertyListValue{std::string(1024 * 1024, 'x')}; });
       },
       E::invalidApplicationURL},
      {"executable missing", [&](const fs::path& p) { return bundleAt(p, noExecutable); }, E::invalidExecutable},
      {"executable not executable",
       [](const fs::path& p) { return bundleAt(p, [](TestAppBundle& b) { b.executableMode = 0644; }); },
       E::invalidExecutable},
      {"executable is a directory",
       [&](const fs::path& p) {
         return bundleAt(p, noExecutable,
                         [](const fs::path& a) { fs::create_directories(a / "Contents/MacOS/Notch"); });
       },
       E::invalidExecutable},
      {"executable is a link pointing outside the bundle",
       [&](const fs::path& p) {
         return bundleAt(p, noExecutable, [](const fs::path& a) {
           writeTestFile(a.parent_path() / "elsewhere", "#!/bin/sh\n", 0755);
           fs::create_symlink(a.parent_path() / "elsewhere", a / "Contents/MacOS/Notch");
         });
       },
       E::invalidExecutable},
      {"executable named with a path leading outside",
       [](const fs::path& p) {
         writeTestFile(p.parent_path() / "outside", "#!/bin/sh\n", 0755);
         return bundleAt(p, [](TestAppBundle& b) {
           b.executable = "../../../outside";
           b.writeExecutable = false;
         });
       },
       E::invalidExecutable},
      {"executable is a link staying inside the bundle",
       [&](const fs::path& p) {
         return bundleAt(p, noExecutable, [](const fs::path& a) {
           writeTestFile(a / "Contents/Resources/real", "#!/bin/sh\n", 0755);
           fs::create_symlink("../Resources/real", a / "Contents/MacOS/Notch");
         });
       },
       std::nullopt},
      {"no CFBundleExecutable: the bundle's name is the executable",
       [&](const fs::path& p) {
         return bundleAt(
             p, [](TestAppBundle& b) { b.executable.reset(); }, executableNamedAfterTheBundle);
       },
       std::nullopt},
      {"an empty CFBundleExecutable likewise",
       [&](const fs::path& p) {
         return bundleAt(
             p, [](TestAppBundle& b) { b.executable = ""; }, executableNamedAfterTheBundle);
       },
       std::nullopt},
      {"an app reached through a symbolic link",
       [](const fs::path& p) {
         bundleAt(p.parent_path() / "Real" / p.filename());
         fs::create_directory_symlink(p.parent_path() / "Real" / p.filename(), p);
         return directoryUrl(p);
       },
       std::nullopt},
  };
  int index = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const fs::path dir = root / std::to_string(index++);
    const Url url = row.make(dir / "Notch.app");
    try {
      const auto validated = ValidatedLaunchApplication::validate(url);
      EXPECT_EQ(std::nullopt, row.expected);
      EXPECT_EQ(canonicalDirectoryUrl(url.path()), validated.url);
    } catch (const Error& error) {
      EXPECT_EQ(row.expected, error);
    }
  }
}

TEST_F(ValidatedLaunchApplicationTest, CanonicalFormResolvesDotsAndLinksAndNeedsADirectory) {
  fs::create_directories(root / "a" / "B.app");
  fs::create_directory_symlink(root / "a", root / "alias");
  writeTestFile(root / "file", "x");
  const Url expected = Url::fileUrl((root / "a" / "B.app").string(), true);
  EXPECT_EQ(expected, ValidatedLaunchApplication::canonical(Url::fileUrl((root / "a/./x/../B.app").string(), false)));
  EXPECT_EQ(expected, ValidatedLaunchApplication::canonical(Url::fileUrl((root / "alias/B.app").string(), true)));
  EXPECT_EQ(expected, ValidatedLaunchApplication::canonical(
                          *Url::parse("file://" + percentEncodePath((root / "a//B.app/").string()))));
  EXPECT_EQ(std::nullopt, ValidatedLaunchApplication::canonical(Url::fileUrl((root / "missing").string(), true)));
  EXPECT_EQ(std::nullopt, ValidatedLaunchApplication::canonical(Url::fileUrl((root / "file").string(), false)));
  // Comparisons also cover executables, and locations that are gone compare as written.
  EXPECT_EQ(Url::fileUrl((root / "file").string(), false),
            canonicalLocation(Url::fileUrl((root / "alias/../file").string(), false)));
  EXPECT_EQ(Url::fileUrl((root / "missing").string(), true),
            canonicalLocation(Url::fileUrl((root / "a/../missing").string(), true)));
}

}  // namespace
}  // namespace quillon
