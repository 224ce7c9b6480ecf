#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Builds controls from layout tables: object name, caption and twips geometry in one call.
namespace Controls {

struct Box
{
    int left;
    int top;
    int width;
    int height;
};

// A label whose caption is centred by the ink of its characters, not by the font's line.
QLabel* label(QWidget* parent, const QString& name, const QString& caption, Box box);
QPushButton* button(QWidget* parent, const QString& name, const QString& caption, Box box);
// A button whose caption wraps onto several lines when it does not fit on one.
QPushButton* wrappingButton(QWidget* parent, const QString& name, const QString& caption, Box box);
// The lines a button draws its caption in: one, unless it is a wrapping button.
QStringList captionLines(const QPushButton* button);
QLineEdit* textBox(QWidget* parent, const QString& name, Box box);
// An editable combo box whose typed line, like a text box's, is not cut off.
QComboBox* comboBox(QWidget* parent, const QString& name, Box box);
// A password box shows every character as '@' and keeps input methods off.
QLineEdit* passwordBox(QWidget* parent, const QString& name, Box box);
QGroupBox* frame(QWidget* parent, const QString& name, const QString& caption, Box box);
void setCaptionColor(QGroupBox* frame, const QColor& color);

// Runs the action when the label is clicked, as a link does.
void onClick(QLabel* label, std::function<void()> action);

// Tells screen readers which caption belongs to a field.
void describe(QWidget* field, const QLabel* caption);

// Widens labels whose caption does not fit, up to the next control on their row or their
// container's edge, and trims labels drawn under that control: the CJK faces here run a little
// wider than the layouts were drawn for. A caption that still does not fit moves a few pixels
// left into free room, or else is set a little smaller.
void widenLabelsToFit(QWidget* window);

// Sets the tab order to the given sequence.
void tabOrder(const QList<QWidget*>& order);

} // namespace Controls
