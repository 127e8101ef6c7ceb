#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include <QFont>
#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QTransform>

#include "core/overlay/layer_scene.h"

class QPainter;
class QPainterPath;

namespace quillon {

// Draws a layer scene with QPainter as it is at a given time: antialiased, at the
// painter's device pixel ratio. Layers use y-up coordinates; the painter's are y-down,
// so geometry is flipped while images and text are drawn upright. Keeps converted images,
// laid-out texts and one mask buffer between frames, so steady frames allocate little.
class QtLayerRenderer {
 public:
  // `viewSize` is the painter's logical size in points; the scene's root is drawn in it.
  void paint(QPainter& painter, const LayerScene& scene, double time, QSizeF viewSize);
  // Forgets cached images and texts (after the scene was rebuilt).
  void clearCaches();

 private:
  struct CachedImage {
    std::weak_ptr<const Bitmap> source;
    QImage converted;
    QImage scaled;
  };
  struct CachedText {
    std::string text;
    double width = 0;
    double fontSize = 0;
    FontWeight weight = FontWeight::regular;
    QString shown;
  };

  void paintTree(QPainter& painter, const Layer& layer, const QTransform& toDevice, double opacity, bool applyMask);
  void paintOwnContent(QPainter& painter, const Layer& layer, const QTransform& toDevice, const Rect& frame,
                       double opacity);
  void paintMasked(QPainter& painter, const Layer& layer, const QTransform& toDevice, double opacity);
  void paintImage(QPainter& painter, const Layer& layer, const QRectF& target);
  void paintText(QPainter& painter, const Layer& layer, const QRectF& target);
  const QImage& imageFor(const std::shared_ptr<const Bitmap>& bitmap, QSize deviceSize);

  double time_ = 0;
  QRectF viewport_;
  qreal pixelRatio_ = 1;
  Path scratch_;
  QImage maskBuffer_;
  std::unordered_map<const Bitmap*, CachedImage> images_;
  std::unordered_map<const Layer*, CachedText> texts_;
};

}  // namespace quillon
