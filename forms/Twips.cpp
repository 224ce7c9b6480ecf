#include "Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace Twips {

namespace {
double dpi()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double logical = screen ? screen->logicalDotsPerInch() : 96.0;
    return logical > 0 ? logical : 96.0;
}
} // namespace

double toPixelsF(double twips)
{
    return twips * dpi() / 1440.0;
}

int toPixels(int twips)
{
    return static_cast<int>(std::lround(toPixelsF(twips)));
}

QRect rect(int left, int top, int width, int height)
{
    return {toPixels(left), toPixels(top), toPixels(width), toPixels(height)};
}

void place(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(rect(left, top, width, height));
}

} // namespace Twips
