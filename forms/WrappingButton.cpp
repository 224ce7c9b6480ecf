#include "WrappingButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>

QRect captionArea(const QPushButton* button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    if (button->autoDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
}

namespace {

// Splits a word that is too wide into pieces of even width, so a four-character caption becomes
// two and two rather than three and a lonely one.
QStringList evenPieces(const QString& word, const QFontMetrics& metrics, int width)
{
    const int advance = metrics.horizontalAdvance(word);
    if (width <= 0)
        return {word};
    const qsizetype count = std::min<qsizetype>(word.size(), (advance + width - 1) / width);
    QStringList pieces;
    qsizetype start = 0;
    for (qsizetype i = 1; i <= count; ++i) {
        const qsizetype end = word.size() * i / count;
        pieces << word.mid(start, end - start);
        start = end;
    }
    return pieces;
}

} // namespace

QStringList WrappingButton::lines() const
{
    const QFontMetrics metrics = fontMetrics();
    const int width = captionArea(this).width();
    if (metrics.horizontalAdvance(text()) <= width)
        return {text()};
    QStringList lines;
    for (const QString& word : text().split(QLatin1Char(' '), Qt::SkipEmptyParts))
        lines << (metrics.horizontalAdvance(word) <= width ? QStringList{word}
                                                           : evenPieces(word, metrics, width));
    return lines;
}

void WrappingButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    painter.drawItemText(captionArea(this), Qt::AlignCenter, palette(), isEnabled(),
                         lines().join(QLatin1Char('\n')), QPalette::ButtonText);
}
