#include "core/capture/launch_preview_archive.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "core/capture/launch_preview_record.h"
#include "support/fake_image_codec.h"
#include "support/manual_clock.h"
#include "support/storage_test_files.h"
#include "support/temporary_directory.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using testing_files::entries;
using testing_files::readFile;
using testing_files::writeFile;

Bitmap pattern(int width, int height, std::uint8_t seed) {
  Bitmap bitmap = Bitmap::transparent(width, height);
  for (std::size_t i = 0; i < bitmap.pixels.size(); ++i) bitmap.pixels[i] = static_cast<std::uint8_t>(i * 7 + seed);
  return bitmap;
}

struct PreviewArchiveTest : ::testing::Test {
  TemporaryDirectory temporary;
  fs::path dataDirectory = temporary / "com.quillon.app";
  fs::path previews = dataDirectory / "Previews";
  Url appURL = Url::fileUrl((temporary / "Notch.app").string(), true);
  FakeImageCodec codec;
  ManualClock clock;
  LaunchPreviewArchive archive{LaunchPreviewArchive::defaultDirectory(Url::fileUrl(dataDirectory.string(), true)), 16,
                               codec, clock};

  PreviewArchiveTest() { fs::create_directories(temporary / "Notch.app"); }

  Bytes record(const Bitmap& image, std::int64_t version = 1, std::optional<Url> url = std::nullopt) const {
    LaunchPreviewRecord stored;
    stored.version = version;
    stored.applicationURL = url.value_or(appURL);
    stored.png = *codec.encodePng(image);
    return stored.encode();
  }
  // A record file written behind the archive's back, aged `age` seconds.
  fs::path plant(const std::string& name, const Bytes& data, double age = 0) const {
    fs::create_directories(previews);
    const auto path = previews / name;
    writeFile(path, data);
    setAge(path, age);
    return path;
  }
  static void setAge(const fs::path& path, double age) {
    const timespec when{static_cast<time_t>(1'700'000'000 - age), 0};
    const timespec times[2] = {when, when};
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
  }
};

TEST_F(PreviewArchiveTest, SeventeenRecordsLoadTheSixteenNewestAndTheNextSaveDeletesTheOldest) {
  std::vector<Uuid> ids;
  for (int i = 0; i < 17; ++i) {
    ids.push_back(Uuid::random());
    plant(LaunchPreviewArchive::fileName(ids.back()), record(pattern(4, 2, static_cast<std::uint8_t>(i))), 100 - i);
  }
  const auto loaded = archive.load();
  ASSERT_EQ(16u, loaded.size());
  for (std::size_t i = 0; i < loaded.size(); ++i) {
    EXPECT_EQ(ids[i + 1], loaded[i].first) << "oldest first, the very oldest left out";
    EXPECT_EQ(pattern(4, 2, static_cast<std::uint8_t>(i + 1)).pixels, loaded[i].second.image.pixels);
    EXPECT_EQ(LaunchAppPreview::normalizedURL(appURL), loaded[i].second.applicationURL);
  }
  EXPECT_EQ(17u, entries(previews).size()) << "loading deletes nothing";

  archive.save({appURL, pattern(4, 2, 99)}, ids[16]);
  EXPECT_EQ(16u, entries(previews).size());
  EXPECT_FALSE(fs::exists(previews / LaunchPreviewArchive::fileName(ids[0])));
}

TEST_F(PreviewArchiveTest, HostileEntriesAreSkippedAndNothingOutsideIsReadOrChanged) {
  const auto outside = temporary / "outside.preview";
  const Bytes outsideBytes = record(pattern(2, 2, 1));
  writeFile(outside, outsideBytes);
  Bytes oversized = record(pattern(2, 2, 2));
  oversized.resize(LaunchPreviewArchive::maximumRecordBytes + 1, 0);
  Bytes truncated = record(pattern(64, 64, 3));
  truncated.resize(truncated.size() - 200);

  const struct Row {
    const char* name;
    std::function<fs::path(const std::string& fileName)> plant;
    bool needsRoot;
    bool survivesDeletingAll;  // not a record of ours: never deleted
  } rows[] = {
      {"symbolic link to a record outside",
       [&](const std::string& name) {
         fs::create_directories(previews);
         fs::create_symlink(outside, previews / name);
         return previews / name;
       },
       false, true},
      {"file over 6 MiB", [&](const std::string& name) { return plant(name, oversized); }, false, false},
      {"stem that is not a UUID",
       [&](const std::string&) { return plant("not-a-uuid.preview", record(pattern(2, 2, 5))); }, false, true},
      {"record of version 2", [&](const std::string& name) { return plant(name, record(pattern(2, 2, 6), 2)); }, false,
       false},
      {"non-file URL",
       [&](const std::string& name) {
         return plant(name, record(pattern(2, 2, 7), 1, Url::parse("https://example.com/Notch.app/")));
       },
       false, false},
      {"1,201-pixel image", [&](const std::string& name) { return plant(name, record(pattern(1201, 1, 8))); }, false,
       false},
      {"truncated image", [&](const std::string& name) { return plant(name, truncated); }, false, false},
      {"property list that is not a record", [&](const std::string& name) { return plant(name, bytesOf("bplist00")); },
       false, false},
      // Last: without root it ends the test after every other row ran.
      {"file of another owner",
       [&](const std::string& name) {
         const auto path = plant(name, record(pattern(2, 2, 4)));
         EXPECT_EQ(0, ::lchown(path.c_str(), 4321, 4321));
         return path;
       },
       true, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.needsRoot && ::getuid() != 0) GTEST_SKIP() << "only root can plant a file of another owner";
    fs::remove_all(previews);
    const auto good = Uuid::random();
    plant(LaunchPreviewArchive::fileName(good), record(pattern(3, 3, 9)), 10);
    const auto hostile = row.plant(LaunchPreviewArchive::fileName(Uuid::random()));

    const auto loaded = archive.load();
    ASSERT_EQ(1u, loaded.size()) << "only the good record comes back";
    EXPECT_EQ(good, loaded[0].first);

    archive.save({appURL, pattern(3, 3, 10)}, good);  // prunes
    archive.retain({});
    EXPECT_EQ(row.survivesDeletingAll, fs::exists(fs::symlink_status(hostile)));
    EXPECT_FALSE(fs::exists(previews / LaunchPreviewArchive::fileName(good)));
    EXPECT_EQ(outsideBytes, readFile(outside));
  }
}

TEST_F(PreviewArchiveTest, RetainKeepsOnlyListedAppsAtTheirURL) {
  const auto kept = Uuid::random();
  const auto moved = Uuid::random();
  const auto gone = Uuid::random();
  for (const auto& id : {kept, moved, gone}) archive.save({appURL, pattern(2, 2, 1)}, id);
  fs::create_directories(temporary / "Moved.app");
  // A link above the bundle and a trailing "/." still name the same bundle.
  archive.retain({{kept, Url::fileUrl((temporary / "." / "Notch.app").string(), false)},
                  {moved, Url::fileUrl((temporary / "Moved.app").string(), true)}});
  EXPECT_EQ(std::set<std::string>{LaunchPreviewArchive::fileName(kept)}, entries(previews));
}

// A lease held elsewhere makes the record's non-blocking open fail with EAGAIN: a read
// that failed for a passing reason, unlike the garbage and the oversized record.
TEST_F(PreviewArchiveTest, RetainKeepsRecordsItCouldNotReadAndDeletesInvalidOnes) {
  const auto busy = Uuid::random();
  const auto garbage = Uuid::random();
  const auto oversized = Uuid::random();
  archive.save({appURL, pattern(2, 2, 1)}, busy);
  plant(LaunchPreviewArchive::fileName(garbage), Bytes{'n', 'o', 't'});
  plant(LaunchPreviewArchive::fileName(oversized), Bytes(LaunchPreviewArchive::maximumRecordBytes + 1, 0));
  const auto previousHandler = ::signal(SIGIO, SIG_IGN);  // the lease's break notice
  const int leased = ::open((previews / LaunchPreviewArchive::fileName(busy)).c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(leased, 0);
  ASSERT_EQ(0, ::fcntl(leased, F_SETLEASE, F_WRLCK));

  const std::map<Uuid, Url> all{{busy, appURL}, {garbage, appURL}, {oversized, appURL}};
  try {
    archive.retain(all);
    ADD_FAILURE() << "the unread record's error is reported";
  } catch (const Error& error) {
    EXPECT_EQ(LaunchStorageError::unavailable(EAGAIN), error);
  }
  EXPECT_EQ(std::set<std::string>{LaunchPreviewArchive::fileName(busy)}, entries(previews));
  ::close(leased);
  ::signal(SIGIO, previousHandler);
  archive.retain(all);
  EXPECT_EQ(std::set<std::string>{LaunchPreviewArchive::fileName(busy)}, entries(previews));
}

}  // namespace
}  // namespace quillon
