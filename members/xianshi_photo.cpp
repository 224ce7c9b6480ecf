// Picking a member photo from disk, and clearing the record in hand.

#include "xianshi.h"

#include "CaptureFiles.h"
#include "Dialogs.h"
#include "Module1.h"
#include "PhotoBox.h"
#include "PhotoFiles.h"
#include "PhotoHandover.h"

void xianshi::Command3_Click()
{
    CommonDialog1.DialogTitle = QStringLiteral("选择图片文件");
    CommonDialog1.Filter = QStringLiteral("图片（*.jpg）|*.jpg");
    const QString name = CommonDialog1.ShowOpen();
    if (!name.endsWith(QLatin1String(".jpg"), Qt::CaseSensitive)) {
        Dialogs::current().message(this, QStringLiteral("图片选择失败"),
                                   QStringLiteral("系统信息"));
        Module1::PhotoSource.clear();
        Module1::PhotoChosen.clear();
        CaptureFiles::releaseAllBut(QString());
        return;
    }
    Result<QImage> picture = PhotoFiles::readPicture(name, Picture1->decodeSize());
    if (!picture) {
        Dialogs::current().message(this, QStringLiteral("图片选择失败：") + picture.error(),
                                   QStringLiteral("系统信息"), Dialogs::Icon::Critical);
        Module1::PhotoSource.clear();
        Module1::PhotoChosen.clear();
        CaptureFiles::releaseAllBut(QString());
        return;
    }
    Picture1->drawFitted(picture.value());
    Module1::PhotoSource = name;
    Module1::PhotoChosen = QStringLiteral("1");
    CaptureFiles::releaseAllBut(name);
}

void xianshi::takeCameraPhotos()
{
    PhotoHandover::setReceiver(this,
                               [this](const QString& file) { return takeCapturedPhoto(file); });
}

Status xianshi::takeCapturedPhoto(const QString& file)
{
    Result<QImage> picture = PhotoFiles::readPicture(file, Picture1->decodeSize());
    if (!picture)
        return picture.failure();
    Picture1->drawFitted(picture.value());
    Module1::PhotoSource = file;
    Module1::PhotoChosen = QStringLiteral("1");
    CaptureFiles::releaseAllBut(file); // the photo taken before is no longer held
    return {};
}

void xianshi::Command4_Click()
{
    ClearDetails();
}
