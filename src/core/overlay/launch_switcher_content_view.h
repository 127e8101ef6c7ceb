#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/localization/localized_text.h"
#include "core/overlay/launch_carousel_position.h"
#include "core/overlay/launch_entrance_motion.h"
#include "core/overlay/layer_scene.h"
#include "core/records/registry/managed_notch_app.h"
#include "core/support/bitmap.h"
#include "core/support/uuid.h"

namespace quillon {

class Workspace;

// What the switcher shows at one presentation.
struct LaunchSwitcherConfiguration {
  // The selected app's image is the live capture of its notch: it starts over the real
  // notch and moves into its card during the entrance.
  bool liveSnapshot = false;
  std::vector<ManagedNotchApp> apps;  // menu order
  std::map<Uuid, std::shared_ptr<const Bitmap>> previews;
  // When each kept image was taken (wall time); the live image has none.
  std::map<Uuid, double> previewSavedAt;
  std::map<Uuid, std::string> guidance;  // already localised
  Uuid selectedID;
  Rect sourceLocalRect;  // the notch surface, in view coordinates
  double backingScale = 1;
  std::optional<Rect> shellBounds;  // the opened body; the view's bounds when absent
  std::string shortcutLabel;        // the chord's symbols, such as "⌘"
};

// The switcher's carousel drawn as layers: a black notch-shaped body that grows out of the
// real notch, one page per app (icon, name, notch image) held three times in a strip that
// slides, a hint line and a guidance text. Every page and entrance frame is laid out by
// the program's own geometry, so the renderer only draws layers. Coordinates are the
// view's own, origin bottom-left, y up.
class LaunchSwitcherContentView {
 public:
  static constexpr double selectionDuration = 0.16;
  // A kept image older than this says how old it is.
  static constexpr double ageShownAfter = 60;

  // "5分前", "2時間前", "昨日", "3日前": how old a kept image is, from its age in
  // seconds; none for one taken within the last minute (or in the future, the clock
  // having been set back).
  static std::optional<LocalizedText> ageText(double seconds);

  LaunchSwitcherContentView(const Clock& clock, const Workspace& workspace, const Rect& bounds);
  LaunchSwitcherContentView(const LaunchSwitcherContentView&) = delete;
  LaunchSwitcherContentView& operator=(const LaunchSwitcherContentView&) = delete;

  // Builds every page; nothing happens when the selected app is not among the apps.
  void configure(const LaunchSwitcherConfiguration& configuration);
  // Slides to the page of `id`; `direction` is the scroll direction (its sign decides
  // which way a wrap goes).
  void select(const Uuid& id, int direction);
  // Shows a new image on every copy of the app's page; false when the app has no page.
  bool updatePreview(const std::shared_ptr<const Bitmap>& image, const Uuid& id);
  // Replaces the hint line (the switch in progress, a failure).
  void showStatus(const LocalizedText& text);

  void setEntrance(std::optional<LaunchEntranceMotion> entrance) { entrance_ = entrance; }
  // Starts the entrance from the scene's current time, with the system's reduce-motion
  // setting.
  void animateAppearance();
  // Shows the entrance as it is `time` seconds after its start, without animation.
  void applyAppearanceFrame(double time);
  void clear();

  LayerScene& scene() { return scene_; }
  const LayerScene& scene() const { return scene_; }
  const Rect& bounds() const { return bounds_; }
  const std::optional<LaunchCarouselPosition>& carousel() const { return carousel_; }
  const std::vector<Uuid>& identifiers() const { return identifiers_; }
  const std::optional<LaunchEntranceMotion>& entrance() const { return entrance_; }
  const Rect& finalOutlineBounds() const { return finalOutlineBounds_; }
  const Rect& bodyBounds() const { return bodyBounds_; }
  const std::optional<Rect>& previewStart() const { return previewStart_; }
  const std::optional<Rect>& previewEnd() const { return previewEnd_; }
  double pageWidth() const { return pageWidth_; }

  const Layer& strip() const { return *strip_; }
  const Layer& status() const { return *status_; }
  const Layer& guidanceLayer() const { return *guidanceLayer_; }
  const Layer& silhouetteMask() const { return *silhouetteMask_; }
  const Layer& outlineLayer() const { return *outlineLayer_; }
  const Layer* snapshotLayer() const { return snapshotLayer_; }
  const std::vector<Layer*>& revealingLayers() const { return revealingLayers_; }
  // The app's preview layers, one per copy of its page; empty for an unknown app.
  std::vector<const Layer*> previewLayers(const Uuid& id) const;
  // The line under each copy of the app's image that tells its age; empty text for none.
  std::vector<const Layer*> ageLayers(const Uuid& id) const;

 private:
  struct IdentityLayers {
    Layer* title;
    Layer* icon;
    double pageOffset;
  };

  void setAppearance(double time);
  double stripPositionX(int slot) const { return bounds_.midX() - pageWidth_ * slot; }

  const Clock& clock_;
  const Workspace& workspace_;
  LayerScene scene_;
  Rect bounds_;

  Layer* strip_;
  Layer* status_;
  Layer* guidanceLayer_;
  Layer* silhouetteMask_;
  Layer* outlineLayer_;
  Layer* snapshotLayer_ = nullptr;

  std::map<Uuid, std::string> guidance_;
  std::vector<Uuid> identifiers_;
  std::optional<LaunchCarouselPosition> carousel_;
  double pageWidth_ = 0;
  double scale_ = 1;
  Rect finalOutlineBounds_;
  Rect sourceLocalRect_;
  std::optional<Rect> previewStart_;
  std::optional<Rect> previewEnd_;
  std::optional<LaunchEntranceMotion> entrance_;
  std::vector<Layer*> revealingLayers_;
  Rect bodyBounds_;
  std::map<Uuid, std::vector<Layer*>> previewLayers_;
  std::map<Uuid, std::vector<Layer*>> ageLayers_;
  std::map<Uuid, std::vector<IdentityLayers>> identityLayers_;
};

}  // namespace quillon
