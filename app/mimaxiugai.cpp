#include "mimaxiugai.h"

#include "Accounts.h"
#include "Controls.h"
#include "Database.h"
#include "Dialogs.h"
#include "Forms.h"
#include "Module1.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const QString kTitle = QStringLiteral("修改口令");

void refuse(QWidget* window, const QString& text)
{
    Dialogs::current().message(window, text, kTitle, Dialogs::Icon::Critical);
}
} // namespace

mimaxiugai::mimaxiugai(QWidget* parent) : Form(parent)
{
    setWindowTitle(QStringLiteral("修改管理员密码"));
    setClientSize(4395, 3090);

    Label1 = Controls::label(this, QStringLiteral("Label1"), QStringLiteral("旧口令："),
                             {360, 480, 735, 255});
    Label2 = Controls::label(this, QStringLiteral("Label2"), QStringLiteral("新口令："),
                             {360, 1080, 735, 255});
    Label3 = Controls::label(this, QStringLiteral("Label3"), QStringLiteral("新口令："),
                             {360, 1680, 735, 255});
    t1 = Controls::passwordBox(this, QStringLiteral("t1"), {1440, 480, 2175, 270});
    Controls::describe(t1, Label1);
    // A control array of two boxes: both carry the array's name and their index.
    txtNewPWD[0] = Controls::textBox(this, QStringLiteral("txtNewPWD"), {1440, 1080, 2175, 270});
    txtNewPWD[1] = Controls::textBox(this, QStringLiteral("txtNewPWD"), {1440, 1680, 2175, 270});
    for (int i = 0; i < 2; ++i)
        txtNewPWD[i]->setProperty("index", i);
    Controls::describe(txtNewPWD[0], Label2);
    txtNewPWD[1]->setAccessibleName(QStringLiteral("再次输入新口令"));
    Command1 = Controls::button(this, QStringLiteral("Command1"), QStringLiteral("保存"),
                                {1080, 2400, 855, 375});
    Command2 = Controls::button(this, QStringLiteral("Command2"), QStringLiteral("关闭"),
                                {2640, 2400, 855, 375});

    Controls::tabOrder({t1, txtNewPWD[0], txtNewPWD[1], Command1, Command2});
    t1->setFocus();

    connect(Command1, &QPushButton::clicked, this, &mimaxiugai::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &mimaxiugai::Command2_Click);
}

void mimaxiugai::Command1_Click()
{
    const QString newPassword = txtNewPWD[0]->text();
    if (newPassword.trimmed().isEmpty()) {
        refuse(this, QStringLiteral("请输入新口令！"));
        txtNewPWD[0]->setFocus();
        return;
    }
    if (newPassword != txtNewPWD[1]->text()) {
        refuse(this, QStringLiteral("两次输入的新口令必须相同！"));
        txtNewPWD[0]->setFocus();
        txtNewPWD[0]->selectAll();
        return;
    }
    if (t1->text() != Module1::varLoginPwd) {
        refuse(this, QStringLiteral("旧密码错误"));
        t1->clear();
        t1->setFocus();
        return;
    }

    Result<qint64> changed = Database::withProgramStore([&](const Database& db) {
        return Accounts::changePassword(db, Module1::varLoginUser, newPassword);
    });
    if (!changed) {
        Dialogs::current().message(
            this, QStringLiteral("程序执行出错，错误信息如下：\r\n") + changed.error(),
            QStringLiteral("Fennick系统"), Dialogs::Icon::Critical);
        return;
    }
    if (changed.value() > 0) {
        // The next change asks for this password, as a fresh sign-in would hold it.
        Module1::varLoginPwd = newPassword.trimmed();
        Dialogs::current().message(this, QStringLiteral("口令已被成功修改！"), kTitle,
                                   Dialogs::Icon::Information);
        Forms::instance().unload(this);
    } else {
        refuse(this, QStringLiteral("无法修改口令！"));
    }
}

void mimaxiugai::Command2_Click()
{
    Forms::instance().unload(this);
}
