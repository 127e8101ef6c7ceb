#include "core/view_models/launch_settings_view_model.h"

#include <gtest/gtest.h>

#include "core/localization/l10n.h"
#include "core/records/preferences/launch_preferences_store.h"
#include "support/manual_main_loop.h"
#include "support/storage_test_files.h"
#include "support/temporary_directory.h"

namespace quillon {
namespace {

using testing_files::readFile;
using testing_files::writeFile;
constexpr auto kShift = LaunchModifierShortcut::shiftFlag;
constexpr auto kCommand = LaunchModifierShortcut::commandFlag;

struct LaunchSettingsViewModelTest : ::testing::Test {
  TemporaryDirectory temporary;
  std::filesystem::path file = temporary / "preferences.plist";
  LaunchPreferencesStore store{Url::fileUrl(file.string(), false)};
  ManualClock clock;
  ManualMainLoop loop{clock};
  std::vector<LaunchPreferences> applied;
  std::vector<LaunchPreferences> reloaded;
  std::optional<std::string> changeText;
  std::optional<std::string> clearFailure;
  std::optional<std::string> imageError;
  bool confirm = true;
  std::function<Url()> resetStore = [this] { return store.resetPreservingBackup(); };

  std::unique_ptr<LaunchSettingsViewModel> makeModel() {
    LaunchSettingsViewModel::Callbacks callbacks;
    callbacks.onChange = [this](const LaunchPreferences& p) {
      applied.push_back(p);
      return changeText;
    };
    callbacks.onApplyReloaded = [this](const LaunchPreferences& p) {
      reloaded.push_back(p);
      return changeText;
    };
    callbacks.onClearPreviews = [this] { return clearFailure; };
    callbacks.readImageStorageError = [this] { return imageError; };
    callbacks.confirmReset = [this]() -> Task<bool> { co_return confirm; };
    callbacks.resetStore = [this] { return resetStore(); };
    return std::make_unique<LaunchSettingsViewModel>(store, loop, std::move(callbacks));
  }
  void saved(LaunchPreferences preferences) { store.save(preferences); }
  static std::string text(const char* source) { return L10n::text(LocalizedText(source)); }
};

TEST_F(LaunchSettingsViewModelTest, KeyButtonsChangeTheChordOnlyWhenOneKeyRemains) {
  const std::string atLeastOne = text("少なくとも1つのキーを選んでください。");
  struct Row {
    const char* name;
    EventFlags start;
    EventFlags flag;
    EventFlags expected;  // the chord in force afterwards
    bool refused;
  };
  const Row rows[] = {
      {"the only key", kCommand, kCommand, kCommand, true},
      {"one of two", kCommand | kShift, kCommand, kShift, false},
      {"adds a key", kCommand, kShift, kCommand | kShift, false},
      {"a flag outside the four", kCommand, 0x800000, kCommand, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    saved({*LaunchModifierShortcut::fromRawValue(row.start), true});
    applied.clear();
    auto model = makeModel();
    model->send(LaunchSettingsViewEvent::toggleModifier(row.flag));
    EXPECT_EQ(row.expected, model->viewState().preferences.shortcut.rawValue());
    EXPECT_EQ(row.expected, store.load().shortcut.rawValue());
    EXPECT_EQ(row.refused ? std::optional(atLeastOne) : std::nullopt, model->viewState().message);
    EXPECT_EQ(row.refused, model->viewState().isError);
    EXPECT_EQ(row.refused ? 0u : 1u, applied.size());
  }
}

TEST_F(LaunchSettingsViewModelTest, SavesApplyAfterTheWriteAndShowTheCallbacksText) {
  auto model = makeModel();
  model->send(LaunchSettingsViewEvent::savePreviews(false));
  EXPECT_EQ((LaunchPreferences{LaunchModifierShortcut::command(), false}), store.load());
  ASSERT_EQ(1u, applied.size());
  EXPECT_FALSE(applied[0].savePreviews);
  EXPECT_FALSE(model->viewState().message);

  // Each setting changes alone; the others stay as they are.
  model->send(LaunchSettingsViewEvent::switchWithVerticalScroll(true));
  EXPECT_EQ((LaunchPreferences{LaunchModifierShortcut::command(), false, true}), store.load());
  ASSERT_EQ(2u, applied.size());
  EXPECT_TRUE(applied[1].switchWithVerticalScroll);

  changeText = "cache error";
  model->send(LaunchSettingsViewEvent::useShortcut(LaunchModifierShortcut::optionShift()));
  EXPECT_EQ((LaunchPreferences{LaunchModifierShortcut::optionShift(), false, true}), store.load());
  EXPECT_EQ(std::optional<std::string>("cache error"), model->viewState().message);
  EXPECT_TRUE(model->viewState().isError);
}

TEST_F(LaunchSettingsViewModelTest, AFailedSaveChangesNothingAndSaysWhy) {
  const std::string failed = text("設定を保存できませんでした。変更は適用していません。");
  {
    // A full disk: the file stays readable, so the hint is about space and permissions.
    auto model = makeModel();
    testing_files::ScopedFileSizeLimit limit(8);
    model->send(LaunchSettingsViewEvent::savePreviews(false));
    EXPECT_EQ(failed + text("保存先のアクセス権と空き容量を確認してください。"), model->viewState().message);
    EXPECT_TRUE(model->viewState().preferences.savePreviews);
    EXPECT_TRUE(model->viewState().storageError);
  }
  // An unreadable file is protected; the message points at the recovery buttons.
  writeFile(file, bytesOf("garbage"));
  auto model = makeModel();
  EXPECT_EQ(L10n::text(LaunchPreferencesStore::fallbackNotice()), model->viewState().message);
  model->send(LaunchSettingsViewEvent::toggleModifier(kShift));
  EXPECT_EQ(failed + text("元のデータを保護しています。「保存先を再確認」または「設定データの復旧について…」から確認し"
                          "てください。"),
            model->viewState().message);
  EXPECT_EQ(LaunchModifierShortcut::command(), model->viewState().preferences.shortcut);
  EXPECT_EQ(bytesOf("garbage"), readFile(file));
  EXPECT_TRUE(applied.empty());
}

TEST_F(LaunchSettingsViewModelTest, ClearingPreviewsReportsByTheKeepSettingAndRefreshesTheImageError) {
  struct Row {
    bool savePreviews;
    std::optional<std::string> failure;
    std::string expected;
    bool isError;
  };
  const Row rows[] = {
      {true, std::nullopt, text("保存画像を削除しました。次に開いた画像から再び記憶します。"), false},
      {false, std::nullopt, text("保存画像と一時画像を削除しました。画像の保存はOFFです。"), false},
      {true, "could not delete", "could not delete", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.expected);
    saved({LaunchModifierShortcut::command(), row.savePreviews});
    imageError.reset();
    auto model = makeModel();
    clearFailure = row.failure;
    imageError = row.failure;
    model->send(LaunchSettingsViewEvent::clearPreviews());
    EXPECT_EQ(row.expected, model->viewState().message);
    EXPECT_EQ(row.isError, model->viewState().isError);
    EXPECT_EQ(row.failure, model->viewState().imageStorageError);
  }
}

TEST_F(LaunchSettingsViewModelTest, RetryAppliesTheFileOnlyOnceItReads) {
  writeFile(file, bytesOf("garbage"));
  auto model = makeModel();
  const auto fallback = model->viewState();
  model->send(LaunchSettingsViewEvent::retryStorage());
  EXPECT_EQ(fallback, model->viewState());
  EXPECT_TRUE(reloaded.empty());

  std::filesystem::remove(file);
  saved({LaunchModifierShortcut::optionShift(), true});
  model->send(LaunchSettingsViewEvent::retryStorage());
  EXPECT_EQ(LaunchModifierShortcut::optionShift(), model->viewState().preferences.shortcut);
  EXPECT_EQ(1u, reloaded.size());
  EXPECT_FALSE(model->viewState().storageError);
  EXPECT_EQ(text("保存先を再確認しました。読み込んだ設定を反映しました。"), model->viewState().message);
}

// The program started on the fallback of an unreadable file that was repaired since:
// the window shows what is in force, with its notice, until the user re-reads the file.
TEST_F(LaunchSettingsViewModelTest, TheWindowShowsThePreferencesInForceNotTheFileAsItIsNow) {
  writeFile(file, bytesOf("garbage"));
  const LaunchPreferences inForce = store.load();
  std::filesystem::remove(file);
  LaunchPreferencesStore(Url::fileUrl(file.string(), false)).save({LaunchModifierShortcut::optionShift(), true});
  LaunchSettingsViewModel::Callbacks callbacks;
  callbacks.readPreferences = [&] { return inForce; };
  LaunchSettingsViewModel model(store, loop, std::move(callbacks));
  EXPECT_EQ(inForce, model.viewState().preferences);
  EXPECT_EQ(L10n::text(LaunchPreferencesStore::fallbackNotice()), model.viewState().message);
}

TEST_F(LaunchSettingsViewModelTest, ResetAsksFirstAndAppliesOnlyWhatWasBackedUpAndReread) {
  writeFile(file, bytesOf("garbage"));
  auto model = makeModel();
  const auto before = model->viewState();

  confirm = false;
  model->send(LaunchSettingsViewEvent::resetStorage());
  loop.runUntilIdle();
  EXPECT_EQ(before, model->viewState());
  EXPECT_EQ(bytesOf("garbage"), readFile(file));

  confirm = true;
  resetStore = []() -> Url { throw LaunchStorageError::unavailable(28); };
  model->send(LaunchSettingsViewEvent::resetStorage());
  loop.runUntilIdle();
  EXPECT_EQ(LaunchStorageError::unavailable(28).description(), model->viewState().message);
  EXPECT_EQ(before.preferences, model->viewState().preferences);
  EXPECT_TRUE(reloaded.empty());

  resetStore = [this] { return store.resetPreservingBackup(); };
  model->send(LaunchSettingsViewEvent::resetStorage());
  loop.runUntilIdle();
  EXPECT_EQ((LaunchPreferences{LaunchModifierShortcut::command(), true}), model->viewState().preferences);
  EXPECT_FALSE(model->viewState().storageError);
  EXPECT_FALSE(model->viewState().isError);
  ASSERT_EQ(1u, reloaded.size());
  const auto backups = testing_files::entries(temporary.path());
  ASSERT_EQ(2u, backups.size());
  const std::string backup = *std::find_if(backups.begin(), backups.end(), [](const std::string& name) {
    return name.starts_with("preferences.plist.preserved-");
  });
  EXPECT_EQ(bytesOf("garbage"), readFile(temporary / backup));
  EXPECT_NE(std::string::npos, model->viewState().message->find(backup));
}

}  // namespace
}  // namespace quillon
