#include "mail.h"

#include "AddressBox.h"
#include "AddressText.h"
#include "Controls.h"
#include "Database.h"
#include "Dialogs.h"
#include "Fonts.h"
#include "Forms.h"
#include "Maker.h"
#include "Twips.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace {
const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 128, 0);
const QUrl kWebmailLogin(QStringLiteral("https://mail.163.com/"));

QLabel* colouredLabel(QWidget* parent, const char* name, const QString& caption, Controls::Box box,
                      const QColor& colour)
{
    QLabel* label = Controls::label(parent, QString::fromLatin1(name), caption, box);
    Fonts::setTextColor(label, colour);
    return label;
}
} // namespace

mail::mail(QWidget* parent) : Form(parent)
{
    setWindowTitle(QStringLiteral("邮箱汇总"));
    setClientSize(9570, 4290);
    const QFont song = Fonts::song(10.5);

    Frame1 = Controls::frame(this, QStringLiteral("Frame1"), QString(), {0, -120, 9615, 615});
    Label2 = colouredLabel(Frame1, "Label2", QStringLiteral(">>>"), {120, 240, 375, 255}, kBlue);
    Label1 = colouredLabel(Frame1, "Label1",
                           QStringLiteral("如需复制邮件请双击文本框---》右键---》复制:"),
                           {480, 240, 4575, 255}, kBlue);
    Label5 =
        colouredLabel(Frame1, "Label5", QStringLiteral("版本V1.0"), {8280, 240, 975, 255}, kBlue);

    Command1 = Controls::button(this, QStringLiteral("Command1"), QStringLiteral("显示所有邮箱"),
                                {120, 840, 2415, 495});
    t1 = new AddressBox(this);
    t1->setObjectName(QStringLiteral("t1"));
    t1->setAccessibleName(QStringLiteral("所有会员邮箱"));
    Twips::place(t1, 2760, 840, 6495, 2655);
    Command4 = Controls::button(this, QStringLiteral("Command4"), QStringLiteral("邮件发送"),
                                {120, 1560, 2415, 495});
    Command2 = Controls::button(this, QStringLiteral("Command2"), QStringLiteral("返回会员操作"),
                                {120, 2280, 2415, 495});
    Command3 = Controls::button(this, QStringLiteral("Command3"), QStringLiteral("返回主界面"),
                                {120, 3000, 2415, 495});

    auto* Line2 = new QFrame(this);
    Line2->setObjectName(QStringLiteral("Line2"));
    Line2->setFrameShape(QFrame::HLine);
    Line2->setStyleSheet(QStringLiteral("color: grey;"));
    Twips::place(Line2, -480, 3840, 10080, 15);

    Label7 = colouredLabel(this, "Label7", QStringLiteral(">>>"), {120, 3960, 375, 255}, kBlue);
    Label6 = colouredLabel(this, "Label6", QStringLiteral("技术支持：Oldmere工作室"),
                           {480, 3960, 2055, 255}, kRed);
    Label6->setCursor(Qt::CrossCursor);
    Label4 = colouredLabel(this, "Label4", QStringLiteral(">>>"), {3600, 3960, 375, 255}, kBlue);
    Label3 = colouredLabel(this, "Label3",
                           QStringLiteral("在163邮局里发邮件的时候直接把以上邮箱粘贴在收件人即可"),
                           {3960, 3960, 5655, 255}, kGreen);

    for (QWidget* widget : std::initializer_list<QWidget*>{Command1, Command2, Command3, Command4,
                                                           Label1, Label3, Label4, Label5})
        widget->setFont(song);

    Controls::tabOrder({Command1, t1, Command2, Command3, Command4});
    Command1->setFocus();

    connect(Command1, &QPushButton::clicked, this, &mail::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &mail::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &mail::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &mail::Command4_Click);
    Controls::onClick(Label6, [this] { Label6_Click(); });
}

void mail::Form_Load()
{
    MailText.clear();
    Result<QString> text = Database::withProgramStore(AddressText::build);
    if (!text) {
        Dialogs::current().message(this, QStringLiteral("无法读取会员邮箱：") + text.error(),
                                   QStringLiteral("邮箱汇总"), Dialogs::Icon::Critical);
        return;
    }
    MailText = std::move(text).value();
}

void mail::Command1_Click()
{
    t1->setText(MailText);
}

void mail::Command4_Click()
{
    Dialogs::current().openUrl(kWebmailLogin);
}

void mail::Label6_Click()
{
    Dialogs::current().openUrl(Maker::kWebPage);
}

void mail::Command2_Click()
{
    Forms::instance().replace(this, QStringLiteral("xianshi"));
}

void mail::Command3_Click()
{
    Forms::instance().replace(this, QStringLiteral("admin1"));
}
