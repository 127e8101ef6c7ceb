#include "core/product/launch_recovery_presenter.h"

#include "core/localization/l10n.h"
#include "core/platform/alert_presenter.h"

namespace quillon {

Task<bool> LaunchRecoveryPresenter::confirm(LocalizedText title, LocalizedText detail) {
  constexpr int preserveAndReset = 1;
  Alert alert;
  alert.style = Alert::Style::warning;
  alert.messageText = L10n::text(title);
  alert.informativeText = L10n::text(detail) + "\n\n" +
                          L10n::text(LocalizedText("安全にバックアップを作れない場合は、初期化せず停止します。"));
  alert.buttons = {L10n::text(LocalizedText("キャンセル")), L10n::text(LocalizedText("元のデータを保全して初期化"))};
  co_return co_await alerts_.showAlert(std::move(alert)) == preserveAndReset;
}

}  // namespace quillon
