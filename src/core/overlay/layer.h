#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/overlay/animation.h"
#include "core/overlay/path.h"
#include "core/support/bitmap.h"
#include "core/support/geometry.h"

namespace quillon {

// Straight (not premultiplied) RGBA, components 0…1.
struct Color {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 0;

  static constexpr Color clear() { return {}; }
  static constexpr Color black(double alpha = 1) { return {0, 0, 0, alpha}; }
  static constexpr Color white(double alpha = 1) { return {1, 1, 1, alpha}; }
  bool isVisible() const { return alpha > 0; }
  friend bool operator==(const Color&, const Color&) = default;
};

enum class ContentsGravity : std::uint8_t { resize, resizeAspect, center };
enum class TextAlignment : std::uint8_t { left, center, right };
enum class FontWeight : std::uint8_t { regular, medium, semibold, bold };
enum class TextTruncation : std::uint8_t { none, end };

struct TextStyle {
  double fontSize = 12;
  FontWeight weight = FontWeight::regular;
  Color color = Color::white();
  TextAlignment alignment = TextAlignment::left;
  TextTruncation truncation = TextTruncation::none;
  bool wrapped = false;
};

// Scale and translation applied to every sublayer (not to the layer itself), the only
// transforms the switcher needs; sublayer point p appears at (p.x·scaleX + tx, p.y·scaleY + ty).
struct SublayerTransform {
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
// the scene is drawn. Change fields inside a `Transaction` so renderers notice.
class Layer {
 public:
  explicit Layer(std::string layerName = {}) : name(std::move(layerName)) {}
  Layer(const Layer&) = delete;
  Layer& operator=(const Layer&) = delete;

  std::string name;  // for diagnostics and tests

  Point position;  // centre, in the superlayer
  Size size;
  double opacity = 1;
  bool hidden = false;
  Color backgroundColor;
  double cornerRadius = 0;
  Color borderColor;
  double borderWidth = 0;

  std::shared_ptr<const Bitmap> contents;
  double contentsScale = 1;  // image pixels per point
  ContentsGravity contentsGravity = ContentsGravity::resize;

  std::string text;
  TextStyle textStyle;

  // A layer with a non-empty path is a shape layer: the path is filled and stroked in
  // the layer's own coordinates. An open path is stroked as it is; only the fill closes it.
  Path path;
  Color fillColor;
  Color strokeColor;
  double lineWidth = 1;

  SublayerTransform sublayerTransform;

  Rect frame() const { return {position.x - size.width / 2, position.y - size.height / 2, size.width, size.height}; }
  void setFrame(const Rect& frame) {
    position = {frame.midX(), frame.midY()};
    size = frame.size();
  }

  // The layer and its sublayers show only where the mask's shape (or, without a path,
  // its frame) covers them, scaled by the mask's opacity.
  Layer* mask() const { return mask_.get(); }
  Layer& setMask(std::unique_ptr<Layer> mask);

  Layer& addSublayer(std::unique_ptr<Layer> layer);
  Layer& addSublayer(std::string layerName) { return addSublayer(std::make_unique<Layer>(std::move(layerName))); }
  void removeAllSublayers() { sublayers_.clear(); }
  const std::vector<std::unique_ptr<Layer>>& sublayers() const { return sublayers_; }

  struct KeyedAnimation {
    std::string key;
    Animation animation;
  };
  // Added through LayerScene::addAnimation, which stamps the begin time.
  void removeAnimation(const std::string& key);
  void removeAllAnimations() { animations_.clear(); }
  const Animation* animation(const std::string& key) const;
  const std::vector<KeyedAnimation>& animations() const { return animations_; }
  bool hasAnimation(LayerProperty property) const;

  // The values shown at `time`: the last-added running animation of the property wins.
  double presentationOpacity(double time) const;
  Point presentationPosition(double time) const;
  Size presentationSize(double time) const;
  Rect presentationFrame(double time) const;
  // May refer to `scratch`, which keeps its storage from frame to frame.
  const Path& presentationPath(double time, Path& scratch) const;

 private:
  friend class LayerScene;
  const Animation* running(LayerProperty property, double time) const;

  std::unique_ptr<Layer> mask_;
  std::vector<std::unique_ptr<Layer>> sublayers_;
  std::vector<KeyedAnimation> animations_;
};

}  // namespace quillon
