#include "desktop/qt_window_style.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>
#include <QVBoxLayout>

#include "core/localization/l10n.h"
#include "core/platform/log_sink.h"

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
  frame->setStyleSheet(
      QStringLiteral("QFrame#warning { background: #fff6e0; border: 1px solid #e0b44c; border-radius: 8px; }"
                     "QFrame#warning QLabel { color: #4a3a10; }"));
  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(14, 10, 14, 10);
  layout->setSpacing(6);
  layout->addWidget(heading(QStringLiteral("⚠ ") + title, 0, frame));
  return frame;
}

namespace {

LogSink* controlLog = nullptr;

// A check box spans its row, but only its box and label take a click.
QRect clickablePart(const QAbstractButton& button) {
  if (const auto* box = qobject_cast<const QCheckBox*>(&button)) {
    QStyleOptionButton option;
    option.initFrom(box);
    return box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
  }
  return button.rect();
}

// Logs its window's controls once the events of a change have settled, and only when
// the line differs from the last one logged while the window stayed shown.
class ControlReporter final : public QObject {
 public:
  explicit ControlReporter(QWidget& window) : QObject(&window), window_(window) {
    timer_.setSingleShot(true);
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, [this] { report(); });
    window.installEventFilter(this);
    for (auto* child : window.findChildren<QWidget*>()) child->installEventFilter(this);
    // A check changes no geometry.
    for (auto* button : window.findChildren<QAbstractButton*>()) {
      connect(button, &QAbstractButton::toggled, &timer_, qOverload<>(&QTimer::start));
    }
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    // A window shown again says where its controls are again, also when nothing moved:
    // whoever clicks them (a test of the whole product) waits for the line.
    if (watched == &window_ && event->type() == QEvent::Hide) last_.clear();
    switch (event->type()) {
      case QEvent::Show:
      case QEvent::Hide:
      case QEvent::Move:
      case QEvent::Resize:
      case QEvent::EnabledChange: timer_.start(); break;
      default: break;
    }
    return false;
  }

 private:
  void report() {
    if (controlLog == nullptr || !window_.isVisible()) return;
    QString line = QStringLiteral("[Quillon/window] ") + window_.windowTitle();
    for (const auto* button : window_.findChildren<QAbstractButton*>()) {
      if (!button->isVisibleTo(&window_)) continue;
      const QPoint centre = button->mapToGlobal(clickablePart(*button).center());
      QString name = button->accessibleName().isEmpty() ? button->text() : button->accessibleName();
      name.replace(QLatin1Char('\n'), QLatin1Char(' ')).remove(QLatin1Char('&'));
      line += QStringLiteral(" | ") + (button->isEnabled() ? QString() : QStringLiteral("~")) + name +
              (button->isChecked() ? QStringLiteral(" [on]") : QString()) +
              QStringLiteral("@%1,%2").arg(centre.x()).arg(centre.y());
    }
    if (line == last_) return;
    last_ = line;
    controlLog->log(line.toStdString());
  }

  QWidget& window_;
  QTimer timer_;
  QString last_;
};

}  // namespace

void setControlLog(LogSink* log) { controlLog = log; }

void bringToFront(QWidget& window) {
  if (controlLog != nullptr && !window.property("reportsControls").toBool()) {
    window.setProperty("reportsControls", true);
    new ControlReporter(window);
  }
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
