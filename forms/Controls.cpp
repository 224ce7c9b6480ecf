#include "Controls.h"

#include "CaptionLabel.h"
#include "ClassicFrame.h"
#include "ClickFilter.h"
#include "Twips.h"
#include "TypedLineFit.h"
#include "WrappingButton.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace Controls {

namespace {
template <typename W> W* made(W* widget, const QString& name, Box box)
{
    widget->setObjectName(name);
    Twips::place(widget, box.left, box.top, box.width, box.height);
    return widget;
}
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

void tabOrder(const QList<QWidget*>& order)
{
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

} // namespace Controls
