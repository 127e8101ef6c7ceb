#include "core/input/launch_notch_surface_service.h"

#include <fmt/format.h>

#include <exception>
#include <utility>

#include "core/async/clock.h"
#include "core/async/launch_async_wait_error.h"
#include "core/capture/launch_capture_guide_catalog.h"
#include "core/capture/launch_fallback_policy.h"
#include "core/capture/launch_image_guidance.h"
#include "core/capture/launch_image_status.h"
#include "core/input/launch_gesture_words.h"
#include "core/input/launch_input_trace.h"
#include "core/localization/l10n.h"
#include "core/platform/log_sink.h"
#include "core/platform/screen_capture_service.h"
#include "core/platform/screens.h"
#include "core/records/registry/app_registry.h"
#include "core/switching/launch_status_model.h"
#include "core/switching/launch_switch_coordinator.h"

namespace quillon {

namespace {
using Phase = LaunchSwitchSession::Phase;
}  // namespace

LaunchNotchSurfaceService::LaunchNotchSurfaceService(Services services, std::unique_ptr<LaunchNotchSurfaces> surfaces)
    : services_(services), surfaces_(std::move(surfaces)) {}

LaunchNotchSurfaceService::~LaunchNotchSurfaceService() = default;

void LaunchNotchSurfaceService::attach(const LaunchGestureView* gesture) {
  if (!gesture) {
    cancelCapture();
    cancelReadiness();
    arrivalRetry_.reset();
    arrivalRetryPending_ = false;
  }
  gesture_ = gesture;
}

void LaunchNotchSurfaceService::pointerMoved() { lastMoveAt_ = services_.loop.clock().uptime(); }

// MARK: Kept captures

void LaunchNotchSurfaceService::forgetSnapshots() {
  snapshot_.reset();
  previousSnapshot_.reset();
}

Task<std::optional<LaunchWindowTarget>> LaunchNotchSurfaceService::readExpandedTarget(
    const RunningApplication& application) {
  return surfaces_->readExpandedTarget(application);
}

Task<std::optional<LaunchWindowTarget>> LaunchNotchSurfaceService::readKeptTarget(
    const LaunchSurfaceSnapshot& kept, const RunningApplication& application) {
  return surfaces_->readAndRevalidate(kept, application, revalidationMaximumAge, false);
}

// MARK: Prefetch

void LaunchNotchSurfaceService::prefetch() {
  if (!gesture_) return;
  const Phase phase = gesture_->session().phase();
  auto& coordinator = services_.coordinator;
  if (phase == Phase::preparing && services_.trace.isEnabled()) {
    record(fmt::format("prefetch check captureBusy={} readinessBusy={} switching={} hasHost={} nearCandidate={}",
                       boolean(captureTask_.isValid()), boolean(readinessTask_.isValid()),
                       boolean(coordinator.isSwitching()), boolean(coordinator.currentApplication() != nullptr),
                       boolean(gesture_->pointerNearCandidate())));
  }
  if (captureTask_.isValid() || readinessTask_.isValid() || coordinator.isSwitching() || phase == Phase::committing ||
      !coordinator.currentApplication()) {
    return;
  }
  if (phase == Phase::active && !gesture_->sourceMatchesCurrent()) return;
  captureGeneration_ = Uuid::random();
  captureTask_ = spawn(services_.loop,
                       runCapture(captureGeneration_, coordinator.currentApplication(), gesture_->session().token()));
}

Task<void> LaunchNotchSurfaceService::runCapture(Uuid generation, ApplicationHandle application, Uuid token) {
  const auto cancellation = co_await currentCancellation();
  const double startedAt = services_.loop.clock().uptime();
  const std::int32_t pid = application->processIdentifier();
  const LaunchSwitchSession& session = gesture_->session();
  if (session.phase() == Phase::preparing) {
    if (services_.trace.isEnabled()) {
      record(fmt::format("capture begin pid={} tokenMatch={}", pid, boolean(session.token() == token)));
    }
    log(fmt::format("[Quillon/launch-input] capture begin pid={}", pid));
  }

  std::optional<LaunchSurfaceSnapshot> captured;
  std::optional<Error> failure;
  try {
    auto capturing = surfaces_->capture(application, std::nullopt);
    captured.emplace(co_await std::move(capturing));
  } catch (const Error& error) {
    failure = error;
  } catch (...) {
    // A cancellation: an error that says nothing about images.
  }
  auto completing =
      completeCapture(std::move(captured), failure, application, token, startedAt, cancellation->isCancelled());
  const bool retry = co_await std::move(completing);
  // A newer request owns the field now.
  if (captureGeneration_ != generation) co_return;
  captureTask_.reset();
  if (retry) {
    arrivalRetryPending_ = true;
    arrivalRetry_ = Timer(services_.loop, arrivalRetryInterval, false, [this] {
      arrivalRetryPending_ = false;
      if (gesture_ && gesture_->session().phase() == Phase::idle) prefetch();
    });
  }
}

Task<bool> LaunchNotchSurfaceService::completeCapture(std::optional<LaunchSurfaceSnapshot> captured,
                                                      std::optional<Error> failure, ApplicationHandle application,
                                                      Uuid token, double startedAt, bool cancelled) {
  double now = services_.loop.clock().uptime();
  const std::int32_t pid = application->processIdentifier();
  const Phase phase = gesture_->session().phase();
  const bool tokenMatch = gesture_->session().token() == token;
  if (!captured) {
    if (failure == LaunchAsyncWaitError::alreadyRunning) {
      record(std::string("capture deferred=inner-gate-busy phase=") + word(phase));
      co_return false;
    }
    const auto issue = failure ? captureIssue(*failure) : std::nullopt;
    if (phase == Phase::preparing && services_.trace.isEnabled()) {
      record(fmt::format("capture failed issue={} tokenMatch={}", word(issue), boolean(tokenMatch)));
    }
    // An error that says nothing about images (the window moved, the app quit) means
    // the kept capture may no longer describe the screen.
    if (phase == Phase::idle && !issue) forgetSnapshots();
    co_return false;
  }
  const LaunchSurfaceSnapshot& snapshot = *captured;
  if (phase == Phase::preparing && services_.trace.isEnabled()) {
    const double age = now - snapshot.sampledAtUptime;
    const bool fresh = age >= 0 && age <= snapshotFreshness && snapshot.processID == pid;
    const bool stable = previousSnapshot_ && LaunchFallbackPolicy::sameBounds(previousSnapshot_->visibleQuartzRect,
                                                                              snapshot.visibleQuartzRect);
    record(fmt::format("capture complete pid={} cancelled={} tokenMatch={} freshness={} stability={} edgeCurrent={}",
                       pid, boolean(cancelled), boolean(tokenMatch), boolean(fresh), boolean(stable),
                       boolean(gesture_->edgeAtUptime() <= snapshot.sampledAtUptime)));
  }
  // Asked again after the window list is read: the gesture may move on meanwhile.
  const auto moot = [this, pid] {
    const auto& current = services_.coordinator.currentApplication();
    const bool gone =
        !current || current->processIdentifier() != pid || gesture_->session().phase() == Phase::committing;
    if (gone) record("capture discarded=identity-display-or-expansion");
    return gone;
  };
  if (cancelled) {
    record("capture discarded=identity-display-or-expansion");
    co_return false;
  }
  if (moot()) co_return false;
  const bool ignoringOwnOverlay = phase == Phase::active && gesture_->overlayVisible();
  auto revalidating = surfaces_->readAndRevalidate(snapshot, *application, revalidationMaximumAge, ignoringOwnOverlay);
  const auto target = co_await std::move(revalidating);
  if (moot()) co_return false;
  now = services_.loop.clock().uptime();
  if (!target) {
    forgetSnapshots();
    record("capture invalidated=identity-display-or-expansion");
    co_return phase == Phase::idle&& lastMoveAt_ >= 0 && now - lastMoveAt_ <= arrivalRetryWindow &&
        gesture_->pointerNearCandidate();
  }
  previousSnapshot_ = std::move(snapshot_);
  snapshot_ = std::move(captured);
  accepted_.notify(
      AcceptedCapture{application, *target, *snapshot_, now - startedAt, now - snapshot_->sampledAtUptime, tokenMatch});
  co_return false;
}

// MARK: Readiness after a switch

void LaunchNotchSurfaceService::startReadinessCheck(ApplicationHandle application, Uuid selectedID,
                                                    LaunchDisplayTarget display) {
  cancelReadiness();
  readinessGeneration_ = Uuid::random();
  readinessTask_ =
      spawn(services_.loop, runReadiness(std::move(application), selectedID, display, readinessGeneration_));
}

Task<void> LaunchNotchSurfaceService::runReadiness(ApplicationHandle application, Uuid selectedID,
                                                   LaunchDisplayTarget display, Uuid generation) {
  const auto cancellation = co_await currentCancellation();
  auto waiting = waitForSurface(application, display);
  const SurfaceReadiness result = co_await std::move(waiting);
  const auto& current = services_.coordinator.currentApplication();
  const bool sameApp = services_.coordinator.currentID() == selectedID && current &&
                       current->processIdentifier() == application->processIdentifier();
  if (!cancellation->isCancelled() && sameApp && display.refreshedTopCenterPoint(displayTargets()) && !result.ready) {
    reportImageStatus(*application, LaunchImageRoute::menuOnly, result.issue, std::nullopt);
  }
  if (readinessGeneration_ == generation) readinessTask_.reset();
}

Task<LaunchNotchSurfaceService::SurfaceReadiness> LaunchNotchSurfaceService::waitForSurface(
    ApplicationHandle application, LaunchDisplayTarget display) {
  const auto cancellation = co_await currentCancellation();
  const auto& clock = services_.loop.clock();
  const std::int32_t pid = application->processIdentifier();
  const double began = clock.uptime();
  auto sameProcess = [this, pid] {
    const auto& current = services_.coordinator.currentApplication();
    return current && current->processIdentifier() == pid;
  };
  while (clock.uptime() - began < readinessBudget) {
    const auto point = display.refreshedTopCenterPoint(displayTargets());
    if (cancellation->isCancelled() || application->isTerminated() || !sameProcess() || !point) co_return {};

    std::optional<LaunchSurfaceSnapshot> captured;
    std::optional<Error> failure;
    std::string reason = "unknown error";
    try {
      auto capturing = surfaces_->capture(application, point);
      captured.emplace(co_await std::move(capturing));
    } catch (const Error& error) {
      failure = error;
      reason = error.description();
    } catch (...) {
      // A cancellation or a fault: no failure of the capture, so nothing to name.
    }
    if (captured) {
      const double age = clock.uptime() - captured->sampledAtUptime;
      const bool accepted = !cancellation->isCancelled() && sameProcess() &&
                            display.refreshedTopCenterPoint(displayTargets()) == point && age >= 0 &&
                            age <= snapshotFreshness && captured->processID == pid;
      if (!accepted) co_return {};
      previousSnapshot_ = std::move(snapshot_);
      snapshot_ = std::move(captured);
      log(fmt::format("[Quillon/launch-input] destination surface captured pid={} visible={}", pid,
                      rectText(snapshot_->visibleQuartzRect)));
      co_return {true, std::nullopt};
    }
    if (const auto issue = failure ? captureIssue(*failure) : std::nullopt) {
      log(fmt::format("[Quillon/launch-input] destination image unavailable pid={} issue={}", pid, word(issue)));
      co_return {false, issue};
    }
    log(fmt::format("[Quillon/launch-input] destination capture retry pid={} reason={}", pid, reason));
    try {
      co_await sleepFor(services_.loop, readinessRetryDelay);
    } catch (const CancellationError&) {
      co_return {};
    }
  }
  log(fmt::format("[Quillon/launch-input] destination surface readiness timed out pid={}", pid));
  co_return {};
}

// MARK: Image status

void LaunchNotchSurfaceService::reportImageStatus(const RunningApplication& application, LaunchImageRoute route,
                                                  std::optional<LaunchCaptureIssue> issue,
                                                  std::optional<int> sharingState) {
  const std::int32_t pid = application.processIdentifier();
  const auto status = LaunchImageStatus::make(route, screenCaptureAllowed(), sharingState, issue);
  auto& coordinator = services_.coordinator;
  const auto& currentID = coordinator.currentID();
  if (!currentID) return;
  const auto app = services_.registry.launchableApp(*currentID);
  if (!app) return;
  // The judgement is about the current app only, and a switch makes it stale.
  const auto& current = coordinator.currentApplication();
  if (coordinator.isSwitching() || !current || current->processIdentifier() != pid) return;
  const LaunchImageGuidance guidance(status, LaunchCaptureGuideCatalog::knowledge(app->bundleIdentifier));
  std::optional<LocalizedText> message;
  switch (route) {
    case LaunchImageRoute::preview: break;
    case LaunchImageRoute::iconOnly:
      message = LocalizedText("画像なしで切替できます。詳しくは「画像表示について…」");
      break;
    case LaunchImageRoute::menuOnly:
      message = LocalizedText("ノッチ操作は未確認です。メニューからアプリを選択できます");
      break;
  }
  services_.status.showImageStatus(
      std::move(message), LocalizedText::format("{}（前回の確認結果）\n\n{}", app->displayName, guidance.details));
}

void LaunchNotchSurfaceService::forgetImages() {
  forgetSnapshots();
  services_.status.clearImageStatus();
}

// MARK: Helpers

void LaunchNotchSurfaceService::cancelCapture() {
  captureGeneration_ = Uuid::random();
  captureTask_.cancel();
  captureTask_.reset();
}

void LaunchNotchSurfaceService::cancelReadiness() {
  readinessGeneration_ = Uuid::random();
  readinessTask_.cancel();
  readinessTask_.reset();
}

bool LaunchNotchSurfaceService::screenCaptureAllowed() const { return services_.screenCapture.preflightPermission(); }

std::vector<LaunchDisplayTarget> LaunchNotchSurfaceService::displayTargets() const {
  return currentDisplayTargets(services_.screens);
}

void LaunchNotchSurfaceService::record(std::string_view message) {
  if (services_.trace.isEnabled()) services_.trace.record(message);
}

void LaunchNotchSurfaceService::log(std::string_view line) { services_.log.log(line); }

}  // namespace quillon
