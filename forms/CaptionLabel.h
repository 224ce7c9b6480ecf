#pragma once

#include <QFont>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QStyle>

#include <algorithm>

// A label that centres the ink of its caption. The CJK faces here have a line much taller than
// their characters, with the extra room above: QLabel centres that line, which sets the characters
// on the label's last row, or below it, in the layouts' 255-twip labels.
class CaptionLabel : public QLabel
{
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        // Only a plain one-line caption, centred by height, is placed here.
        if (wordWrap() || !pixmap().isNull() || frameWidth() > 0 || indent() > 0 ||
            (alignment() & Qt::AlignVertical_Mask) != Qt::AlignVCenter ||
            textFormat() == Qt::RichText ||
            (textFormat() == Qt::AutoText && Qt::mightBeRichText(text()))) {
            QLabel::paintEvent(event);
            return;
        }
        QPainter painter(this);
        const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
        const QFontMetrics metrics = fontMetrics();
        const QRect line(area.left(), baseline(area) - metrics.ascent(), area.width(),
                         metrics.height());
        style()->drawItemText(&painter, line,
                              (alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignTop, palette(),
                              isEnabled(), text(), foregroundRole());
    }

private:
    // As much blank above the ink as below it; an odd row goes below, where descenders reach.
    int baseline(const QRect& area) const
    {
        measureInk();
        const int rows = m_inkBottom - m_inkTop + 1;
        return area.top() + (area.height() - rows) / 2 - m_inkTop;
    }

    // The rows the caption inks, relative to its baseline, as drawn: the font's bounding boxes
    // run a row wider than the ink. Two ideographs that reach the top and the foot of the face's
    // characters go with the caption, so a status text set later lines up with the captions
    // beside it.
    void measureInk() const
    {
        const QString sample = text() + QStringLiteral("国页");
        if (sample == m_measured && font() == m_measuredFont)
            return;
        const QFontMetrics metrics = fontMetrics();
        QImage image(metrics.horizontalAdvance(sample) + 4, metrics.height(),
                     QImage::Format_Grayscale8);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setFont(font());
        painter.setPen(Qt::black);
        painter.drawText(2, metrics.ascent(), sample);
        painter.end();
        int first = -1;
        int last = -1;
        for (int y = 0; y < image.height(); ++y) {
            const uchar* row = image.constScanLine(y);
            if (std::any_of(row, row + image.width(), [](uchar v) { return v < 248; })) {
                first = first < 0 ? y : first;
                last = y;
            }
        }
        m_inkTop = first < 0 ? -metrics.ascent() : first - metrics.ascent();
        m_inkBottom = last < 0 ? metrics.descent() - 1 : last - metrics.ascent();
        m_measured = sample;
        m_measuredFont = font();
    }

    mutable QString m_measured;
    mutable QFont m_measuredFont;
    mutable int m_inkTop = 0;
    mutable int m_inkBottom = 0;
};
