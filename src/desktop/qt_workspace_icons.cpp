#include "desktop/qt_workspace_icons.h"

#include <algorithm>

#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QString>

#include "desktop/qt_image_codec.h"

namespace quillon {
namespace {

// Icons are small; a file declaring more is not an icon worth decoding.
constexpr int kMaximumIconSide = 4096;
constexpr const char* kGenericName = "application-x-executable";

QImage fitted(const QImage& image, int pixelSize) {
  if (image.width() == pixelSize && image.height() == pixelSize) return image;
  QImage square(pixelSize, pixelSize, QImage::Format_RGBA8888_Premultiplied);
  square.fill(Qt::transparent);
  const QImage scaled = image.scaled(pixelSize, pixelSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  QPainter painter(&square);
  painter.drawImage((pixelSize - scaled.width()) / 2, (pixelSize - scaled.height()) / 2, scaled);
  return square;
}

// A plain window on a rounded grey tile, for desktops without an icon theme.
QImage drawnGenericIcon(int pixelSize) {
  QImage image(pixelSize, pixelSize, QImage::Format_RGBA8888_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  const double s = pixelSize;
  QLinearGradient tile(0, 0, 0, s);
  tile.setColorAt(0, QColor(0x9a, 0xa3, 0xaf));
  tile.setColorAt(1, QColor(0x5f, 0x68, 0x75));
  painter.setPen(Qt::NoPen);
  painter.setBrush(tile);
  painter.drawRoundedRect(QRectF(s * 0.08, s * 0.08, s * 0.84, s * 0.84), s * 0.18, s * 0.18);
  painter.setBrush(QColor(0xf4, 0xf5, 0xf7));
  painter.drawRoundedRect(QRectF(s * 0.22, s * 0.28, s * 0.56, s * 0.44), s * 0.04, s * 0.04);
  painter.setBrush(QColor(0x3b, 0x82, 0xf6));
  painter.drawRect(QRectF(s * 0.22, s * 0.28, s * 0.56, s * 0.09));
  return image;
}

}  // namespace

std::optional<Bitmap> qtImageFileIcon(const std::string& path, int pixelSize) {
  if (pixelSize < 1 || pixelSize > kMaximumIconSide) return std::nullopt;
  QImageReader reader(QString::fromStdString(path));
  // The smallest image at least as large as asked for, else the largest there is. Not
  // every format tells an image's size before reading it (".icns" does not).
  QImage best;
  const int count = std::max(1, reader.imageCount());
  for (int index = 0; index < count; ++index) {
    if (index > 0 && !reader.jumpToImage(index)) break;
    const QSize declared = reader.size();
    if (declared.isValid() && (declared.width() > kMaximumIconSide || declared.height() > kMaximumIconSide)) continue;
    QImage image;
    if (!reader.read(&image) || image.isNull()) continue;
    const int side = std::max(image.width(), image.height());
    const int bestSide = std::max(best.width(), best.height());
    if (best.isNull() || (bestSide < pixelSize ? side > bestSide : side >= pixelSize && side < bestSide)) {
      best = image;
    }
  }
  if (best.isNull()) return std::nullopt;
  return qtBitmapOf(fitted(best, pixelSize));
}

std::optional<Bitmap> qtGenericApplicationIcon(int pixelSize) {
  if (pixelSize < 1 || pixelSize > kMaximumIconSide) return std::nullopt;
  QIcon icon = QIcon::fromTheme(kGenericName);
  // A session without a desktop environment names no theme, or one without the icon;
  // the themes installed with the common desktops have it.
  const QString configured = QIcon::themeName();
  for (const char* theme : {"Adwaita", "breeze", "gnome"}) {
    if (!icon.isNull()) break;
    QIcon::setThemeName(theme);
    icon = QIcon::fromTheme(kGenericName);
    if (!icon.isNull()) icon = QIcon(icon.pixmap(pixelSize, pixelSize));  // taken while the theme is set
    QIcon::setThemeName(configured);
  }
  const QImage image = icon.isNull() ? QImage() : icon.pixmap(pixelSize, pixelSize).toImage();
  return qtBitmapOf(fitted(image.isNull() ? drawnGenericIcon(pixelSize) : image, pixelSize));
}

}  // namespace quillon
