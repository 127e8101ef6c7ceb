#pragma once

#include <QString>

#include "core/localization/localized_text.h"

class QFrame;
class QLabel;
class QLayout;
class QPushButton;
class QWidget;

namespace quillon {
class LogSink;
}

namespace quillon {

// The look shared by the settings window and the first-run guide: grouped sections on a
// plain background, secondary texts in a lighter colour, warnings in a tinted box.
namespace QtWindowStyle {

// The text in the user's language.
QString text(const LocalizedText& text);
QString text(const std::string& text);

// A heading of `pointSize` relative to the default font (positive: larger).
QLabel* heading(const QString& text, int pointSizeDelta, QWidget* parent = nullptr);
// A wrapped body text; `secondary` uses the palette's placeholder colour.
QLabel* body(const QString& text, bool secondary, QWidget* parent = nullptr);
// A push button with room around its text.
QPushButton* button(const QString& text, QWidget* parent = nullptr);
// A rounded section that groups related controls.
QFrame* section(QWidget* parent = nullptr);
// A tinted warning box with a heading; its layout takes further rows.
QFrame* warningBox(const QString& title, QWidget* parent = nullptr);

// With a sink, every window brought to the front logs where its controls are whenever
// they move or change: "[Quillon/window] <title> | <control>@<x>,<y> | …", the centres
// in screen pixels, "~" before a disabled control and " [on]" after a checked one. Tests
// click what a user would by these lines; off unless the platform asks for it.
void setControlLog(LogSink* log);

// Shows `window` (centred on the primary screen the first time, where the user left it
// afterwards), restores it when minimized and makes it the active window.
void bringToFront(QWidget& window);

}  // namespace QtWindowStyle

}  // namespace quillon
