#pragma once

#include <QColor>
#include <QFont>

class QWidget;

// "宋体" is the interface's font; on this platform it maps to a Song-style CJK face.
namespace Fonts {

// Registers the mapping of "宋体" and sets the default window font (宋体 9 pt).
void install();
QFont song(double pointSize, bool bold = false);
void setTextColor(QWidget* widget, const QColor& color);
void setBackColor(QWidget* widget, const QColor& color);

} // namespace Fonts
