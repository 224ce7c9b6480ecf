// The member window's controls, placed as the operators know them.

#include "xianshi.h"

#include "Controls.h"
#include "Dialogs.h"
#include "Fonts.h"
#include "Forms.h"
#include "Maker.h"
#include "PageModel.h"
#include "PhotoBox.h"
#include "Twips.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>

namespace {
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kListBack(192, 192, 255);

QLabel* fieldLabel(QWidget* parent, const char* name, const QString& caption, Controls::Box box)
{
    return Controls::label(parent, QString::fromLatin1(name), caption, box);
}
} // namespace

xianshi::xianshi(QWidget* parent) : Form(parent), CommonDialog1(this)
{
    setWindowTitle(QStringLiteral("Talvio"));
    setClientSize(10680, 9285);

    Frame1 = Controls::frame(this, QStringLiteral("Frame1"), QStringLiteral("学生资料"),
                             {120, 240, 10455, 4095});
    Controls::setCaptionColor(Frame1, kRed);
    Frame2 = Controls::frame(this, QStringLiteral("Frame2"), QStringLiteral("学员列表"),
                             {120, 4680, 10455, 3975});
    Fonts::setBackColor(Frame2, kListBack);

    buildDetailFrame();
    buildPhotoFrame();
    buildOperationFrame();
    buildListFrame();
    buildWindowControls();
    buildGridMenu();

    Controls::tabOrder({Command4, Command3,  Combo1,    T7,        T6,        T5,        T4,
                        t3,       t1,        Command1,  Command2,  Command5,  Command6,  txtPageMsg,
                        Command7, Command8,  Command9,  Command10, DataGrid1, Command11, t8,
                        t9,       Command12, Command13, Command14, Command15});
    Command4->setFocus();
    connectHandlers();
}

xianshi::~xianshi() = default;

void xianshi::buildDetailFrame()
{
    Label1 = fieldLabel(Frame1, "Label1", QStringLiteral("姓名："), {240, 360, 615, 255});
    t1 = Controls::textBox(Frame1, QStringLiteral("t1"), {840, 360, 1575, 270});
    Label7 = fieldLabel(Frame1, "Label7", QStringLiteral("性别："), {240, 960, 615, 255});
    Combo1 = Controls::comboBox(Frame1, QStringLiteral("Combo1"), {840, 960, 1575, 300});
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->addItems({QStringLiteral("男"), QStringLiteral("女")});
    Combo1->setEditText(QStringLiteral("请选择性别"));
    Label2 = fieldLabel(Frame1, "Label2", QStringLiteral("年龄："), {240, 1560, 615, 255});
    t3 = Controls::textBox(Frame1, QStringLiteral("t3"), {840, 1560, 1575, 270});
    Label3 = fieldLabel(Frame1, "Label3", QStringLiteral("电话："), {2640, 360, 615, 255});
    T4 = Controls::textBox(Frame1, QStringLiteral("T4"), {3240, 360, 1455, 270});
    Label4 = fieldLabel(Frame1, "Label4", QStringLiteral(" Q Q："), {2640, 960, 615, 255});
    T5 = Controls::textBox(Frame1, QStringLiteral("T5"), {3240, 960, 1455, 270});
    Label5 = fieldLabel(Frame1, "Label5", QStringLiteral("邮箱："), {2640, 1560, 615, 255});
    T6 = Controls::textBox(Frame1, QStringLiteral("T6"), {3240, 1560, 1455, 270});
    Label6 = fieldLabel(Frame1, "Label6", QStringLiteral("住址："), {240, 2280, 615, 255});
    T7 = new QPlainTextEdit(Frame1);
    T7->setObjectName(QStringLiteral("T7"));
    T7->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    T7->setTabChangesFocus(true);
    Twips::place(T7, 840, 2280, 3900, 975);

    Controls::describe(t1, Label1);
    Controls::describe(Combo1, Label7);
    Controls::describe(t3, Label2);
    Controls::describe(T4, Label3);
    Controls::describe(T5, Label4);
    Controls::describe(T6, Label5);
    Controls::describe(T7, Label6);

    ls = fieldLabel(Frame1, "ls", QStringLiteral("状态:"), {120, 3600, 615, 255});
    ls->setFont(Fonts::song(10.5, true));
    Fonts::setTextColor(ls, kRed);
    lss = fieldLabel(Frame1, "lss", QString(), {840, 3600, 3855, 255});
    lss->setFont(Fonts::song(10.5));
    Fonts::setTextColor(lss, kRed);
}

void xianshi::buildPhotoFrame()
{
    Frame3 = Controls::frame(Frame1, QStringLiteral("Frame3"), QStringLiteral("相片"),
                             {4920, 240, 2415, 3615});
    Picture1 = new PhotoBox(Frame3);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Twips::place(Picture1, 120, 240, 2175, 2775);
    Command3 = Controls::button(Frame3, QStringLiteral("Command3"), QStringLiteral("添加"),
                                {120, 3120, 975, 375});
    Command4 = Controls::button(Frame3, QStringLiteral("Command4"), QStringLiteral("清空"),
                                {1320, 3120, 975, 375});
}

void xianshi::buildOperationFrame()
{
    Frame4 = Controls::frame(Frame1, QStringLiteral("Frame4"), QStringLiteral("数据操作"),
                             {7560, 240, 2655, 3615});
    Controls::setCaptionColor(Frame4, kRed);
    Command1 = Controls::button(Frame4, QStringLiteral("Command1"), QStringLiteral("添加会员"),
                                {240, 240, 1215, 375});
    Command2 = Controls::button(Frame4, QStringLiteral("Command2"), QStringLiteral("删除会员"),
                                {240, 960, 1215, 375});
    Command5 = Controls::button(Frame4, QStringLiteral("Command5"), QStringLiteral("修改资料"),
                                {240, 1680, 1215, 375});
    Command6 = Controls::button(Frame4, QStringLiteral("Command6"), QStringLiteral("条件查询"),
                                {240, 2400, 1215, 375});
    Command11 = Controls::button(Frame4, QStringLiteral("Command11"), QStringLiteral("会员列表"),
                                 {240, 3120, 1215, 375});
    // The tall buttons wrap their two-word captions at the blank.
    Command12 = Controls::wrappingButton(Frame4, QStringLiteral("Command12"),
                                         QStringLiteral("清数据库"), {1680, 240, 735, 855});
    Command13 = Controls::wrappingButton(Frame4, QStringLiteral("Command13"),
                                         QStringLiteral("邮件 群发"), {1680, 1440, 735, 855});
    Command14 = Controls::wrappingButton(Frame4, QStringLiteral("Command14"),
                                         QStringLiteral("回主 界面"), {1680, 2640, 735, 855});
    for (QPushButton* tall : {Command12, Command13, Command14})
        tall->setFont(Fonts::song(10.5));
}

void xianshi::buildListFrame()
{
    const QFont listFont = Fonts::song(12);
    // The 12 pt captions ink all but one row of a 255-twip label; they take the 270 twips of the
    // boxes beside them, which leaves a blank row above and below the characters.
    Label8 = fieldLabel(Frame2, "Label8", QStringLiteral("页注："), {120, 360, 735, 270});
    Label8->setFont(listFont);
    txtPageMsg = Controls::textBox(Frame2, QStringLiteral("txtPageMsg"), {720, 360, 855, 270});
    Label9 = fieldLabel(Frame2, "Label9", QStringLiteral("人数："), {1920, 360, 735, 270});
    Label9->setFont(listFont);
    t9 = Controls::textBox(Frame2, QStringLiteral("t9"), {2520, 360, 735, 270});
    Controls::describe(txtPageMsg, Label8);
    Controls::describe(t9, Label9);
    Command7 = Controls::button(Frame2, QStringLiteral("Command7"), QStringLiteral("前一页"),
                                {3720, 360, 1575, 375});
    Command8 = Controls::button(Frame2, QStringLiteral("Command8"), QStringLiteral("下一页"),
                                {5520, 360, 1455, 375});
    Command9 = Controls::button(Frame2, QStringLiteral("Command9"), QStringLiteral("上一记录"),
                                {7200, 360, 1455, 375});
    Command10 = Controls::button(Frame2, QStringLiteral("Command10"), QStringLiteral("下一记录"),
                                 {8880, 360, 1455, 375});

    rsPage = new PageModel(this);
    DataGrid1 = new QTableView(Frame2);
    DataGrid1->setObjectName(QStringLiteral("DataGrid1"));
    DataGrid1->setModel(rsPage);
    DataGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DataGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DataGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    // One stop of the tab order; the arrow keys move between rows inside it.
    DataGrid1->setTabKeyNavigation(false);
    // Ten rows fit without scrolling.
    DataGrid1->verticalHeader()->setMinimumSectionSize(1);
    DataGrid1->verticalHeader()->setDefaultSectionSize(Twips::toPixels(240));
    DataGrid1->verticalHeader()->setFixedWidth(Twips::toPixels(240));
    DataGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DataGrid1->horizontalHeader()->setMinimumSectionSize(1);
    DataGrid1->horizontalHeader()->setFixedHeight(Twips::toPixels(300));
    DataGrid1->setAccessibleName(QStringLiteral("学员列表"));
    Twips::place(DataGrid1, 120, 840, 10215, 3015);
    // An empty store shows no page, but the grid's columns already have their widths.
    for (int column = 0; column < PageModel::ColumnCount; ++column)
        DataGrid1->setColumnWidth(column, Twips::toPixels(PageModel::widthTwips(column)));
}

void xianshi::buildWindowControls()
{
    Command15 = Controls::button(this, QStringLiteral("Command15"), QStringLiteral("视频监控"),
                                 {120, 8760, 2415, 375});
    Label10 = fieldLabel(this, "Label10", QStringLiteral(">>>"), {7680, 8880, 375, 255});
    Label10->setFont(Fonts::song(10.5));
    Fonts::setTextColor(Label10, kBlue);
    Label11 = fieldLabel(this, "Label11", QStringLiteral("技术支持：Oldmere工作室"),
                         {8160, 8880, 2415, 255});
    Label11->setFont(Fonts::song(10.5));
    Fonts::setTextColor(Label11, kRed);
    Label11->setCursor(Qt::CrossCursor);
    // The caption is a few pixels wider than the room left to the window's edge in the CJK face;
    // the pair moves left by that much instead of losing the last character.
    const int overrun = Label11->x() + Label11->fontMetrics().horizontalAdvance(Label11->text()) +
                        2 - Twips::toPixels(10680);
    if (overrun > 0)
        for (QLabel* label : {Label10, Label11})
            label->move(label->x() - overrun, label->y());
    Controls::onClick(Label11, [] { Dialogs::current().openUrl(Maker::kWebPage); });
    t8 = Controls::textBox(this, QStringLiteral("t8"), {9000, 120, 615, 270});
    t8->hide();
}

void xianshi::connectHandlers()
{
    connect(Command1, &QPushButton::clicked, this, &xianshi::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &xianshi::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &xianshi::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &xianshi::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &xianshi::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &xianshi::Command6_Click);
    connect(Command12, &QPushButton::clicked, this, &xianshi::Command12_Click);
    connect(Command7, &QPushButton::clicked, this, &xianshi::Command7_Click);
    connect(Command8, &QPushButton::clicked, this, &xianshi::Command8_Click);
    connect(Command9, &QPushButton::clicked, this, &xianshi::Command9_Click);
    connect(Command10, &QPushButton::clicked, this, &xianshi::Command10_Click);
    connect(Command11, &QPushButton::clicked, this, &xianshi::Command11_Click);
    connect(Command14, &QPushButton::clicked, this, &xianshi::Command14_Click);
    connect(DataGrid1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& now, const QModelIndex& before) {
                if (now != before)
                    DataGrid1_RowColChange();
            });
    connect(Command13, &QPushButton::clicked, this,
            [this] { Forms::instance().replace(this, QStringLiteral("mail")); });
    connect(Command15, &QPushButton::clicked, this, [] {
        if (Forms::instance().isRegistered(QStringLiteral("shipin")))
            Forms::instance().show(QStringLiteral("shipin"));
    });
}
