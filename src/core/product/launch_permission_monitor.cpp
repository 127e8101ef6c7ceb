#include "core/product/launch_permission_monitor.h"

#include <fmt/format.h>

#include "core/localization/l10n.h"
#include "core/platform/log_sink.h"
#include "core/platform/workspace.h"

namespace quillon {

std::vector<std::string> LaunchPermissionState::menuLines() const {
  const LocalizedText accessibility = accessibilityTrusted
                                          ? LocalizedText("アクセシビリティ: 許可済み")
                                          : LocalizedText("アクセシビリティ: 未許可または未反映（許可・再起動を確認）");
  const LocalizedText screen = screenCaptureAllowed ? LocalizedText("画面収録: 許可済み")
                               : screenPermissionRequested
                                   ? LocalizedText("画面収録（画像用・任意）: 未許可または未反映")
                                   : LocalizedText("画面収録（画像用・任意）: 未許可");
  const LocalizedText input = !accessibilityTrusted ? LocalizedText("ホットキー切替: 権限待ち（メニューは利用可能）")
                              : !inputTapStarted ? LocalizedText("ホットキー切替: 受付再試行中（再起動も確認）")
                              : screenCaptureAllowed ? LocalizedText("ホットキー切替: 入力受付は起動済み")
                                                     : LocalizedText("ホットキー切替: 入力受付は起動済み（画像なし）");
  std::vector<std::string> lines = {L10n::text(accessibility), L10n::text(screen), L10n::text(input)};
  if (waylandSession) lines.push_back(L10n::text(LocalizedText("ジェスチャーにはX11セッションが必要です")));
  return lines;
}

void LaunchPermissionMonitor::refresh() {
  if (stopped_) return;
  const Permissions permissions = hooks_.readPermissions();
  if (permissions.accessibility && !inputTapStarted_) {
    const bool justGranted = state_ && !state_->accessibilityTrusted;
    const double now = hooks_.now();
    if (justGranted || now - lastStartAttempt_ >= startRetryInterval) {
      lastStartAttempt_ = now;
      inputTapStarted_ = hooks_.startInput && hooks_.startInput();
    }
  }
  const LaunchPermissionState next{permissions.accessibility, permissions.screen, inputTapStarted_,
                                   screenPermissionRequested_, permissions.waylandSession};
  if (state_ == next) return;
  state_ = next;
  log_.log(fmt::format("[Quillon/permissions] AX={} screenCapture={} inputTapStarted={}; {}", next.accessibilityTrusted,
                       next.screenCaptureAllowed, next.inputTapStarted, fmt::join(next.menuLines(), " / ")));
  if (hooks_.onChange) hooks_.onChange(next);
}

void LaunchPermissionMonitor::requestPermissions() {
  if (stopped_) return;
  if (!hooks_.readPermissions().accessibility) {
    if (hooks_.requestAccessibility) hooks_.requestAccessibility();
    lastStartAttempt_ = -std::numeric_limits<double>::infinity();
    refresh();
  }
  if (!stopped_ && !hooks_.readPermissions().screen) {
    requestScreenCapture();
    return;
  }
  // Both present but input did not start: asking means trying again now, not in 5 s.
  lastStartAttempt_ = -std::numeric_limits<double>::infinity();
  refresh();
}

void LaunchPermissionMonitor::requestScreenCapture() {
  if (stopped_) return;
  screenPermissionRequested_ = true;
  if (hooks_.requestScreenCapture) hooks_.requestScreenCapture();
  lastStartAttempt_ = -std::numeric_limits<double>::infinity();
  refresh();
}

bool LaunchPermissionMonitor::openSettingsPane(Workspace& workspace, const std::string& anchor) {
  if (const auto url = Url::parse("x-apple.systempreferences:com.apple.preference.security?" + anchor);
      url && workspace.openUrl(*url)) {
    return true;
  }
  return workspace.openUrl(Url::fileUrl("/System/Applications/System Settings.app", true));
}

}  // namespace quillon
