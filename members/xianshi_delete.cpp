// Deleting the selected member, and emptying the whole store.

#include "xianshi.h"

#include "Dialogs.h"
#include "MemberRecords.h"
#include "Module1.h"

#include <QLineEdit>

namespace {
const QString kDone = QStringLiteral("成功信息");
const QString kInfo = QStringLiteral("系统信息");
} // namespace

void xianshi::Command2_Click()
{
    if (!t8->text().isEmpty()) {
        bool idOk = false;
        const qint64 id = t8->text().toLongLong(&idOk);
        if (!idOk) {
            reportFailure(QStringLiteral("删除失败：会员编号“%1”无效").arg(t8->text()));
        } else if (const Database* db = connection()) {
            // The shown photo and the stored one differ after a repair; both belong to the row.
            QStringList photos{Module1::RecordPhoto};
            if (Result<QString> stored = MemberRecords::storedPhoto(*db, id); stored)
                photos.append(stored.value());
            if (Status removed = MemberRecords::remove(*db, id, photos); removed)
                Dialogs::current().message(this, QStringLiteral("学员删除完毕"), kDone);
            else
                reportFailure(QStringLiteral("删除失败：") + removed.error());
        }
        discardListing();
    } else {
        Dialogs::current().message(this, QStringLiteral("请选择一个学生"),
                                   QStringLiteral("删除失败"));
    }
    LoadList();
    ClearDetails();
    if (t9->text() == QLatin1String("0"))
        ReopenWindow();
}

void xianshi::Command12_Click()
{
    if (t9->text() == QLatin1String("0")) {
        Dialogs::current().message(this, QStringLiteral("数据库是空的"), kInfo);
        return;
    }
    const Dialogs::Answer answer = Dialogs::current().message(
        this, QStringLiteral("你选择了清空系统数据库！\r\n是否真的清空？"),
        QStringLiteral("系统操作"), Dialogs::Icon::None, Dialogs::Buttons::YesNo);
    if (answer != Dialogs::Answer::Yes)
        return;
    const Database* db = connection();
    if (!db)
        return;
    if (Status cleared = MemberRecords::clear(*db); cleared)
        Dialogs::current().message(this, QStringLiteral("数据库清空"), kDone);
    else
        reportFailure(QStringLiteral("数据库清空失败：") + cleared.error());
    ReopenWindow();
}
