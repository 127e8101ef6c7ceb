#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/async/subscription.h"
#include "core/localization/localized_text.h"
#include "core/overlay/launch_presentation_record.h"
#include "core/records/preferences/launch_modifier_shortcut.h"
#include "core/records/registry/managed_notch_app.h"
#include "core/support/geometry.h"
#include "core/support/uuid.h"

namespace quillon {

class Clock;
class LogSink;
class LaunchOverlayPreviews;
class ScreenCaptureService;
class Screens;
class LaunchSwitcherContentView;
class LaunchSwitcherPanel;
class LaunchSwitcherPanelHost;
class WindowServer;
class Workspace;
struct LaunchSurfaceSnapshot;

// Everything one presentation of the switcher is made from.
struct LaunchSwitcherRequest {
  GlobalRect sourceQuartzRect;                      // the notch surface of the current app
  int hostLevel = 0;                                // its window's level
  const LaunchSurfaceSnapshot* snapshot = nullptr;  // its current image, when there is one
  std::vector<ManagedNotchApp> apps;                // in menu order
  Uuid selectedID;                                  // the current app
  bool screenCaptureAllowed = false;
  // Why the current app shows no image, already worded; only when it runs icon-only.
  std::optional<std::string> selectedGuidance;
  std::int32_t sourcePID = 0;
  std::uint32_t sourceWindowID = 0;
  std::optional<GlobalRect> displayFrame;  // the host screen's when absent
  bool removeMissingSelectedPreview = false;
};

// The switcher panel over the current notch app's notch: where it goes, what it shows,
// and which live images it accepts while it is up. It takes itself down when the screen
// locks or the displays change, since the notch it was placed over may then be gone or
// elsewhere. Main thread only.
class LaunchSwitcherOverlay {
 public:
  struct Services {
    const Clock& clock;
    const Workspace& workspace;
    Screens& screens;
    const WindowServer& windowServer;
    ScreenCaptureService& capture;
    LaunchSwitcherPanelHost& panels;
    LaunchOverlayPreviews& previews;
    LogSink& log;
  };

  explicit LaunchSwitcherOverlay(Services services);
  ~LaunchSwitcherOverlay();
  LaunchSwitcherOverlay(const LaunchSwitcherOverlay&) = delete;
  LaunchSwitcherOverlay& operator=(const LaunchSwitcherOverlay&) = delete;

  // Shows the carousel over the request's notch, after taking down any earlier one.
  // Whether it is up afterwards is `isPresented()`: a request that cannot be shown
  // leaves the overlay down.
  void present(const LaunchSwitcherRequest& request);
  void dismiss();
  // Slides to the page of `id`; `direction` is the scroll direction.
  void select(const Uuid& id, int direction);
  // Replaces the hint line (a switch in progress, a failure).
  void showStatus(const LocalizedText& text);
  // Shows a live image of the presented app; false, with the cache untouched, for an
  // image of another gesture, process, window or display.
  bool updatePreview(const LaunchSurfaceSnapshot& snapshot, const Uuid& id);
  // Lets the preview store keep only the images of these apps.
  void retainPreviews(const std::vector<ManagedNotchApp>& apps);

  void setShortcut(LaunchModifierShortcut shortcut) { shortcut_ = shortcut; }

  bool isPresented() const { return ownedSpace_; }
  // The carousel's area on screen; zero while nothing is shown.
  const ScreenRect& interactionFrame() const { return interactionFrame_; }
  const std::optional<LaunchPresentationRecord>& presentation() const { return presentation_; }
  LaunchSwitcherContentView* content() { return content_.get(); }
  LaunchSwitcherPanel* panel() { return panel_.get(); }

  // The panel's level: one above the host window, never below the main menu + 4 and
  // never above the maximum.
  static int presentationLevel(int hostLevel, int mainMenuLevel, int maximumLevel);

  static constexpr const char* refusedLine = "[LaunchSwitcher] source crosses display bounds; presentation refused";
  static constexpr const char* unavailablePrefix = "[LaunchSwitcher] owned presentation unavailable: ";
  // What the platform says when it cannot keep the panel above all: locked screen,
  // missing window-server support. In the platform's own words (a platform's string
  // table may name its error kind), so it is looked up when said.
  static std::string unsupportedDescription();

 private:
  Services services_;
  LaunchModifierShortcut shortcut_ = LaunchModifierShortcut::command();
  // The content outlives the panel drawing it.
  std::unique_ptr<LaunchSwitcherContentView> content_;
  std::unique_ptr<LaunchSwitcherPanel> panel_;
  // The panel is held above every window (on X11: restacked after every change).
  bool ownedSpace_ = false;
  ScreenRect interactionFrame_;
  std::optional<LaunchPresentationRecord> presentation_;
  Subscription lockObserver_;
  Subscription screensObserver_;
};

}  // namespace quillon
