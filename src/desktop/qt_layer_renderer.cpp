#include "desktop/qt_layer_renderer.h"

#include <algorithm>
#include <cmath>

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace quillon {

namespace {

QColor toQColor(const Color& color) {
  return QColor::fromRgbF(static_cast<float>(color.red), static_cast<float>(color.green),
                          static_cast<float>(color.blue), static_cast<float>(color.alpha));
}

void appendPath(const Path& path, QPainterPath& out) {
  for (const Path::Element& element : path.elements()) {
    const Point* p = element.points;
    switch (element.kind) {
      case Path::Element::Kind::moveTo: out.moveTo(p[0].x, p[0].y); break;
      case Path::Element::Kind::lineTo: out.lineTo(p[0].x, p[0].y); break;
      case Path::Element::Kind::curveTo: out.cubicTo(p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y); break;
      case Path::Element::Kind::close: out.closeSubpath(); break;
    }
  }
}

QFont::Weight toQtWeight(FontWeight weight) {
  switch (weight) {
    case FontWeight::regular: return QFont::Normal;
    case FontWeight::medium: return QFont::Medium;
    case FontWeight::semibold: return QFont::DemiBold;
    case FontWeight::bold: return QFont::Bold;
  }
  return QFont::Normal;
}

QFont fontFor(const TextStyle& style) {
  QFont font;
  // Layer font sizes are in points of the view, which are the painter's logical pixels.
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(style.fontSize))));
  font.setWeight(toQtWeight(style.weight));
  return font;
}

int alignmentFlags(const TextStyle& style) {
  int flags = Qt::AlignTop;
  switch (style.alignment) {
    case TextAlignment::left: flags |= Qt::AlignLeft; break;
    case TextAlignment::center: flags |= Qt::AlignHCenter; break;
    case TextAlignment::right: flags |= Qt::AlignRight; break;
  }
  if (style.wrapped) flags |= Qt::TextWordWrap;
  return flags;
}

// The rectangle of `imageSize` fitted into `target` keeping its aspect ratio, centred.
QRectF aspectFit(QSizeF imageSize, const QRectF& target) {
  const QSizeF fitted = imageSize.scaled(target.size(), Qt::KeepAspectRatio);
  return {target.center().x() - fitted.width() / 2, target.center().y() - fitted.height() / 2, fitted.width(),
          fitted.height()};
}

}  // namespace

void QtLayerRenderer::clearCaches() {
  images_.clear();
  texts_.clear();
}

void QtLayerRenderer::paint(QPainter& painter, const LayerScene& scene, double time, QSizeF viewSize) {
  time_ = time;
  // Images replaced by newer previews go with their last owner.
  std::erase_if(images_, [](const auto& entry) { return entry.second.source.expired(); });
  viewport_ = QRectF(QPointF(0, 0), viewSize);
  pixelRatio_ = painter.device() ? painter.device()->devicePixelRatioF() : 1;
  painter.save();
  painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
  // Layer space is y-up from the bottom-left of the view.
  const QTransform flip(1, 0, 0, -1, 0, viewSize.height());
  paintTree(painter, scene.root(), flip, 1, true);
  painter.restore();
}

void QtLayerRenderer::paintTree(QPainter& painter, const Layer& layer, const QTransform& parentToDevice,
                                double parentOpacity, bool applyMask) {
  if (layer.hidden) return;
  const double opacity = parentOpacity * std::clamp(layer.presentationOpacity(time_), 0.0, 1.0);
  if (opacity <= 0) return;
  if (applyMask && layer.mask()) {
    paintMasked(painter, layer, parentToDevice, opacity);
    return;
  }
  const Rect frame = layer.presentationFrame(time_);
  const QTransform toDevice = QTransform::fromTranslate(frame.x, frame.y) * parentToDevice;
  // Pages far outside the view are the common case in a sliding strip; skip their leaves.
  if (layer.sublayers().empty() && !toDevice.mapRect(QRectF(0, 0, frame.width, frame.height)).intersects(viewport_)) {
    return;
  }
  paintOwnContent(painter, layer, toDevice, frame, opacity);
  if (layer.sublayers().empty()) return;
  const SublayerTransform& s = layer.sublayerTransform;
  const QTransform childTransform =
      s.isIdentity() ? toDevice : QTransform(s.scaleX, 0, 0, s.scaleY, s.translateX, s.translateY) * toDevice;
  for (const auto& sublayer : layer.sublayers()) paintTree(painter, *sublayer, childTransform, opacity, true);
}

void QtLayerRenderer::paintOwnContent(QPainter& painter, const Layer& layer, const QTransform& toDevice,
                                      const Rect& frame, double opacity) {
  const QRectF local(0, 0, frame.width, frame.height);
  const bool hasBox = layer.backgroundColor.isVisible() || (layer.borderWidth > 0 && layer.borderColor.isVisible());
  const bool hasShape = !layer.path.isEmpty() || layer.hasAnimation(LayerProperty::path);
  if (!hasBox && !hasShape && !layer.contents && layer.text.empty()) return;
  painter.setOpacity(opacity);
  if (hasBox) {
    painter.setTransform(toDevice);
    painter.setPen(layer.borderWidth > 0 && layer.borderColor.isVisible()
                       ? QPen(toQColor(layer.borderColor), layer.borderWidth)
                       : QPen(Qt::NoPen));
    painter.setBrush(layer.backgroundColor.isVisible() ? QBrush(toQColor(layer.backgroundColor)) : QBrush());
    const double inset = layer.borderWidth / 2;
    const QRectF box = local.adjusted(inset, inset, -inset, -inset);
    if (layer.cornerRadius > 0) {
      painter.drawRoundedRect(box, layer.cornerRadius, layer.cornerRadius);
    } else {
      painter.drawRect(box);
    }
  }
  if (hasShape) {
    const Path& path = layer.presentationPath(time_, scratch_);
    if (!path.isEmpty()) {
      QPainterPath shape;
      appendPath(path, shape);
      painter.setTransform(toDevice);
      painter.setPen(layer.strokeColor.isVisible() && layer.lineWidth > 0
                         ? QPen(toQColor(layer.strokeColor), layer.lineWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin)
                         : QPen(Qt::NoPen));
      painter.setBrush(layer.fillColor.isVisible() ? QBrush(toQColor(layer.fillColor)) : QBrush());
      if (layer.fillColor.isVisible()) {
        painter.drawPath(shape);
      } else {
        painter.strokePath(shape, painter.pen());
      }
    }
  }
  if (layer.contents || !layer.text.empty()) {
    // Upright: the flipped frame, mapped to the device, is drawn without the flip.
    const QRectF target = toDevice.mapRect(local);
    painter.setTransform(QTransform());
    if (layer.contents) paintImage(painter, layer, target);
    if (!layer.text.empty()) paintText(painter, layer, target);
  }
}

void QtLayerRenderer::paintMasked(QPainter& painter, const Layer& layer, const QTransform& parentToDevice,
                                  double opacity) {
  const Layer& mask = *layer.mask();
  const Rect frame = layer.presentationFrame(time_);
  const QTransform toDevice = QTransform::fromTranslate(frame.x, frame.y) * parentToDevice;
  const Rect maskFrame = mask.presentationFrame(time_);
  const QTransform maskToDevice = QTransform::fromTranslate(maskFrame.x, maskFrame.y) * toDevice;
  QPainterPath maskPath;
  const Path& path = mask.presentationPath(time_, scratch_);
  if (path.isEmpty()) {
    maskPath.addRect(QRectF(0, 0, maskFrame.width, maskFrame.height));
  } else {
    appendPath(path, maskPath);
  }
  maskPath = maskToDevice.map(maskPath);
  // Only the part the mask covers is drawn, through a buffer the size of that part.
  const QRectF region = maskPath.boundingRect().intersected(viewport_).toAlignedRect();
  if (region.isEmpty()) return;
  const QSize pixels(static_cast<int>(std::ceil(region.width() * pixelRatio_)),
                     static_cast<int>(std::ceil(region.height() * pixelRatio_)));
  if (maskBuffer_.width() < pixels.width() || maskBuffer_.height() < pixels.height() ||
      maskBuffer_.devicePixelRatio() != pixelRatio_) {
    maskBuffer_ = QImage(std::max(pixels.width(), maskBuffer_.width()), std::max(pixels.height(), maskBuffer_.height()),
                         QImage::Format_ARGB32_Premultiplied);
    maskBuffer_.setDevicePixelRatio(pixelRatio_);
  }
  {
    QPainter buffer(&maskBuffer_);
    buffer.setRenderHints(painter.renderHints());
    buffer.setCompositionMode(QPainter::CompositionMode_Source);
    buffer.fillRect(QRectF(QPointF(0, 0), region.size()), Qt::transparent);
    buffer.setCompositionMode(QPainter::CompositionMode_SourceOver);
    const QTransform shift = QTransform::fromTranslate(-region.x(), -region.y());
    const QRectF savedViewport = viewport_;
    viewport_ = region.translated(-region.topLeft());
    paintTree(buffer, layer, parentToDevice * shift, 1, false);
    viewport_ = savedViewport;
    // Clear what lies outside the mask: the region with the mask cut out of it.
    QPainterPath outside;
    outside.addRect(QRectF(QPointF(0, 0), region.size()));
    outside.addPath(maskPath.translated(-region.topLeft()));
    outside.setFillRule(Qt::OddEvenFill);
    buffer.setTransform(QTransform());
    buffer.setOpacity(1);
    buffer.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    buffer.fillPath(outside, Qt::black);
  }
  painter.setTransform(QTransform());
  painter.setOpacity(opacity * std::clamp(mask.presentationOpacity(time_), 0.0, 1.0));
  painter.drawImage(region, maskBuffer_, QRectF(QPointF(0, 0), QSizeF(pixels)));
}

const QImage& QtLayerRenderer::imageFor(const std::shared_ptr<const Bitmap>& bitmap, QSize deviceSize) {
  CachedImage& entry = images_[bitmap.get()];
  if (entry.source.lock() != bitmap || entry.converted.isNull()) {
    // Wrapped without a copy, then converted once to the painter's native format.
    const QImage wrapped(bitmap->pixels.data(), bitmap->width, bitmap->height,
                         static_cast<qsizetype>(bitmap->bytesPerRow), QImage::Format_RGBA8888_Premultiplied);
    entry = {bitmap, wrapped.convertToFormat(QImage::Format_ARGB32_Premultiplied), {}};
  }
  if (deviceSize.isEmpty() || deviceSize == entry.converted.size()) return entry.converted;
  if (entry.scaled.size() != deviceSize) {
    entry.scaled = entry.converted.scaled(deviceSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  return entry.scaled;
}

void QtLayerRenderer::paintImage(QPainter& painter, const Layer& layer, const QRectF& target) {
  const Bitmap& bitmap = *layer.contents;
  if (bitmap.isEmpty()) return;
  const QSizeF imageSize(bitmap.width, bitmap.height);
  QRectF placed = target;
  switch (layer.contentsGravity) {
    case ContentsGravity::resize: break;
    case ContentsGravity::resizeAspect: placed = aspectFit(imageSize, target); break;
    case ContentsGravity::center: {
      const double scale = layer.contentsScale > 0 ? layer.contentsScale : 1;
      const QSizeF size = imageSize / scale;
      placed = QRectF(target.center().x() - size.width() / 2, target.center().y() - size.height() / 2, size.width(),
                      size.height());
      break;
    }
  }
  const QSize device((placed.size() * pixelRatio_).toSize());
  painter.drawImage(placed, imageFor(layer.contents, device));
}

void QtLayerRenderer::paintText(QPainter& painter, const Layer& layer, const QRectF& target) {
  const TextStyle& style = layer.textStyle;
  const QFont font = fontFor(style);
  CachedText& cached = texts_[&layer];
  // Keyed by layer address, which a later layer may reuse: compare everything that
  // shapes the elided text.
  if (cached.text != layer.text || cached.width != target.width() || cached.fontSize != style.fontSize ||
      cached.weight != style.weight) {
    cached.text = layer.text;
    cached.width = target.width();
    cached.fontSize = style.fontSize;
    cached.weight = style.weight;
    cached.shown = QString::fromStdString(layer.text);
    if (style.truncation == TextTruncation::end && !style.wrapped) {
      cached.shown = QFontMetricsF(font).elidedText(cached.shown, Qt::ElideRight, target.width());
    }
  }
  painter.setFont(font);
  painter.setPen(toQColor(style.color));
  painter.drawText(target, alignmentFlags(style), cached.shown);
}

}  // namespace quillon
