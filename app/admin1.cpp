#include "admin1.h"

#include "Controls.h"
#include "Fonts.h"
#include "Forms.h"
#include "PanelActions.h"

#include <QLabel>
#include <QPushButton>

admin1::admin1(QWidget* parent) : Form(parent)
{
    setWindowTitle(QStringLiteral("Talvio系统"));
    setClientSize(7245, 4155);

    Command2 = Controls::button(this, QStringLiteral("Command2"), QStringLiteral("重新登陆"),
                                {720, 3240, 1095, 495});
    panel = PanelFrame::build(this);
    Label2 = Controls::label(this, QStringLiteral("Label2"), QStringLiteral("已经登陆"),
                             {600, 480, 3015, 975});
    Label2->setFont(Fonts::song(36));
    Fonts::setTextColor(Label2, Qt::red);
    Command1 = Controls::button(this, QStringLiteral("Command1"), QStringLiteral("安全退出"),
                                {2400, 3240, 1095, 495});

    Controls::tabOrder({Command2, panel.c1, panel.c2, panel.c3, panel.c4, panel.c5, Command1});
    Command2->setFocus();

    connect(Command1, &QPushButton::clicked, this, &admin1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &admin1::Command2_Click);
}

// The signed-in operator is kept, so the password change still knows who is signed in.
void admin1::Form_Load()
{
    PanelActions::prepareFolders(this);
}

void admin1::Command1_Click()
{
    Forms::instance().end();
}

void admin1::Command2_Click()
{
    Forms::instance().unload(this);
    Forms::instance().show(QStringLiteral("admin"));
}
