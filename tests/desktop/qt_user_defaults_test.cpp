#include "desktop/qt_user_defaults.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <QSettings>

#include "support/storage_test_files.h"
#include "support/temporary_directory.h"
#include "support/test_app_bundle.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

// Every test works on a file in a temporary directory; the user's own configuration
// is never opened.
struct QtUserDefaultsTest : ::testing::Test {
  TemporaryDirectory temporary;
  std::string path = (temporary / "defaults.ini").string();
};

TEST_F(QtUserDefaultsTest, DataOfEveryByteValueReachesEveryReaderOfTheFile) {
  Bytes blob;
  for (int i = 0; i < 256; ++i) blob.push_back(static_cast<std::uint8_t>(i));
  blob.insert(blob.end(), {'\n', '"', '\\', '@', ']'});
  const auto earlier = QtUserDefaults::atPath(path);
  EXPECT_EQ(std::nullopt, earlier->data("com.quillon.registeredApps"));
  QtUserDefaults::atPath(path)->setData(blob, "com.quillon.registeredApps");
  EXPECT_EQ(blob, earlier->data("com.quillon.registeredApps")) << "a reader opened before the write";
  const auto reopened = QtUserDefaults::atPath(path);
  EXPECT_EQ(blob, reopened->data("com.quillon.registeredApps"));
  EXPECT_EQ(PropertyListValue{blob}, reopened->object("com.quillon.registeredApps"));
}

TEST_F(QtUserDefaultsTest, ValuesOfOtherTypesReadAsTheirTypes) {
  {
    QSettings settings(QString::fromStdString(path), QSettings::IniFormat);
    settings.setValue("tuning.threshold", 0.75);
    settings.setValue("tuning.directionSign", -1);
    settings.setValue("flag", true);
    settings.setValue("name", "ノッチ");
    settings.setValue("list", QStringList{"a", "b"});
  }
  writeTestFile(temporary / "by-hand.ini", "[General]\ntuning.minPageInterval=0.12\n");

  const auto defaults = QtUserDefaults::atPath(path);
  EXPECT_EQ(PropertyListValue{0.75}, defaults->object("tuning.threshold"));
  EXPECT_EQ(PropertyListValue{std::int64_t{-1}}, defaults->object("tuning.directionSign"));
  EXPECT_EQ(PropertyListValue{true}, defaults->object("flag"));
  EXPECT_EQ(PropertyListValue{std::string("ノッチ")}, defaults->object("name"));
  EXPECT_EQ((PropertyListValue{
                PropertyListValue::Array{PropertyListValue{std::string("a")}, PropertyListValue{std::string("b")}}}),
            defaults->object("list"));
  EXPECT_EQ(std::nullopt, defaults->object("absent"));
  EXPECT_EQ(std::nullopt, defaults->data("name")) << "text is not data";
  EXPECT_EQ(PropertyListValue{0.12},
            QtUserDefaults::atPath((temporary / "by-hand.ini").string())->object("tuning.minPageInterval"));
}

TEST_F(QtUserDefaultsTest, AWriteThatCannotReachTheDiskDoesNotReadBack) {
  writeTestFile(temporary / "blocker", "a file where the folder should be");
  const auto defaults = QtUserDefaults::atPath((temporary / "blocker" / "defaults.ini").string());
  defaults->setData(bytesOf("[]"), "com.quillon.registeredApps");
  EXPECT_EQ(std::nullopt, defaults->data("com.quillon.registeredApps"));

  // Once the disk can be written again, so can the value.
  fs::remove(temporary / "blocker");
  fs::create_directory(temporary / "blocker");
  defaults->setData(bytesOf("[1]"), "com.quillon.registeredApps");
  EXPECT_EQ(bytesOf("[1]"), defaults->data("com.quillon.registeredApps"));
}

TEST_F(QtUserDefaultsTest, AFailedWriteReadsBackThePreviousValue) {
  const auto defaults = QtUserDefaults::atPath(path);
  defaults->setData(bytesOf("[\"kept\"]"), "com.quillon.registeredApps");
  {
    testing_files::ScopedFileSizeLimit diskFull(8);
    defaults->setData(bytesOf("[\"lost, because the disk is full\"]"), "com.quillon.registeredApps");
    EXPECT_EQ(bytesOf("[\"kept\"]"), defaults->data("com.quillon.registeredApps"));
  }
  EXPECT_EQ(bytesOf("[\"kept\"]"), QtUserDefaults::atPath(path)->data("com.quillon.registeredApps"));
}

}  // namespace
}  // namespace quillon
