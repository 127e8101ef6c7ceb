#include "core/storage/files/launch_local_storage.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "core/support/uuid.h"
#include "support/storage_test_files.h"
#include "support/temporary_directory.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using testing_files::entries;
using testing_files::errorOf;
using testing_files::readFile;
using testing_files::writeFile;

const Error unsafe = LaunchStorageError::unsafeLocation;
const fs::perms privateFile = fs::perms::owner_read | fs::perms::owner_write;

fs::perms modeOf(const fs::path& path) { return fs::symlink_status(path).permissions() & fs::perms::all; }

struct LocalStorageTest : ::testing::Test {
  TemporaryDirectory temporary;
  fs::path root = temporary / "com.quillon.app";
  LaunchLocalStorage storage{Url::fileUrl(root.string(), true)};

  // Every operation that looks at `name` in `components` must refuse as unsafe.
  void expectEveryOperationRefused(const std::string& name, const LaunchLocalStorage::Components& components) {
    std::vector<std::pair<const char*, std::function<void()>>> operations = {
        {"read", [&] { storage.read(name, components, 1024); }},
        {"write", [&] { storage.write(bytesOf("new"), name, components); }},
        {"remove", [&] { storage.remove(name, components); }},
    };
    if (components.empty()) operations.emplace_back("preserve", [&] { storage.preserve(name); });
    for (const auto& [operation, run] : operations) {
      EXPECT_EQ(unsafe, errorOf(run)) << operation;
    }
  }
};

TEST_F(LocalStorageTest, BadNamesAreRefusedBeforeAnythingIsTouched) {
  const std::string names[] = {"", ".", "..", "a/b", "/", "../escape", std::string("a\0b", 3), std::string(1, '\0')};
  for (const auto& bad : names) {
    SCOPED_TRACE(::testing::PrintToString(bad));
    expectEveryOperationRefused(bad, {});
    expectEveryOperationRefused("file", {"ok", bad});
    EXPECT_EQ(unsafe, errorOf([&] { storage.openDirectory({bad}, true); }));
    EXPECT_FALSE(fs::exists(root)) << "created on the way to the bad component";
  }
}

TEST_F(LocalStorageTest, UnusableRootsAreRefused) {
  fs::create_directory(temporary / "x");
  const Url roots[] = {
      Url::fileUrl("/", true),
      Url::fileUrl((temporary.path() / "../../../../../../../..").string(), true),  // folds to "/"
      *Url::parse("file://server/data/com.quillon.app/"),
      *Url::parse("https://example.com/com.quillon.app/"),
      // "%00" decodes to NUL, which would cut the path short at the system call.
      *Url::parse("file://" + (temporary / "x%00/com.quillon.app").string()),
  };
  for (const auto& url : roots) {
    SCOPED_TRACE(url.absoluteString());
    LaunchLocalStorage odd(url);
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
  EXPECT_EQ(std::set<std::string>{}, entries(root / "Previews")) << "looking created something";
  // A missing parent of the data directory is not "absent": the data directory can't be
  // where it should be.
  LaunchLocalStorage orphan(Url::fileUrl((temporary / "missing" / "com.quillon.app").string(), true));
  EXPECT_EQ(LaunchStorageError::unavailable(ENOENT), errorOf([&] { orphan.read("file", {}, 10); }));
}

TEST_F(LocalStorageTest, WriteCreatesPrivateDirectoriesReplacesAndRemoves) {
  fs::create_directory(root);
  fs::permissions(root, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
  const LaunchLocalStorage::Components nested = {"Previews", "Nested"};
  storage.write(bytesOf("first"), "image.preview", nested);
  EXPECT_EQ(fs::perms::owner_all, modeOf(root)) << "an existing data directory is tightened";
  EXPECT_EQ(fs::perms::owner_all, modeOf(root / "Previews"));
  EXPECT_EQ(fs::perms::owner_all, modeOf(root / "Previews" / "Nested"));
  EXPECT_EQ(privateFile, modeOf(root / "Previews" / "Nested" / "image.preview"));
  EXPECT_EQ(bytesOf("first"), storage.read("image.preview", nested, 100));

  storage.write(bytesOf("second, longer"), "image.preview", nested);
  EXPECT_EQ(bytesOf("second, longer"), storage.read("image.preview", nested, 100));
  storage.write({}, "image.preview", nested);
  EXPECT_EQ(Bytes{}, storage.read("image.preview", nested, 0));
  storage.write(bytesOf("y"), "other", nested);
  EXPECT_EQ((std::set<std::string>{"image.preview", "other"}), entries(root / "Previews" / "Nested"));
  storage.remove("image.preview", nested);
  EXPECT_EQ(std::set<std::string>{"other"}, entries(root / "Previews" / "Nested"));
}

TEST_F(LocalStorageTest, FailedWriteKeepsTheOldContentAndLeavesNoTemporary) {
  storage.write(bytesOf("old"), "file", {});
  {
    testing_files::ScopedFileSizeLimit diskFull(100);
    EXPECT_EQ(LaunchStorageError::unavailable(EFBIG), errorOf([&] { storage.write(Bytes(1000, 'x'), "file", {}); }));
  }
  EXPECT_EQ(bytesOf("old"), readFile(root / "file"));
  EXPECT_EQ(std::set<std::string>{"file"}, entries(root));
}

TEST_F(LocalStorageTest, ReadBoundsTheSizeAtExactlyTheLimit) {
  fs::create_directory(root);
  // 16'384 is one read chunk: the bound must hold on either side of a chunk edge.
  const std::size_t limits[] = {0, 16'383, 16'384, 40'000};
  for (const std::size_t limit : limits) {
    for (const std::size_t size : {limit, limit + 1}) {
      SCOPED_TRACE(::testing::Message() << size << " bytes, limit " << limit);
      Bytes data(size);
      for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
      writeFile(root / "file", data);
      if (size == limit) {
        EXPECT_EQ(data, storage.read("file", {}, limit));
      } else {
        EXPECT_EQ(LaunchStorageError::tooLarge, errorOf([&] { storage.read("file", {}, limit); }));
      }
    }
  }
}

// /proc/<pid>/maps is a regular file, ours, with one link, that reports size 0 but
// yields far more: exactly a file that grew after fstat.
TEST_F(LocalStorageTest, ReadStopsAFileThatGrowsPastTheLimitWhileBeingRead) {
  const std::string proc = "/proc/" + std::to_string(::getpid());
  if (!fs::exists(proc + "/maps")) GTEST_SKIP() << "needs /proc, whose files grow after fstat";
  LaunchLocalStorage procStorage(Url::fileUrl(proc, true));
  ASSERT_EQ(0u, fs::file_size(proc + "/maps"));
  EXPECT_EQ(LaunchStorageError::tooLarge, errorOf([&] { procStorage.read("maps", {}, 64); }));
  auto whole = procStorage.read("maps", {}, 16 * 1024 * 1024);
  ASSERT_TRUE(whole);
  EXPECT_GT(whole->size(), 64u);
}

// Whatever is planted in the data directory, nothing outside it is read or changed and
// the planted entry stays as it is.
TEST_F(LocalStorageTest, PlantedLinksFifosAndForeignOwnersAreRefusedAtEveryLevel) {
  const fs::path elsewhere = temporary / "elsewhere";
  const auto link = [](fs::path target, fs::path at) { return [=] { fs::create_symlink(target, at); }; };
  const auto giveAway = [](fs::path path) { return [=] { ASSERT_EQ(0, ::lchown(path.c_str(), 4242, 4242)); }; };
  const struct {
    const char* name;
    std::function<void()> plant;
    fs::path planted;
    LaunchLocalStorage::Components components;
  } cases[] = {
      {"linked data directory", link(elsewhere, root), root, {}},
      {"linked sub-directory", link(elsewhere / "Previews", root / "Previews"), root / "Previews", {"Previews"}},
      {"linked file", link(elsewhere / "file", root / "file"), root / "file", {}},
      {"dangling file link", link(elsewhere / "nothing", root / "file"), root / "file", {}},
      {"dangling directory link", link(elsewhere / "nothing", root), root, {}},
      {"hard link", [&] { fs::create_hard_link(elsewhere / "file", root / "file"); }, root / "file", {}},
      {"directory named as the file", [&] { fs::create_directory(root / "file"); }, root / "file", {}},
      {"fifo", [&] { ASSERT_EQ(0, ::mkfifo((root / "file").c_str(), 0600)); }, root / "file", {}},
      {"file where a directory belongs",
       [&] { writeFile(root / "Previews", bytesOf("x")); },
       root / "Previews",
       {"Previews"}},
      {"foreign file", giveAway(root / "file"), root / "file", {}},
      {"foreign data directory", giveAway(root), root, {}},
      {"foreign sub-directory", giveAway(root / "Previews"), root / "Previews", {"Previews"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const bool foreign = std::string_view(c.name).starts_with("foreign");
    if (foreign && ::geteuid() != 0) continue;  // only root can give files away
    fs::remove_all(root);
    fs::remove_all(elsewhere);
    fs::create_directories(elsewhere / "Previews");
    writeFile(elsewhere / "file", bytesOf("outside"));
    writeFile(elsewhere / "Previews" / "file", bytesOf("outside"));
    if (foreign) {
      fs::create_directories(root / "Previews");
      writeFile(root / "file", bytesOf("theirs"));
      writeFile(root / "Previews" / "file", bytesOf("theirs"));
    } else if (c.planted != root) {
      fs::create_directory(root);
    }
    c.plant();
    const auto before = fs::symlink_status(c.planted).type();
    expectEveryOperationRefused("file", c.components);
    if (c.planted.filename() != "file") {
      EXPECT_EQ(unsafe, errorOf([&] { storage.openDirectory(c.components, true); }));
    }
    EXPECT_EQ(before, fs::symlink_status(c.planted).type()) << "removed or replaced instead of refused";
    EXPECT_EQ(bytesOf("outside"), readFile(elsewhere / "file"));
    EXPECT_EQ(bytesOf("outside"), readFile(elsewhere / "Previews" / "file"));
    EXPECT_EQ((std::set<std::string>{"Previews", "file"}), entries(elsewhere));
    if (foreign) {
      EXPECT_EQ(bytesOf("theirs"), readFile(root / "file"));
      EXPECT_EQ(bytesOf("theirs"), readFile(root / "Previews" / "file"));
    }
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

TEST_F(LocalStorageTest, PreserveCopiesBesideTheOriginal) {
  EXPECT_EQ(LaunchStorageError::invalidRecord, errorOf([&] { storage.preserve("registry.json"); }));
  const Bytes original(70'000, 0xAB);  // more than one read chunk
  storage.write(original, "registry.json", {});
  const Url first = storage.preserve("registry.json");
  const Url second = storage.preserve("registry.json");
  EXPECT_NE(first, second);
  for (const Url& backup : {first, second}) {
    const std::string name = backup.lastPathComponent();
    const std::string prefix = "registry.json.preserved-";
    ASSERT_EQ(0u, name.rfind(prefix, 0)) << name;
    const auto uuid = Uuid::parse(name.substr(prefix.size()));
    ASSERT_TRUE(uuid && uuid->toString() == name.substr(prefix.size())) << name << " (upper-case UUID)";
    EXPECT_EQ((root / name).string(), backup.path());
    EXPECT_EQ(original, readFile(backup.path()));
    EXPECT_EQ(privateFile, modeOf(backup.path()));
  }
  EXPECT_EQ(original, readFile(root / "registry.json"));
  EXPECT_EQ(3u, entries(root).size());
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
  auto openDescriptors = [] { return std::distance(fs::directory_iterator("/dev/fd"), fs::directory_iterator()); };
  const auto before = openDescriptors();
  for (int round = 0; round < 3; ++round) {
    storage.write(bytesOf("ok"), "file", {"sub", "deeper"});
    storage.read("file", {"sub", "deeper"}, 10);
    errorOf([&] { storage.read("big", {}, 10); });           // too large after open
    errorOf([&] { storage.read("link", {}, 10); });          // unsafe file
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
  EXPECT_EQ(before, openDescriptors());
}

}  // namespace
}  // namespace quillon
