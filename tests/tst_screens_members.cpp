// Renders the member window, the address summary window and the camera window in their main
// states and checks their layout (ScreenChecks.h): positions inside their frames, captions and
// typed text not cut off, the red, blue and green captions, the list frame's back colour and the
// grid's column captions.

#include "AppSetup.h"
#include "DemoFolder.h"
#include "Form.h"
#include "Forms.h"
#include "MemberWindow.h"
#include "ScreenChecks.h"
#include "TestFolder.h"
#include "Twips.h"

#include <QApplication>
#include <QCameraDevice>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMediaDevices>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

using ScreenChecks::Layout;

namespace {

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kGreen(0, 128, 0);
const QColor kListBack(192, 192, 255);

Layout memberLayout()
{
    Layout layout =
        ScreenChecks::sized(10680, 9285, {QStringLiteral("Frame1"), QStringLiteral("Frame4")});
    layout.textColours = {{QStringLiteral("ls"), kRed},
                          {QStringLiteral("Label10"), kBlue},
                          {QStringLiteral("Label11"), kRed}};
    layout.backColours = {{QStringLiteral("Frame2"), kListBack},
                          {QStringLiteral("Label8"), kListBack},
                          {QStringLiteral("Label9"), kListBack}};
    layout.songSizes = {{QStringLiteral("ls"), 10.5},        {QStringLiteral("lss"), 10.5},
                        {QStringLiteral("Label8"), 12},      {QStringLiteral("Label9"), 12},
                        {QStringLiteral("Label10"), 10.5},   {QStringLiteral("Label11"), 10.5},
                        {QStringLiteral("Command12"), 10.5}, {QStringLiteral("Command13"), 10.5},
                        {QStringLiteral("Command14"), 10.5}, {QStringLiteral("Label1"), 9},
                        {QStringLiteral("t1"), 9},           {QStringLiteral("Combo1"), 9}};
    return layout;
}

// The grid's captions as the operators know them; blanks in front are part of them.
const QStringList kColumnCaptions = {
    QStringLiteral("ID"),         QStringLiteral("   姓名"),       QStringLiteral("性别"),
    QStringLiteral("年龄"),       QStringLiteral("      电话"),    QStringLiteral("      QQ"),
    QStringLiteral("      邮箱"), QStringLiteral("         地址"), QStringLiteral("      照片")};

// Column widths in twips: the id and photo columns are there, practically invisible.
const int kColumnWidths[] = {10, 1000, 500, 500, 1500, 1500, 1500, 3400, 10};

// The captions and widths of the grid, and whether the visible columns show their captions whole
// and a full page of every column without scrolling.
QStringList gridProblems(QTableView* grid)
{
    QStringList problems;
    QHeaderView* header = grid->horizontalHeader();
    QStringList captions;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        captions << grid->model()->headerData(c, Qt::Horizontal).toString();
    if (captions != kColumnCaptions)
        problems << QStringLiteral("grid captions are [%1]").arg(captions.join(QLatin1Char('|')));
    for (int c = 0; c < captions.size(); ++c)
        if (header->sectionSize(c) != Twips::toPixels(kColumnWidths[c]))
            problems << QStringLiteral("grid column %1 is %2 px wide, not %3")
                            .arg(c)
                            .arg(header->sectionSize(c))
                            .arg(Twips::toPixels(kColumnWidths[c]));
    const QFontMetrics metrics(header->font());
    for (int c = 0; c < captions.size(); ++c) {
        // The id and photo columns are kept practically invisible on purpose.
        if (header->sectionSize(c) < Twips::toPixels(100))
            continue;
        const int needed = metrics.tightBoundingRect(captions[c].trimmed()).width();
        if (needed > header->sectionSize(c) - 4)
            problems << QStringLiteral("grid caption \"%1\" needs %2 px, its column has %3")
                            .arg(captions[c])
                            .arg(needed)
                            .arg(header->sectionSize(c));
    }
    if (grid->model()->rowCount() == 10 && grid->verticalScrollBar()->isVisible())
        problems << QStringLiteral("a full page of the grid needs scrolling");
    if (grid->horizontalScrollBar()->isVisible())
        problems << QStringLiteral("the grid's columns need scrolling");
    if (header->height() < metrics.height())
        problems << QStringLiteral("grid header is %1 px high, its captions %2")
                        .arg(header->height())
                        .arg(metrics.height());
    return problems;
}

} // namespace

class TestScreensMembers : public QObject
{
    Q_OBJECT

    Form* showWindow(const QString& name)
    {
        Form* window = Forms::instance().show(name);
        if (window && !QTest::qWaitForWindowExposed(window))
            return nullptr;
        return window;
    }

    std::unique_ptr<DialogScript> dialogs;
    std::unique_ptr<TestFolder> folder;

private slots:
    void initTestCase()
    {
        AppSetup::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        AppSetup::registerWindows();
    }
    void init()
    {
        dialogs = std::make_unique<DialogScript>();
        folder = std::make_unique<TestFolder>();
    }
    void cleanup()
    {
        // No window may have complained on its way to the state shown.
        const QStringList texts = dialogs->get().messageTexts();
        folder.reset();
        dialogs.reset();
        QVERIFY2(texts.isEmpty(), qPrintable(texts.join(QLatin1Char('\n'))));
    }

    void memberWindowEmpty();
    void memberWindowSelected();
    void addressWindow();
    void cameraWindow();
};

void TestScreensMembers::memberWindowEmpty()
{
    folder->createStore();
    folder->makeDefaultPhoto();
    Form* window = showWindow(QStringLiteral("xianshi"));
    QVERIFY(window);
    const MemberTests::Window w = MemberTests::findWindow(window);
    QVERIFY(w.ok());
    QCOMPARE(w.lss->text(), MemberTests::kEmptyStore);
    QCOMPARE(w.Combo1->currentText(), MemberTests::kPickGender);
    Layout layout = memberLayout();
    layout.textColours.insert(QStringLiteral("lss"), kRed);
    ScreenChecks::inspect(window, layout, QStringLiteral("xianshi-empty.png"));
    const QStringList problems = gridProblems(w.grid);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

void TestScreensMembers::memberWindowSelected()
{
    const Status made = DemoFolder::create(folder->root(), 25);
    QVERIFY2(made, qPrintable(made.error()));
    Form* window = showWindow(QStringLiteral("xianshi"));
    QVERIFY(window);
    const MemberTests::Window w = MemberTests::findWindow(window);
    QVERIFY(w.ok());
    QCOMPARE(w.model()->rowCount(), 10);
    w.clickCell(3, 1);
    QCOMPARE(w.t8->text(), w.cell(3, 0));
    QVERIFY(!w.T7->toPlainText().isEmpty());
    QVERIFY(!w.photo->isEmpty());
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/3"));
    ScreenChecks::inspect(window, memberLayout(), QStringLiteral("xianshi-selected.png"));
    const QStringList problems = gridProblems(w.grid);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

void TestScreensMembers::addressWindow()
{
    const Status made = DemoFolder::create(folder->root(), 12);
    QVERIFY2(made, qPrintable(made.error()));
    Form* window = showWindow(QStringLiteral("mail"));
    QVERIFY(window);
    window->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    QVERIFY(window->findChild<QPlainTextEdit*>(QStringLiteral("t1"))->toPlainText().contains(u'@'));

    Layout layout = ScreenChecks::sized(9570, 4290);
    // The strip along the top starts above the window and the separator left of it.
    layout.pastEdges = {QStringLiteral("Frame1"), QStringLiteral("Line2")};
    layout.textColours = {{QStringLiteral("Label1"), kBlue},  {QStringLiteral("Label2"), kBlue},
                          {QStringLiteral("Label3"), kGreen}, {QStringLiteral("Label4"), kBlue},
                          {QStringLiteral("Label5"), kBlue},  {QStringLiteral("Label6"), kRed},
                          {QStringLiteral("Label7"), kBlue}};
    layout.songSizes = {{QStringLiteral("Command1"), 10.5}, {QStringLiteral("Command2"), 10.5},
                        {QStringLiteral("Command3"), 10.5}, {QStringLiteral("Command4"), 10.5},
                        {QStringLiteral("Label1"), 10.5},   {QStringLiteral("Label3"), 10.5},
                        {QStringLiteral("Label4"), 10.5},   {QStringLiteral("Label5"), 10.5},
                        {QStringLiteral("Label2"), 9},      {QStringLiteral("Label6"), 9},
                        {QStringLiteral("t1"), 9}};
    ScreenChecks::inspect(window, layout, QStringLiteral("mail.png"));
}

void TestScreensMembers::cameraWindow()
{
    if (!QMediaDevices::videoInputs().isEmpty())
        QSKIP("this machine has a camera; the window is shown here without one");
    Form* window = showWindow(QStringLiteral("shipin"));
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), QStringLiteral("视频监控"));
    Layout layout = ScreenChecks::sized(4080, 3015);
    // The picture box is laid out 15 twips wider than the window it fills.
    layout.pastEdges = {QStringLiteral("Pic")};
    ScreenChecks::inspect(window, layout, QStringLiteral("shipin.png"));
}

QTEST_MAIN(TestScreensMembers)
#include "tst_screens_members.moc"
