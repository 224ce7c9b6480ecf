#pragma once

#include "Form.h"

class AddressBox;
class QGroupBox;
class QLabel;
class QPushButton;

// Gathers every member's e-mail address into one text for a webmail recipient field.
class mail : public Form
{
    Q_OBJECT
public:
    explicit mail(QWidget* parent = nullptr);

    void Form_Load() override;
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Label6_Click();

    const QString& mailText() const { return MailText; }

private:
    QString MailText;

    QGroupBox* Frame1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;
    QPushButton* Command4;
    AddressBox* t1;
};
