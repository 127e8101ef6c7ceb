#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "core/support/uuid.h"
#include "storage_writer_contents.h"
#include "support/child_process.h"
#include "support/storage_test_files.h"
#include "support/temporary_directory.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

bool isTemporaryName(const std::string& name) {
  const std::string prefix = ".write-";
  if (name.rfind(prefix, 0) != 0) return false;
  const auto uuid = Uuid::parse(name.substr(prefix.size()));
  return uuid && uuid->toString() == name.substr(prefix.size());
}

// Kills a writer with SIGKILL at many different points of its write loop. Whatever the
// point, the target holds one of the two contents in full, and the only debris is
// ".write-<UUID>" temporaries.
TEST(StorageFaultInjection, KilledWritersLeaveOldOrNewContentAndOnlyTemporaries) {
  constexpr int runs = 240;
  TemporaryDirectory temporary;
  const fs::path root = temporary / "com.quillon.app";
  const fs::path target = root / "onboarding.plist";
  int killedBeforeFirstWrite = 0;
  int leftTemporary = 0;
  int heldFirst = 0;
  int heldSecond = 0;

  for (int run = 0; run < runs; ++run) {
    SCOPED_TRACE(::testing::Message() << "run " << run);
    {
      ChildProcess writer({QUILLON_STORAGE_WRITER, root.string(), "onboarding.plist"});
      // Let it finish 0 to 2 writes, then yield a varying number of times, so the kill
      // lands at different points of the next write.
      ASSERT_TRUE(writer.readOutput(static_cast<std::size_t>(run % 3), 30.0)) << writer.errorText();
      for (int spin = 0; spin < (run * 7) % 23; ++spin) ::sched_yield();
      const int status = writer.killAndWait(SIGKILL);
      ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended on its own: " << writer.errorText();
    }

    if (!fs::exists(root) || !fs::exists(fs::symlink_status(target))) {
      ++killedBeforeFirstWrite;
      EXPECT_EQ(0, run % 3) << "a completed write is missing";
    } else {
      const Bytes content = testing_files::readFile(target);
      const bool first = content == storageWriterFirstContent();
      const bool second = content == storageWriterSecondContent();
      EXPECT_TRUE(first || second) << "torn target of " << content.size() << " bytes";
      heldFirst += first ? 1 : 0;
      heldSecond += second ? 1 : 0;
    }
    if (fs::exists(root)) {
      for (const auto& entry : fs::directory_iterator(root)) {
        const std::string name = entry.path().filename().string();
        if (name == "onboarding.plist") continue;
        EXPECT_TRUE(isTemporaryName(name)) << "left behind: " << name;
        ++leftTemporary;
        fs::remove(entry.path());
      }
    }
  }
  // How the kills fell, for the record; the invariant above is what the test asserts.
  std::printf("runs %d: killed before the first write %d, temporaries left %d, old/new content %d/%d\n", runs,
              killedBeforeFirstWrite, leftTemporary, heldFirst, heldSecond);
}

}  // namespace
}  // namespace quillon
