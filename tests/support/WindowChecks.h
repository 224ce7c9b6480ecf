#pragma once

// Small helpers for tests that drive windows: files, flat pictures and recorded message boxes.

#include "Dialogs.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QTest>
#include <QWidget>

namespace WindowChecks {

inline QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

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

// A recorded message in one line, so a mismatch shows every part at once.
inline QString described(const ScriptedDialogs::Call& call)
{
    return QStringLiteral("%1 | %2 | %3 | icon %4 | buttons %5")
        .arg(call.kind, call.text, call.title)
        .arg(int(call.icon))
        .arg(int(call.buttons));
}

// A plain notice: OK button only, no icon.
inline QString notice(const QString& text, const QString& title)
{
    return described(
        {QStringLiteral("message"), text, title, Dialogs::Icon::None, Dialogs::Buttons::Ok, {}});
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
