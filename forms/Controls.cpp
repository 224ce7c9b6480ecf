#include "Controls.h"

#include "Twips.h"

#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <qdrawutil.h>

#include <algorithm>

namespace Controls {

namespace {
template <typename W> W* made(W* widget, const QString& name, Box box)
{
    widget->setObjectName(name);
    Twips::place(widget, box.left, box.top, box.width, box.height);
    return widget;
}

QRect captionArea(const QPushButton* button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    if (button->autoDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
}

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

class WrappingButton : public QPushButton
{
public:
    using QPushButton::QPushButton;

    // A caption that does not fit breaks at its blanks, where the operators expect the break;
    // a word still too wide is split evenly.
    QStringList lines() const
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

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        painter.drawItemText(captionArea(this), Qt::AlignCenter, palette(), isEnabled(),
                             lines().join(QLatin1Char('\n')), QPalette::ButtonText);
    }
};

class ClickFilter : public QObject
{
public:
    ClickFilter(QObject* parent, std::function<void()> action)
        : QObject(parent), m_action(std::move(action))
    {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            m_action();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_action;
};

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

// Keeps the typed line of a box whole: the CJK face's line (ascent + descent) is taller than the
// boxes of the layouts leave inside their frame, and QLineEdit centres that line, cutting off the
// foot of what is typed. The line's top is blank, so let it reach up by the difference.
void fitTypedLine(QLineEdit* box, int innerHeight)
{
    const int overflow = box->fontMetrics().height() - innerHeight;
    box->setTextMargins(0, overflow > 0 ? -overflow : 0, 0, 0);
}

// The same for the line edit of an editable combo box, whose height the combo box decides.
class TypedLineFit : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize || event->type() == QEvent::FontChange) {
            auto* box = static_cast<QLineEdit*>(watched);
            fitTypedLine(box, box->height());
        }
        return QObject::eventFilter(watched, event);
    }
};
} // namespace

QLabel* label(QWidget* parent, const QString& name, const QString& caption, Box box)
{
    QLabel* widget = made(new CaptionLabel(caption, parent), name, box);
    widget->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return widget;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption, Box box)
{
    auto* widget = made(new QPushButton(caption, parent), name, box);
    widget->setAutoDefault(false);
    return widget;
}

QPushButton* wrappingButton(QWidget* parent, const QString& name, const QString& caption, Box box)
{
    auto* widget = made(new WrappingButton(caption, parent), name, box);
    widget->setAutoDefault(false);
    return widget;
}

QLineEdit* textBox(QWidget* parent, const QString& name, Box box)
{
    QLineEdit* widget = made(new QLineEdit(parent), name, box);
    const int frameAndMargins = 4;
    fitTypedLine(widget, widget->height() - frameAndMargins);
    return widget;
}

QComboBox* comboBox(QWidget* parent, const QString& name, Box box)
{
    auto* widget = made(new QComboBox(parent), name, box);
    widget->setEditable(true);
    // The line edit has no frame of its own; the combo box sizes it when it is laid out.
    widget->lineEdit()->installEventFilter(new TypedLineFit(widget->lineEdit()));
    return widget;
}

QLineEdit* passwordBox(QWidget* parent, const QString& name, Box box)
{
    QLineEdit* widget = textBox(parent, name, box);
    widget->setEchoMode(QLineEdit::Password);
    widget->setStyleSheet(QStringLiteral("lineedit-password-character: 64;"));
    widget->setAttribute(Qt::WA_InputMethodEnabled, false);
    widget->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText);
    return widget;
}

namespace {
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
} // namespace

QGroupBox* frame(QWidget* parent, const QString& name, const QString& caption, Box box)
{
    auto* widget = made(new ClassicFrame(caption, parent), name, box);
    widget->fitContents();
    return widget;
}

void setCaptionColor(QGroupBox* frame, const QColor& color)
{
    if (auto* classic = dynamic_cast<ClassicFrame*>(frame))
        classic->setCaptionColor(color);
}

QStringList captionLines(const QPushButton* button)
{
    if (const auto* wrapping = dynamic_cast<const WrappingButton*>(button))
        return wrapping->lines();
    return {button->text()};
}

void onClick(QLabel* label, std::function<void()> action)
{
    label->installEventFilter(new ClickFilter(label, std::move(action)));
}

void describe(QWidget* field, const QLabel* caption)
{
    field->setAccessibleName(caption->text().trimmed());
}

namespace {
// The controls beside a label on its row: where the next one on its right starts and where the
// last one on its left ends, or the container's edges.
struct Row
{
    int left = 0;
    int right = 0;
};

Row rowAround(const QLabel* label)
{
    const QWidget* parent = label->parentWidget();
    Row row{0, parent->width()};
    const QRect own = label->geometry();
    for (const QObject* child : parent->children()) {
        const auto* sibling = qobject_cast<const QWidget*>(child);
        // Hidden controls belong to another state of the window.
        if (!sibling || sibling == label || sibling->isWindow() || sibling->isHidden())
            continue;
        const QRect other = sibling->geometry();
        if (other.top() > own.bottom() || other.bottom() < own.top())
            continue;
        if (other.left() > own.left())
            row.right = std::min(row.right, other.left());
        else if (other.right() < own.left())
            row.left = std::max(row.left, other.right() + 1);
    }
    return row;
}

// How far right of the label's left edge the caption inks.
int inkEnd(const QLabel* label, const QFont& font)
{
    const QFontMetrics metrics(font);
    return label->contentsRect().left() + metrics.tightBoundingRect(label->text()).right() + 1;
}
} // namespace

void widenLabelsToFit(QWidget* window)
{
    // Ink this close to the next control or the edge reads as touching it.
    const int clearance = 2;
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->parentWidget() || label->text().isEmpty())
            continue;
        // A label hidden now belongs to another state of the window, whose neighbours on its row
        // are not known here: it may take its container's width.
        const Row row =
            label->isHidden() ? Row{label->x(), label->parentWidget()->width()} : rowAround(label);
        const int wanted = label->fontMetrics().horizontalAdvance(label->text()) + clearance;
        // Some layouts draw a label a little under the box beside it; it stops where the box
        // starts, and only the blank end of a caption such as "：" would have been hidden there.
        int width = std::min(std::max(wanted, label->width()), row.right - label->x());
        // A caption whose characters still do not fit moves left by a few pixels into free room
        // on its row...
        const int missing = inkEnd(label, label->font()) + clearance - width;
        const int slide =
            std::clamp(missing, 0, std::min(label->x() - row.left, label->height() / 2));
        width += slide;
        label->setGeometry(label->x() - slide, label->y(), width, label->height());
        // ... or, where there is none, gets a slightly smaller size rather than losing its end.
        QFont font = label->font();
        const double smallest = font.pointSizeF() * 0.85;
        while (inkEnd(label, font) + clearance > width && font.pointSizeF() - 0.5 >= smallest)
            font.setPointSizeF(font.pointSizeF() - 0.5);
        if (font != label->font())
            label->setFont(font);
    }
}

void tabOrder(const QList<QWidget*>& order)
{
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

} // namespace Controls
