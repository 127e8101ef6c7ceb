#include "core/records/onboarding/launch_onboarding_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/storage/files/launch_storage_error.h"
#include "support/storage_test_files.h"
#include "support/temporary_directory.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using testing_files::entries;
using testing_files::errorOf;
using testing_files::readFile;
using testing_files::writeFile;

// A valid record with `change` applied, encoded.
template <typename Change>
Bytes recordWith(Change change) {
  PropertyList dictionary;
  dictionary.setInteger("version", 1);
  dictionary.setString("lastStep", "preview");
  change(dictionary);
  return dictionary.toBinary();
}

// A valid record padded with an unknown key to exactly `size` bytes.
Bytes paddedRecord(std::size_t size) {
  const std::string head =
      "<plist version=\"1.0\"><dict><key>version</key><integer>1</integer><key>lastStep</key>"
      "<string>preview</string><key>padding</key><string>";
  const std::string tail = "</string></dict></plist>";
  return bytesOf(head + std::string(size - head.size() - tail.size(), 'x') + tail);
}

// The onboarding store stands in for every property-list store: the shape (flags,
// limits, refusal to overwrite, reset with backup) is shared code.
struct OnboardingStoreTest : ::testing::Test {
  TemporaryDirectory temporary;
  fs::path dataDirectory = temporary / "com.quillon.app";
  fs::path file = dataDirectory / "onboarding.plist";
  LaunchOnboardingStore store = LaunchOnboardingStore::inDataDirectory(Url::fileUrl(dataDirectory.string(), true));

  void SetUp() override { fs::create_directory(dataDirectory); }

  void expectFailedWith(const Error& error) const {
    EXPECT_TRUE(store.loadFailed());
    EXPECT_EQ(error.description(), store.storageError());
  }
  void expectClean() const {
    EXPECT_FALSE(store.loadFailed());
    EXPECT_FALSE(store.storageError());
  }
};

TEST_F(OnboardingStoreTest, MissingFileGivesTheDefaultRecordClearsAFormerFailureAndCannotBeReset) {
  EXPECT_EQ(LaunchStorageError::invalidRecord, errorOf([&] { store.resetPreservingBackup(); }));
  EXPECT_EQ(std::set<std::string>{}, entries(dataDirectory));
  writeFile(file, bytesOf("garbage"));
  store.load();
  ASSERT_TRUE(store.loadFailed());
  fs::remove(file);
  EXPECT_EQ(LaunchOnboardingRecord{}, store.load());
  expectClean();
  fs::remove_all(dataDirectory);
  EXPECT_EQ(LaunchOnboardingRecord{}, store.load());
  expectClean();
}

TEST_F(OnboardingStoreTest, SaveCreatesTheDirectoryAndTheRecordReadsBack) {
  fs::remove_all(dataDirectory);
  LaunchOnboardingRecord record;
  record.lastStep = LaunchOnboardingStep::ready;
  record.completedAt = 1'800'000'123.5;
  store.save(record);
  EXPECT_EQ(record, store.load());
  expectClean();
  EXPECT_EQ(fs::perms::owner_all, fs::status(dataDirectory).permissions() & fs::perms::all);
  auto dictionary = PropertyList::parseDictionary(readFile(file));
  ASSERT_TRUE(dictionary);
  EXPECT_EQ("ready", dictionary->string("lastStep"));
  EXPECT_FALSE(dictionary->contains("dismissedAt")) << "absent dates are not written";
}

TEST_F(OnboardingStoreTest, InvalidRecordsFallBackAndLeaveTheFileAlone) {
  auto without = [](const char* key) {
    PropertyList d;
    if (std::string(key) != "version") d.setInteger("version", 1);
    if (std::string(key) != "lastStep") d.setString("lastStep", "input");
    return d.toBinary();
  };
  const struct {
    const char* name;
    Bytes data;
  } cases[] = {
      {"not a property list", bytesOf("{\"version\": 1}")},
      {"empty file", {}},
      {"version 2", recordWith([](PropertyList& d) { d.setInteger("version", 2); })},
      {"version 0", recordWith([](PropertyList& d) { d.setInteger("version", 0); })},
      {"version as text", recordWith([](PropertyList& d) { d.setString("version", "1"); })},
      {"unknown step", recordWith([](PropertyList& d) { d.setString("lastStep", "Overview"); })},
      {"step as number", recordWith([](PropertyList& d) { d.setInteger("lastStep", 0); })},
      {"date as text", recordWith([](PropertyList& d) { d.setString("completedAt", "2026-01-01"); })},
      {"date as number", recordWith([](PropertyList& d) { d.setInteger("dismissedAt", 5); })},
      {"no version", without("version")},
      {"no step", without("lastStep")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(file, c.data);
    EXPECT_EQ(LaunchOnboardingRecordCoding::fallbackRecord(), store.load());
    expectFailedWith(LaunchStorageError::invalidRecord);
    EXPECT_EQ(c.data, readFile(file));
  }
}

// The padding is an unknown key, so the record at the limit also shows that unknown
// keys are ignored.
TEST_F(OnboardingStoreTest, AnOversizedFileIsNeitherReadNorOverwrittenButResetPreservesIt) {
  writeFile(file, paddedRecord(16'383));
  EXPECT_EQ(LaunchOnboardingStep::preview, store.load().lastStep);
  expectClean();

  const Bytes oversized = paddedRecord(16'384);
  writeFile(file, oversized);
  EXPECT_EQ(LaunchOnboardingRecordCoding::fallbackRecord(), store.load());
  expectFailedWith(LaunchStorageError::tooLarge);

  LaunchOnboardingRecord record;
  record.dismissedAt = 1'800'000'000.0;
  EXPECT_EQ(LaunchStorageError::invalidRecord, errorOf([&] { store.save(record); }));
  EXPECT_EQ(oversized, readFile(file));
  // The reason shown to the user stays the actual reason the file is unreadable.
  expectFailedWith(LaunchStorageError::tooLarge);
  EXPECT_EQ((std::set<std::string>{"onboarding.plist"}), entries(dataDirectory));

  const Url backup = store.resetPreservingBackup();
  const std::string backupName = backup.lastPathComponent();
  ASSERT_EQ(0u, backupName.rfind("onboarding.plist.preserved-", 0)) << backupName;
  EXPECT_EQ((dataDirectory / backupName).string(), backup.path());
  EXPECT_EQ(oversized, readFile(backup.path()));
  EXPECT_EQ(LaunchOnboardingRecord{}, store.load());
  expectClean();
  EXPECT_EQ((std::set<std::string>{"onboarding.plist", backupName}), entries(dataDirectory));
  store.save(record);
  EXPECT_EQ(record, store.load());
}

TEST_F(OnboardingStoreTest, FailedWriteSetsTheErrorAndASuccessfulOneClearsIt) {
  LaunchOnboardingRecord before;
  before.lastStep = LaunchOnboardingStep::preview;
  store.save(before);
  const Bytes stored = readFile(file);
  LaunchOnboardingRecord after = before;
  after.completedAt = 1'800'000'000.0;
  {
    testing_files::ScopedFileSizeLimit diskFull(8);
    EXPECT_THROW(store.save(after), Error);
  }
  EXPECT_FALSE(store.loadFailed());
  EXPECT_EQ(LaunchStorageError::unavailable(0).description(), store.storageError());
  EXPECT_EQ(stored, readFile(file));
  EXPECT_EQ((std::set<std::string>{"onboarding.plist"}), entries(dataDirectory));

  store.save(after);
  EXPECT_FALSE(store.storageError());
  EXPECT_EQ(after, store.load());
}

}  // namespace
}  // namespace quillon
