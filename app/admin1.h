#pragma once

#include "Form.h"
#include "PanelFrame.h"

class QLabel;
class QPushButton;

// The panel of buttons for an operator who is already signed in.
class admin1 : public Form
{
    Q_OBJECT
public:
    explicit admin1(QWidget* parent = nullptr);

    void Form_Load() override;
    void Command1_Click();
    void Command2_Click();

private:
    QPushButton* Command1;
    QPushButton* Command2;
    QLabel* Label2;
    PanelFrame panel;
};
