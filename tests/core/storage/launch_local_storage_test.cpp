#include "core/storage/launch_local_storage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "core/support/launch_uuid.h"
#include "storage_test_files.h"
#include "support/temporary_directory.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using testing_files::entries;
using testing_files::readFile;
using testing_files::writeFile;

std::optional<LaunchStorageError> errorOf(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const LaunchStorageError& error) {
    return error;
  }
  return std::nullopt;
}

const LaunchStorageError unsafe = LaunchStorageError::unsafeLocation();

fs::perms modeOf(const fs::path& path) { return fs::symlink_status(path).permissions() & fs::perms::all; }

struct LocalStorageTest : ::testing::Test {
  TemporaryDirectory temporary;
  fs::path root = temporary / "com.quillon.app";
  LaunchLocalStorage storage{Url::fileUrl(root.string(), true)};

  // Every operation that looks at `name` in `components`, each expected to refuse.
  std::vector<std::pair<std::string, std::function<void()>>> everyOperation(const std::string& name,
                                                                            const LaunchLocalStorage::Components& components) {
    std::vector<std::pair<std::string, std::function<void()>>> operations = {
        {"read", [=, this] { storage.read(name, components, 1024); }},
        {"write", [=, this] { storage.write(bytesOf("new"), name, components); }},
        {"remove", [=, this] { storage.remove(name, components); }},
    };
    if (components.empty()) operations.emplace_back("preserve", [=, this] { storage.preserve(name); });
    return operations;
  }
};

TEST_F(LocalStorageTest, BadNamesAreRefusedBeforeAnythingIsTouched) {
  const std::string names[] = {"", ".", "..", "a/b", "/", "../escape", std::string("a\0b", 3), std::string(1, '\0')};
  for (const auto& bad : names) {
    SCOPED_TRACE(::testing::PrintToString(bad));
    for (auto& [operation, run] : everyOperation(bad, {})) {
      SCOPED_TRACE(operation);
      EXPECT_EQ(unsafe, errorOf(run));
    }
    for (auto& [operation, run] : everyOperation("file", {"ok", bad})) {
      SCOPED_TRACE(operation);
      EXPECT_EQ(unsafe, errorOf(run));
    }
    EXPECT_EQ(unsafe, errorOf([&] { storage.openDirectory({bad}, true); }));
    // Nothing was created on the way to the bad component.
    EXPECT_FALSE(fs::exists(root));
  }
}

TEST_F(LocalStorageTest, UnusableRootsAreRefused) {
  const struct {
    const char* name;
    Url url;
  } cases[] = {
      {"file system root", Url::fileUrl("/", true)},
      {"folds to the root", Url::fileUrl((temporary.path() / "../../../../../../../..").string(), true)},
      {"remote host", *Url::parse("file://server/data/com.quillon.app/")},
      {"not a file URL", *Url::parse("https://example.com/com.quillon.app/")},
      // "%00" decodes to NUL, which would cut the path short at the system call.
      {"NUL in the path", *Url::parse("file://" + (temporary / "x%00/com.quillon.app").string())},
  };
  fs::create_directory(temporary / "x");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LaunchLocalStorage odd(c.url);
    EXPECT_EQ(unsafe, errorOf([&] { odd.write(bytesOf("x"), "file", {}); }));
    EXPECT_EQ(unsafe, errorOf([&] { odd.read("file", {}, 10); }));
  }
  EXPECT_EQ((std::set<std::string>{"x"}), entries(temporary.path()));
}

TEST_F(LocalStorageTest, MissingPlacesAreAbsentNotErrors) {
  EXPECT_FALSE(storage.read("file", {}, 10));
  EXPECT_FALSE(storage.read("file", {"Previews"}, 10));
  EXPECT_FALSE(storage.openDirectory({"Previews"}, false));
  EXPECT_NO_THROW(storage.remove("file", {"Previews"}));
  fs::create_directories(root / "Previews");
  EXPECT_FALSE(storage.read("file", {"Previews"}, 10));
  EXPECT_NO_THROW(storage.remove("file", {"Previews"}));
  // Looking never creates anything.
  EXPECT_EQ(std::set<std::string>{}, entries(root / "Previews"));
  // A missing parent of the data directory is not "absent": the data directory can't be
  // where it should be.
  LaunchLocalStorage orphan(Url::fileUrl((temporary / "missing" / "com.quillon.app").string(), true));
  EXPECT_EQ(LaunchStorageError::unavailable(ENOENT), errorOf([&] { orphan.read("file", {}, 10); }));
}

TEST_F(LocalStorageTest, WriteCreatesPrivateDirectoriesAndReplacesAtomically) {
  fs::create_directory(root);
  fs::permissions(root, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
  storage.write(bytesOf("first"), "image.preview", {"Previews", "Nested"});
  EXPECT_EQ(fs::perms::owner_all, modeOf(root));  // tightened on the way
  EXPECT_EQ(fs::perms::owner_all, modeOf(root / "Previews"));
  EXPECT_EQ(fs::perms::owner_all, modeOf(root / "Previews" / "Nested"));
  const fs::path file = root / "Previews" / "Nested" / "image.preview";
  EXPECT_EQ(fs::perms::owner_read | fs::perms::owner_write, modeOf(file));
  EXPECT_EQ(bytesOf("first"), storage.read("image.preview", {"Previews", "Nested"}, 100));

  const auto inodeBefore = fs::hard_link_count(file);
  storage.write(bytesOf("second, longer"), "image.preview", {"Previews", "Nested"});
  EXPECT_EQ(1u, inodeBefore);
  EXPECT_EQ(bytesOf("second, longer"), readFile(file));
  storage.write({}, "image.preview", {"Previews", "Nested"});
  EXPECT_EQ(Bytes{}, storage.read("image.preview", {"Previews", "Nested"}, 0));
  EXPECT_EQ(std::set<std::string>{"image.preview"}, entries(root / "Previews" / "Nested"));
}

TEST_F(LocalStorageTest, FailedWriteKeepsTheOldContentAndLeavesNoTemporary) {
  storage.write(bytesOf("old"), "file", {});
  {
    testing_files::ScopedFileSizeLimit diskFull(100);
    const Bytes big(1000, 'x');
    EXPECT_EQ(LaunchStorageError::unavailable(EFBIG), errorOf([&] { storage.write(big, "file", {}); }));
  }
  EXPECT_EQ(bytesOf("old"), readFile(root / "file"));
  EXPECT_EQ(std::set<std::string>{"file"}, entries(root));
}

TEST_F(LocalStorageTest, ReadBoundsTheSizeAtExactlyTheLimit) {
  fs::create_directory(root);
  const struct {
    std::size_t size;
    std::size_t limit;
    bool fits;
  } cases[] = {
      {0, 0, true},         {1, 0, false},         {16'383, 16'383, true}, {16'384, 16'383, false},
      {16'384, 16'384, true}, {16'385, 16'384, false}, {40'000, 40'000, true}, {40'001, 40'000, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.size << " bytes, limit " << c.limit);
    Bytes data(c.size);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
    writeFile(root / "file", data);
    if (c.fits) {
      EXPECT_EQ(data, storage.read("file", {}, c.limit));
    } else {
      EXPECT_EQ(LaunchStorageError::tooLarge(), errorOf([&] { storage.read("file", {}, c.limit); }));
    }
  }
}

// /proc/<pid>/maps is a regular file, ours, with one link, that reports size 0 but
// yields far more: exactly a file that grew after fstat.
TEST_F(LocalStorageTest, ReadStopsAFileThatGrowsPastTheLimitWhileBeingRead) {
  LaunchLocalStorage proc(Url::fileUrl("/proc/" + std::to_string(::getpid()), true));
  struct stat info {};
  ASSERT_EQ(0, ::stat(("/proc/" + std::to_string(::getpid()) + "/maps").c_str(), &info));
  ASSERT_EQ(0, info.st_size);
  EXPECT_EQ(LaunchStorageError::tooLarge(), errorOf([&] { proc.read("maps", {}, 64); }));
  auto whole = proc.read("maps", {}, 16 * 1024 * 1024);
  ASSERT_TRUE(whole);
  EXPECT_GT(whole->size(), 64u);
}

TEST_F(LocalStorageTest, SymbolicLinksBelowTheParentAreRefusedAtEveryLevel) {
  const fs::path elsewhere = temporary / "elsewhere";
  fs::create_directories(elsewhere / "Previews");
  writeFile(elsewhere / "file", bytesOf("outside"));
  writeFile(elsewhere / "Previews" / "file", bytesOf("outside"));

  const struct {
    const char* name;
    std::function<void()> plant;
    LaunchLocalStorage::Components components;
    fs::path link;
  } cases[] = {
      {"data directory", [&] { fs::create_directory_symlink(elsewhere, root); }, {}, root},
      {"sub-directory",
       [&] {
         fs::create_directory(root);
         fs::create_directory_symlink(elsewhere / "Previews", root / "Previews");
       },
       {"Previews"},
       root / "Previews"},
      {"file",
       [&] {
         fs::create_directory(root);
         fs::create_symlink(elsewhere / "file", root / "file");
       },
       {},
       root / "file"},
      {"dangling file link",
       [&] {
         fs::create_directory(root);
         fs::create_symlink(elsewhere / "nothing", root / "file");
       },
       {},
       root / "file"},
      {"dangling directory link", [&] { fs::create_directory_symlink(elsewhere / "nothing", root); }, {}, root},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(root);
    c.plant();
    for (auto& [operation, run] : everyOperation("file", c.components)) {
      SCOPED_TRACE(operation);
      EXPECT_EQ(unsafe, errorOf(run));
    }
    if (c.link.filename() != "file") {
      EXPECT_EQ(unsafe, errorOf([&] { storage.openDirectory(c.components, true); }));
    }
    EXPECT_TRUE(fs::is_symlink(c.link));  // refused, not removed or replaced
    EXPECT_EQ(bytesOf("outside"), readFile(elsewhere / "file"));
    EXPECT_EQ(bytesOf("outside"), readFile(elsewhere / "Previews" / "file"));
    EXPECT_EQ((std::set<std::string>{"Previews", "file"}), entries(elsewhere));
  }
}

TEST_F(LocalStorageTest, SymbolicLinksAboveTheDataDirectoryAreFollowed) {
  fs::create_directory(temporary / "real");
  fs::create_directory_symlink(temporary / "real", temporary / "link");
  LaunchLocalStorage linked(Url::fileUrl((temporary / "link" / "com.quillon.app").string(), true));
  linked.write(bytesOf("through the link"), "file", {"sub"});
  EXPECT_EQ(bytesOf("through the link"), readFile(temporary / "real" / "com.quillon.app" / "sub" / "file"));
  EXPECT_EQ(bytesOf("through the link"), linked.read("file", {"sub"}, 100));
  linked.write(bytesOf("top"), "top", {});
  const Url backup = linked.preserve("top");
  EXPECT_EQ(bytesOf("top"), readFile(temporary / "real" / "com.quillon.app" / backup.lastPathComponent()));
}

TEST_F(LocalStorageTest, HardLinksWrongTypesAndFifosAreRefused) {
  fs::create_directory(root);
  const struct {
    const char* name;
    std::function<void()> plant;
  } cases[] = {
      {"hard link",
       [&] {
         writeFile(temporary / "original", bytesOf("outside"));
         fs::create_hard_link(temporary / "original", root / "file");
       }},
      {"directory", [&] { fs::create_directory(root / "file"); }},
      {"fifo", [&] { ASSERT_EQ(0, ::mkfifo((root / "file").c_str(), 0600)); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(root / "file");
    c.plant();
    for (auto& [operation, run] : everyOperation("file", {})) {
      SCOPED_TRACE(operation);
      EXPECT_EQ(unsafe, errorOf(run));
    }
    EXPECT_TRUE(fs::exists(fs::symlink_status(root / "file")));
  }
  EXPECT_EQ(bytesOf("outside"), readFile(temporary / "original"));
  // A regular file where a directory is expected.
  writeFile(root / "Previews", bytesOf("not a folder"));
  for (auto& [operation, run] : everyOperation("file", {"Previews"})) {
    SCOPED_TRACE(operation);
    EXPECT_EQ(unsafe, errorOf(run));
  }
}

TEST_F(LocalStorageTest, ForeignOwnersAreRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give files away";
  constexpr uid_t stranger = 4242;
  const struct {
    const char* name;
    fs::path owned;
    LaunchLocalStorage::Components components;
  } cases[] = {
      {"file", root / "file", {}},
      {"data directory", root, {}},
      {"sub-directory", root / "Previews", {"Previews"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(root);
    fs::create_directories(root / "Previews");
    writeFile(root / "file", bytesOf("theirs"));
    writeFile(root / "Previews" / "file", bytesOf("theirs"));
    ASSERT_EQ(0, ::lchown(c.owned.c_str(), stranger, stranger));
    for (auto& [operation, run] : everyOperation("file", c.components)) {
      SCOPED_TRACE(operation);
      EXPECT_EQ(unsafe, errorOf(run));
    }
    EXPECT_EQ(bytesOf("theirs"), readFile(root / "file"));
    EXPECT_EQ(bytesOf("theirs"), readFile(root / "Previews" / "file"));
  }
}

TEST_F(LocalStorageTest, RemoveDeletesOnlyTheFile) {
  storage.write(bytesOf("x"), "file", {"sub"});
  storage.write(bytesOf("y"), "other", {"sub"});
  storage.remove("file", {"sub"});
  EXPECT_EQ(std::set<std::string>{"other"}, entries(root / "sub"));
  EXPECT_NO_THROW(storage.remove("file", {"sub"}));
}

TEST_F(LocalStorageTest, PreserveCopiesBesideTheOriginal) {
  const Bytes original(70'000, 0xAB);  // more than one read chunk
  storage.write(original, "registry.json", {});
  const Url first = storage.preserve("registry.json");
  const Url second = storage.preserve("registry.json");
  EXPECT_NE(first, second);
  for (const Url& backup : {first, second}) {
    const std::string name = backup.lastPathComponent();
    const std::string prefix = "registry.json.preserved-";
    ASSERT_EQ(0u, name.rfind(prefix, 0)) << name;
    const auto uuid = name.substr(prefix.size());
    ASSERT_TRUE(LaunchUuid::parse(uuid)) << name;
    EXPECT_EQ(LaunchUuid::parse(uuid)->toString(), uuid);  // upper-case form
    EXPECT_EQ((root / name).string(), backup.path());
    EXPECT_EQ(original, readFile(backup.path()));
    EXPECT_EQ(fs::perms::owner_read | fs::perms::owner_write, modeOf(backup.path()));
  }
  EXPECT_EQ(original, readFile(root / "registry.json"));
  EXPECT_EQ(3u, entries(root).size());
}

TEST_F(LocalStorageTest, PreserveOfAMissingFileIsInvalidRecord) {
  EXPECT_EQ(LaunchStorageError::invalidRecord(), errorOf([&] { storage.preserve("preferences.plist"); }));
  EXPECT_EQ(std::set<std::string>{}, entries(root));
}

std::size_t openDescriptorCount() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

// Every failure path closes what it opened: a leaked directory descriptor keeps a
// deleted folder alive, and thousands of reads would run out of descriptors.
TEST_F(LocalStorageTest, NoPathLeavesADescriptorOpen) {
  fs::create_directories(root / "sub");
  writeFile(root / "big", Bytes(100, 'x'));
  fs::create_symlink(root / "big", root / "link");
  fs::create_directory_symlink(root / "sub", root / "linked");
  writeFile(temporary / "shared", bytesOf("x"));
  fs::create_hard_link(temporary / "shared", root / "hard");
  const std::size_t before = openDescriptorCount();
  for (int round = 0; round < 3; ++round) {
    storage.write(bytesOf("ok"), "file", {"sub", "deeper"});
    storage.read("file", {"sub", "deeper"}, 10);
    errorOf([&] { storage.read("big", {}, 10); });       // too large after open
    errorOf([&] { storage.read("link", {}, 10); });      // unsafe file
    errorOf([&] { storage.read("file", {"linked"}, 10); });  // unsafe directory
    errorOf([&] { storage.write(bytesOf("x"), "hard", {}); });
    errorOf([&] { storage.preserve("missing"); });
    {
      testing_files::ScopedFileSizeLimit diskFull(1);
      errorOf([&] { storage.write(Bytes(10, 'x'), "file", {}); });
    }
    storage.preserve("big");
    storage.remove("file", {"sub", "deeper"});
  }
  EXPECT_EQ(before, openDescriptorCount());
}

}  // namespace
}  // namespace quillon
