#include "core/capture/launch_preview_cache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "core/capture/snapshot_fixture.h"
#include "support/fake_image_codec.h"
#include "support/fake_log_sink.h"
#include "support/manual_main_loop.h"
#include "support/scoped_environment.h"
#include "support/storage_test_files.h"
#include "support/temporary_directory.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using testing_files::entries;
using testing_files::readFile;

// A capture whose shown part is a `width` x `height` block inside a transparent margin.
LaunchSurfaceSnapshot snapshot(int width, int height, std::uint8_t seed, double visibleHeight = 100) {
  Bitmap image = Bitmap::transparent(width + 4, height + 2);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      auto* pixel = image.pixel(x + 2, y + 1);
      pixel[0] = static_cast<std::uint8_t>(x + seed);
      pixel[1] = static_cast<std::uint8_t>(y * 3);
      pixel[2] = seed;
      pixel[3] = 255;
    }
  }
  return testing_snapshots::snapshotOf(std::move(image), {100, 0, static_cast<double>(width), visibleHeight}, {},
                                       Rect{2, 1, static_cast<double>(width), static_cast<double>(height)});
}

struct PreviewCacheTest : ::testing::Test {
  ScopedEnvironment language{"LC_ALL", "ja_JP.UTF-8"};
  TemporaryDirectory temporary;
  fs::path previews = temporary / "com.quillon.app" / "Previews";
  FakeImageCodec codec;
  ManualClock clock;
  ManualMainLoop loop{clock};
  FakeLogSink log;

  std::unique_ptr<LaunchPreviewCache> makeCache() {
    const auto directory =
        LaunchPreviewArchive::defaultDirectory(Url::fileUrl((temporary / "com.quillon.app").string(), true));
    return std::make_unique<LaunchPreviewCache>(16, 1200, directory, false,
                                                LaunchPreviewCache::Services{codec, clock, loop, log});
  }
  // A cache with saving turned on (by the user, or as read at start-up) once the loop
  // has applied it.
  std::unique_ptr<LaunchPreviewCache> savingCache(bool isUserInitiated = true) {
    auto cache = makeCache();
    cache->setPersistenceEnabled(true, isUserInitiated);
    loop.runUntilIdle();
    return cache;
  }
  Url app(int index) {
    const auto path = temporary / ("Notch" + std::to_string(index) + ".app");
    fs::create_directories(path);
    return Url::fileUrl(path.string(), true);
  }
  std::string record(const Uuid& id) const { return LaunchPreviewArchive::fileName(id); }
};

TEST_F(PreviewCacheTest, SavedPreviewsComeBackInANewCacheWithTheSamePixels) {
  auto first = savingCache();
  const auto id = Uuid::random();
  ASSERT_TRUE(first->remember(snapshot(2400, 600, 7), id, app(1)));
  const Bitmap* kept = first->image(id, app(1));
  ASSERT_NE(nullptr, kept);
  EXPECT_EQ(std::set<std::string>{record(id)}, entries(previews));

  auto second = makeCache();
  second->setPersistenceEnabled(true, false);
  EXPECT_TRUE(second->isRestoring());
  EXPECT_EQ(nullptr, second->image(id, app(1))) << "applied on the main loop, not inside the call";
  loop.runUntilIdle();
  const Bitmap* restored = second->image(id, app(1));
  ASSERT_NE(nullptr, restored);
  EXPECT_EQ(kept->pixels, restored->pixels);
  EXPECT_EQ(std::nullopt, second->persistenceError());
}

TEST_F(PreviewCacheTest, SizeRules) {
  auto cache = makeCache();
  const struct {
    int width, height;
    double visibleHeight;
    bool remembered;
    int storedWidth, storedHeight;
  } rows[] = {
      {2400, 600, 100, true, 1200, 300},
      {300, 80, 80, true, 300, 80},
      {1201, 10, 64, true, 1200, 9},
      {300, 80, 63, false, 0, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.width << "x" << row.height << " visible " << row.visibleHeight);
    const auto id = Uuid::random();
    EXPECT_EQ(row.remembered, cache->remember(snapshot(row.width, row.height, 1, row.visibleHeight), id, app(1)));
    const Bitmap* image = cache->image(id, app(1));
    ASSERT_EQ(row.remembered, image != nullptr);
    if (!image) continue;
    EXPECT_EQ(row.storedWidth, image->width);
    EXPECT_EQ(row.storedHeight, image->height);
    EXPECT_EQ(static_cast<std::size_t>(row.storedWidth) * 4, image->bytesPerRow);
  }
  EXPECT_TRUE(entries(previews).empty()) << "nothing is written before the preference is applied";
}

TEST_F(PreviewCacheTest, TheSeventeenthAppEvictsTheLeastRecentlyRememberedInMemoryAndOnDisk) {
  auto cache = savingCache();
  std::vector<Uuid> ids;
  for (int i = 0; i < 16; ++i) {
    ids.push_back(Uuid::random());
    ASSERT_TRUE(cache->remember(snapshot(8, 4, static_cast<std::uint8_t>(i)), ids.back(), app(i)));
  }
  ASSERT_TRUE(cache->remember(snapshot(8, 4, 50), ids[0], app(0)));  // again: moves to the end
  const auto newest = Uuid::random();
  ASSERT_TRUE(cache->remember(snapshot(8, 4, 51), newest, app(16)));

  EXPECT_EQ(16u, cache->order().size());
  EXPECT_EQ(ids[2], cache->order().front());
  EXPECT_EQ(ids[0], cache->order()[14]);
  EXPECT_EQ(nullptr, cache->image(ids[1], app(1)));
  EXPECT_FALSE(entries(previews).contains(record(ids[1])));
  EXPECT_EQ(16u, entries(previews).size());
  EXPECT_EQ(nullptr, cache->image(newest, app(3))) << "the ID re-used for another bundle shows nothing";
}

TEST_F(PreviewCacheTest, PreferenceOffDeletesEveryRecordOnceButAnUnreadablePreferenceDeletesNothing) {
  auto cache = savingCache();
  const auto a = Uuid::random();
  const auto b = Uuid::random();
  cache->remember(snapshot(8, 4, 1), a, app(1));
  cache->remember(snapshot(8, 4, 2), b, app(2));
  const auto storedA = readFile(previews / record(a));

  // The preference could not be read: a temporary OFF that leaves the disk alone.
  cache->setPersistenceEnabled(false, false);
  EXPECT_FALSE(cache->diskMutationAllowed());
  cache->remove(b);
  cache->remember(snapshot(8, 4, 3), a, app(1));
  EXPECT_EQ((std::set<std::string>{record(a), record(b)}), entries(previews));
  EXPECT_EQ(storedA, readFile(previews / record(a)));

  // The user turns it off: every record goes, the images in memory stay.
  cache->setPersistenceEnabled(false, true);
  loop.runUntilIdle();
  EXPECT_TRUE(entries(previews).empty());
  EXPECT_NE(nullptr, cache->image(a, app(1)));
  EXPECT_EQ(std::nullopt, cache->persistenceError());
  cache->remember(snapshot(8, 4, 4), a, app(1));
  EXPECT_TRUE(entries(previews).empty()) << "nothing is written while the preference is off";
}

TEST_F(PreviewCacheTest, DiskFailuresBecomeOneTextAndOneLogLine) {
  auto cache = savingCache();
  const auto id = Uuid::random();
  codec.setEncodeFails(true);
  EXPECT_TRUE(cache->remember(snapshot(8, 4, 1), id, app(1)));
  EXPECT_NE(nullptr, cache->image(id, app(1)));
  loop.runUntilIdle();  // the outcome comes back from the disk's worker
  EXPECT_EQ(
      "画像の保存・削除に失敗しました。一時画像とアイコンでの切替は使えます。保存先の空き容量とアクセス権を確認してくだ"
      "さい。",
      cache->persistenceError());
  ASSERT_EQ(1u, log.lines().size());
  EXPECT_EQ(
      "[Quillon/preview-cache] 保存先にアクセスできません。空き容量とアクセス権を確認してから再確認してください。",
      log.lines()[0]);

  codec.setEncodeFails(false);
  cache->remember(snapshot(8, 4, 1), id, app(1));
  loop.runUntilIdle();
  EXPECT_EQ(std::nullopt, cache->persistenceError());

  // A folder that became a link cannot be cleared; the restore of a new cache reports it.
  fs::rename(previews, temporary / "moved");
  fs::create_directory_symlink(temporary / "moved", previews);
  cache->clear();
  loop.runUntilIdle();
  EXPECT_TRUE(cache->persistenceError().has_value());
  EXPECT_EQ(1u, entries(temporary / "moved").size());
  auto restarted = savingCache(false);
  EXPECT_TRUE(restarted->persistenceError().has_value());
  EXPECT_EQ(3u, log.lines().size());
}

TEST_F(PreviewCacheTest, ARestoreDoesNotUndoWhatHappenedWhileItRead) {
  const Uuid ids[] = {Uuid::random(), Uuid::random(), Uuid::random(), Uuid::random()};
  {
    auto writer = savingCache();
    for (int i = 0; i < 4; ++i) writer->remember(snapshot(8, 4, static_cast<std::uint8_t>(i)), ids[i], app(i));
  }
  loop.holdDetachedCompletions(true);
  auto cache = savingCache(false);  // the worker has read all four records
  ASSERT_TRUE(cache->isRestoring());
  ASSERT_TRUE(cache->remember(snapshot(8, 4, 90), ids[0], app(0)));
  const auto fresh = *cache->image(ids[0], app(0));
  cache->remove(ids[1]);
  cache->retainApplications({{ids[0], app(0)}, {ids[1], app(1)}, {ids[2], app(2)}});
  loop.releaseDetachedCompletions();
  loop.runUntilIdle();
  EXPECT_FALSE(cache->isRestoring());

  EXPECT_EQ(fresh.pixels, cache->image(ids[0], app(0))->pixels) << "the newer image stays";
  EXPECT_EQ(nullptr, cache->image(ids[1], app(1)));
  EXPECT_NE(nullptr, cache->image(ids[2], app(2)));
  EXPECT_EQ(nullptr, cache->image(ids[3], app(3))) << "dropped by the retain";
  EXPECT_EQ((std::vector<Uuid>{ids[2], ids[0]}), cache->order());

  // Clearing while a restore reads drops what it would bring back.
  auto cleared = savingCache(false);
  cleared->clear();
  loop.releaseDetachedCompletions();
  loop.runUntilIdle();
  EXPECT_TRUE(cleared->order().empty());
}

}  // namespace
}  // namespace quillon
