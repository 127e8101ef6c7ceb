#include "core/input/launch_input_router.h"

#include <fmt/format.h>

#include <utility>

#include "core/async/clock.h"
#include "core/display/screen_coordinates.h"
#include "core/display/surface_geometry_policy.h"
#include "core/input/launch_gesture_words.h"
#include "core/input/launch_input_trace.h"
#include "core/overlay/launch_switcher_overlay.h"
#include "core/overlay/launch_switcher_panel_host.h"
#include "core/platform/input_system.h"
#include "core/platform/log_sink.h"
#include "core/platform/screens.h"
#include "core/records/registry/app_registry.h"
#include "core/switching/launch_status_model.h"
#include "core/switching/launch_switch_coordinator.h"

namespace quillon {
namespace {
using Phase = LaunchSwitchSession::Phase;
}  // namespace

LaunchInputRouter::LaunchInputRouter(Services services, LaunchModifierShortcut shortcut)
    : services_(services), tuning_(services.defaults), shortcutState_(shortcut, 0) {
  const EventFlags flags = services_.input.currentModifierFlags();
  shortcutState_ = LaunchShortcutState(shortcut, flags);
  commandHeld_ = shortcutState_.isHeld();
  if (services_.trace.isEnabled()) {
    record(fmt::format("router.init shortcut=0x{:x} initialFlags=0x{:x} held={}", shortcut.rawValue(), flags,
                       boolean(commandHeld_)));
  }
  services_.overlay.setShortcut(shortcut);
  services_.surfaces.attach(this);
  acceptedCaptures_ = services_.surfaces.subscribeToAcceptedCaptures(
      [this](const LaunchNotchSurfaceService::AcceptedCapture& capture) { captureAccepted(capture); });
  timer_ = Timer(services_.loop, tickInterval, true, [weak = std::weak_ptr<LaunchInputRouter*>(self_)] {
    if (auto self = weak.lock()) (*self)->tick();
  });
}

LaunchInputRouter::~LaunchInputRouter() {
  services_.surfaces.attach(nullptr);
  if (escapeTap_) escapeTap_->stop();
}

// MARK: Events of the tap

void LaunchInputRouter::modifiersChanged(EventFlags flags, ScreenPoint cursor) {
  cursor_ = cursor;
  const auto action = shortcutState_.update(flags);
  if (services_.trace.isEnabled()) {
    record(fmt::format("router.modifier flags=0x{:x} shortcut=0x{:x} action={} nearCandidate={} phase={}", flags,
                       shortcutState_.shortcut().rawValue(), word(action), boolean(nearCandidate(cursor)),
                       word(session_.phase())));
  }
  switch (action) {
    case LaunchShortcutState::Action::none: break;
    case LaunchShortcutState::Action::press: commandChanged(true, cursor); break;
    case LaunchShortcutState::Action::release: commandChanged(false, cursor); break;
    case LaunchShortcutState::Action::cancel:
      commandHeld_ = false;
      cancel("other modifier chord");
      break;
  }
}

void LaunchInputRouter::inputObservationInterrupted(EventFlags currentFlags) {
  record("router.interrupted");
  cancel("input observation interrupted");
  resetChordState(shortcutState_.shortcut(), currentFlags);
}

void LaunchInputRouter::commandChanged(bool isDown, ScreenPoint cursor) {
  if (isDown) {
    press(cursor);
  } else {
    release(cursor);
  }
}

void LaunchInputRouter::cursorMoved(ScreenPoint to) {
  cursor_ = to;
  if (commandHeld_) return;
  services_.surfaces.pointerMoved();
  services_.surfaces.prefetch();
}

bool LaunchInputRouter::shouldConsumeScroll(const ScrollEvent& event, ScreenPoint cursor) {
  cursor_ = cursor;
  // While preparing, the notch app keeps scrolling normally: nothing is shown yet.
  if (!commandHeld_ || session_.phase() != Phase::active) return false;
  if (!shortcutState_.shortcut().matches(event.flags)) {
    cancel("other modifier chord");
    return false;
  }
  if (!sourceMatchesCurrent() || !overlayVisible()) {
    cancel("scroll target lost");
    return false;
  }
  // From here on the gesture owns the scroll, momentum and phase ends included, so the
  // app below never sees half of a gesture.
  if (event.momentumPhase != 0) return true;
  if (event.scrollPhase == ScrollEvent::phaseEnded) {
    accumulator_.reset();
    return true;
  }
  if (event.scrollPhase == ScrollEvent::phaseCancelled) {
    cancel("scroll gesture cancelled");
    return true;
  }
  const double dx = event.isContinuous ? event.pointDeltaAxis2 : event.lineDeltaAxis2;
  const double dy = event.isContinuous ? event.pointDeltaAxis1 : event.lineDeltaAxis1;
  const auto step = accumulator_.accumulate(dx, dy, services_.loop.clock().now(), tuning_, services_.log);
  if (!step) return true;
  if (const auto selected = session_.advance(*step)) {
    services_.overlay.select(*selected, *step);
    log("[Quillon/launch-input] page " + selected->toString());
  }
  return true;
}

// MARK: Press and edge step

void LaunchInputRouter::press(ScreenPoint cursor) {
  const bool wasHeld = std::exchange(commandHeld_, true);
  cursor_ = cursor;
  auto& coordinator = services_.coordinator;
  if (wasHeld) return record("router.press ignored=no-rising-edge");
  if (coordinator.isSwitching()) return record("router.press blocked=coordinator-busy");
  if (session_.phase() != Phase::idle)
    return record(std::string("router.press blocked=phase-") + word(session_.phase()));
  // Reading the running applications takes the main thread off input for tens of
  // milliseconds, so the press is judged on the coordinator's current view (kept fresh
  // by the shell's refresh) and a refresh is only started: a host that died counts as
  // none, and one that appeared is adopted for the next press.
  coordinator.refreshSoon();
  const ApplicationHandle application = coordinator.currentApplication();
  const std::optional<Uuid> currentID = coordinator.currentID();
  if (!application || !currentID || !isAlive(application.get())) return record("router.press blocked=no-current-host");
  const auto apps = services_.registry.launchableApps();
  std::vector<Uuid> appIDs;
  appIDs.reserve(apps.size());
  for (const auto& app : apps) appIDs.push_back(app.id);
  const auto token = session_.begin(*currentID, std::move(appIDs));
  if (!token) return record("router.press blocked=session-begin");

  edgeAtUptime_ = services_.loop.clock().uptime();
  sourceApplication_ = application;
  sourceID_ = currentID;
  fallbackEdgeTarget_.reset();
  services_.surfaces.cancelReadiness();
  if (services_.trace.isEnabled()) {
    record(fmt::format("router.press admitted pid={} appCount={}", application->processIdentifier(), apps.size()));
  }
  log(fmt::format("[Quillon/launch-input] prepare pid={} edge=({:.1f},{:.1f})", application->processIdentifier(),
                  cursor.x, cursor.y));
  services_.loop.post([weak = std::weak_ptr<LaunchInputRouter*>(self_), token = *token, application] {
    if (auto self = weak.lock()) (*self)->edgeStep(token, application);
  });
}

void LaunchInputRouter::edgeStep(Uuid token, const ApplicationHandle& application) {
  if (!commandHeld_) return record("edge blocked=modifier-released");
  if (session_.token() != token) return record("edge blocked=stale-token");
  installEscapeHandling();
  if (session_.phase() != Phase::preparing) return;
  probeTask_ = spawn(services_.loop, probeAtEdge(token, application));
}

// The window lists behind these probes are read without holding the main thread; what
// changed meanwhile (the chord let go, another gesture) activateInitial turns away.
Task<void> LaunchInputRouter::probeAtEdge(Uuid token, ApplicationHandle application) {
  auto& surfaces = services_.surfaces;
  if (const auto& kept = surfaces.snapshot()) {
    const LaunchSurfaceSnapshot snapshot = *kept;
    auto revalidating = surfaces.readKeptTarget(snapshot, *application);
    if (const auto target = co_await std::move(revalidating)) {
      activateInitial(token, application, *target, &snapshot);
      if (session_.token() == token) surfaces.prefetch();
      co_return;
    }
  }
  auto probing = surfaces.readExpandedTarget(*application);
  if (const auto target = co_await std::move(probing)) {
    activateInitial(token, application, *target, nullptr);
  } else {
    record("edge expansion=unknown; awaiting bounded confirmation");
  }
  if (session_.token() == token) surfaces.prefetch();
}

Task<void> LaunchInputRouter::probeWhilePreparing(Uuid token, ApplicationHandle application) {
  auto probing = services_.surfaces.readExpandedTarget(*application);
  if (const auto target = co_await std::move(probing)) activateInitial(token, application, *target, nullptr);
}

bool LaunchInputRouter::activateInitial(const Uuid& token, const ApplicationHandle& application,
                                        const LaunchWindowTarget& target, const LaunchSurfaceSnapshot* snapshot) {
  if (!commandHeld_ || session_.token() != token || session_.phase() != Phase::preparing || !sourceMatchesCurrent() ||
      target.processID != application->processIdentifier()) {
    return false;
  }
  if (!session_.activate(token)) return false;
  const auto selected = session_.selectedID();
  if (!selected) return false;

  const auto coordinates = ScreenCoordinates::forScreens(services_.screens.screens());
  originFrame_ = coordinates.cocoaFromQuartz(target.frame);
  fallbackEdgeTarget_ = target;
  accumulator_.reset();
  const double now = services_.loop.clock().uptime();
  activeSince_ = now;

  LaunchSwitcherRequest request;
  request.apps = services_.registry.launchableApps();
  request.selectedID = *selected;
  request.screenCaptureAllowed = services_.surfaces.screenCaptureAllowed();
  request.removeMissingSelectedPreview = false;
  if (snapshot) {
    request.sourceQuartzRect = snapshot->visibleQuartzRect;
    request.hostLevel = snapshot->windowLayer;
    request.snapshot = snapshot;
    request.sourcePID = snapshot->processID;
    request.sourceWindowID = snapshot->windowID;
  } else {
    request.sourceQuartzRect = target.frame.intersection(target.displayFrame);
    request.hostLevel = target.windowLayer;
    request.sourcePID = target.processID;
    request.sourceWindowID = target.windowID;
    request.displayFrame = target.displayFrame;
  }
  services_.overlay.present(request);
  const bool visible = overlayVisible();
  if (services_.trace.isEnabled()) {
    record(fmt::format("initial presentation pid={} image={} edgeLatency={:.3f} visible={}",
                       application->processIdentifier(), boolean(snapshot != nullptr), now - edgeAtUptime_,
                       boolean(visible)));
  }
  if (!visible) {
    cancel("initial overlay unavailable");
    return false;
  }
  if (!escapeTap_) installEscapeHandling();
  const bool active = session_.phase() == Phase::active;
  // The switcher is up: every scroll from now on belongs to the gesture.
  if (active) services_.input.claimScrolls(true);
  return active;
}

// MARK: Tick

void LaunchInputRouter::tick() {
  auto& surfaces = services_.surfaces;
  switch (session_.phase()) {
    case Phase::preparing:
      if (sourceMatchesCurrent() && services_.loop.clock().uptime() - edgeAtUptime_ <= preparationDeadline) {
        // One probe at a time: on a slow server the next tick finds this one still reading.
        if (sourceApplication_ && probeTask_.isFinished()) {
          probeTask_ = spawn(services_.loop, probeWhilePreparing(session_.token(), sourceApplication_));
        }
        surfaces.prefetch();
      } else {
        if (sourceApplication_) {
          const std::int32_t pid = sourceApplication_->processIdentifier();
          const bool sameWindow = fallbackEdgeTarget_ && fallbackEdgeTarget_->processID == pid;
          surfaces.reportImageStatus(*sourceApplication_, LaunchImageRoute::menuOnly, LaunchCaptureIssue::unavailable,
                                     sameWindow ? fallbackEdgeTarget_->sharingState : std::nullopt);
        }
        cancel("preparation deadline or source identity changed");
      }
      break;
    case Phase::active:
      if (!commandHeld_) {
        cancel("Command no longer held");
      } else if (!sourceMatchesCurrent()) {
        cancel("source process identity changed");
      } else if (!overlayVisible()) {
        cancel("switcher presentation lost");
      }
      break;
    case Phase::idle:
      // Away from the top-centre zones a capture would be stale before the pointer got
      // to a notch, and its moves on the way start a fresh one; idling elsewhere costs
      // no capture every tick.
      if (nearCandidate(cursor_)) surfaces.prefetch();
      break;
    case Phase::committing: surfaces.prefetch(); break;
  }
}

// MARK: Accepted captures

void LaunchInputRouter::captureAccepted(const LaunchNotchSurfaceService::AcceptedCapture& capture) {
  const Phase phase = session_.phase();
  if (phase == Phase::preparing && sourceMatchesCurrent()) {
    log(fmt::format("[Quillon/launch-input] captured {:.3f}s age={:.3f} visible={} tokenMatch={}", capture.duration,
                    capture.age, rectText(capture.snapshot.visibleQuartzRect), yesNo(capture.tokenMatch)));
    const Uuid sessionToken = session_.token();
    activateInitial(sessionToken, capture.application, capture.target, &capture.snapshot);
  } else if (phase == Phase::active && sourceMatchesCurrent() && sourceID_) {
    const Uuid source = *sourceID_;
    const bool applied = services_.overlay.updatePreview(capture.snapshot, source);
    if (services_.trace.isEnabled()) {
      record(fmt::format("image upgrade source={} applied={}", source.toString(), boolean(applied)));
    }
  }
}

// MARK: Release and commit

void LaunchInputRouter::release(ScreenPoint cursor) {
  commandHeld_ = false;
  cursor_ = cursor;
  const Phase phase = session_.phase();
  record(std::string("router.release received phase=") + word(phase));
  const bool sourceMatches = sourceMatchesCurrent();
  const bool visible = overlayVisible();
  const bool inside = sourceMatches && visible;
  if (phase == Phase::preparing || phase == Phase::active) {
    const bool heldInSystem = shortcutState_.shortcut().isHeld(services_.input.currentModifierFlags());
    const double activeAge = phase == Phase::active ? services_.loop.clock().uptime() - activeSince_ : 0;
    log(
        fmt::format("[Quillon/launch-input] hotkey release phase={} inside=not-required sourceMatches={} "
                    "overlayVisible={} heldInSystem={} activeAge={:.3f}",
                    word(phase), yesNo(sourceMatches), yesNo(visible), yesNo(heldInSystem), activeAge));
  }
  const auto target = session_.release(inside);
  if (!target) {
    if (phase != Phase::committing) cancel("release without changed selection");
    return;
  }
  if (!sourceID_ || !sourceApplication_) {
    session_.finishCommit();
    removeEscapeHandling();
    services_.overlay.dismiss();
    return;
  }
  commit(*target);
}

void LaunchInputRouter::commit(const Uuid& target) {
  removeEscapeHandling();
  services_.overlay.showStatus(LocalizedText("切り替え中…"));
  // The readiness check needs the display the gesture was on; a source that sat on no
  // display, or on two overlapping ones, names none and the check is skipped.
  const auto coordinates = ScreenCoordinates::forScreens(services_.screens.screens());
  const GlobalPoint centre = coordinates.quartzFromCocoa(ScreenPoint{originFrame_.midX(), originFrame_.midY()});
  std::optional<LaunchDisplayTarget> display;
  int containing = 0;
  for (const auto& candidate : displayTargets()) {
    if (!candidate.frame.contains(centre)) continue;
    ++containing;
    display = candidate;
  }
  if (containing != 1) display.reset();

  watchdogTask_ = spawn(services_.loop, runWatchdog(session_.token()));
  commitTask_ = spawn(services_.loop, runCommit(target, *sourceID_, sourceApplication_->processIdentifier(), display));
}

Task<void> LaunchInputRouter::runWatchdog(Uuid token) {
  co_await sleepFor(services_.loop, uncoverWatchdog);
  if (session_.phase() != Phase::committing || session_.token() != token) co_return;
  services_.overlay.dismiss();
  log("[Quillon/launch-input] uncovered after bounded launch wait");
}

Task<void> LaunchInputRouter::runCommit(Uuid target, Uuid sourceID, std::int32_t sourcePID,
                                        std::optional<LaunchDisplayTarget> display) {
  bool ok = false;
  try {
    auto selecting = services_.coordinator.select(target, sourceID, sourcePID);
    ok = co_await std::move(selecting);
  } catch (...) {
    ok = false;
  }
  if (ok) {
    services_.overlay.dismiss();
    clearCommitState();
    const ApplicationHandle current = services_.coordinator.currentApplication();
    if (current && display) services_.surfaces.startReadinessCheck(current, target, *display);
    co_return;
  }
  const auto& status = services_.status.status();
  services_.overlay.showStatus(status ? *status : LocalizedText("切り替えできませんでした"));
  try {
    co_await sleepFor(services_.loop, failureMessageHold);
  } catch (const CancellationError&) {
  }
  services_.overlay.dismiss();
  clearCommitState();
}

void LaunchInputRouter::clearCommitState() {
  session_.finishCommit();
  services_.surfaces.forgetSnapshots();
  accumulator_.reset();
  sourceApplication_.reset();
  sourceID_.reset();
  fallbackEdgeTarget_.reset();
  watchdogTask_.reset();
  // Called from inside the commit task: the handle defers destroying it until it ends.
  commitTask_.reset();
}

// MARK: Cancel and environment

void LaunchInputRouter::cancel(std::string_view reason) {
  const Phase phase = session_.phase();
  if (phase == Phase::committing) return;
  if (services_.trace.isEnabled()) record(fmt::format("cancel reason={} phase={}", reason, word(phase)));
  if (phase != Phase::idle) log(fmt::format("[Quillon/launch-input] cancelled: {}", reason));
  session_.cancel();
  services_.surfaces.cancelCapture();
  sourceApplication_.reset();
  sourceID_.reset();
  fallbackEdgeTarget_.reset();
  accumulator_.reset();
  services_.overlay.dismiss();
  removeEscapeHandling();
}

void LaunchInputRouter::permissionsChanged() {
  cancel("environment changed");
  services_.surfaces.forgetImages();
  if (!services_.surfaces.screenCaptureAllowed()) services_.overlay.retainPreviews({});
  resetChordState(shortcutState_.shortcut(), services_.input.currentModifierFlags());
  cursor_ = services_.input.currentCursorLocation();
}

void LaunchInputRouter::screensChanged() {
  knownScreens_.reset();
  cancel("environment changed");
  services_.surfaces.forgetSnapshots();
}

void LaunchInputRouter::updateShortcut(LaunchModifierShortcut shortcut) {
  if (shortcut == shortcutState_.shortcut()) return;
  if (services_.trace.isEnabled()) record(fmt::format("router.shortcut-update value=0x{:x}", shortcut.rawValue()));
  cancel("hotkey settings changed");
  resetChordState(shortcut, services_.input.currentModifierFlags());
  services_.overlay.setShortcut(shortcut);
}

void LaunchInputRouter::stop() {
  timer_.reset();
  // Detached, the surface service stops its captures, its readiness check and its
  // retries, and starts none for this router.
  services_.surfaces.attach(nullptr);
  cancel("shutdown");
  // A switch still being committed is left to the coordinator, which applies its
  // outcome on its own; nothing of the router may run after this.
  if (commitTask_.isValid()) clearCommitState();
  removeEscapeHandling();
  services_.overlay.dismiss();
}

void LaunchInputRouter::resetChordState(LaunchModifierShortcut shortcut, EventFlags flags) {
  shortcutState_.reset(shortcut, flags);
  commandHeld_ = false;
}

// MARK: Escape

void LaunchInputRouter::installEscapeHandling() {
  removeEscapeHandling();
  escapeTap_ = services_.input.makeEscapeTap([weak = std::weak_ptr<LaunchInputRouter*>(self_)] {
    auto self = weak.lock();
    if (!self) return false;
    LaunchInputRouter& router = **self;
    const Phase phase = router.session_.phase();
    router.cancel("Escape key tap");
    return phase == Phase::preparing || phase == Phase::active;
  });
  // A switcher is never shown without a way to dismiss it.
  if (!escapeTap_ || !escapeTap_->start()) cancel("Escape input unavailable");
}

void LaunchInputRouter::removeEscapeHandling() {
  // Every end of the switcher passes here; scrolls reach applications again.
  services_.input.claimScrolls(false);
  if (!escapeTap_) return;
  escapeTap_->stop();
  // The tap may be calling us right now (Escape cancels the gesture); it is destroyed
  // only after that call has returned.
  std::shared_ptr<LaunchEscapeTap> retired = std::move(escapeTap_);
  services_.loop.post([retired] {});
}

// MARK: Helpers

bool LaunchInputRouter::overlayVisible() const {
  auto* panel = services_.overlay.panel();
  return panel && panel->isVisible() && services_.overlay.isPresented();
}

bool LaunchInputRouter::sourceMatchesCurrent() const {
  if (!sourceApplication_ || !sourceID_) return false;
  const auto& coordinator = services_.coordinator;
  if (coordinator.currentID() != sourceID_) return false;
  const auto& current = coordinator.currentApplication();
  if (!current || current->processIdentifier() != sourceApplication_->processIdentifier()) return false;
  return isAlive(current.get()) && !sourceApplication_->isTerminated();
}

bool LaunchInputRouter::nearCandidate(ScreenPoint point) const {
  return SurfaceGeometryPolicy::isTopCenterCandidate(point, knownScreens());
}

const std::vector<Screen>& LaunchInputRouter::knownScreens() const {
  // An empty answer (a server not answering in time) is asked again next time.
  if (!knownScreens_ || knownScreens_->empty()) knownScreens_ = services_.screens.screens();
  return *knownScreens_;
}

std::vector<LaunchDisplayTarget> LaunchInputRouter::displayTargets() const {
  return currentDisplayTargets(services_.screens);
}

void LaunchInputRouter::record(std::string_view message) {
  if (services_.trace.isEnabled()) services_.trace.record(message);
}

void LaunchInputRouter::log(std::string_view line) { services_.log.log(line); }

}  // namespace quillon
