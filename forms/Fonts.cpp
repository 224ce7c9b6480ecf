#include "Fonts.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

namespace Fonts {

namespace {
const QString kSong = QStringLiteral("宋体");
const QStringList kSongFaces = {QStringLiteral("Noto Serif CJK SC"), QStringLiteral("SimSun"),
                                QStringLiteral("Songti SC"), QStringLiteral("AR PL UMing CN")};
} // namespace

void install()
{
    QFont::insertSubstitutions(kSong, kSongFaces);
    QApplication::setFont(song(9));
}

QFont song(double pointSize, bool bold)
{
    QFont font(kSong);
    font.setFamilies(QStringList{kSong} + kSongFaces);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::ButtonText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

void setBackColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace Fonts
