#include "core/app/app_registry_recovery.h"

#include "core/localization/l10n.h"
#include "core/platform/launch_alert_presenter.h"
#include "core/storage/registry/app_registry.h"
#include "core/app/launch_recovery_presenter.h"
#include "core/storage/files/launch_storage_error.h"

namespace quillon {

AppRegistryRecovery::AppRegistryRecovery(AppRegistry& registry, LaunchAlertPresenter& alerts, Actions actions)
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

std::optional<LocalizedText> AppRegistryRecovery::reset() {
  if (actions_.isSwitching()) return std::nullopt;
  const bool confirmed = LaunchRecoveryPresenter(alerts_).confirm(
      LocalizedText("アプリの登録データを初期化しますか？"),
      LocalizedText("元の登録データをバックアップとして保全したうえで、登録一覧だけを空にします。アプリ自体は削除・終了しません。保存画像もここでは削除しません。使いたい.appは、あとで登録し直せます。"));
  if (!confirmed || actions_.isSwitching()) return std::nullopt;

  const auto close = L10n::text(LocalizedText("閉じる"));
  try {
    const Url backup = registry_.store().resetPreservingBackup();
    registry_.setApps(registry_.store().loadApps());
    actions_.registryChanged();
    auto result = LocalizedText::format("登録一覧を初期化しました。元の登録データ: {}\n起動中のアプリと保存画像は変更していません。",
                                        backup.path());
    alerts_.runModal({LaunchAlert::Style::informational, L10n::text(LocalizedText("元の登録データを保全しました")),
                      L10n::text(result), {close}});
    return result;
  } catch (const LaunchStorageError& error) {
    actions_.registryChanged();
    alerts_.runModal({LaunchAlert::Style::warning, L10n::text(LocalizedText("登録データを初期化できませんでした")),
                      error.description(), {close}});
    return std::nullopt;
  }
}

}  // namespace quillon
