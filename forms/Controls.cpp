#include "Controls.h"

#include "Twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <qdrawutil.h>

namespace Controls {

namespace {
template <typename W> W* made(W* widget, const QString& name, Box box)
{
    widget->setObjectName(name);
    Twips::place(widget, box.left, box.top, box.width, box.height);
    return widget;
}

class WrappingButton : public QPushButton
{
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        painter.drawItemText(area, Qt::AlignCenter | Qt::TextWordWrap, palette(), isEnabled(),
                             text(), QPalette::ButtonText);
    }
};

class ClickFilter : public QObject
{
public:
    ClickFilter(QObject* parent, std::function<void()> action)
        : QObject(parent), m_action(std::move(action))
    {
    }

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
} // namespace

QLabel* label(QWidget* parent, const QString& name, const QString& caption, Box box)
{
    auto* widget = made(new QLabel(caption, parent), name, box);
    // CJK faces here have taller lines than the layouts were drawn for; centring keeps the
    // glyphs inside the box and clips only blank leading.
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
    // The CJK face's line (ascent + descent) is taller than the 270-twip boxes of the layouts
    // leave inside their frame, and QLineEdit centres that line, cutting off the foot of what is
    // typed. The line's top is blank, so let it reach up by the difference.
    const int frameAndMargins = 4;
    const int overflow = widget->fontMetrics().height() - (widget->height() - frameAndMargins);
    if (overflow > 0)
        widget->setTextMargins(0, -overflow, 0, 0);
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

void onClick(QLabel* label, std::function<void()> action)
{
    label->installEventFilter(new ClickFilter(label, std::move(action)));
}

void describe(QWidget* field, const QLabel* caption)
{
    field->setAccessibleName(caption->text().trimmed());
}

void widenLabelsToFit(QWidget* window)
{
    for (QLabel* label : window->findChildren<QLabel*>()) {
        const int wanted = label->fontMetrics().horizontalAdvance(label->text()) + 2;
        if (wanted <= label->width() || !label->parentWidget())
            continue;
        const int room = label->parentWidget()->width() - label->x();
        label->resize(std::min(wanted, room), label->height());
    }
}

void tabOrder(const QList<QWidget*>& order)
{
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

} // namespace Controls
