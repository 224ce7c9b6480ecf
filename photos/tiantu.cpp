#include "tiantu.h"

#include "Controls.h"
#include "Dialogs.h"
#include "Forms.h"
#include "PhotoBox.h"
#include "PhotoFiles.h"
#include "ProgramFolder.h"
#include "Twips.h"

#include <QGroupBox>
#include <QPushButton>

namespace {
const QString kTitle = QStringLiteral("系统提示");
}

tiantu::tiantu(QWidget* parent) : Form(parent), CommonDialog1(this)
{
    setWindowTitle(QStringLiteral("添加会员默认图片"));
    setClientSize(5820, 3900);

    Frame1 = Controls::frame(this, QStringLiteral("Frame1"), QStringLiteral("选择图片"),
                             {240, 120, 3615, 3495});
    Controls::setCaptionColor(Frame1, Qt::red);
    Picture1 = new PhotoBox(Frame1);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Twips::place(Picture1, 120, 240, 3375, 3135);
    Command1 = Controls::button(this, QStringLiteral("Command1"), QStringLiteral("添加图片"),
                                {4200, 240, 1455, 495});
    Command2 = Controls::button(this, QStringLiteral("Command2"), QStringLiteral("清空图片"),
                                {4200, 1200, 1455, 495});
    Command3 = Controls::button(this, QStringLiteral("Command3"), QStringLiteral("保存图片"),
                                {4200, 2160, 1455, 495});
    Controls::tabOrder({Command1, Command2, Command3});

    connect(Command1, &QPushButton::clicked, this, &tiantu::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &tiantu::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &tiantu::Command3_Click);
}

void tiantu::Command1_Click()
{
    CommonDialog1.DialogTitle = QStringLiteral("选择图片文件");
    CommonDialog1.Filter = QStringLiteral("图片（*.jpg）|*.jpg");
    const QString name = CommonDialog1.ShowOpen();
    // Only a lower-case ".jpg" is taken; anything else is ignored without a word.
    if (!name.endsWith(QLatin1String(".jpg"), Qt::CaseSensitive))
        return;
    Result<QImage> picture = PhotoFiles::readPicture(name, Picture1->decodeSize());
    if (!picture) {
        // A file that is not a picture must not become every new member's photo.
        Dialogs::current().message(this, picture.error() + QStringLiteral("\n未选用此文件。"),
                                   kTitle, Dialogs::Icon::Critical);
        return;
    }
    PicPath = name;
    Picture1->drawFitted(picture.value());
}

void tiantu::Command2_Click()
{
    Picture1->clear();
}

void tiantu::Command3_Click()
{
    if (PicPath.isEmpty()) {
        Dialogs::current().message(this, QStringLiteral("请先选择会员默认照片"), kTitle);
        return;
    }
    Status saved = PhotoFiles::prepareFolders();
    if (saved)
        saved = PhotoFiles::copyAtomically(PicPath, ProgramFolder::defaultPhoto());
    if (!saved) {
        Dialogs::current().message(this,
                                   QStringLiteral("会员默认照片保存失败：%1").arg(saved.error()),
                                   kTitle, Dialogs::Icon::Critical);
        return;
    }
    Dialogs::current().message(this, QStringLiteral("会员默认照片保存成功"), kTitle);
    Forms::instance().unload(this);
    Forms::instance().show(QStringLiteral("admin"));
}
