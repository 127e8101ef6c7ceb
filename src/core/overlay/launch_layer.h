#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/overlay/launch_animation.h"
#include "core/overlay/launch_path.h"
#include "core/support/bitmap.h"
#include "core/support/geometry.h"

namespace quillon {

// Straight (not premultiplied) RGBA, components 0…1.
struct LaunchColor {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 0;

  static constexpr LaunchColor clear() { return {}; }
  static constexpr LaunchColor black(double alpha = 1) { return {0, 0, 0, alpha}; }
  static constexpr LaunchColor white(double alpha = 1) { return {1, 1, 1, alpha}; }
  bool isVisible() const { return alpha > 0; }
  friend bool operator==(const LaunchColor&, const LaunchColor&) = default;
};

enum class LaunchContentsGravity : std::uint8_t { resize, resizeAspect, center };
enum class LaunchTextAlignment : std::uint8_t { left, center, right };
enum class LaunchFontWeight : std::uint8_t { regular, medium, semibold, bold };
enum class LaunchTextTruncation : std::uint8_t { none, end };

struct LaunchTextStyle {
  double fontSize = 12;
  LaunchFontWeight weight = LaunchFontWeight::regular;
  LaunchColor color = LaunchColor::white();
  LaunchTextAlignment alignment = LaunchTextAlignment::left;
  LaunchTextTruncation truncation = LaunchTextTruncation::none;
  bool wrapped = false;
};

// Scale and translation applied to every sublayer (not to the layer itself), the only
// transforms the switcher needs; sublayer point p appears at (p.x·scaleX + tx, p.y·scaleY + ty).
struct LaunchSublayerTransform {
  double scaleX = 1;
  double scaleY = 1;
  double translateX = 0;
  double translateY = 0;
  bool isIdentity() const { return scaleX == 1 && scaleY == 1 && translateX == 0 && translateY == 0; }
  Point apply(Point p) const { return {p.x * scaleX + translateX, p.y * scaleY + translateY}; }
};

// One node of a retained drawing: a rectangle with a fill, rounded corners and a border,
// optionally showing an image, a line of text or a vector shape, with sublayers drawn
// above it in order. Coordinates grow right and up from the bottom-left of the
// superlayer. The fields are the model values; running animations override them when
// the scene is drawn. Change fields inside a `LaunchTransaction` so renderers notice.
class LaunchLayer {
 public:
  explicit LaunchLayer(std::string layerName = {}) : name(std::move(layerName)) {}
  LaunchLayer(const LaunchLayer&) = delete;
  LaunchLayer& operator=(const LaunchLayer&) = delete;

  std::string name;  // for diagnostics and tests

  Point position;  // centre, in the superlayer
  Size size;
  double opacity = 1;
  bool hidden = false;
  LaunchColor backgroundColor;
  double cornerRadius = 0;
  LaunchColor borderColor;
  double borderWidth = 0;

  std::shared_ptr<const Bitmap> contents;
  double contentsScale = 1;  // image pixels per point
  LaunchContentsGravity contentsGravity = LaunchContentsGravity::resize;

  std::string text;
  LaunchTextStyle textStyle;

  // A layer with a non-empty path is a shape layer: the path is filled and stroked in
  // the layer's own coordinates. An open path is stroked as it is; only the fill closes it.
  LaunchPath path;
  LaunchColor fillColor;
  LaunchColor strokeColor;
  double lineWidth = 1;

  LaunchSublayerTransform sublayerTransform;

  Rect frame() const { return {position.x - size.width / 2, position.y - size.height / 2, size.width, size.height}; }
  void setFrame(const Rect& frame) {
    position = {frame.midX(), frame.midY()};
    size = frame.size();
  }

  // The layer and its sublayers show only where the mask's shape (or, without a path,
  // its frame) covers them, scaled by the mask's opacity.
  LaunchLayer* mask() const { return mask_.get(); }
  LaunchLayer& setMask(std::unique_ptr<LaunchLayer> mask);

  LaunchLayer& addSublayer(std::unique_ptr<LaunchLayer> layer);
  LaunchLayer& addSublayer(std::string layerName) {
    return addSublayer(std::make_unique<LaunchLayer>(std::move(layerName)));
  }
  void removeAllSublayers() { sublayers_.clear(); }
  const std::vector<std::unique_ptr<LaunchLayer>>& sublayers() const { return sublayers_; }

  struct KeyedAnimation {
    std::string key;
    LaunchAnimation animation;
  };
  // Added through LaunchLayerScene::addAnimation, which stamps the begin time.
  void removeAnimation(const std::string& key);
  void removeAllAnimations() { animations_.clear(); }
  const LaunchAnimation* animation(const std::string& key) const;
  const std::vector<KeyedAnimation>& animations() const { return animations_; }
  bool hasAnimation(LaunchLayerProperty property) const;

  // The values shown at `time`: the last-added running animation of the property wins.
  double presentationOpacity(double time) const;
  Point presentationPosition(double time) const;
  Size presentationSize(double time) const;
  Rect presentationFrame(double time) const;
  // May refer to `scratch`, which keeps its storage from frame to frame.
  const LaunchPath& presentationPath(double time, LaunchPath& scratch) const;

 private:
  friend class LaunchLayerScene;
  const LaunchAnimation* running(LaunchLayerProperty property, double time) const;

  std::unique_ptr<LaunchLayer> mask_;
  std::vector<std::unique_ptr<LaunchLayer>> sublayers_;
  std::vector<KeyedAnimation> animations_;
};

}  // namespace quillon
