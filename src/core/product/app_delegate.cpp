#include "core/product/app_delegate.h"

#include "core/localization/l10n.h"
#include "core/platform/alert_presenter.h"
#include "core/platform/log_sink.h"
#include "core/product/launch_instance_acquisition.h"

namespace quillon {

AppDelegate::AppDelegate(Url dataDirectory, MainLoop& loop, LogSink& log, AlertPresenter& alerts, Hooks hooks)
    : dataDirectory_(std::move(dataDirectory)), loop_(loop), log_(log), alerts_(alerts), hooks_(std::move(hooks)) {}

Alert AppDelegate::startFailureAlert(const std::string& message) {
  Alert alert;
  alert.style = Alert::Style::warning;
  alert.messageText = L10n::text(LocalizedText("Quillonを開始できません"));
  alert.informativeText = message + L10n::text(LocalizedText("\n登録・保存画像・起動中のアプリは変更していません。"));
  alert.buttons = {L10n::text(LocalizedText("閉じる"))};
  return alert;
}

Task<void> AppDelegate::reportStartFailure(std::string message) {
  Alert alert = startFailureAlert(message);
  if (hooks_.reportStartFailure) hooks_.reportStartFailure(alert);
  co_await alerts_.showAlert(std::move(alert));
}

void AppDelegate::applicationDidFinishLaunching() {
  if (hooks_.becomeAccessory) hooks_.becomeAccessory();
  auto acquisition = LaunchSingleInstance::acquire(dataDirectory_);
  switch (acquisition.kind()) {
    case LaunchInstanceAcquisition::Kind::alreadyRunning:
      // Silent: the running instance is what the user wanted; nothing else is created.
      log_.log("[Quillon/startup] another instance owns the local data and input; closing this instance");
      if (hooks_.passToRunningInstance) hooks_.passToRunningInstance();
      if (hooks_.terminate) hooks_.terminate(0);
      return;
    case LaunchInstanceAcquisition::Kind::unavailable: {
      // The application ends once the user closed the alert, whichever way.
      std::function<void(Result<void>)> done = [this](const Result<void>&) {
        if (hooks_.terminate) hooks_.terminate(startFailureStatus);
      };
      startFailure_ = spawn(loop_, reportStartFailure(acquisition.message()), std::move(done));
      return;
    }
    case LaunchInstanceAcquisition::Kind::acquired:
      instanceLock_ = acquisition.takeInstance();
      hasStarted_ = true;
      if (hooks_.compose) hooks_.compose();
      return;
  }
}

void AppDelegate::applicationWillTerminate() {
  isTerminating_ = true;
  startFailure_.reset();
  if (hasStarted_ && hooks_.tearDown) hooks_.tearDown();
  // The lock goes with the process; the lock file stays where it is.
}

}  // namespace quillon
