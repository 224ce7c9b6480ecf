// Deleting the selected member, and emptying the whole store.

#include "xianshi.h"

#include "Dialogs.h"
#include "MemberRecords.h"
#include "Module1.h"
#include "SnapshotProgress.h"

#include <QLineEdit>

namespace {
const QString kDone = QStringLiteral("成功信息");
const QString kInfo = QStringLiteral("系统信息");
constexpr int kFilesListed = 10;

// The files a delete or clear left behind, a few by name; the rest are counted.
QString leftFilesText(const QString& lead, const QStringList& files)
{
    QStringList lines = files.mid(0, kFilesListed);
    if (files.size() > kFilesListed)
        lines << QStringLiteral("……另有 %1 个文件").arg(files.size() - kFilesListed);
    return lead.arg(files.size()) + QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
}
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
            if (Result<MemberRecords::Removal> removed = MemberRecords::remove(*db, id, photos);
                !removed) {
                reportFailure(QStringLiteral("删除失败：") + removed.error());
            } else {
                Dialogs::current().message(this, QStringLiteral("学员删除完毕"), kDone);
                if (!removed->leftFiles.isEmpty())
                    reportLeftFiles(leftFilesText(
                        QStringLiteral("会员已删除，但有 %1 个照片文件未能删除，仍留在文件夹中："),
                        removed->leftFiles));
            }
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

void xianshi::reportLeftFiles(const QString& text)
{
    Dialogs::current().message(this, text, QStringLiteral("系统提示"), Dialogs::Icon::Exclamation);
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
    // What the clear removes can be brought back only from a snapshot taken just before.
    if (Result<QString> taken = SnapshotProgress::take(this, SnapshotProgress::Kind::BeforeClear);
        !taken) {
        reportFailure(QStringLiteral("数据库未清空：清空前的备份未能完成，") + taken.error());
        return;
    }
    if (Result<MemberRecords::Removal> cleared = MemberRecords::clear(*db); !cleared) {
        reportFailure(QStringLiteral("数据库清空失败：") + cleared.error());
    } else {
        Dialogs::current().message(this, QStringLiteral("数据库清空"), kDone);
        if (!cleared->leftFiles.isEmpty())
            reportLeftFiles(leftFilesText(
                QStringLiteral("数据库已清空，但有 %1 个照片文件未能删除，仍留在文件夹中："),
                cleared->leftFiles));
    }
    ReopenWindow();
}
