#pragma once

#include "Form.h"

class QLabel;
class QLineEdit;
class QPushButton;

// Changes the password of the signed-in operator.
class mimaxiugai : public Form
{
    Q_OBJECT
public:
    explicit mimaxiugai(QWidget* parent = nullptr);

    void Command1_Click();
    void Command2_Click();

private:
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLineEdit* t1;
    QLineEdit* txtNewPWD[2];
    QPushButton* Command1;
    QPushButton* Command2;
};
