#include "core/view_models/launch_settings_view_model.h"

#include <exception>

#include "core/async/main_loop.h"
#include "core/localization/l10n.h"
#include "core/records/preferences/launch_preferences_store.h"
#include "core/view_models/launch_confirmed_reset.h"

namespace quillon {

namespace {

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

}  // namespace

LaunchSettingsViewModel::LaunchSettingsViewModel(LaunchPreferencesStore& store, MainLoop& loop, Callbacks callbacks)
    : store_(store), loop_(loop), callbacks_(std::move(callbacks)) {
  viewState_.preferences = callbacks_.readPreferences ? callbacks_.readPreferences() : store_.load();
  if (store_.loadFailed()) {
    viewState_.message = L10n::text(LaunchPreferencesStore::fallbackNotice());
    viewState_.isError = true;
  }
  viewState_.storageError = store_.storageError();
  if (callbacks_.readImageStorageError) viewState_.imageStorageError = callbacks_.readImageStorageError();
}

void LaunchSettingsViewModel::send(const LaunchSettingsViewEvent& event) {
  std::visit(Overloaded{
                 [this](const LaunchSettingsViewEvent::ToggleModifier& e) { toggleModifier(e.flag); },
                 [this](const LaunchSettingsViewEvent::UseShortcut& e) {
                   save(with(&LaunchPreferences::shortcut, e.shortcut));
                 },
                 [this](const LaunchSettingsViewEvent::SavePreviews& e) {
                   save(with(&LaunchPreferences::savePreviews, e.value));
                 },
                 [this](const LaunchSettingsViewEvent::SwitchWithVerticalScroll& e) {
                   save(with(&LaunchPreferences::switchWithVerticalScroll, e.value));
                 },
                 [this](const LaunchSettingsViewEvent::ClearPreviews&) { clearPreviews(); },
                 [this](const LaunchSettingsViewEvent::RetryStorage&) { retryStorage(); },
                 [this](const LaunchSettingsViewEvent::ResetStorage&) {
                   // One confirmation at a time: a second click while it is open is dropped.
                   if (!isResetPending()) reset_ = spawn(loop_, resetStorage());
                 },
             },
             event.value);
}

void LaunchSettingsViewModel::refreshErrors() {
  viewState_.storageError = store_.storageError();
  viewState_.imageStorageError = callbacks_.readImageStorageError ? callbacks_.readImageStorageError() : std::nullopt;
  publish();
}

void LaunchSettingsViewModel::toggleModifier(EventFlags flag) {
  const EventFlags current = viewState_.preferences.shortcut.rawValue();
  const auto next = LaunchModifierShortcut::fromRawValue(current ^ flag);
  // Removing the only key, or a flag outside the four modifiers, would leave no chord.
  if (flag == current || !next) {
    setMessage(L10n::text(LocalizedText("少なくとも1つのキーを選んでください。")), true);
    return;
  }
  save(with(&LaunchPreferences::shortcut, *next));
}

void LaunchSettingsViewModel::save(LaunchPreferences preferences) {
  try {
    store_.save(preferences);
  } catch (const Error&) {
    std::string message = L10n::text(LocalizedText("設定を保存できませんでした。変更は適用していません。"));
    message += store_.loadFailed() ? L10n::text(LocalizedText("元のデータを保護しています。「保存先を再確認」または「設"
                                                              "定データの復旧について…」から確認してください。"))
                                   : L10n::text(LocalizedText("保存先のアクセス権と空き容量を確認してください。"));
    viewState_.storageError = store_.storageError();
    setMessage(std::move(message), true);
    return;
  }
  viewState_.preferences = preferences;
  viewState_.storageError = store_.storageError();
  auto feedback = callbacks_.onChange ? callbacks_.onChange(preferences) : std::nullopt;
  const bool isError = feedback.has_value();
  setMessage(std::move(feedback), isError);
}

void LaunchSettingsViewModel::clearPreviews() {
  auto failure = callbacks_.onClearPreviews ? callbacks_.onClearPreviews() : std::nullopt;
  viewState_.imageStorageError = callbacks_.readImageStorageError ? callbacks_.readImageStorageError() : std::nullopt;
  if (failure) {
    setMessage(std::move(failure), true);
  } else if (viewState_.preferences.savePreviews) {
    setMessage(L10n::text(LocalizedText("保存画像を削除しました。次に開いた画像から再び記憶します。")), false);
  } else {
    setMessage(L10n::text(LocalizedText("保存画像と一時画像を削除しました。画像の保存はOFFです。")), false);
  }
}

void LaunchSettingsViewModel::retryStorage() {
  const LaunchPreferences loaded = store_.load();
  if (!store_.loadFailed()) {
    viewState_.preferences = loaded;
    auto feedback = callbacks_.onApplyReloaded ? callbacks_.onApplyReloaded(loaded) : std::nullopt;
    viewState_.isError = feedback.has_value();
    viewState_.message = feedback ? std::move(*feedback)
                                  : L10n::text(LocalizedText("保存先を再確認しました。読み込んだ設定を反映しました。"));
  }
  viewState_.storageError = store_.storageError();
  viewState_.imageStorageError = callbacks_.readImageStorageError ? callbacks_.readImageStorageError() : std::nullopt;
  publish();
}

Task<void> LaunchSettingsViewModel::resetStorage() {
  Task<std::optional<LaunchResetResult>> reset = confirmedReset(callbacks_.confirmReset, callbacks_.resetStore);
  const auto outcome = co_await std::move(reset);
  if (!outcome) co_return;
  if (const auto* failure = std::get_if<std::string>(&*outcome)) {
    setMessage(*failure, true);
    co_return;
  }
  const Url& backup = std::get<Url>(*outcome);
  const LaunchPreferences loaded = store_.load();
  if (store_.loadFailed()) {
    setMessage(L10n::text(LocalizedText::format(
                   "元の設定は保全しましたが、初期化後の設定を読み込めなかったため反映していません。現在の呼び出しキー"
                   "と画像保存の動作は変更していません。「保存先を再確認」から再試行してください。バックアップ: {}",
                   backup.path())),
               true);
    co_return;
  }
  viewState_.preferences = loaded;
  viewState_.storageError.reset();
  auto feedback = callbacks_.onApplyReloaded ? callbacks_.onApplyReloaded(loaded) : std::nullopt;
  std::string message = L10n::text(LocalizedText::format(
      "元の設定を保全して、呼び出しキーと画像保存の設定を初期化しました。バックアップ: {}", backup.path()));
  if (feedback) message += L10n::text(LocalizedText::format("\n設定の初期化後に確認が必要です: {}", *feedback));
  setMessage(std::move(message), false);
}

void LaunchSettingsViewModel::setMessage(std::optional<std::string> message, bool isError) {
  viewState_.message = std::move(message);
  viewState_.isError = viewState_.message.has_value() && isError;
  publish();
}

void LaunchSettingsViewModel::publish() { observers_.notify(viewState_); }

}  // namespace quillon
