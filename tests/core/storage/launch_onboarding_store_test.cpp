#include "core/storage/launch_onboarding_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/storage/launch_storage_error.h"
#include "storage_test_files.h"
#include "support/temporary_directory.h"

namespace quillon {
namespace {

using testing_files::entries;
using testing_files::readFile;
using testing_files::writeFile;

std::string describe(LaunchStorageError error) { return error.description(); }

// The onboarding store stands in for every property-list store: the shape (flags,
// limits, refusal to overwrite, reset with backup) is shared code.
struct OnboardingStoreTest : ::testing::Test {
  TemporaryDirectory temporary;
  std::filesystem::path dataDirectory = temporary / "com.quillon.app";
  std::filesystem::path file = dataDirectory / "onboarding.plist";
  LaunchOnboardingStore store = LaunchOnboardingStore::inDataDirectory(Url::fileUrl(dataDirectory.string(), true));

  void SetUp() override { std::filesystem::create_directory(dataDirectory); }

  static Bytes plist(const PropertyList& dictionary) { return dictionary.toBinary(); }
  static PropertyList validDictionary() {
    PropertyList dictionary;
    dictionary.setInteger("version", 1);
    dictionary.setString("lastStep", "input");
    return dictionary;
  }
  void expectFailedWith(LaunchStorageError error) const {
    EXPECT_TRUE(store.loadFailed());
    EXPECT_EQ(describe(error), store.storageError());
  }
  void expectClean() const {
    EXPECT_FALSE(store.loadFailed());
    EXPECT_FALSE(store.storageError());
  }
};

TEST_F(OnboardingStoreTest, MissingFileGivesTheDefaultRecordAndClearsAFormerFailure) {
  writeFile(file, bytesOf("garbage"));
  store.load();
  ASSERT_TRUE(store.loadFailed());
  std::filesystem::remove(file);
  EXPECT_EQ(LaunchOnboardingRecord{}, store.load());
  expectClean();
  // The data directory itself missing is the same as no file.
  std::filesystem::remove_all(dataDirectory);
  EXPECT_EQ(LaunchOnboardingRecord{}, store.load());
  expectClean();
}

TEST_F(OnboardingStoreTest, SaveCreatesTheDirectoryAndTheRecordReadsBack) {
  std::filesystem::remove_all(dataDirectory);
  LaunchOnboardingRecord record;
  record.lastStep = LaunchOnboardingStep::ready;
  record.completedAt = 1'800'000'123.5;
  store.save(record);
  EXPECT_EQ(record, store.load());
  expectClean();
  const Bytes stored = readFile(file);
  EXPECT_EQ("bplist00", std::string(stored.begin(), stored.begin() + 8));
  EXPECT_EQ(std::filesystem::perms::owner_all,
            std::filesystem::status(dataDirectory).permissions() & std::filesystem::perms::all);
  auto dictionary = PropertyList::parseDictionary(stored);
  ASSERT_TRUE(dictionary);
  EXPECT_EQ("ready", dictionary->string("lastStep"));
  EXPECT_FALSE(dictionary->contains("dismissedAt"));  // absent dates are not written
}

TEST_F(OnboardingStoreTest, InvalidRecordsFallBackAndLeaveTheFileAlone) {
  auto with = [](auto change) {
    PropertyList dictionary = validDictionary();
    change(dictionary);
    return dictionary.toBinary();
  };
  const struct {
    const char* name;
    Bytes data;
  } cases[] = {
      {"not a property list", bytesOf("{\"version\": 1}")},
      {"empty file", {}},
      {"version 2", with([](PropertyList& d) { d.setInteger("version", 2); })},
      {"version 0", with([](PropertyList& d) { d.setInteger("version", 0); })},
      {"version as text", with([](PropertyList& d) { d.setString("version", "1"); })},
      {"unknown step", with([](PropertyList& d) { d.setString("lastStep", "Overview"); })},
      {"step as number", with([](PropertyList& d) { d.setInteger("lastStep", 0); })},
      {"date as text", with([](PropertyList& d) { d.setString("completedAt", "2026-01-01"); })},
      {"date as number", with([](PropertyList& d) { d.setInteger("dismissedAt", 5); })},
      {"no version", [] {
         PropertyList d;
         d.setString("lastStep", "input");
         return d.toBinary();
       }()},
      {"no step", [] {
         PropertyList d;
         d.setInteger("version", 1);
         return d.toBinary();
       }()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(file, c.data);
    EXPECT_EQ(LaunchOnboardingRecordCoding::fallbackRecord(), store.load());
    expectFailedWith(LaunchStorageError::invalidRecord());
    EXPECT_EQ(c.data, readFile(file));
  }
}

TEST_F(OnboardingStoreTest, UnknownKeysAreIgnored) {
  PropertyList dictionary = validDictionary();
  dictionary.setString("addedLater", "x");
  writeFile(file, dictionary.toBinary());
  EXPECT_EQ(LaunchOnboardingStep::input, store.load().lastStep);
  expectClean();
}

// A valid record padded with an unknown key to exactly `size` bytes.
Bytes paddedRecord(std::size_t size) {
  auto encoded = [](std::size_t padding) {
    PropertyList dictionary;
    dictionary.setInteger("version", 1);
    dictionary.setString("lastStep", "preview");
    dictionary.setString("padding", std::string(padding, 'x'));
    return dictionary.toBinary();
  };
  // The string's length header grows by a few bytes with its length; search near.
  const std::size_t unpadded = encoded(0).size();
  for (std::size_t padding = size > unpadded + 16 ? size - unpadded - 16 : 0; padding < size; ++padding) {
    Bytes data = encoded(padding);
    if (data.size() == size) return data;
  }
  ADD_FAILURE() << "no padding gives " << size << " bytes";
  return {};
}

TEST_F(OnboardingStoreTest, ReadsExactlyTheLimitAndRefusesOneByteMore) {
  writeFile(file, paddedRecord(16'383));
  EXPECT_EQ(LaunchOnboardingStep::preview, store.load().lastStep);
  expectClean();

  const Bytes oversized = paddedRecord(16'384);
  writeFile(file, oversized);
  EXPECT_EQ(LaunchOnboardingRecordCoding::fallbackRecord(), store.load());
  expectFailedWith(LaunchStorageError::tooLarge());
  EXPECT_EQ(oversized, readFile(file));
}

TEST_F(OnboardingStoreTest, SaveNeverOverwritesUnreadableData) {
  const Bytes oversized = paddedRecord(16'384);
  writeFile(file, oversized);
  LaunchOnboardingRecord record;
  record.dismissedAt = 1'800'000'000.0;
  try {
    store.save(record);
    FAIL() << "save overwrote an unreadable file";
  } catch (const LaunchStorageError& error) {
    EXPECT_EQ(LaunchStorageError::invalidRecord(), error);
  }
  EXPECT_EQ(oversized, readFile(file));
  // The reason shown to the user stays the actual reason the file is unreadable.
  expectFailedWith(LaunchStorageError::tooLarge());
  EXPECT_EQ((std::set<std::string>{"onboarding.plist"}), entries(dataDirectory));

  // Once the file is readable again, saving works and clears the error.
  std::filesystem::remove(file);
  store.save(record);
  EXPECT_EQ(record, store.load());
  expectClean();
}

TEST_F(OnboardingStoreTest, UnsafeFileIsRefusedForReadAndSave) {
  const auto elsewhere = temporary / "elsewhere.plist";
  writeFile(elsewhere, validDictionary().toBinary());
  std::filesystem::create_symlink(elsewhere, file);
  store.load();
  expectFailedWith(LaunchStorageError::unsafeLocation());
  EXPECT_THROW(store.save({}), LaunchStorageError);
  EXPECT_TRUE(std::filesystem::is_symlink(file));
  EXPECT_EQ(validDictionary().toBinary(), readFile(elsewhere));
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
    EXPECT_THROW(store.save(after), LaunchStorageError);
  }
  EXPECT_FALSE(store.loadFailed());
  EXPECT_EQ(describe(LaunchStorageError::unavailable(0)), store.storageError());
  EXPECT_EQ(stored, readFile(file));
  EXPECT_EQ((std::set<std::string>{"onboarding.plist"}), entries(dataDirectory));

  store.save(after);
  EXPECT_FALSE(store.storageError());
  EXPECT_EQ(after, store.load());
}

TEST_F(OnboardingStoreTest, ResetPreservesTheUnreadableFileThenWritesTheDefault) {
  const Bytes oversized = paddedRecord(16'384);
  writeFile(file, oversized);
  store.load();
  ASSERT_TRUE(store.loadFailed());

  const Url backup = store.resetPreservingBackup();
  const std::string backupName = backup.lastPathComponent();
  ASSERT_EQ(0u, backupName.rfind("onboarding.plist.preserved-", 0)) << backupName;
  EXPECT_EQ(dataDirectory.string() + "/" + backupName, backup.path());
  EXPECT_EQ(oversized, readFile(backup.path()));
  EXPECT_EQ(LaunchOnboardingRecord{}, store.load());
  expectClean();
  EXPECT_EQ((std::set<std::string>{"onboarding.plist", backupName}), entries(dataDirectory));
}

TEST_F(OnboardingStoreTest, ResetOfAMissingFileChangesNothing) {
  try {
    store.resetPreservingBackup();
    FAIL() << "reset without a file to preserve";
  } catch (const LaunchStorageError& error) {
    EXPECT_EQ(LaunchStorageError::invalidRecord(), error);
  }
  EXPECT_EQ(std::set<std::string>{}, entries(dataDirectory));
}

}  // namespace
}  // namespace quillon
