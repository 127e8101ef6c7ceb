#include "core/app/launch_single_instance.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "core/app/launch_instance_acquisition.h"
#include "core/storage/launch_storage_error.h"
#include "support/scoped_environment.h"
#include "support/temporary_directory.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using Kind = LaunchInstanceAcquisition::Kind;

struct SingleInstanceTest : ::testing::Test {
  TemporaryDirectory temporary;
  fs::path dataDirectory = temporary / "com.quillon.app";
  fs::path lockFile = dataDirectory / ".instance.lock";
  Url url = Url::fileUrl(dataDirectory.string(), true);
  ScopedEnvironment japanese{"LC_ALL", "ja_JP.UTF-8"};

  static unsigned modeOf(const fs::path& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info.st_mode & 07777;
  }
  std::string unavailableMessage(LaunchStorageError error) const {
    return "Quillonの起動を確認できません。次の保存先のアクセス権やリンクを確認して、もう一度開いてください。\n" +
           dataDirectory.string() + "\n" + error.description();
  }
};

TEST_F(SingleInstanceTest, FirstAcquireCreatesAPrivateDirectoryAndLockFile) {
  auto acquisition = LaunchSingleInstance::acquire(url);
  ASSERT_EQ(Kind::acquired, acquisition.kind()) << acquisition.message();
  EXPECT_EQ(0700u, modeOf(dataDirectory));
  EXPECT_EQ(0600u, modeOf(lockFile));
  auto instance = acquisition.takeInstance();
  ASSERT_TRUE(instance);
  // The lock is really held: another open file description cannot take it.
  const int other = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
  EXPECT_EQ(-1, ::flock(other, LOCK_EX | LOCK_NB));
  EXPECT_EQ(EWOULDBLOCK, errno);
  ::close(other);
}

TEST_F(SingleInstanceTest, ASecondAcquireWhileHeldIsAlreadyRunningAndReleaseKeepsTheFile) {
  auto first = LaunchSingleInstance::acquire(url);
  ASSERT_EQ(Kind::acquired, first.kind());
  std::optional<LaunchSingleInstance> held = first.takeInstance();
  EXPECT_EQ(Kind::alreadyRunning, LaunchSingleInstance::acquire(url).kind());
  held.reset();
  EXPECT_TRUE(fs::exists(lockFile)) << "the lock file must never be removed";
  EXPECT_EQ(Kind::acquired, LaunchSingleInstance::acquire(url).kind());
}

TEST_F(SingleInstanceTest, AnExistingLockFileIsTightenedTo0600) {
  fs::create_directory(dataDirectory);
  std::ofstream(lockFile) << "left by someone";
  ::chmod(lockFile.c_str(), 0644);
  ::chmod(dataDirectory.c_str(), 0755);
  ASSERT_EQ(Kind::acquired, LaunchSingleInstance::acquire(url).kind());
  EXPECT_EQ(0600u, modeOf(lockFile));
  EXPECT_EQ(0700u, modeOf(dataDirectory));
}

TEST_F(SingleInstanceTest, UnsafeLockFilesStopTheLaunchWithTheMessage) {
  const fs::path elsewhere = temporary / "elsewhere";
  const struct {
    const char* name;
    std::function<void()> plant;
  } cases[] = {
      {"symbolic link", [&] { fs::create_symlink(elsewhere, lockFile); }},
      {"dangling symbolic link", [&] { fs::create_symlink(temporary / "nothing", lockFile); }},
      {"directory", [&] { fs::create_directory(lockFile); }},
      {"hard link", [&] {
         std::ofstream(elsewhere) << "";
         fs::create_hard_link(elsewhere, lockFile);
       }},
      {"fifo", [&] { ::mkfifo(lockFile.c_str(), 0600); }},
      {"foreign owner", [&] {
         std::ofstream(lockFile) << "";
         ASSERT_EQ(0, ::lchown(lockFile.c_str(), 4242, 4242));
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (std::string(c.name) == "foreign owner" && ::geteuid() != 0) continue;  // giving files away needs root
    fs::remove_all(dataDirectory);
    fs::remove_all(elsewhere);
    fs::create_directory(dataDirectory);
    c.plant();
    auto acquisition = LaunchSingleInstance::acquire(url);
    EXPECT_EQ(Kind::unavailable, acquisition.kind());
    EXPECT_EQ(unavailableMessage(LaunchStorageError::unsafeLocation()), acquisition.message());
    EXPECT_FALSE(fs::exists(elsewhere) && fs::is_regular_file(elsewhere) && fs::file_size(elsewhere) > 0);
  }
}

TEST_F(SingleInstanceTest, AnUnsafeDataDirectoryStopsTheLaunch) {
  fs::create_directory(temporary / "real");
  fs::create_directory_symlink(temporary / "real", dataDirectory);
  auto acquisition = LaunchSingleInstance::acquire(url);
  EXPECT_EQ(Kind::unavailable, acquisition.kind());
  EXPECT_EQ(unavailableMessage(LaunchStorageError::unsafeLocation()), acquisition.message());
  EXPECT_FALSE(fs::exists(temporary / "real" / ".instance.lock"));
}

TEST_F(SingleInstanceTest, AMissingApplicationSupportDirectoryIsUnavailable) {
  const Url orphan = Url::fileUrl((temporary / "missing" / "com.quillon.app").string(), true);
  auto acquisition = LaunchSingleInstance::acquire(orphan);
  EXPECT_EQ(Kind::unavailable, acquisition.kind());
  EXPECT_NE(std::string::npos, acquisition.message().find(LaunchStorageError::unavailable(ENOENT).description()));
}

}  // namespace
}  // namespace quillon
