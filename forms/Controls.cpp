#include "Controls.h"

#include "Twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStylePainter>

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
    return made(new QLineEdit(parent), name, box);
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

QGroupBox* frame(QWidget* parent, const QString& name, const QString& caption, Box box)
{
    return made(new QGroupBox(caption, parent), name, box);
}

void setCaptionColor(QGroupBox* frame, const QColor& color)
{
    // Only the caption takes the colour; the controls inside keep their own.
    frame->setStyleSheet(QStringLiteral("QGroupBox#%1::title { color: %2; }")
                             .arg(frame->objectName(), color.name()));
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
