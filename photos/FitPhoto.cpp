#include "FitPhoto.h"

#include <QImage>
#include <QPainter>

QRectF FitPhoto(QSizeF picture, QSizeF box)
{
    const double w = picture.width();
    const double h = picture.height();
    const double sw = box.width();
    const double sh = box.height();
    if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0)
        return {};
    const double rH = h / sh;
    const double rW = w / sw;
    if (rW > rH) {
        const double ratio = sw / w;
        return {0.0, (sh - h * ratio) * 0.5, sw, h * ratio};
    }
    const double ratio = sh / h;
    return {(sw - w * ratio) * 0.5, 0.0, w * ratio, sh};
}

void drawFitted(QPainter& painter, const QImage& picture, QSizeF box)
{
    const QRectF target = FitPhoto(picture.size(), box);
    if (target.isEmpty())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, picture);
}
