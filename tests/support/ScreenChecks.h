#pragma once

// Renders a window and checks what a layout fault would break: controls outside their container
// or on top of each other, captions and text that are cut off, colour where none belongs and
// missing where the layout asks for it. With TALVIO_SCREENS_DIR set, each state is also written
// there as a PNG to look at. Header only, shared by the screenshot test programs.

#include "Controls.h"
#include "Fonts.h"
#include "Twips.h"

#include <QAbstractScrollArea>
#include <QDir>
#include <QFontInfo>
#include <QGroupBox>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

namespace ScreenChecks {

// What one window's layout asks for beyond the rules every window follows.
struct Layout
{
    int widthTwips = 0;
    int heightTwips = 0;
    // Frames whose caption is red; every other frame's caption is not.
    QStringList redFrames;
    // Controls the layout itself runs past their container's edge (a strip along the top, a
    // separator drawn from outside the window).
    QStringList pastEdges;
    // Controls whose text is drawn in a colour of their own.
    QHash<QString, QColor> textColours;
    // Controls that show a back colour: their own or their frame's.
    QHash<QString, QColor> backColours;
    // Controls in 宋体 at the given point size.
    QHash<QString, double> songSizes;
};

inline Layout sized(int widthTwips, int heightTwips, const QStringList& redFrames = {})
{
    Layout layout;
    layout.widthTwips = widthTwips;
    layout.heightTwips = heightTwips;
    layout.redFrames = redFrames;
    return layout;
}

inline bool isRed(QColor c)
{
    return c.red() >= 160 && c.green() <= 90 && c.blue() <= 90;
}

inline bool isNear(QColor c, QColor wanted, int tolerance)
{
    return qAbs(c.red() - wanted.red()) <= tolerance &&
           qAbs(c.green() - wanted.green()) <= tolerance &&
           qAbs(c.blue() - wanted.blue()) <= tolerance;
}

inline QRect inWindow(const QWidget* widget, const QWidget* window)
{
    return {widget->mapTo(window, QPoint(0, 0)), widget->size()};
}

inline int countPixels(const QImage& image, const QRect& area,
                       const std::function<bool(QColor)>& wanted)
{
    int count = 0;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            count += wanted(image.pixelColor(x, y)) ? 1 : 0;
    return count;
}

inline int redPixels(const QImage& image, const QRect& area)
{
    return countPixels(image, area, isRed);
}

inline QString named(const QWidget* widget)
{
    return widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                          : widget->objectName();
}

// The colour most of a control's own pixels have, leaving out what its visible children cover.
inline QColor dominantColour(const QImage& image, const QWidget* control, const QWidget* window)
{
    QImage own = image.copy(inWindow(control, window));
    QPainter painter(&own);
    for (QWidget* inner : control->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (inner->isVisible())
            painter.fillRect(inner->geometry(), QColor(1, 2, 3));
    painter.end();
    std::map<QRgb, int> counts;
    for (int y = 0; y < own.height(); ++y)
        for (int x = 0; x < own.width(); ++x)
            ++counts[own.pixel(x, y) | 0xff000000u];
    counts.erase(qRgb(1, 2, 3));
    QRgb best = 0;
    int most = -1;
    for (const auto& [pixel, count] : counts)
        if (count > most) {
            best = pixel;
            most = count;
        }
    return QColor::fromRgb(best);
}

// Where a caption's ink lands in the given area, and whether it stays inside the control. Only
// ink counts: the blank half of a trailing full-width "：" may run under the next box.
inline void checkCaption(const QWidget* control, const QString& text, const QRect& area,
                         Qt::Alignment alignment, QStringList& problems, bool rows = true)
{
    if (text.trimmed().isEmpty())
        return;
    const QFontMetrics metrics(control->font());
    const QRect line = QStyle::alignedRect(Qt::LeftToRight, alignment,
                                           metrics.size(Qt::TextSingleLine, text), area);
    const QRect ink =
        metrics.tightBoundingRect(text).translated(line.left(), line.top() + metrics.ascent());
    if (ink.left() < area.left() || ink.right() > area.right())
        problems << QStringLiteral("%1: caption \"%2\" drawn from x %3 to %4, has %5 to %6")
                        .arg(named(control), text)
                        .arg(ink.left())
                        .arg(ink.right())
                        .arg(area.left())
                        .arg(area.right());
    if (rows && (ink.top() < 0 || ink.bottom() >= control->height()))
        problems << QStringLiteral(
                        "%1: caption \"%2\" drawn from y %3 to %4 in a control %5 px high")
                        .arg(named(control), text)
                        .arg(ink.top())
                        .arg(ink.bottom())
                        .arg(control->height());
}

inline QRect buttonTextArea(const QPushButton* button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    if (button->autoDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
}

// A button's caption on one line, or on the lines a wrapping button breaks it into, stacked in
// the middle of the button.
inline void checkButtonCaption(const QPushButton* button, QStringList& problems)
{
    const QStringList lines = Controls::captionLines(button);
    if (lines.join(QString()).remove(QLatin1Char(' ')) !=
        QString(button->text()).remove(QLatin1Char(' ')))
        problems << QStringLiteral("%1: caption \"%2\" is drawn as [%3]")
                        .arg(named(button), button->text(), lines.join(QLatin1Char('|')));
    const QRect area = buttonTextArea(button);
    const int lineHeight = QFontMetrics(button->font()).height();
    const int top = area.top() + (area.height() - lineHeight * int(lines.size())) / 2;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QRect line(area.left(), top + lineHeight * int(i), area.width(), lineHeight);
        checkCaption(button, lines[i], line, Qt::AlignCenter, problems);
    }
}

// Rows holding ink of a dark text: one per row, so clipped text has fewer.
inline int inkRows(const QImage& image, const QRect& area)
{
    int rows = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixelColor(x, y).lightness() < 100) {
                ++rows;
                break;
            }
        }
    }
    return rows;
}

// A sample with ascenders and descenders, drawn alone in the box's font: the rows it needs.
inline int sampleRows(const QFont& font, const QString& sample)
{
    const QFontMetrics metrics(font);
    QImage alone(metrics.horizontalAdvance(sample) + 8, metrics.height() * 2, QImage::Format_RGB32);
    alone.fill(Qt::white);
    QPainter painter(&alone);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(4, metrics.height(), sample);
    painter.end();
    return inkRows(alone, alone.rect());
}

// The rows and columns holding pixels apart from the background: ink of any colour, down to
// the faintest edge of its antialiasing.
inline QRect inkBounds(const QImage& image, QColor back)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!isNear(image.pixelColor(x, y), back, 8))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

// Compares what a label shows with its caption drawn alone in its font and colour: a caption cut
// off at any edge has less ink. Ink on the label's first or last row sits on its edge, one row
// from being cut off, and looks it beside the boxes.
inline void checkShownCaption(QLabel* label, QStringList& problems)
{
    if (label->text().trimmed().isEmpty())
        return;
    const QImage shown = label->grab().toImage();
    // The label's own background: what most of its pixels show.
    std::map<QRgb, int> counts;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            ++counts[shown.pixel(x, y)];
    const QColor back =
        QColor::fromRgb(std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                            return a.second < b.second;
                        })->first);
    const QFontMetrics metrics(label->font());
    QImage alone(metrics.horizontalAdvance(label->text()) + 16, metrics.height() * 2,
                 QImage::Format_RGB32);
    alone.fill(back);
    QPainter painter(&alone);
    painter.setFont(label->font());
    painter.setPen(label->palette().color(QPalette::WindowText));
    painter.drawText(8, metrics.height(), label->text());
    painter.end();
    const QRect needed = inkBounds(alone, back);
    const QRect visible = inkBounds(shown, back);
    if (visible.width() < needed.width() || visible.height() < needed.height())
        problems << QStringLiteral("%1: caption \"%2\" shows %3 x %4 px of its %5 x %6 px of ink")
                        .arg(named(label), label->text())
                        .arg(visible.width())
                        .arg(visible.height())
                        .arg(needed.width())
                        .arg(needed.height());
    else if (visible.top() == 0 || visible.bottom() == shown.height() - 1)
        problems << QStringLiteral("%1: caption \"%2\" inks rows %3 to %4 of a label %5 px high")
                        .arg(named(label), label->text())
                        .arg(visible.top())
                        .arg(visible.bottom())
                        .arg(shown.height());
}

inline const QString kSample = QStringLiteral("国Qgjy");

// Types a text with ascenders and descenders into a box and checks none of it is cut off.
inline void checkTypedText(QLineEdit* box, QStringList& problems)
{
    const QString before = box->text();
    const bool wasReadOnly = box->isReadOnly();
    box->setText(kSample);
    box->setReadOnly(true); // no caret to count as ink
    const QString shown =
        box->echoMode() == QLineEdit::Normal ? box->text() : QString(box->text().size(), u'@');
    const QImage inBox = box->grab().toImage();
    box->setReadOnly(wasReadOnly);
    const int expected = sampleRows(box->font(), shown);
    const int visible = inkRows(inBox, inBox.rect().adjusted(2, 0, -2, 0));
    if (visible < expected)
        problems << QStringLiteral("%1: typed text shows %2 of its %3 rows")
                        .arg(named(box))
                        .arg(visible)
                        .arg(expected);
    box->setText(before);
}

// The same for the first line of a multi-line box.
inline void checkTypedText(QPlainTextEdit* box, QStringList& problems)
{
    const QString before = box->toPlainText();
    const bool wasReadOnly = box->isReadOnly();
    box->setPlainText(kSample);
    box->setReadOnly(true);
    QWidget* page = box->viewport();
    const QImage inBox = page->grab().toImage();
    box->setReadOnly(wasReadOnly);
    const int expected = sampleRows(box->font(), kSample);
    const int visible = inkRows(inBox, inBox.rect());
    if (visible < expected)
        problems << QStringLiteral("%1: typed text shows %2 of its %3 rows")
                        .arg(named(box))
                        .arg(visible)
                        .arg(expected);
    box->setPlainText(before);
}

// The parts of scroll areas, headers and combo boxes are placed by Qt, not by a layout table.
inline bool placedByQt(const QWidget* control)
{
    for (const QWidget* up = control->parentWidget(); up; up = up->parentWidget())
        if (qobject_cast<const QAbstractScrollArea*>(up) || up->inherits("QComboBox"))
            return true;
    return false;
}

inline void checkColours(const QImage& image, QWidget* window, const Layout& layout,
                         QStringList& problems)
{
    for (auto it = layout.textColours.cbegin(); it != layout.textColours.cend(); ++it) {
        auto* control = window->findChild<QWidget*>(it.key());
        if (!control) {
            problems << QStringLiteral("%1 is missing").arg(it.key());
            continue;
        }
        const QRect area = inWindow(control, window);
        const QColor wanted = it.value();
        const QColor back = dominantColour(image, control, window);
        // Antialiasing blends the text into its background, so every pixel of ink lies between
        // the two colours; ink of any other colour is the wrong colour.
        const double toWanted[3] = {double(wanted.red() - back.red()),
                                    double(wanted.green() - back.green()),
                                    double(wanted.blue() - back.blue())};
        const double reach = std::hypot(toWanted[0], toWanted[1], toWanted[2]);
        int coloured = 0;
        int other = 0;
        const QRect inside = area.intersected(image.rect());
        for (int y = inside.top(); y <= inside.bottom(); ++y) {
            for (int x = inside.left(); x <= inside.right(); ++x) {
                const QColor c = image.pixelColor(x, y);
                const double d[3] = {double(c.red() - back.red()), double(c.green() - back.green()),
                                     double(c.blue() - back.blue())};
                const double length = std::hypot(d[0], d[1], d[2]);
                if (length < 48)
                    continue;
                const double along =
                    (d[0] * toWanted[0] + d[1] * toWanted[1] + d[2] * toWanted[2]) /
                    (length * reach);
                (along > 0.95 ? coloured : other) += 1;
            }
        }
        if (coloured < 8 || other > coloured / 20)
            problems << QStringLiteral("%1: text is not %2 (%3 pixels of it, %4 of other colours)")
                            .arg(it.key(), wanted.name())
                            .arg(coloured)
                            .arg(other);
    }
    for (auto it = layout.backColours.cbegin(); it != layout.backColours.cend(); ++it) {
        auto* control = window->findChild<QWidget*>(it.key());
        if (!control) {
            problems << QStringLiteral("%1 is missing").arg(it.key());
            continue;
        }
        const QColor shown = dominantColour(image, control, window);
        if (!isNear(shown, it.value(), 4))
            problems << QStringLiteral("%1: back colour is %2, not %3")
                            .arg(it.key(), shown.name(), it.value().name());
    }
    for (auto it = layout.songSizes.cbegin(); it != layout.songSizes.cend(); ++it) {
        auto* control = window->findChild<QWidget*>(it.key());
        if (!control) {
            problems << QStringLiteral("%1 is missing").arg(it.key());
            continue;
        }
        const QFontInfo shown(control->font());
        const QFontInfo wanted(Fonts::song(it.value()));
        if (shown.family() != wanted.family() || qAbs(shown.pointSizeF() - it.value()) > 0.1)
            problems << QStringLiteral("%1: font is %2 %3 pt, not %4 %5 pt")
                            .arg(it.key(), shown.family())
                            .arg(shown.pointSizeF())
                            .arg(wanted.family())
                            .arg(it.value());
    }
}

inline void inspect(QWidget* window, const Layout& layout, const QString& file)
{
    QCOMPARE(window->size(),
             QSize(Twips::toPixels(layout.widthTwips), Twips::toPixels(layout.heightTwips)));
    const QImage image = window->grab().toImage();
    const QString folderName = qEnvironmentVariable("TALVIO_SCREENS_DIR");
    if (!folderName.isEmpty()) {
        QVERIFY(QDir().mkpath(folderName));
        QVERIFY(image.save(QDir(folderName).filePath(file), "PNG"));
    }

    QStringList problems;
    const QList<QWidget*> controls = window->findChildren<QWidget*>();
    for (QWidget* control : controls) {
        if (!control->isVisible())
            continue;
        QWidget* parent = control->parentWidget();
        if (!placedByQt(control)) {
            if (!parent->rect().contains(control->geometry()) &&
                !layout.pastEdges.contains(control->objectName()))
                problems << QStringLiteral("%1 leaves %2").arg(named(control), named(parent));
            // Inside a frame, clear of its border and caption.
            if (auto* frame = qobject_cast<QGroupBox*>(parent);
                frame && !frame->contentsRect().contains(control->geometry()))
                problems << QStringLiteral("%1 crosses the border of %2")
                                .arg(named(control), named(frame));
            for (QWidget* sibling : controls) {
                if (sibling != control && sibling->parentWidget() == parent &&
                    sibling->isVisible() && named(control) < named(sibling) &&
                    control->geometry().intersects(sibling->geometry()))
                    problems
                        << QStringLiteral("%1 overlaps %2").arg(named(control), named(sibling));
            }
        }

        const QRect area = inWindow(control, window);
        if (auto* button = qobject_cast<QPushButton*>(control)) {
            checkButtonCaption(button, problems);
        } else if (auto* label = qobject_cast<QLabel*>(control)) {
            // Labels place their caption by its ink, so rows are checked on what they show.
            checkCaption(label, label->text(), label->contentsRect(), label->alignment(), problems,
                         false);
            checkShownCaption(label, problems);
        } else if (auto* box = qobject_cast<QLineEdit*>(control)) {
            checkTypedText(box, problems);
        } else if (auto* text = qobject_cast<QPlainTextEdit*>(control)) {
            checkTypedText(text, problems);
        } else if (auto* frame = qobject_cast<QGroupBox*>(control)) {
            const QFontMetrics metrics(frame->font());
            if (metrics.horizontalAdvance(frame->title()) > frame->width())
                problems << QStringLiteral("%1: title does not fit").arg(named(frame));
            // The frame's area minus its controls shows its caption.
            int red = redPixels(image, area);
            for (QWidget* inner : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (inner->isVisible())
                    red -= redPixels(image, inWindow(inner, window));
            const bool meantRed = layout.redFrames.contains(frame->objectName());
            if (meantRed && red == 0)
                problems << QStringLiteral("%1: caption is not red").arg(named(frame));
            if (!meantRed && red > 0)
                problems
                    << QStringLiteral("%1: caption shows %2 red pixels").arg(named(frame)).arg(red);
        }
        // Only controls given red text of their own may show red: a red frame caption must not
        // colour what the frame holds.
        const bool meantRed = control->testAttribute(Qt::WA_SetPalette) &&
                              isRed(control->palette().color(QPalette::WindowText));
        if (!qobject_cast<QGroupBox*>(control) && !meantRed &&
            control->findChildren<QWidget*>().isEmpty()) {
            if (const int red = redPixels(image, area))
                problems << QStringLiteral("%1 shows %2 red pixels").arg(named(control)).arg(red);
        }
    }
    checkColours(image, window, layout, problems);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

} // namespace ScreenChecks
