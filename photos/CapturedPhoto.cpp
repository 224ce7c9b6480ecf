#include "CapturedPhoto.h"

#include <cmath>

namespace CapturedPhoto {

namespace {
int rounded(double value)
{
    return static_cast<int>(std::lround(value));
}
} // namespace

QRect cropOf(QSize frame)
{
    const qint64 w = frame.width(), h = frame.height();
    if (w <= 0 || h <= 0)
        return {};
    QSize crop;
    // Wider than the box: keep the full height; otherwise the full width.
    if (w * kBoxHeight > h * kBoxWidth)
        crop = QSize(rounded(double(h) * kBoxWidth / kBoxHeight), int(h));
    else
        crop = QSize(int(w), rounded(double(w) * kBoxHeight / kBoxWidth));
    if (crop.isEmpty())
        return {};
    return QRect(QPoint(int(w - crop.width()) / 2, int(h - crop.height()) / 2), crop);
}

QSize storedSize(QSize crop)
{
    if (crop.height() <= kMaxHeight)
        return crop;
    return {std::max(1, rounded(double(crop.width()) * kMaxHeight / crop.height())), kMaxHeight};
}

QImage fromFrame(const QImage& frame)
{
    const QRect crop = cropOf(frame.size());
    if (frame.isNull() || crop.isEmpty())
        return {};
    const QImage cut = frame.copy(crop);
    const QSize size = storedSize(crop.size());
    if (size == crop.size())
        return cut;
    return cut.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace CapturedPhoto
