#include "core/bundle/launch_lifecycle_error.h"

#include "core/localization/l10n.h"
#include "core/localization/localized_text.h"

namespace quillon {

namespace {

LocalizedText localizedText(LaunchLifecycleError::Code code) {
  using Code = LaunchLifecycleError::Code;
  switch (code) {
    case Code::invalidApplicationURL:
    case Code::invalidExecutable: return LocalizedText("選択したアプリを確認できません。追加し直してください");
    case Code::ownApplication: return LocalizedText("Quillon 自身には切り替えできません");
    case Code::sourceIdentityUnavailable: return LocalizedText("現在のアプリの場所を確認できません");
    case Code::alreadySwitching: return LocalizedText("別の切り替えが進行中です");
    case Code::terminationRefused: return LocalizedText("現在のアプリが終了要求を受け付けませんでした");
    case Code::terminationTimedOut: return LocalizedText("現在のアプリが10秒以内に終了しませんでした");
    case Code::returnedApplicationMismatch: return LocalizedText("指定した場所と異なるアプリが起動しました");
  }
  return LocalizedText("選択したアプリを確認できません。追加し直してください");
}

}  // namespace

std::string launchErrorText(LaunchLifecycleError::Code code, const Error&) { return L10n::text(localizedText(code)); }

}  // namespace quillon
