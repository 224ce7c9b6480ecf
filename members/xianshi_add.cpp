// Adding a member: checks, the telephone test, the photo and the new row.

#include "xianshi.h"

#include "Dialogs.h"
#include "MemberRecords.h"
#include "Module1.h"
#include "PhotoBox.h"
#include "PhotoFiles.h"
#include "ProgramFolder.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {
const QString kGenderPrompt = QStringLiteral("请选择性别");
const QString kInfo = QStringLiteral("系统信息");
} // namespace

Member xianshi::detailFields() const
{
    Member m;
    m.id = t8->text().toLongLong();
    m.xingming = t1->text();
    m.xingbie = Combo1->currentText();
    m.nianling = t3->text();
    m.dianhua = T4->text();
    m.qq = T5->text();
    m.youxiang = T6->text();
    m.dizhi = T7->toPlainText();
    return m;
}

const Database* xianshi::connection()
{
    if (cn)
        return &*cn;
    Result<Database> opened = Database::openProgramStore();
    if (!opened) {
        reportFailure(QStringLiteral("无法打开会员数据库：") + opened.error());
        return nullptr;
    }
    cn.emplace(std::move(opened).value());
    return &*cn;
}

void xianshi::Command1_Click()
{
    CheckInput();
    if (Module1::InputChecked != QLatin1String("1"))
        return;
    addFailed = false;
    CheckPhoneForAdd();
    if (addFailed)
        return;
    if (!Module1::PhoneTaken.isEmpty()) {
        Dialogs::current().message(this, QStringLiteral("录入失败"), kInfo);
        T4->clear();
        T4->setFocus();
        return;
    }
    StorePhoto();
    if (!addFailed)
        InsertMember();
    if (addFailed) {
        Module1::InputChecked.clear();
        return;
    }
    FinishAdd();
    ReportAdded();
    LoadList();
    ClearDetails();
    Module1::InputChecked.clear();
}

void xianshi::CheckInput()
{
    struct Check
    {
        bool empty;
        const char16_t* message;
    };
    const Check checks[] = {
        {t1->text().isEmpty(), u"请填写用户名"},
        {Combo1->currentText() == kGenderPrompt, u"请选择性别"},
        {t3->text().isEmpty(), u"请填写年龄"},
        {T4->text().isEmpty(), u"请填写电话"},
        {T5->text().isEmpty(), u"请填写QQ"},
        {T6->text().isEmpty(), u"请填写邮箱"},
        {T7->toPlainText().isEmpty(), u"请填写地址"},
    };
    for (const Check& check : checks) {
        if (check.empty) {
            Dialogs::current().message(this, QString::fromUtf16(check.message), QString());
            Module1::InputChecked.clear();
            return;
        }
    }
    Module1::InputChecked = QStringLiteral("1");
}

void xianshi::CheckPhoneForAdd()
{
    const Database* db = connection();
    if (!db) {
        addFailed = true;
        return;
    }
    Result<qint64> holders = MemberRecords::countWithPhone(*db, T4->text());
    if (!holders) {
        addFailed = true;
        reportFailure(QStringLiteral("录入失败：") + holders.error());
        return;
    }
    if (holders.value() > 0) {
        Module1::PhoneTaken = QStringLiteral("1");
        Dialogs::current().message(
            this,
            QStringLiteral("数据库内已经有%1条这样的会员记录，不能加为会员").arg(holders.value()),
            QStringLiteral("返回库内数据条数"));
    } else {
        Module1::PhoneTaken.clear();
    }
}

void xianshi::StorePhoto()
{
    lss->setText(QStringLiteral("开始存储--->"));
    const QString picked = Module1::PhotoSource;
    const QString source = picked.isEmpty() ? ProgramFolder::defaultPhoto() : picked;
    // The copy waits beside its final name until the row is in; a failed add leaves no file.
    Result<StagedPhoto> staged =
        StagedPhoto::stage(source, PhotoFiles::memberPhotoPath(t1->text(), T4->text()));
    if (!staged) {
        addFailed = true;
        lss->clear();
        reportFailure(QStringLiteral("录入失败，会员照片无法保存：") + staged.error());
        return;
    }
    stagedPhoto.emplace(std::move(staged).value());
    pickedForAdd = picked;
    Module1::PhotoSource = stagedPhoto->target();
    lss->setText(QStringLiteral("开始存储--->图片转移完毕"));
}

void xianshi::InsertMember()
{
    // The insert runs on a connection of its own, released when the add is done.
    Result<qint64> inserted = Database::withProgramStore([&](const Database& db) {
        return MemberRecords::insert(db, detailFields(), *stagedPhoto);
    });
    if (!inserted) {
        stagedPhoto.reset();
        Module1::PhotoSource = pickedForAdd; // the operator's pick stays for another try
        addFailed = true;
        lss->clear();
        reportFailure(QStringLiteral("录入失败，未保存任何数据：") + inserted.error());
        return;
    }
    stagedPhoto.reset();
    lss->setText(QStringLiteral("数据库打开"));
}

void xianshi::FinishAdd()
{
    discardListing();
    lss->setText(QStringLiteral("开始-->图片转移完毕-->库打开-->库关"));
    Picture1->clear();
    Module1::PhotoSource.clear();
}

void xianshi::ReportAdded()
{
    Dialogs::current().message(this, QStringLiteral("学员录入完毕"), QStringLiteral("成功信息"));
}
