#include "core/input/launch_input_trace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support/manual_clock.h"
#include "support/storage_test_files.h"
#include "support/temporary_directory.h"

namespace quillon {
namespace {

using testing_files::readText;

TEST(LaunchInputTrace, AcceptsOnlyAbsoluteSingleLinePathsWithinTheLimit) {
  const std::string longest = "/" + std::string(LaunchInputTrace::maximumPathBytes - 1, 'a');
  EXPECT_EQ(LaunchInputTrace::acceptedPath("/tmp/trace.log"), "/tmp/trace.log");
  EXPECT_EQ(LaunchInputTrace::acceptedPath(longest.c_str()), longest);
  for (const std::string& rejected :
       {std::string(), std::string("trace.log"), longest + "a", std::string("/tmp/a\nb"), std::string("/tmp/a\rb")}) {
    EXPECT_EQ(LaunchInputTrace::acceptedPath(rejected.c_str()), std::nullopt) << rejected;
  }
  EXPECT_EQ(LaunchInputTrace::acceptedPath(nullptr), std::nullopt);
}

TEST(LaunchInputTrace, AppendsOneStampedLinePerRecordToAPrivateFile) {
  TemporaryDirectory directory;
  const auto path = directory / "trace.log";
  ManualClock clock(12.5);
  {
    LaunchInputTrace trace(path.string(), clock);
    trace.record("tap.start requested");
    clock.advance(0.25);
    trace.record("router.press\nblocked=phase-active\r");
    trace.flush();
    EXPECT_EQ(readText(path), "12.500000 tap.start requested\n12.750000 router.press blocked=phase-active \n");
  }
  struct stat status {};
  ASSERT_EQ(::stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  LaunchInputTrace again(path.string(), clock);
  again.record("next run");
  again.flush();
  EXPECT_EQ(readText(path).substr(readText(path).size() - 19), "12.750000 next run\n");
}

TEST(LaunchInputTrace, StopsAtItsLimits) {
  TemporaryDirectory directory;
  ManualClock clock(1);

  const auto full = directory / "full.log";
  std::ofstream(full) << std::string(LaunchInputTrace::maximumBytes, 'x');
  LaunchInputTrace fullTrace(full.string(), clock);
  fullTrace.record("dropped");
  fullTrace.flush();
  EXPECT_EQ(std::filesystem::file_size(full), LaunchInputTrace::maximumBytes);

  const auto lines = directory / "lines.log";
  LaunchInputTrace lineTrace(lines.string(), clock);
  for (std::size_t i = 0; i < LaunchInputTrace::maximumLines + 5; ++i) lineTrace.record("r");
  lineTrace.flush();
  const std::string written = readText(lines);
  EXPECT_EQ(static_cast<std::size_t>(std::count(written.begin(), written.end(), '\n')), LaunchInputTrace::maximumLines);

  const auto bytes = directory / "bytes.log";
  LaunchInputTrace byteTrace(bytes.string(), clock);
  const std::string big(999, 'b');  // 1009 bytes per line with its stamp
  for (int i = 0; i < 300; ++i) byteTrace.record(big);
  byteTrace.flush();
  EXPECT_EQ(std::filesystem::file_size(bytes), 259u * 1009u);
}

// Only a regular file of this user with one link is written: anything else at the path
// is left exactly as it was, the writer never waits on it, and the refusal is said once.
TEST(LaunchInputTrace, RefusesEveryPathThatIsNotThisUsersOwnFile) {
  TemporaryDirectory directory;
  ManualClock clock(1);
  const auto target = directory / "target";
  const auto path = directory / "trace.log";
  const struct {
    const char* name;
    std::function<void()> make;
    std::function<bool()> untouched;
  } cases[] = {
      {"symbolic link",
       [&] {
         std::ofstream(target) << "kept";
         std::filesystem::create_symlink(target, path);
       },
       [&] { return readText(target) == "kept"; }},
      {"dangling symbolic link", [&] { std::filesystem::create_symlink(target, path); },
       [&] { return !std::filesystem::exists(target); }},
      {"FIFO without a reader", [&] { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); },
       [&] { return std::filesystem::is_fifo(path); }},
      {"another owner's file",
       [&] {
         std::ofstream(path) << "kept";
         ASSERT_EQ(::chown(path.c_str(), 4242, 4242), 0);
       },
       [&] { return readText(path) == "kept"; }},
      {"second link",
       [&] {
         std::ofstream(target) << "kept";
         std::filesystem::create_hard_link(target, path);
       },
       [&] { return readText(target) == "kept"; }},
      {"directory", [&] { std::filesystem::create_directory(path); }, [&] { return std::filesystem::is_empty(path); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(path);
    std::filesystem::remove_all(target);
    c.make();
    if (::geteuid() != 0 && std::string(c.name) == "another owner's file") continue;  // chown needs root
    std::vector<std::string> refusals;
    LaunchInputTrace trace(path.string(), clock);
    trace.reportRefusalTo([&](std::string_view line) { refusals.emplace_back(line); });
    for (int i = 0; i < 3; ++i) trace.record("tap.start requested");
    trace.flush();
    EXPECT_TRUE(c.untouched());
    EXPECT_EQ(refusals, std::vector<std::string>{LaunchInputTrace::refusedLine});
  }
}

}  // namespace
}  // namespace quillon
