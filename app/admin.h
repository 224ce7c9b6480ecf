#pragma once

#include "Form.h"
#include "PanelFrame.h"

#include <QtGlobal>

class QLabel;
class QLineEdit;
class QPushButton;

// The sign-in window; after a successful sign-in it turns into the panel of buttons.
class admin : public Form
{
    Q_OBJECT
public:
    explicit admin(QWidget* parent = nullptr);

    void Form_Load() override;
    void CheckLogin();
    quint8 VerifyUser(QString name, QString password);
    void Text2_KeyPress(int keyAscii);
    void Command1_Click();
    void Command2_Click();

private:
    void showSignedIn();

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLineEdit* Text1;
    QLineEdit* Text2;
    QPushButton* Command1;
    QPushButton* Command2;
    PanelFrame panel;
};
