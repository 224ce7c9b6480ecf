#pragma once

class Form;
class QGroupBox;
class QPushButton;

// The frame "操作区" with the five panel buttons, shared by the sign-in window and the panel.
struct PanelFrame
{
    QGroupBox* Frame1;
    QPushButton* c1;
    QPushButton* c2;
    QPushButton* c3;
    QPushButton* c4;
    QPushButton* c5;

    static PanelFrame build(Form* window);
    void setButtonsVisible(bool visible) const;
};
