#include "core/overlay/launch_switcher_overlay.h"

#include <algorithm>
#include <map>
#include <set>

#include "core/capture/launch_surface_snapshot.h"
#include "core/display/screen_coordinates.h"
#include "core/localization/l10n.h"
#include "core/overlay/launch_overlay_previews.h"
#include "core/overlay/launch_switcher_content_view.h"
#include "core/overlay/launch_switcher_panel_host.h"
#include "core/overlay/launch_switcher_placement.h"
#include "core/platform/log_sink.h"
#include "core/platform/screen_capture_service.h"
#include "core/platform/screens.h"
#include "core/platform/window_server.h"
#include "core/platform/workspace.h"

namespace quillon {

namespace {

bool containsRect(const ScreenRect& outer, const ScreenRect& inner) {
  return inner.minX() >= outer.minX() && inner.maxX() <= outer.maxX() && inner.minY() >= outer.minY() &&
         inner.maxY() <= outer.maxY();
}

bool hasUniqueIdsWith(const std::vector<ManagedNotchApp>& apps, const Uuid& selected) {
  std::set<Uuid> seen;
  for (const ManagedNotchApp& app : apps) {
    if (!seen.insert(app.id).second) return false;
  }
  return seen.contains(selected);
}

std::shared_ptr<const Bitmap> croppedImageOf(const LaunchSurfaceSnapshot& snapshot) {
  auto cropped = snapshot.croppedImage();
  if (!cropped) return nullptr;
  return std::make_shared<const Bitmap>(std::move(*cropped));
}

}  // namespace

LaunchSwitcherOverlay::LaunchSwitcherOverlay(Services services) : services_(services) {}

LaunchSwitcherOverlay::~LaunchSwitcherOverlay() { dismiss(); }

std::string LaunchSwitcherOverlay::unsupportedDescription() {
  return L10n::text(LocalizedText("The operation couldn’t be completed. (Cocoa error 3328.)"));
}

int LaunchSwitcherOverlay::presentationLevel(int hostLevel, int mainMenuLevel, int maximumLevel) {
  return std::min(std::max(std::min(hostLevel, maximumLevel - 1) + 1, mainMenuLevel + 4), maximumLevel);
}

void LaunchSwitcherOverlay::present(const LaunchSwitcherRequest& request) {
  dismiss();
  if (request.apps.empty() || !hasUniqueIdsWith(request.apps, request.selectedID)) return;
  const std::vector<Screen> screens = services_.screens.screens();
  if (screens.empty()) return;
  const ScreenCoordinates coordinates = ScreenCoordinates::forScreens(screens);
  const ScreenRect source = coordinates.cocoaFromQuartz(request.sourceQuartzRect);
  const auto host = std::find_if(screens.begin(), screens.end(),
                                 [&](const Screen& screen) { return containsRect(screen.frame, source); });
  if (!source.isValid() || host == screens.end()) {
    services_.log.log(refusedLine);
    return;
  }

  const auto selected = std::find_if(request.apps.begin(), request.apps.end(),
                                     [&](const ManagedNotchApp& app) { return app.id == request.selectedID; });
  const bool liveSnapshot = request.snapshot && request.screenCaptureAllowed;
  if (liveSnapshot) {
    services_.previews.remember(*request.snapshot, selected->id, selected->bundleURL);
  } else if (request.removeMissingSelectedPreview) {
    services_.previews.remove(selected->id);
  }

  LaunchSwitcherConfiguration configuration;
  configuration.liveSnapshot = liveSnapshot;
  configuration.apps = request.apps;
  if (request.screenCaptureAllowed) {
    for (const ManagedNotchApp& app : request.apps) {
      if (auto image = services_.previews.image(app.id, app.bundleURL)) {
        configuration.previews[app.id] = image;
        if (const auto savedAt = services_.previews.savedAt(app.id, app.bundleURL)) {
          configuration.previewSavedAt[app.id] = *savedAt;
        }
      }
    }
    if (liveSnapshot) {
      configuration.previewSavedAt.erase(selected->id);
      if (auto image = croppedImageOf(*request.snapshot)) {
        configuration.previews[selected->id] = image;
      } else {
        configuration.previews.erase(selected->id);
      }
    }
  }
  if (request.selectedGuidance) configuration.guidance[selected->id] = *request.selectedGuidance;

  std::vector<Size> previewSizes;
  for (const auto& [id, image] : configuration.previews) {
    previewSizes.push_back({static_cast<double>(image->width), static_cast<double>(image->height)});
  }
  const auto placement =
      LaunchSwitcherPlacement::make(source, host->frame, previewSizes, request.selectedGuidance.has_value());
  if (!placement) return;

  const ScreenRect& frame = placement->window;
  auto content = std::make_unique<LaunchSwitcherContentView>(services_.clock, services_.workspace,
                                                             Rect{0, 0, frame.width, frame.height});
  configuration.selectedID = request.selectedID;
  configuration.sourceLocalRect = placement->local(source);
  configuration.backingScale = services_.panels.backingScale(host->frame);
  configuration.shellBounds = placement->shellInWindow();
  configuration.shortcutLabel = shortcut_.displayString();
  content->configure(configuration);
  // The entrance starts over the real notch.
  content->setEntrance(LaunchEntranceMotion{configuration.sourceLocalRect, content->finalOutlineBounds(),
                                            content->bounds(), services_.workspace.prefersReducedMotion()});
  content->applyAppearanceFrame(0);

  const int level =
      presentationLevel(request.hostLevel, services_.panels.mainMenuLevel(), services_.panels.maximumLevel());
  auto panel = services_.panels.makePanel(*content, frame, level);
  panel->orderFront();
  // A locked screen is drawn above every window the session has; a carousel there
  // would be invisible, so it is refused like a platform without the means.
  std::optional<std::string> failure;
  if (services_.windowServer.isScreenLocked()) {
    failure = unsupportedDescription();
  } else {
    failure = panel->keepAboveAll();
  }
  if (failure) {
    panel->setAcceptsMouse(false);
    panel->orderOut();
    content->clear();
    panel.reset();
    services_.log.log(std::string(unavailablePrefix) + *failure);
    return;
  }

  content_ = std::move(content);
  panel_ = std::move(panel);
  ownedSpace_ = true;
  interactionFrame_ = placement->shell;
  LaunchPresentationRecord record;
  record.sourceID = request.selectedID;
  record.sourcePID = request.sourcePID;
  record.sourceWindowID = request.sourceWindowID;
  record.displayFrame = request.displayFrame.value_or(coordinates.quartzFromCocoa(host->frame));
  for (const ManagedNotchApp& app : request.apps) record.applications.emplace(app.id, app);
  presentation_ = std::move(record);

  content_->animateAppearance();
  panel_->contentChanged();
  panel_->setAcceptsMouse(true);
  lockObserver_ = services_.panels.observeScreenLock([this] { dismiss(); });
  screensObserver_ = services_.screens.subscribeToChanges([this] { dismiss(); });
}

void LaunchSwitcherOverlay::dismiss() {
  lockObserver_.reset();
  screensObserver_.reset();
  if (panel_) {
    panel_->setAcceptsMouse(false);
    panel_->orderOut();
  }
  ownedSpace_ = false;
  if (content_) content_->clear();
  // The panel draws the content: it goes first.
  panel_.reset();
  content_.reset();
  interactionFrame_ = {};
  presentation_.reset();
}

void LaunchSwitcherOverlay::select(const Uuid& id, int direction) {
  if (!content_ || !panel_) return;
  content_->select(id, direction);
  panel_->contentChanged();
}

void LaunchSwitcherOverlay::showStatus(const LocalizedText& text) {
  if (!content_ || !panel_) return;
  content_->showStatus(text);
  panel_->contentChanged();
}

bool LaunchSwitcherOverlay::updatePreview(const LaunchSurfaceSnapshot& snapshot, const Uuid& id) {
  if (!panel_ || !panel_->isVisible() || !ownedSpace_ || !presentation_) return false;
  if (!services_.capture.preflightPermission()) return false;
  if (!presentation_->accepts(snapshot, id)) return false;
  const ManagedNotchApp& app = presentation_->applications.at(id);
  if (!services_.previews.remember(snapshot, id, app.bundleURL)) return false;
  auto image = croppedImageOf(snapshot);
  if (!image || !content_) return false;
  const bool shown = content_->updatePreview(image, id);
  panel_->contentChanged();
  return shown;
}

void LaunchSwitcherOverlay::retainPreviews(const std::vector<ManagedNotchApp>& apps) {
  std::map<Uuid, Url> urls;
  for (const ManagedNotchApp& app : apps) urls.emplace(app.id, app.bundleURL);
  services_.previews.retainApplications(urls);
}

}  // namespace quillon
