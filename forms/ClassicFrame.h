#pragma once

#include <QColor>
#include <QEvent>
#include <QGroupBox>
#include <QPainter>
#include <qdrawutil.h>

// A frame whose caption sits on its border line, as the layouts were drawn for: they put controls
// 240 twips below a frame's top. Qt's group box draws the caption above the border, which then
// runs through those controls. Painted by hand rather than by a style sheet, so a frame's own
// back colour (a palette) still shows and nothing of the caption's colour reaches its controls.
class ClassicFrame : public QGroupBox
{
public:
    using QGroupBox::QGroupBox;

    void setCaptionColor(const QColor& color)
    {
        m_captionColor = color;
        update();
    }
    // The group box sets its margins for a caption above the border; these follow the border.
    void fitContents() { setContentsMargins(2, borderTop() + 2, 2, 2); }

protected:
    void changeEvent(QEvent* event) override
    {
        QGroupBox::changeEvent(event);
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
            fitContents();
    }
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        // An etched line; the style's group box frame would make room for a caption above it.
        qDrawShadeRect(&painter, rect().adjusted(0, borderTop(), 0, 0), palette(), true, 1, 0);
        if (title().isEmpty())
            return;
        const QFontMetrics metrics = fontMetrics();
        const QRect caption(6, 0, metrics.horizontalAdvance(title()) + 4, metrics.height());
        painter.fillRect(caption, palette().brush(backgroundRole()));
        painter.setPen(m_captionColor.isValid() ? m_captionColor
                                                : palette().color(QPalette::WindowText));
        painter.drawText(caption, Qt::AlignCenter, title());
    }

private:
    int borderTop() const { return fontMetrics().height() / 2; }

    QColor m_captionColor;
};
