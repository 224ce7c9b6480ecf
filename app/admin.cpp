#include "admin.h"

#include "Accounts.h"
#include "Controls.h"
#include "Database.h"
#include "Dialogs.h"
#include "Fonts.h"
#include "Forms.h"
#include "Module1.h"
#include "PanelActions.h"
#include "SnapshotProgress.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const QString kTitle = QStringLiteral("登录验证");
}

admin::admin(QWidget* parent) : Form(parent)
{
    setWindowTitle(QStringLiteral("Talvio系统"));
    setClientSize(7245, 4155);

    Label1 = Controls::label(this, QStringLiteral("Label1"), QStringLiteral("管 理 登 陆"),
                             {960, 360, 3015, 495});
    Label1->setFont(Fonts::song(21.75));
    Label2 = Controls::label(this, QStringLiteral("Label2"), QStringLiteral("用户名："),
                             {480, 1320, 1215, 375});
    Label2->setFont(Fonts::song(15));
    Label3 = Controls::label(this, QStringLiteral("Label3"), QStringLiteral("密  码："),
                             {480, 2280, 1215, 375});
    Label3->setFont(Fonts::song(15));
    Text1 = Controls::textBox(this, QStringLiteral("Text1"), {1920, 1320, 1815, 375});
    Controls::describe(Text1, Label2);
    Text2 = Controls::passwordBox(this, QStringLiteral("Text2"), {1920, 2280, 1815, 375});
    Controls::describe(Text2, Label3);
    Command1 = Controls::button(this, QStringLiteral("Command1"), QStringLiteral("登陆"),
                                {600, 3240, 1335, 495});
    Command2 = Controls::button(this, QStringLiteral("Command2"), QStringLiteral("退出"),
                                {2520, 3240, 1215, 495});
    panel = PanelFrame::build(this);
    panel.setButtonsVisible(false);
    Label4 = Controls::label(this, QStringLiteral("Label4"), QStringLiteral("已经登陆"),
                             {600, 360, 3255, 975});
    Label4->setFont(Fonts::song(36));
    Fonts::setTextColor(Label4, Qt::red);
    Label4->hide();

    Controls::tabOrder(
        {Text1, Text2, Command1, Command2, panel.c1, panel.c2, panel.c3, panel.c4, panel.c5});
    Text1->setFocus();

    connect(Command1, &QPushButton::clicked, this, &admin::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &admin::Command2_Click);
    connect(Text2, &QLineEdit::returnPressed, this, [this] { Text2_KeyPress(13); });
}

void admin::Form_Load()
{
    Module1::varLoginUser.clear();
    Module1::varLoginPwd.clear();
    Module1::RecordPhoto.clear();
    PanelActions::prepareFolders(this);
}

void admin::Text2_KeyPress(int keyAscii)
{
    if (keyAscii == 13)
        CheckLogin();
}

void admin::Command1_Click()
{
    CheckLogin();
}

void admin::Command2_Click()
{
    Forms::instance().end();
}

void admin::CheckLogin()
{
    const QString name = Text1->text().trimmed();
    const QString password = Text2->text().trimmed();
    switch (VerifyUser(name, password)) {
    case 0:
        Dialogs::current().message(
            this,
            QStringLiteral("《%1》不是系统用户！请检查是否输入用户名或输入是否正确！").arg(name),
            kTitle, Dialogs::Icon::Critical);
        Text1->setFocus();
        Text1->selectAll();
        break;
    case 1:
        Dialogs::current().message(this, QStringLiteral("口令错误,请重新输入！"), kTitle,
                                   Dialogs::Icon::Critical);
        Text2->clear();
        Text2->setFocus();
        break;
    case 2:
        Module1::varLoginUser = name;
        Module1::varLoginPwd = password;
        showSignedIn();
        SnapshotProgress::takeDailyIfDue(this);
        break;
    default:
        Dialogs::current().message(this,
                                   QStringLiteral("登录验证未正常完成！请重新运行登录程序，\r\n"
                                                  "如果仍不能登录，请报告系统管理员！"),
                                   kTitle, Dialogs::Icon::Critical);
        break;
    }
}

void admin::showSignedIn()
{
    panel.setButtonsVisible(true);
    Text1->clear();
    Text2->clear();
    Text1->hide();
    Text2->hide();
    Label4->show();
    Label1->hide();
    Label2->hide();
    Label3->hide();
    // Nothing is left to sign in with, so the button goes too.
    Command1->hide();
    panel.c1->setFocus();
}

quint8 admin::VerifyUser(QString name, QString password)
{
    Result<Accounts::Verdict> verdict = Database::withProgramStore(
        [&](const Database& db) { return Accounts::verify(db, name, password); });
    if (!verdict) {
        Dialogs::current().message(this, verdict.error(), QString());
        return static_cast<quint8>(Accounts::Verdict::Failed);
    }
    return static_cast<quint8>(verdict.value());
}
