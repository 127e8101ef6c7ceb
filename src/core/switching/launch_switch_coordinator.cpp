#include "core/switching/launch_switch_coordinator.h"

#include <fmt/format.h>

#include <algorithm>
#include <vector>

#include "core/async/cancellation.h"
#include "core/async/launch_async_wait_error.h"
#include "core/bundle/launch_bundle_location.h"
#include "core/bundle/launch_lifecycle_error.h"
#include "core/bundle/validated_launch_application.h"
#include "core/localization/l10n.h"
#include "core/platform/log_sink.h"
#include "core/records/registry/launch_onboarding_application_validator.h"
#include "core/support/error.h"

namespace quillon {
namespace {

// Both present and the same location once standardised and their links resolved. Equal
// URLs need no look at the file system, which the refresh asks about every second.
bool sameURL(const Url& expected, const std::optional<Url>& other) {
  return other && (*other == expected || canonicalLocation(expected) == canonicalLocation(*other));
}

bool samePath(const Url& expected, const std::optional<std::string>& path, bool isDirectory) {
  return path && !path->empty() && (*path)[0] == '/' && sameURL(expected, Url::fileUrl(*path, isDirectory));
}

}  // namespace

LaunchSwitchCoordinator::LaunchSwitchCoordinator(AppRegistry& registry, Workspace& workspace, MainLoop& loop,
                                                 LogSink& log, LaunchStatusModel& status, PerformSwitch performSwitch,
                                                 double switchTimeout)
    : registry_(registry),
      workspace_(workspace),
      loop_(loop),
      log_(log),
      performSwitch_(std::move(performSwitch)),
      switchTimeout_(switchTimeout),
      switchGate_(loop),
      status_(status) {}

LaunchSwitchCoordinator::~LaunchSwitchCoordinator() { *self_ = nullptr; }

std::string LaunchSwitchCoordinator::failureDescription(const Result<LaunchLifecycleResult>& result) {
  if (result.hasValue()) return {};
  if (const auto* error = result.failure()) return error->description();
  // Not a failure of the product's own (a cancellation, a fault), so it has no words.
  return "unknown error";
}

std::optional<ManagedNotchApp> LaunchSwitchCoordinator::launchableApp(const Uuid& id) const {
  return registry_.launchableApp(id);
}

bool LaunchSwitchCoordinator::isCurrent(const Uuid& id) const {
  return currentID_ == id && isAlive(currentApplication_.get());
}

void LaunchSwitchCoordinator::changed() const {
  if (onChange) onChange();
}

Task<bool> LaunchSwitchCoordinator::select(Uuid id, std::optional<Uuid> expectedSourceID,
                                           std::optional<std::int32_t> expectedSourcePID) {
  if (expectedSourceID && expectedSourcePID) {
    const bool sourceUnchanged = currentID_ == *expectedSourceID && currentApplication_ &&
                                 currentApplication_->processIdentifier() == *expectedSourcePID &&
                                 isAlive(currentApplication_.get());
    if (!sourceUnchanged) {
      status_.showStatus(LocalizedText("切り替えを中止：操作を始めたアプリが変わりました"));
      changed();
      co_return false;
    }
  }
  if (isSwitching_) co_return false;
  const auto app = launchableApp(id);
  const auto url = app ? registry_.resolvedURL(*app) : std::nullopt;
  if (!url) {
    status_.showStatus(LocalizedText("選択先を確認できません。「アプリを追加…」でアプリを登録し直せます"));
    changed();
    co_return false;
  }
  if (isCurrent(id)) co_return true;

  isSwitching_ = true;
  status_.clearFailure();
  status_.clearImageStatus();
  const Uuid token = Uuid::random();
  switchGeneration_ = token;
  ApplicationHandle source = currentApplication_;
  pendingTarget_ = PendingTarget{id, *url};
  status_.showStatus(LocalizedText::format("{} に切り替え中…", app->displayName));
  changed();

  auto onLate = [weak = std::weak_ptr<LaunchSwitchCoordinator*>(self_), token, id,
                 target = *url](Result<LaunchLifecycleResult> result) {
    if (auto self = weak.lock(); self && *self) (*self)->applyLateResult(token, id, target, std::move(result));
  };
  auto operation = [this, source, target = *url]() { return performSwitch_(source, target); };
  std::optional<Result<LaunchLifecycleResult>> failed;
  try {
    auto waited = switchGate_.run(switchTimeout_, false, std::move(onLate), std::move(operation));
    const LaunchLifecycleResult result = co_await std::move(waited);
    pendingTarget_.reset();
    isAwaitingOutcome_ = false;
    const bool ok = accept(result, id, *url);
    const auto& timings = result.timings;
    log_.log(fmt::format("[Quillon/launch] committed {} pid={} terminate={:.3f} open={:.3f} total={:.3f}",
                         app->displayName, result.application ? result.application->processIdentifier() : 0,
                         timings.terminationWait, timings.openCompletion, timings.total));
    isSwitching_ = switchGate_.isRunning();
    changed();
    co_return ok;
  } catch (const Error& error) {
    failed.emplace(error);
  } catch (...) {
    failed.emplace(std::current_exception());
  }

  if (settledSwitchGeneration_ == token) {
    // The late result was applied while the wait unwound; report what it left behind.
    isSwitching_ = switchGate_.isRunning();
    changed();
    co_return isCurrent(id);
  }
  if (!switchGate_.isRunning()) {
    pendingTarget_.reset();
    isAwaitingOutcome_ = false;
    recordSwitchFailure(failureDescription(*failed));
  } else {
    isAwaitingOutcome_ = true;
    status_.showStatus(LocalizedText("切替結果は未確定です。メニューの「切替結果を再確認」を利用してください"));
  }
  const auto& status = status_.status();
  log_.log("[Quillon/launch] " + (status ? L10n::text(*status) : std::string()));
  isSwitching_ = switchGate_.isRunning();
  changed();
  co_return false;
}

void LaunchSwitchCoordinator::applyLateResult(const Uuid& token, const Uuid& id, const Url& url,
                                              Result<LaunchLifecycleResult> result) {
  if (switchGeneration_ != token) return;
  settledSwitchGeneration_ = token;
  isSwitching_ = false;
  isAwaitingOutcome_ = false;
  pendingTarget_.reset();
  if (result.hasValue()) {
    accept(result.value(), id, url);
  } else {
    recordSwitchFailure(failureDescription(result));
  }
  changed();
}

bool LaunchSwitchCoordinator::accept(const LaunchLifecycleResult& result, const Uuid& selectedID,
                                     const Url& expectedURL) {
  const auto app = launchableApp(selectedID);
  if (app && sameURL(expectedURL, registry_.resolvedURL(*app))) {
    currentID_ = selectedID;
    currentApplication_ = result.application;
    status_.showStatus(std::nullopt);
    return true;
  }
  currentApplication_.reset();
  currentID_.reset();
  status_.showStatus(LocalizedText("起動は完了しましたが登録が変わっています。メニューから操作対象を選択してください"));
  return false;
}

void LaunchSwitchCoordinator::recordSwitchFailure(const std::string& description) {
  if (!isAlive(currentApplication_.get())) {
    currentApplication_.reset();
    currentID_.reset();
  }
  status_.showFailure(
      LocalizedText::format("切り替え失敗：{}。メニューで元のアプリまたは別のアプリを選び直せます", description));
}

Task<std::optional<std::vector<ApplicationHandle>>> LaunchSwitchCoordinator::runningApplications() {
  try {
    co_return co_await workspace_.runningApplications();
  } catch (const Error& error) {
    // A partial list could adopt the wrong app or none; keep what is known instead.
    log_.log("[Quillon/launch] running applications unavailable: " + error.description());
  }
  co_return std::nullopt;
}

void LaunchSwitchCoordinator::refreshSoon() {
  if (refreshTask_.isValid() && !refreshTask_.isFinished()) return;
  refreshTask_ = spawn(loop_, refreshRunningSelection());
}

void LaunchSwitchCoordinator::recheckSoon() {
  if (recheckTask_.isValid() && !recheckTask_.isFinished()) return;
  recheckTask_ = spawn(loop_, recheckPending());
}

Task<void> LaunchSwitchCoordinator::refreshRunningSelection() {
  if (isSwitching_) co_return;
  // A living current app stands unless another registered app runs beside it (started
  // elsewhere, or left by a crash), which the scan below still looks for.
  std::optional<ManagedNotchApp> standing;
  if (currentID_ && isAlive(currentApplication_.get())) {
    const auto current = registry_.launchableAppAndURL(*currentID_);
    if (current && samePath(current->second, currentApplication_->bundlePath(), true)) standing = current->first;
  }
  const Uuid generation = switchGeneration_;
  const auto running = co_await runningApplications();
  // A switch may have started, and even ended, while the list was read: it owns the
  // current app now, and the list may predate it.
  if (!running || isSwitching_ || switchGeneration_ != generation) co_return;

  std::vector<RunningMatch> matches;
  for (const auto& app : registry_.launchableApps()) {
    const auto validated = LaunchOnboardingApplicationValidator::validate(app.bundleURL);
    if (!validated.hasValue() || validated.value().bundleIdentifier != app.bundleIdentifier) continue;
    for (const auto& application : *running) {
      if (isAlive(application.get()) && samePath(validated.value().url, application->bundlePath(), true)) {
        matches.push_back({app, application});
      }
    }
  }

  if (standing) {
    const auto isCurrentApp = [&](const RunningMatch& match) { return match.app.id == standing->id; };
    if (std::all_of(matches.begin(), matches.end(), isCurrentApp)) co_return;  // unchanged: nothing to publish
    if (std::none_of(matches.begin(), matches.end(), isCurrentApp)) matches.push_back({*standing, currentApplication_});
  }
  currentID_.reset();
  currentApplication_.reset();
  status_.clearImageStatus();
  severalRunning_ = matches.size() > 1 ? matches : std::vector<RunningMatch>{};
  if (matches.size() == 1) {
    const auto& match = matches.front();
    currentID_ = match.app.id;
    currentApplication_ = match.application;
    status_.showStatus(std::nullopt);
    status_.clearFailure();
    log_.log(fmt::format("[Quillon/launch] adopted {} pid={} path={}", match.app.displayName,
                         match.application->processIdentifier(), match.application->bundlePath().value_or("")));
  } else if (const auto& failure = status_.failureMessage()) {
    status_.showStatus(failure);
  } else if (matches.empty()) {
    status_.showStatus(LocalizedText("メニューからアプリを選んで起動"));
  } else {
    // Not a choice among copies of one app: two notch apps fight over the notch, and the
    // menu's offer below the line ends that.
    status_.showStatus(LocalizedText("登録アプリが複数起動中"));
  }
  changed();
}

Task<void> LaunchSwitchCoordinator::recheckPending() {
  if (!isAwaitingOutcome_ || !pendingTarget_) {
    co_await refreshRunningSelection();
    co_return;
  }
  const Url url = pendingTarget_->url;
  const auto running = co_await runningApplications();
  if (!isAwaitingOutcome_) co_return;  // the outcome arrived meanwhile and was applied
  std::size_t matches = 0;
  try {
    const auto target = ValidatedLaunchApplication::validate(url);
    for (const auto& application : running.value_or(std::vector<ApplicationHandle>{})) {
      if (isAlive(application.get()) && samePath(target.url, application->bundlePath(), true) &&
          samePath(target.executableURL, application->executablePath(), false)) {
        ++matches;
      }
    }
  } catch (const Error&) {
    matches = 0;
  }
  status_.showStatus(
      matches == 1
          ? LocalizedText(
                "対象アプリの起動を確認しました。通常操作は利用できます。OSの完了応答まで追加切替は待機します")
          : LocalizedText(
                "OSの完了応答を待っています。二重起動を防ぐため再実行しません。起動中のアプリはそのまま利用できます"));
  changed();
}

std::vector<ManagedNotchApp> LaunchSwitchCoordinator::severalRunning() const {
  std::vector<ManagedNotchApp> apps;
  for (const auto& match : severalRunning_) apps.push_back(match.app);
  return apps;
}

Task<void> LaunchSwitchCoordinator::keepOnly(Uuid id) {
  const auto running = severalRunning_;
  const auto kept = std::find_if(running.begin(), running.end(), [&](const RunningMatch& m) { return m.app.id == id; });
  if (isSwitching_ || !quitApplication || kept == running.end()) co_return;
  // Busy as a switch is: the menu and the gesture wait, and a refresh that read the
  // process table before this began does not apply its list.
  isSwitching_ = true;
  switchGeneration_ = Uuid::random();
  struct BusyGuard {
    bool& flag;
    ~BusyGuard() { flag = false; }
  } busy{isSwitching_};
  status_.showStatus(LocalizedText::format("{} だけを残して終了中…", kept->app.displayName));
  changed();
  std::vector<std::string> refused;
  for (const auto& match : running) {
    if (match.app.id == id) continue;
    try {
      co_await quitApplication(match.application);
    } catch (const Error&) {
      refused.push_back(match.app.displayName);
      log_.log(fmt::format("[Quillon/launch] {} pid={} did not quit; left running", match.app.displayName,
                           match.application->processIdentifier()));
    }
  }
  isSwitching_ = false;
  if (refused.empty()) {
    status_.clearFailure();
    status_.showStatus(std::nullopt);
  } else {
    status_.showFailure(LocalizedText::format("{}を終了できませんでした。強制終了はしていません",
                                              fmt::format("{}", fmt::join(refused, "、"))));
  }
  co_await refreshRunningSelection();
  changed();
}

}  // namespace quillon
