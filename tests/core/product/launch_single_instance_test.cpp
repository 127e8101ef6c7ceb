#include "core/product/launch_single_instance.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "core/async/clock.h"
#include "core/async/poll_main_loop.h"
#include "core/product/launch_instance_acquisition.h"
#include "core/product/launch_instance_requests.h"
#include "core/storage/files/launch_storage_error.h"
#include "support/temporary_directory.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using Kind = LaunchInstanceAcquisition::Kind;

unsigned modeOf(const fs::path& path) {
  struct stat info {};
  ::lstat(path.c_str(), &info);
  return info.st_mode & 07777;
}

struct SingleInstanceTest : ::testing::Test {
  TemporaryDirectory temporary;
  fs::path dataDirectory = temporary / "com.quillon.app";
  fs::path lockFile = dataDirectory / ".instance.lock";
  Url url = Url::fileUrl(dataDirectory.string(), true);
};

// Holding, releasing and never removing the lock run against real processes in
// tests/integration/app/quillon_process_test.cpp.
TEST_F(SingleInstanceTest, AnExistingLockFileIsTightenedTo0600) {
  fs::create_directory(dataDirectory);
  std::ofstream(lockFile) << "left by someone";
  ::chmod(lockFile.c_str(), 0644);
  ::chmod(dataDirectory.c_str(), 0755);
  ASSERT_EQ(Kind::acquired, LaunchSingleInstance::acquire(url).kind());
  EXPECT_EQ(0600u, modeOf(lockFile));
  EXPECT_EQ(0700u, modeOf(dataDirectory));
}

TEST_F(SingleInstanceTest, UnusableLocationsStopTheLaunchWithThePathAndTheReason) {
  const fs::path elsewhere = temporary / "elsewhere";
  const std::string unsafe = LaunchStorageError::unsafeLocation.description();
  const struct {
    const char* name;
    std::function<void()> plant;
  } cases[] = {
      {"symbolic link", [&] { fs::create_symlink(elsewhere, lockFile); }},
      {"dangling symbolic link", [&] { fs::create_symlink(temporary / "nothing", lockFile); }},
      {"directory", [&] { fs::create_directory(lockFile); }},
      {"hard link",
       [&] {
         std::ofstream(elsewhere) << "";
         fs::create_hard_link(elsewhere, lockFile);
       }},
      {"fifo", [&] { ::mkfifo(lockFile.c_str(), 0600); }},
      {"foreign owner",
       [&] {
         std::ofstream(lockFile) << "";
         ASSERT_EQ(0, ::lchown(lockFile.c_str(), 4242, 4242));
       }},
      {"linked data directory",
       [&] {
         fs::remove(dataDirectory);
         fs::create_directory(elsewhere);
         fs::create_directory_symlink(elsewhere, dataDirectory);
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
    EXPECT_NE(std::string::npos, acquisition.message().find(dataDirectory.string() + "\n" + unsafe))
        << acquisition.message();
    // Nothing was created or written through the planted entry.
    EXPECT_FALSE(fs::is_regular_file(elsewhere) && fs::file_size(elsewhere) > 0);
    EXPECT_FALSE(fs::exists(elsewhere / ".instance.lock"));
  }
  const fs::path orphan = temporary / "missing" / "com.quillon.app";
  auto acquisition = LaunchSingleInstance::acquire(Url::fileUrl(orphan.string(), true));
  EXPECT_EQ(Kind::unavailable, acquisition.kind());
  EXPECT_NE(std::string::npos,
            acquisition.message().find(orphan.string() + "\n" + LaunchStorageError::unavailable(ENOENT).description()));
}

// A second start passes its request to the running instance; with none listening, or a
// plain file planted where the pipe goes, nothing is written and the start says so.
TEST(LaunchInstanceRequests, ASecondStartsRequestReachesTheRunningInstanceOnly) {
  TemporaryDirectory directory;
  const Url url = Url::fileUrl(directory.path().string(), true);
  using Request = LaunchInstanceRequest;
  EXPECT_FALSE(LaunchInstanceRequests::send(url, Request::showSettings)) << "nobody listens";

  SystemClock clock;
  PollMainLoop loop(clock);
  std::vector<Request> received;
  auto requests = LaunchInstanceRequests::listen(url, loop, [&](Request request) { received.push_back(request); });
  ASSERT_TRUE(requests);
  EXPECT_TRUE(LaunchInstanceRequests::send(url, Request::showOnboarding));
  EXPECT_TRUE(LaunchInstanceRequests::send(url, Request::showSettings));
  EXPECT_TRUE(loop.runUntil([&] { return received.size() == 2; }, 10));
  EXPECT_EQ(received, (std::vector<Request>{Request::showOnboarding, Request::showSettings}));
  requests.reset();

  TemporaryDirectory planted;
  std::ofstream(planted / LaunchInstanceRequests::pipeName) << "settings\n";
  const Url plantedUrl = Url::fileUrl(planted.path().string(), true);
  EXPECT_FALSE(LaunchInstanceRequests::listen(plantedUrl, loop, [](Request) {}));
  EXPECT_FALSE(LaunchInstanceRequests::send(plantedUrl, Request::showSettings));
}

}  // namespace
}  // namespace quillon
