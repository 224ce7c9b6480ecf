#include "FirstStart.h"

#include "Controls.h"
#include "Dialogs.h"
#include "Fonts.h"
#include "Forms.h"
#include "ImportWithProgress.h"
#include "NewStore.h"
#include "ProgramFolder.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const QString kMakeTitle = QStringLiteral("新建数据库");
const QString kImportTitle = QStringLiteral("旧数据导入");
// A long list of shared telephones would make the report taller than the screen.
constexpr qsizetype kReportLines = 28;
} // namespace

FirstStart::FirstStart(QWidget* parent) : Form(parent)
{
    setWindowTitle(QStringLiteral("Talvio系统"));
    setClientSize(7245, 4155);

    title = Controls::label(this, QStringLiteral("title"), QStringLiteral("首 次 使 用"),
                            {960, 360, 3015, 495});
    title->setFont(Fonts::song(21.75));
    hint =
        Controls::label(this, QStringLiteral("hint"),
                        QStringLiteral("还没有数据库，请新建或导入旧数据"), {480, 960, 3255, 255});
    // The captions are padded to one width, so that the boxes line up after them.
    nameLabel = Controls::label(this, QStringLiteral("nameLabel"), QStringLiteral("用 户 名："),
                                {360, 1320, 1530, 375});
    passwordLabel = Controls::label(this, QStringLiteral("passwordLabel"),
                                    QStringLiteral("密    码："), {360, 1860, 1530, 375});
    againLabel = Controls::label(this, QStringLiteral("againLabel"), QStringLiteral("确认密码："),
                                 {360, 2400, 1530, 375});
    for (QLabel* caption : {nameLabel, passwordLabel, againLabel})
        caption->setFont(Fonts::song(15));
    name = Controls::textBox(this, QStringLiteral("name"), {1920, 1320, 1815, 375});
    Controls::describe(name, nameLabel);
    password = Controls::passwordBox(this, QStringLiteral("password"), {1920, 1860, 1815, 375});
    Controls::describe(password, passwordLabel);
    again = Controls::passwordBox(this, QStringLiteral("again"), {1920, 2400, 1815, 375});
    Controls::describe(again, againLabel);
    make = Controls::button(this, QStringLiteral("make"), QStringLiteral("新建数据库"),
                            {600, 3240, 1335, 495});
    quitButton = Controls::button(this, QStringLiteral("quit"), QStringLiteral("退出"),
                                  {2520, 3240, 1215, 495});

    importFrame =
        Controls::frame(this, QStringLiteral("importFrame"), kImportTitle, {4200, 360, 2775, 3375});
    Controls::setCaptionColor(importFrame, Qt::red);
    importHint = Controls::label(importFrame, QStringLiteral("importHint"),
                                 QStringLiteral("可从旧版会员管理的文件夹"), {240, 720, 2295, 255});
    importWhat = Controls::label(importFrame, QStringLiteral("importWhat"),
                                 QStringLiteral("导入操作员、会员和照片"), {240, 1080, 2295, 255});
    importButton = Controls::button(importFrame, QStringLiteral("importButton"),
                                    QStringLiteral("选择文件夹…"), {480, 2040, 1815, 495});

    Controls::tabOrder({name, password, again, make, quitButton, importButton});
    name->setFocus();

    connect(make, &QPushButton::clicked, this, &FirstStart::makeStore);
    connect(again, &QLineEdit::returnPressed, this, &FirstStart::makeStore);
    connect(quitButton, &QPushButton::clicked, this, &FirstStart::quit);
    connect(importButton, &QPushButton::clicked, this, &FirstStart::importFolder);
}

void FirstStart::refuse(const QString& why, QLineEdit* fix)
{
    Dialogs::current().message(this, why, kMakeTitle, Dialogs::Icon::Critical);
    fix->setFocus();
    fix->selectAll();
}

void FirstStart::makeStore()
{
    if (Status rules = NewStore::checkOperator(name->text(), password->text(), again->text());
        !rules) {
        if (name->text().trimmed().isEmpty())
            return refuse(rules.error() + QStringLiteral("，请输入操作员的用户名！"), name);
        password->clear();
        again->clear();
        return refuse(rules.error() + QStringLiteral("，请重新输入！"), password);
    }
    if (Status made = NewStore::create(ProgramFolder::root(), name->text(), password->text());
        !made)
        return refuse(made.error() + QStringLiteral("，未建立数据库。"), name);
    Dialogs::current().message(
        this, QStringLiteral("数据库已建立，请用操作员《%1》登陆").arg(name->text().trimmed()),
        kMakeTitle, Dialogs::Icon::Information);
    Forms::instance().replace(this, QStringLiteral("admin"));
}

void FirstStart::importFolder()
{
    const QString source = Dialogs::current().openFolder(
        this, QStringLiteral("请选择旧版会员管理所在的文件夹（内有 hd.mdb）"), QDir::homePath());
    if (source.isEmpty())
        return;
    setEnabled(false);
    const Result<LegacyImport::Report> report =
        ImportWithProgress::run(this, source, ProgramFolder::root());
    setEnabled(true);
    if (!report) {
        Dialogs::current().message(this, report.error(), kImportTitle, Dialogs::Icon::Critical);
        return;
    }
    QStringList lines = report->lines();
    if (lines.size() > kReportLines + 1) {
        const qsizetype more = lines.size() - kReportLines;
        lines = lines.first(kReportLines);
        lines << QStringLiteral("  ……另有 %1 个").arg(more);
    }
    Dialogs::current().message(this, lines.join(QLatin1Char('\n')), kImportTitle,
                               Dialogs::Icon::Information);
    Forms::instance().replace(this, QStringLiteral("admin"));
}

void FirstStart::quit()
{
    Forms::instance().end();
}
