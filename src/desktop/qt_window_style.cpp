#include "desktop/qt_window_style.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "core/localization/l10n.h"

namespace quillon::QtWindowStyle {

QString text(const LocalizedText& text) { return QString::fromStdString(L10n::text(text)); }
QString text(const std::string& text) { return QString::fromStdString(text); }

QLabel* heading(const QString& text, int pointSizeDelta, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  font.setBold(true);
  if (font.pointSizeF() > 0) font.setPointSizeF(font.pointSizeF() + pointSizeDelta);
  label->setFont(font);
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  return label;
}

QLabel* body(const QString& text, bool secondary, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  // Long Japanese sentences wrap anywhere; a minimum keeps them from being squeezed
  // into a column of single characters when the window is narrow.
  label->setMinimumWidth(200);
  if (secondary) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
    label->setPalette(palette);
  }
  return label;
}

QPushButton* button(const QString& text, QWidget* parent) {
  auto* result = new QPushButton(text, parent);
  result->setMinimumHeight(30);
  result->setMinimumWidth(result->sizeHint().width() + 20);
  return result;
}

QFrame* section(QWidget* parent) {
  auto* frame = new QFrame(parent);
  frame->setObjectName(QStringLiteral("section"));
  frame->setFrameShape(QFrame::StyledPanel);
  frame->setStyleSheet(QStringLiteral(
      "QFrame#section { background: palette(base); border: 1px solid palette(mid); border-radius: 8px; }"));
  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(16, 14, 16, 14);
  layout->setSpacing(8);
  return frame;
}

QFrame* warningBox(const QString& title, QWidget* parent) {
  auto* frame = new QFrame(parent);
  frame->setObjectName(QStringLiteral("warning"));
  frame->setStyleSheet(QStringLiteral(
      "QFrame#warning { background: #fff6e0; border: 1px solid #e0b44c; border-radius: 8px; }"
      "QFrame#warning QLabel { color: #4a3a10; }"));
  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(14, 10, 14, 10);
  layout->setSpacing(6);
  layout->addWidget(heading(QStringLiteral("⚠ ") + title, 0, frame));
  return frame;
}

void bringToFront(QWidget& window) {
  if (!window.isVisible()) {
    if (!window.property("placed").toBool()) {
      if (const QScreen* screen = QApplication::primaryScreen()) {
        window.move(screen->availableGeometry().center() - window.rect().center());
      }
      window.setProperty("placed", true);
    }
    window.show();
  }
  window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
  window.raise();
  window.activateWindow();
}

}  // namespace quillon::QtWindowStyle
