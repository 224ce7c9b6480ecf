#pragma once

#include <QPushButton>
#include <QStringList>

// A button whose caption wraps onto several lines when it does not fit on one.
class WrappingButton : public QPushButton
{
public:
    using QPushButton::QPushButton;

    // A caption that does not fit breaks at its blanks, where the operators expect the break;
    // a word still too wide is split evenly.
    QStringList lines() const;

protected:
    void paintEvent(QPaintEvent*) override;
};

// Where a button draws its caption.
QRect captionArea(const QPushButton* button);
