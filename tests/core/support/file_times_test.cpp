#include "core/support/file_times.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

// The two shapes of a stat record's times. Each platform's own record takes only one
// branch, so the other is compiled nowhere but here.
struct PosixRecord {
  timespec st_mtim;
  timespec st_ctim;
};
struct DarwinRecord {
  timespec st_mtimespec;
  timespec st_ctimespec;
};

TEST(FileTimes, ReadTheModificationAndChangeTimesOfEitherRecord) {
  const PosixRecord posix{{11, 12}, {21, 22}};
  const DarwinRecord darwin{{31, 32}, {41, 42}};
  EXPECT_EQ(11, modificationTimeOf(posix).tv_sec);
  EXPECT_EQ(12, modificationTimeOf(posix).tv_nsec);
  EXPECT_EQ(21, changeTimeOf(posix).tv_sec);
  EXPECT_EQ(32, modificationTimeOf(darwin).tv_nsec);
  EXPECT_EQ(41, changeTimeOf(darwin).tv_sec);
  EXPECT_EQ(42, changeTimeOf(darwin).tv_nsec);
}

}  // namespace
}  // namespace quillon
