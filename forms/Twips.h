#pragma once

#include <QRect>

class QWidget;

// Layouts are written in twips (1440 to the inch) and placed at the screen's logical DPI.
namespace Twips {

int toPixels(int twips);
double toPixelsF(double twips);
QRect rect(int left, int top, int width, int height);
void place(QWidget* widget, int left, int top, int width, int height);

} // namespace Twips
