#pragma once

#include "Form.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Shown instead of the sign-in window when the program folder holds no store: makes a new store
// with its first operator, or imports an older register's folder, then opens the sign-in window.
class FirstStart : public Form
{
    Q_OBJECT
public:
    explicit FirstStart(QWidget* parent = nullptr);

    void makeStore();
    void importFolder();
    void quit();

private:
    // Tells why the store was not made and puts the focus where the operator fixes it.
    void refuse(const QString& why, QLineEdit* fix);

    QLabel* title;
    QLabel* hint;
    QLabel* nameLabel;
    QLabel* passwordLabel;
    QLabel* againLabel;
    QLineEdit* name;
    QLineEdit* password;
    QLineEdit* again;
    QPushButton* make;
    QPushButton* quitButton;
    QGroupBox* importFrame;
    QLabel* importHint;
    QLabel* importWhat;
    QPushButton* importButton;
};
