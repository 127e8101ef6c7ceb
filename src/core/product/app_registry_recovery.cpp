#include "core/product/app_registry_recovery.h"

#include "core/localization/l10n.h"
#include "core/platform/alert_presenter.h"
#include "core/product/launch_recovery_presenter.h"
#include "core/records/registry/app_registry.h"
#include "core/storage/files/launch_storage_error.h"

namespace quillon {

AppRegistryRecovery::AppRegistryRecovery(AppRegistry& registry, AlertPresenter& alerts, Actions actions)
    : registry_(registry), alerts_(alerts), actions_(std::move(actions)) {}

std::optional<LocalizedText> AppRegistryRecovery::reload() {
  if (actions_.isSwitching()) return std::nullopt;
  auto apps = registry_.store().loadApps();
  const bool succeeded = !registry_.store().loadFailed();
  if (succeeded) registry_.setApps(std::move(apps));
  actions_.registryChanged();
  if (!succeeded) return std::nullopt;
  return LocalizedText("登録データを再確認しました。");
}

bool AppRegistryRecovery::reloadIfStoredValueChanged() {
  // Left for a later tick while a switch runs: the change stays visible until it is read.
  if (actions_.isSwitching() || !registry_.store().storedValueChanged()) return false;
  reload();
  return true;
}

Task<std::optional<LocalizedText>> AppRegistryRecovery::reset() {
  if (actions_.isSwitching()) co_return std::nullopt;
  LaunchRecoveryPresenter presenter(alerts_);
  const bool confirmed = co_await presenter.confirm(
      LocalizedText("アプリの登録データを初期化しますか？"),
      LocalizedText("元の登録データをバックアップとして保全したうえで、登録一覧だけを空にします。アプリ自体は削除・終了"
                    "しません。保存画像もここでは削除しません。使いたい.appは、あとで登録し直せます。"));
  // The question stayed open while the main loop ran on: a switch may have started.
  if (!confirmed || actions_.isSwitching()) co_return std::nullopt;

  const auto close = L10n::text(LocalizedText("閉じる"));
  // Awaiting is not allowed inside a handler, so the outcome is settled first and the
  // alert shown after.
  std::optional<LocalizedText> result;
  std::string failure;
  try {
    const Url backup = registry_.store().resetPreservingBackup();
    registry_.setApps(registry_.store().loadApps());
    result = LocalizedText::format(
        "登録一覧を初期化しました。元の登録データ: {}\n起動中のアプリと保存画像は変更していません。", backup.path());
  } catch (const Error& error) {
    failure = error.description();
  }
  actions_.registryChanged();
  Alert alert{Alert::Style::warning, L10n::text(LocalizedText("登録データを初期化できませんでした")), failure, {close}};
  if (result) {
    alert = {Alert::Style::informational,
             L10n::text(LocalizedText("元の登録データを保全しました")),
             L10n::text(*result),
             {close}};
  }
  co_await alerts_.showAlert(std::move(alert));
  co_return result;
}

}  // namespace quillon
