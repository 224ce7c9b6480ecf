// Saving the selected member's changed fields and moving its photo along.

#include "xianshi.h"

#include "CaptureFiles.h"
#include "Dialogs.h"
#include "MemberRecords.h"
#include "Module1.h"
#include "PhotoFiles.h"
#include "ProgramFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

namespace {
const QString kInfo = QStringLiteral("系统信息");
const QString kCountTitle = QStringLiteral("返回库内数据条数");
} // namespace

void xianshi::Command5_Click()
{
    if (t8->text().isEmpty()) {
        Dialogs::current().message(this, QStringLiteral("请选择要更新的会员"),
                                   QStringLiteral("更新缺少对象"));
        ClearDetails();
        return;
    }
    const auto endEdit = [] {
        Module1::PhotoSource.clear();
        Module1::PhotoChosen.clear();
        CaptureFiles::releaseAllBut(QString()); // a photo taken for this record is used or dropped
    };
    bool idOk = false;
    Member fields = detailFields();
    fields.id = t8->text().toLongLong(&idOk);
    const Database* db = idOk ? connection() : nullptr;
    if (!idOk)
        reportFailure(QStringLiteral("更新失败：会员编号“%1”无效").arg(t8->text()));
    if (!db)
        return endEdit();

    Module1::PhoneTaken.clear();
    CheckPhoneForEdit();
    if (!Module1::PhoneTaken.isEmpty()) {
        Dialogs::current().message(this, QStringLiteral("更新失败"), kInfo);
        ClearDetails();
        return endEdit();
    }

    // The photo to keep: the picked one, else the record's own, else the default photo.
    const bool picked =
        Module1::PhotoChosen == QLatin1String("1") && !Module1::PhotoSource.isEmpty();
    const QString oldPhoto = Module1::RecordPhoto;
    // The row's own file goes too: it is not the shown one when it could not be shown.
    const Result<QString> storedPhoto = MemberRecords::storedPhoto(*db, fields.id);
    QString source = picked ? Module1::PhotoSource : oldPhoto;
    if (!PhotoFiles::exists(source))
        source = picked ? source : ProgramFolder::defaultPhoto();

    // A stored photo that cannot be shown may still be worth keeping: it goes aside, not away.
    QString setAside;
    const auto putBack = [&] {
        if (!setAside.isEmpty())
            PhotoFiles::moveBack(setAside, storedPhoto.value());
    };
    if (storedPhoto && PhotoFiles::isUnreadablePhoto(storedPhoto.value())) {
        Result<QString> aside = PhotoFiles::setAside(storedPhoto.value());
        if (!aside) {
            reportFailure(QStringLiteral("更新失败，资料未作改动：") + aside.error());
            return endEdit();
        }
        setAside = aside.value();
    }

    Result<StagedPhoto> staged =
        StagedPhoto::stage(source, PhotoFiles::memberPhotoPath(fields.xingming, fields.dianhua));
    if (!staged) {
        putBack();
        reportFailure(QStringLiteral("更新失败，资料未作改动：") + staged.error());
        return endEdit();
    }
    // The photos the row named before go once the new one is committed, unless still in use.
    QStringList retired{oldPhoto};
    if (storedPhoto)
        retired << storedPhoto.value();
    Result<MemberRecords::Removal> changed =
        MemberRecords::update(*db, fields, staged.value(), retired);
    if (!changed) {
        putBack();
        reportFailure(QStringLiteral("更新失败，资料未作改动：") + changed.error());
        return endEdit();
    }
    if (changed->rows == 0) {
        putBack();
        Dialogs::current().message(this, QStringLiteral("更新失败"), kInfo);
        return endEdit();
    }
    Module1::RecordPhoto = staged->target();
    Dialogs::current().message(this, QStringLiteral("更新成功"), kInfo);
    if (!changed->leftFiles.isEmpty())
        reportFailure(QStringLiteral("资料已更新，但旧照片文件未能删除：") +
                      changed->leftFiles.join(QStringLiteral("；")));
    ClearDetails();
    discardListing();
    LoadList();
    if (!setAside.isEmpty()) {
        lss->setText(QStringLiteral("原照片无法显示，已移到 %1")
                         .arg(QDir::toNativeSeparators(
                             QDir(ProgramFolder::root()).relativeFilePath(setAside))));
    }
    endEdit();
}

void xianshi::CheckPhoneForEdit()
{
    const Database* db = connection();
    if (!db) {
        Module1::PhoneTaken = QStringLiteral("1");
        return;
    }
    // Which rows hold the number; the edited record may be one of them.
    Result<QList<qint64>> holders = MemberRecords::phoneHolders(*db, T4->text());
    if (!holders) {
        Module1::PhoneTaken = QStringLiteral("1");
        reportFailure(holders.error());
        return;
    }
    const QList<qint64>& ids = holders.value();
    if (ids.isEmpty()) {
        Module1::PhoneTaken.clear();
    } else if (ids.size() == 1 && ids.first() == t8->text().toLongLong()) {
        Module1::PhoneTaken.clear();
        Dialogs::current().message(
            this, QStringLiteral("数据库内只有1条这样的会员记录，可以自更新"), kCountTitle);
    } else if (ids.size() == 1) {
        Module1::PhoneTaken = QStringLiteral("1");
        Dialogs::current().message(
            this, QStringLiteral("数据库内另外有1条会员记录跟待更新记录冲突"), kCountTitle);
    } else {
        Module1::PhoneTaken = QStringLiteral("1");
    }
}
