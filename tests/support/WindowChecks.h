#pragma once

// Small helpers for tests that drive windows: flat pictures, clicks and deferred deletes.

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QPushButton>
#include <QTest>
#include <QWidget>

namespace WindowChecks {

inline QImage flat(QSize size, QColor color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// JPEG changes flat colours a little.
inline bool near(QRgb pixel, QColor expected)
{
    return qAbs(qRed(pixel) - expected.red()) < 24 && qAbs(qGreen(pixel) - expected.green()) < 24 &&
           qAbs(qBlue(pixel) - expected.blue()) < 24;
}

inline void click(QWidget* window, const char* name)
{
    auto* button = window->findChild<QPushButton*>(QLatin1String(name));
    QVERIFY2(button, name);
    button->click();
}

// Runs deferred deletes, so an unloaded window is really gone.
inline void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace WindowChecks
