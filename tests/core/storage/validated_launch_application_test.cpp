#include "core/storage/validated_launch_application.h"

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

#include "core/switching/launch_lifecycle_error.h"
#include "support/temporary_directory.h"
#include "support/test_app_bundle.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

std::optional<LaunchLifecycleError> validationError(const Url& url) {
  try {
    ValidatedLaunchApplication::validate(url);
    return std::nullopt;
  } catch (LaunchLifecycleError error) {
    return error;
  }
}

struct ValidatedLaunchApplicationTest : ::testing::Test {
  TemporaryDirectory temporary;
  fs::path root = fs::canonical(temporary.path());
};

TEST_F(ValidatedLaunchApplicationTest, AcceptsARealBundleInEitherInfoFormat) {
  for (bool binary : {false, true}) {
    SCOPED_TRACE(binary ? "binary Info.plist" : "XML Info.plist");
    TestAppBundle spec;
    spec.binaryInfo = binary;
    const auto app = spec.writeTo(root / (binary ? "Binary.app" : "Xml.app"));
    const auto validated = ValidatedLaunchApplication::validate(directoryUrl(app));
    EXPECT_EQ(canonicalDirectoryUrl(app), validated.url);
    EXPECT_EQ(Url::fileUrl((app / "Contents/MacOS/Notch").string(), false), validated.executableURL);
  }
}

// Each row builds one bundle on disk (or something in its place) and names the error.
struct Fault {
  const char* name;
  std::function<Url(const fs::path& root)> make;
  std::optional<LaunchLifecycleError> expected;
};

TEST_F(ValidatedLaunchApplicationTest, RefusesEveryFaultyBundleWithItsCase) {
  using E = LaunchLifecycleError;
  const std::vector<Fault> faults = {
      {"folder merely named .app",
       [](const fs::path& r) {
         fs::create_directories(r / "Plain.app");
         return directoryUrl(r / "Plain.app");
       },
       E::invalidApplicationURL},
      {"framework",
       [](const fs::path& r) {
         TestAppBundle spec;
         spec.packageType = "FMWK";
         return directoryUrl(spec.writeTo(r / "Kit.app"));
       },
       E::invalidApplicationURL},
      {"package type missing",
       [](const fs::path& r) {
         TestAppBundle spec;
         spec.packageType.reset();
         return directoryUrl(spec.writeTo(r / "Untyped.app"));
       },
       E::invalidApplicationURL},
      {"package type of the wrong kind",
       [](const fs::path& r) {
         TestAppBundle spec;
         spec.packageType.reset();
         spec.extraInfo["CFBundlePackageType"] = PropertyListValue{std::int64_t{1}};
         return directoryUrl(spec.writeTo(r / "Numeric.app"));
       },
       E::invalidApplicationURL},
      {"valid bundle without the app extension",
       [](const fs::path& r) { return directoryUrl(TestAppBundle{}.writeTo(r / "Notch.bundle")); },
       E::invalidApplicationURL},
      {"extension written APP",
       [](const fs::path& r) { return directoryUrl(TestAppBundle{}.writeTo(r / "Upper.APP")); },
       std::nullopt},
      {"not a file URL",
       [](const fs::path&) { return *Url::parse("https://example.com/Notch.app/"); },
       E::invalidApplicationURL},
      {"nothing at the path",
       [](const fs::path& r) { return directoryUrl(r / "Missing.app"); },
       E::invalidApplicationURL},
      {"a regular file named .app",
       [](const fs::path& r) {
         writeTestFile(r / "File.app", "not a bundle");
         return Url::fileUrl((r / "File.app").string(), false);
       },
       E::invalidApplicationURL},
      {"corrupt Info.plist",
       [](const fs::path& r) {
         TestAppBundle{}.writeTo(r / "Corrupt.app");
         writeTestFile(r / "Corrupt.app/Contents/Info.plist", "<?xml version=\"1.0\"?><plist><dict><key>");
         return directoryUrl(r / "Corrupt.app");
       },
       E::invalidApplicationURL},
      {"Info.plist whose root is an array",
       [](const fs::path& r) {
         TestAppBundle{}.writeTo(r / "Array.app");
         writeTestFile(r / "Array.app/Contents/Info.plist",
                       "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>APPL</string></array></plist>");
         return directoryUrl(r / "Array.app");
       },
       E::invalidApplicationURL},
      {"Info.plist is a FIFO (must not block)",
       [](const fs::path& r) {
         TestAppBundle spec;
         spec.writeInfo = false;
         spec.writeTo(r / "Fifo.app");
         ::mkfifo((r / "Fifo.app/Contents/Info.plist").c_str(), 0644);
         return directoryUrl(r / "Fifo.app");
       },
       E::invalidApplicationURL},
      {"Info.plist over the size bound",
       [](const fs::path& r) {
         TestAppBundle spec;
         spec.extraInfo["Padding"] = PropertyListValue{std::string(1024 * 1024, 'x')};
         return directoryUrl(spec.writeTo(r / "Huge.app"));
       },
       E::invalidApplicationURL},
      {"executable missing",
       [](const fs::path& r) {
         TestAppBundle spec;
         spec.writeExecutable = false;
         return directoryUrl(spec.writeTo(r / "NoExec.app"));
       },
       E::invalidExecutable},
      {"executable not executable",
       [](const fs::path& r) {
         TestAppBundle spec;
         spec.executableMode = 0644;
         return directoryUrl(spec.writeTo(r / "NoMode.app"));
       },
       E::invalidExecutable},
      {"executable is a directory",
       [](const fs::path& r) {
         TestAppBundle spec;
         spec.writeExecutable = false;
         spec.writeTo(r / "DirExec.app");
         fs::create_directories(r / "DirExec.app/Contents/MacOS/Notch");
         return directoryUrl(r / "DirExec.app");
       },
       E::invalidExecutable},
      {"executable is a link pointing outside the bundle",
       [](const fs::path& r) {
         TestAppBundle spec;
         spec.writeExecutable = false;
         spec.writeTo(r / "Escape.app");
         writeTestFile(r / "elsewhere", "#!/bin/sh\n", 0755);
         fs::create_symlink(r / "elsewhere", r / "Escape.app/Contents/MacOS/Notch");
         return directoryUrl(r / "Escape.app");
       },
       E::invalidExecutable},
      {"executable named with a path leading outside",
       [](const fs::path& r) {
         TestAppBundle spec;
         spec.executable = "../../../outside";
         spec.writeExecutable = false;
         writeTestFile(r / "outside", "#!/bin/sh\n", 0755);
         return directoryUrl(spec.writeTo(r / "Dots.app"));
       },
       E::invalidExecutable},
      {"executable is a link staying inside the bundle",
       [](const fs::path& r) {
         TestAppBundle spec;
         spec.writeExecutable = false;
         spec.writeTo(r / "Inner.app");
         writeTestFile(r / "Inner.app/Contents/Resources/real", "#!/bin/sh\n", 0755);
         fs::create_symlink("../Resources/real", r / "Inner.app/Contents/MacOS/Notch");
         return directoryUrl(r / "Inner.app");
       },
       std::nullopt},
      {"no CFBundleExecutable: the bundle's name is the executable",
       [](const fs::path& r) {
         TestAppBundle spec;
         spec.executable.reset();
         spec.writeTo(r / "Named.app");
         writeTestFile(r / "Named.app/Contents/MacOS/Named", "#!/bin/sh\n", 0755);
         return directoryUrl(r / "Named.app");
       },
       std::nullopt},
  };
  for (const auto& fault : faults) {
    SCOPED_TRACE(fault.name);
    EXPECT_EQ(fault.expected, validationError(fault.make(root)));
  }
}

TEST_F(ValidatedLaunchApplicationTest, ALinkToABundleValidatesToItsTarget) {
  const auto app = TestAppBundle{}.writeTo(root / "Real" / "Notch.app");
  fs::create_symlink(app, root / "Link.app");
  const auto validated = ValidatedLaunchApplication::validate(directoryUrl(root / "Link.app"));
  EXPECT_EQ(canonicalDirectoryUrl(app), validated.url);
  EXPECT_EQ(Url::fileUrl((app / "Contents/MacOS/Notch").string(), false), validated.executableURL);
}

TEST_F(ValidatedLaunchApplicationTest, CanonicalFormResolvesDotsAndLinksAndNeedsADirectory) {
  fs::create_directories(root / "a" / "B.app");
  fs::create_directory_symlink(root / "a", root / "alias");
  writeTestFile(root / "file", "x");
  const Url expected = Url::fileUrl((root / "a" / "B.app").string(), true);

  EXPECT_EQ(expected, ValidatedLaunchApplication::canonical(Url::fileUrl((root / "a/./x/../B.app").string(), false)));
  EXPECT_EQ(expected, ValidatedLaunchApplication::canonical(Url::fileUrl((root / "alias/B.app").string(), true)));
  EXPECT_EQ(expected, ValidatedLaunchApplication::canonical(*Url::parse("file://" + percentEncodePath((root / "a//B.app/").string()))));
  EXPECT_EQ(std::nullopt, ValidatedLaunchApplication::canonical(Url::fileUrl((root / "missing").string(), true)));
  EXPECT_EQ(std::nullopt, ValidatedLaunchApplication::canonical(Url::fileUrl((root / "file").string(), false)));
  EXPECT_EQ(std::nullopt, ValidatedLaunchApplication::canonical(*Url::parse("https://example.com/B.app/")));
}

TEST_F(ValidatedLaunchApplicationTest, PathsWithSpacesAndNonAsciiNamesSurviveTheRoundTrip) {
  const auto app = TestAppBundle{}.writeTo(root / "ノッチ アプリ%20.app");
  const auto validated = ValidatedLaunchApplication::validate(directoryUrl(app));
  EXPECT_EQ(app.string(), validated.url.path());
}

}  // namespace
}  // namespace quillon
