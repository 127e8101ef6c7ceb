#include "core/capture/launch_preview_disk_queue.h"

#include <gtest/gtest.h>

#include <exception>
#include <filesystem>
#include <optional>
#include <vector>

#include "core/async/clock.h"
#include "core/async/poll_main_loop.h"
#include "core/storage/files/launch_storage_error.h"
#include "support/fake_image_codec.h"
#include "support/storage_test_files.h"
#include "support/temporary_directory.h"

namespace quillon {
namespace {

// On real threads: the operations run on a worker while the main thread goes on asking
// for more, as when the user deletes an image the gesture has just kept.
TEST(LaunchPreviewDiskQueue, ADeletionAfterASaveWinsAndQuittingKeepsWhatWasAskedFor) {
  TemporaryDirectory temporary;
  const auto folder = temporary / "com.quillon.app" / "Previews";
  FakeImageCodec codec;
  SystemClock clock;
  PollMainLoop loop(clock);
  const LaunchPreviewArchive archive(
      LaunchPreviewArchive::defaultDirectory(Url::fileUrl((temporary / "com.quillon.app").string(), true)), 16, codec,
      clock);
  const LaunchAppPreview preview{Url::fileUrl((temporary / "Notch.app").string(), true), Bitmap::transparent(8, 4), 1};
  const Uuid dropped = Uuid::random();
  const Uuid kept = Uuid::random();
  std::vector<int> told;  // 0 saved, 1 removed, 2 failed
  const auto tell = [&](int what) {
    return [&told, what](const Result<void>& result) { told.push_back(result.hasValue() ? what : 2); };
  };
  {
    LaunchPreviewDiskQueue queue(loop, archive);
    for (int i = 0; i < 20; ++i) {
      queue.enqueue([&](const LaunchPreviewArchive& a) { a.save(preview, dropped); }, tell(0));
      queue.enqueue([&](const LaunchPreviewArchive& a) { a.remove(dropped); }, tell(1));
    }
    queue.enqueue([](const LaunchPreviewArchive&) { throw LaunchStorageError::unavailable(5); }, tell(2));
    loop.runUntil([&] { return told.size() == 41; }, 20.0);
    ASSERT_EQ(41u, told.size());
    for (std::size_t i = 0; i < 40; ++i) EXPECT_EQ(static_cast<int>(i % 2), told[i]) << "outcomes in order";
    EXPECT_EQ(2, told[40]);
    EXPECT_EQ(std::set<std::string>{}, testing_files::entries(folder));

    // Quitting right after asking: the queue's end waits for the write.
    queue.enqueue([&](const LaunchPreviewArchive& a) { a.save(preview, kept); }, tell(0));
  }
  EXPECT_EQ(std::set<std::string>{LaunchPreviewArchive::fileName(kept)}, testing_files::entries(folder));
}

}  // namespace
}  // namespace quillon
