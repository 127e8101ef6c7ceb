// The real quillon executable, started as a user would start it on an X display: one
// process per user owns the data directory; a second exits silently; an unusable
// location or a missing display stops the start with the alert's text on the terminal
// and status 1.

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "support/child_process.h"
#include "support/temporary_directory.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

constexpr double deadline = 30.0;  // generous: CI machines are shared
const std::string startedLine = "[Quillon/launch] product initialized; permission monitor controls Command input availability; "
    "hosts are unmodified";
const std::string secondInstanceLine =
    "[Quillon/startup] another instance owns the local data and input; closing this instance";

unsigned modeOf(const fs::path& path) {
  struct stat info {};
  ::lstat(path.c_str(), &info);
  return info.st_mode & 07777;
}

struct SingleInstanceProcessTest : ::testing::Test {
  TemporaryDirectory temporary;
  // A fresh account: the Application Support directory does not exist yet.
  fs::path applicationSupport = temporary / "home" / ".local" / "share";
  fs::path dataDirectory = applicationSupport / "com.quillon.app";
  fs::path lockFile = dataDirectory / ".instance.lock";

  std::unique_ptr<ChildProcess> startQuillon(std::vector<std::string> environment = {}) {
    fs::create_directories(temporary / "runtime");
    fs::permissions(temporary / "runtime", fs::perms::owner_all);
    environment.insert(environment.end(), {"HOME=" + (temporary / "home").string(), "XDG_DATA_HOME=",
                                           "XDG_CONFIG_HOME=" + (temporary / "config").string(),
                                           "XDG_RUNTIME_DIR=" + (temporary / "runtime").string(),
                                           "QUILLON_LOG=stderr", "LC_ALL=ja_JP.UTF-8"});
    return std::make_unique<ChildProcess>(std::vector<std::string>{QUILLON_EXECUTABLE}, environment);
  }
};

TEST_F(SingleInstanceProcessTest, ASecondProcessExitsSilentlyAndLeavesTheFirstRunning) {
  auto first = startQuillon();
  ASSERT_TRUE(first->waitForErrorLine(startedLine, deadline)) << first->errorText();
  EXPECT_EQ(0700u, modeOf(applicationSupport));
  EXPECT_EQ(0700u, modeOf(dataDirectory));
  EXPECT_EQ(0600u, modeOf(lockFile));
  ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(lockFile)));

  auto second = startQuillon();
  const auto status = second->waitForExit(deadline);
  ASSERT_TRUE(status) << "the second instance kept running";
  ASSERT_TRUE(WIFEXITED(*status));
  EXPECT_EQ(0, WEXITSTATUS(*status));
  EXPECT_EQ(secondInstanceLine + "\n", second->errorText()) << "exactly the log line, and no alert";

  EXPECT_TRUE(first->isRunning());
  EXPECT_EQ(0600u, modeOf(lockFile));

  // Quitting keeps the lock file; the next start takes it over.
  const int firstStatus = first->killAndWait(SIGTERM);
  ASSERT_TRUE(WIFEXITED(firstStatus));
  EXPECT_EQ(0, WEXITSTATUS(firstStatus));
  EXPECT_TRUE(fs::exists(lockFile)) << "the lock file must never be removed";
  auto third = startQuillon();
  EXPECT_TRUE(third->waitForErrorLine(startedLine, deadline)) << third->errorText();
}

// Every kind of unsafe lock file is refused in the core tests; here one shows that the
// refusal reaches the terminal as the alert's text (the alert itself is on the screen)
// and ends the process with status 1, also when a signal ends it before the user
// answered.
TEST_F(SingleInstanceProcessTest, AnUnsafeLockFileStopsTheStartWithTheAlert) {
  fs::create_directories(dataDirectory);
  fs::create_symlink(temporary / "elsewhere", lockFile);
  auto quillon = startQuillon();
  ASSERT_TRUE(quillon->waitForErrorLine("[閉じる]", deadline)) << quillon->errorText();
  const std::string& text = quillon->errorText();
  EXPECT_EQ(0u, text.find("Quillonを開始できません\n")) << text;
  EXPECT_NE(std::string::npos, text.find(dataDirectory.string() + "\n")) << text;
  EXPECT_NE(std::string::npos, text.find("\n登録・保存画像・起動中のアプリは変更していません。\n[閉じる]\n")) << text;
  EXPECT_EQ(std::string::npos, text.find(startedLine)) << text;
  const int status = quillon->killAndWait(SIGTERM);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(1, WEXITSTATUS(status));
  EXPECT_FALSE(fs::exists(temporary / "elsewhere"));
}

TEST_F(SingleInstanceProcessTest, WithoutADisplayTheAlertTextGoesToTheTerminal) {
  auto quillon = startQuillon({"DISPLAY=:none"});
  const auto status = quillon->waitForExit(deadline);
  ASSERT_TRUE(status) << quillon->errorText();
  ASSERT_TRUE(WIFEXITED(*status));
  EXPECT_EQ(1, WEXITSTATUS(*status));
  EXPECT_EQ("Quillonを開始できません\n画面を表示できません。Xディスプレイ「:none」に接続できませんでした。\n"
            "登録・保存画像・起動中のアプリは変更していません。\n",
            quillon->errorText());
  EXPECT_FALSE(fs::exists(lockFile)) << "nothing is touched before the platform exists";
}

}  // namespace
}  // namespace quillon
