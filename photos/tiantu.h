#pragma once

#include "CommonDialog.h"
#include "Form.h"

class PhotoBox;
class QGroupBox;
class QPushButton;

// Sets the default member photo, "模版照片/1.jpg", which members without a photo receive.
class tiantu : public Form
{
    Q_OBJECT
public:
    explicit tiantu(QWidget* parent = nullptr);

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

    const QString& picPath() const { return PicPath; }

private:
    QGroupBox* Frame1;
    PhotoBox* Picture1;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;
    CommonDialog CommonDialog1;
    QString PicPath;
};
