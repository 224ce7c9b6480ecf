#pragma once

#include <QObject>

class QLineEdit;

// Keeps the typed line of a box whole: the CJK face's line (ascent + descent) is taller than the
// boxes of the layouts leave inside their frame, and QLineEdit centres that line, cutting off the
// foot of what is typed. The line's top is blank, so let it reach up by the difference.
void fitTypedLine(QLineEdit* box, int innerHeight);

// The same for the line edit of an editable combo box, whose height the combo box decides.
class TypedLineFit : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
