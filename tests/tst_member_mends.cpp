// Keyboard, browsing, locked stores, huge pictures, files a delete cannot remove and saves cut
// short by a crash.

#include "AppSetup.h"
#include "Database.h"
#include "EngineErrors.h"
#include "MemberRecords.h"
#include "MemberWindow.h"
#include "PhotoFiles.h"
#include "ProgramFolder.h"
#include "ProgramLock.h"
#include "RecordFixture.h"
#include "StagedPhoto.h"
#include "TestFolder.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTest>

#include <sqlite3.h>
#include <unistd.h>

using namespace MemberTests;
using namespace RecordTests;

class TestMemberMends : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { AppSetup::registerWindows(); }
    void gridIsOneTabStop();
    void recordButtonsShowTheRowTheyStandOn();
    void longValuesShowTheirStart();
    void lockedStoreSaysSoInChineseAndShowsBusy();
    void engineCodesReadInChinese_data();
    void engineCodesReadInChinese();
    void hugePictureIsDecodedAtDrawingSize();
    void overlongConditionIsRefusedAtOnce();
    void deleteThatLeavesFilesSaysWhatHappened();
    void saveCutShortIsPutRightAtNextStart_data();
    void saveCutShortIsPutRightAtNextStart();
    void anotherRunningCopyKeepsItsSaveInHand();
};

namespace {

// Run as a child: saves a member and ends the program with the new photo in place, before the
// row is committed ("before") or just after ("after").
int saveAndDie(const QString& root, const QString& kind, const QString& moment,
               const QString& picture)
{
    ProgramFolder::setRoot(root);
    Result<Database> db = Database::openProgramStore();
    if (!db)
        return 2;
    const QString oldPhoto =
        PhotoFiles::memberPhotoPath(QStringLiteral("张三"), QStringLiteral("111"));
    Member member = kind == QLatin1String("add")
                        ? person(QStringLiteral("王五"), QStringLiteral("555"))
                    : kind == QLatin1String("new name")
                        ? person(QStringLiteral("张三丰"), QStringLiteral("111"))
                        : person(QStringLiteral("张三"), QStringLiteral("111"));
    member.nianling = QStringLiteral("31");
    Result<StagedPhoto> staged =
        StagedPhoto::stage(picture, PhotoFiles::memberPhotoPath(member.xingming, member.dianhua));
    if (!staged)
        return 3;
    using MemberRecords::testing::SaveStep;
    MemberRecords::testing::atStep = [&](SaveStep step) {
        if (moment == QLatin1String("noted"))
            ::_exit(7);
        if (step != SaveStep::PhotoInstalled)
            return;
        if (moment == QLatin1String("after"))
            db->commit();
        ::_exit(7);
    };
    if (kind == QLatin1String("add")) {
        MemberRecords::insert(db.value(), member, staged.value());
        return 4;
    }
    member.id = 1;
    MemberRecords::update(db.value(), member, staged.value(), {oldPhoto});
    return 4;
}

int runChildSave(const TestFolder& folder, const QString& kind, const QString& moment)
{
    const QString picture = folder.makeJpeg(QStringLiteral("pick.jpg"), {60, 45}, Qt::blue);
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--save-and-die"), folder.root(), kind, moment, picture});
    child.waitForFinished(30000);
    return child.exitCode();
}

QStringList leftoversOf(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral(".talvio-*")}, QDir::Files | QDir::Hidden);
}

} // namespace

void TestMemberMends::gridIsOneTabStop()
{
    DialogScript dialogs;
    TestFolder folder;
    prepareStore(folder, 25);
    const Window w = openWindow();
    QVERIFY(w.ok());
    w.form->show();
    QVERIFY(QTest::qWaitForWindowActive(w.form));
    w.grid->setFocus();
    const QString before = w.t8->text();
    QTest::keyClick(w.grid, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Command11"));
    w.grid->setFocus();
    QTest::keyClick(w.grid, Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Command10"));
    QCOMPARE(w.t8->text(), before);
    // Arrows still move between rows.
    w.grid->setFocus();
    QTest::keyClick(w.grid, Qt::Key_Up);
    QCOMPARE(w.t8->text(), w.cell(8, 0));
}

void TestMemberMends::recordButtonsShowTheRowTheyStandOn()
{
    DialogScript dialogs;
    TestFolder folder;
    prepareStore(folder, 11);
    const Window w = openWindow();
    QVERIFY(w.ok());
    QVERIFY(w.grid->selectionModel()->isRowSelected(9, {}));
    w.click("Command10");
    QCOMPARE(w.t8->text(), w.cell(9, 0));
    QVERIFY(!w.photo->isEmpty());
    // Page 2 holds one row; either button brings it in.
    w.click("Command8");
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("2/2"));
    QCOMPARE(w.t8->text(), QStringLiteral("2")); // the page change leaves the fields alone
    w.click("Command9");
    QCOMPARE(w.t8->text(), QStringLiteral("1"));
    QCOMPARE(dialogs->calls.size(), 0);
}

void TestMemberMends::longValuesShowTheirStart()
{
    DialogScript dialogs;
    TestFolder folder;
    prepareStore(folder);
    Member m = person(QStringLiteral("长名字") + QString(60, u'长'), QStringLiteral("13800000001"));
    m.youxiang = QString(80, u'g') + QStringLiteral("@example.com");
    m.zhaopian = folder.makeJpeg(PhotoFiles::memberPhotoPath(m.xingming, m.dianhua));
    addRow(folder, m);
    const Window w = openWindow();
    QVERIFY(w.ok());
    w.click("Command10");
    QCOMPARE(w.T6->text(), m.youxiang);
    for (QLineEdit* field : {w.t1, w.t3, w.T4, w.T5, w.T6})
        QCOMPARE(field->cursorPosition(), 0);
}

void TestMemberMends::lockedStoreSaysSoInChineseAndShowsBusy()
{
    WatchScript dialogs;
    TestFolder folder;
    prepareStore(folder, 3);
    Database::setLockWait(100);
    AppSetup::showBusyWhileWaiting();
    const Window w = openWindow();
    QVERIFY(w.ok());
    bool busyWhenTold = false;
    dialogs->onMessage = [&](const QString&) {
        busyWhenTold = QApplication::overrideCursor() &&
                       QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    };
    StoreLock lock(folder);
    QVERIFY(lock.held());
    fillFields(w.form, person(QStringLiteral("新人"), QStringLiteral("139")));
    w.click("Command1");
    const QStringList texts = dialogs->messageTexts();
    QVERIFY2(!texts.isEmpty() && texts.last().contains(QStringLiteral("数据库正被其他程序使用")) &&
                 texts.last().contains(QDir::toNativeSeparators(folder.path("hd.db"))),
             qPrintable(texts.join(" / ")));
    QVERIFY(!texts.last().contains(QStringLiteral("locked")));
    QVERIFY(busyWhenTold);
    QTest::qWait(1);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(tableRows(folder).size(), 3);
}

void TestMemberMends::engineCodesReadInChinese_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("words");
    QTest::newRow("full") << SQLITE_FULL << "数据库或磁盘已满";
    QTest::newRow("disk") << (SQLITE_IOERR | (3 << 8)) << "磁盘错误";
    QTest::newRow("not a db") << SQLITE_NOTADB << "文件不是数据库";
    QTest::newRow("cannot open") << SQLITE_CANTOPEN << "无法打开数据库文件";
    QTest::newRow("read-only") << SQLITE_READONLY << "只读";
    QTest::newRow("unknown keeps the engine's words") << 999 << "odd thing";
}

void TestMemberMends::engineCodesReadInChinese()
{
    QFETCH(int, code);
    QFETCH(QString, words);
    QVERIFY(EngineErrors::describe(code, QStringLiteral("odd thing")).contains(words));
}

void TestMemberMends::hugePictureIsDecodedAtDrawingSize()
{
    TestFolder folder;
    const QString huge = folder.makeJpeg(QStringLiteral("huge.jpg"), QSize(8000, 6250));
    Result<QImage> drawn = PhotoFiles::readPicture(huge, QSize(145, 185));
    QVERIFY2(drawn, qPrintable(drawn.error()));
    QCOMPARE(drawn->width(), 145);
    QVERIFY(qAbs(drawn->height() - 113) <= 1);
    // A small picture keeps its own size, so it is drawn by its exact proportions.
    const QString small = folder.makeJpeg(QStringLiteral("small.jpg"), QSize(400, 300));
    QCOMPARE(PhotoFiles::readPicture(small, QSize(145, 185))->size(), QSize(400, 300));
    QVERIFY(!PhotoFiles::readPicture(writeNonPicture(folder.path("no.jpg")), QSize(145, 185)));
}

void TestMemberMends::overlongConditionIsRefusedAtOnce()
{
    DialogScript dialogs;
    TestFolder folder;
    prepareStore(folder, 3);
    const Window w = openWindow();
    QVERIFY(w.ok());
    w.T7->setPlainText(QString(1001, u'路'));
    w.click("Command6");
    QCOMPARE(summaries(dialogs->calls),
             QStringList{line(QStringLiteral("查询条件过长，请不要超过1000个字符"),
                              QStringLiteral("查询违规"))});
    QCOMPARE(w.t9->text(), QStringLiteral("3"));
}

void TestMemberMends::deleteThatLeavesFilesSaysWhatHappened()
{
    DialogScript dialogs;
    TestFolder folder;
    prepareStore(folder, 3);
    const Window w = openWindow();
    QVERIFY(w.ok());
    w.select(0);
    ReadOnlyFolder readOnly(folder.path(QStringLiteral("照片")));
    if (!readOnly.effective())
        QSKIP("permissions are not enforced for this user");
    w.click("Command2");
    const QList<ScriptedDialogs::Call> calls = dialogs->messages();
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls.at(0).text, QStringLiteral("学员删除完毕"));
    QVERIFY(calls.at(1).text.startsWith(QStringLiteral("会员已删除，但有 1 个照片文件未能删除")));
    QCOMPARE(tableRows(folder).size(), 2);
}

void TestMemberMends::saveCutShortIsPutRightAtNextStart_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("moment");
    QTest::addColumn<QStringList>("photos"); // "照片" once all is put right
    const QString old = QStringLiteral("张三-111.jpg");
    QTest::newRow("add, not committed") << "add"
                                        << "before" << QStringList{old};
    QTest::newRow("new picture, not committed") << "new picture"
                                                << "before" << QStringList{old};
    QTest::newRow("new name, not committed") << "new name"
                                             << "before" << QStringList{old};
    QTest::newRow("new picture, noted only") << "new picture"
                                             << "noted" << QStringList{old};
    QTest::newRow("add, committed") << "add"
                                    << "after" << QStringList{old, "王五-555.jpg"};
    QTest::newRow("new picture, committed") << "new picture"
                                            << "after" << QStringList{old};
    QTest::newRow("new name, committed") << "new name"
                                         << "after" << QStringList{"张三丰-111.jpg"};
}

void TestMemberMends::saveCutShortIsPutRightAtNextStart()
{
    QFETCH(QString, kind);
    QFETCH(QString, moment);
    QFETCH(QStringList, photos);
    DialogScript dialogs;
    TestFolder folder;
    prepareStore(folder);
    addMember(folder, QStringLiteral("张三"), QStringLiteral("111"));
    const Snapshot before = snapshot(folder);

    QCOMPARE(runChildSave(folder, kind, moment), 7);
    QCOMPARE(leftoversOf(folder.root()).filter(QStringLiteral("save")).size(), 1);
    // Only a committed add leaves no file that no row names.
    QCOMPARE(photoMismatches(folder).isEmpty(),
             kind == QLatin1String("add") && moment == QLatin1String("after"));

    AppSetup::finishInterruptedSaves();
    QCOMPARE(photoMismatches(folder), QStringList());
    QCOMPARE(photoFiles(folder), photos);
    QCOMPARE(leftoversOf(folder.root()), QStringList{QStringLiteral(".talvio-lock")});
    if (moment != QLatin1String("after")) {
        QCOMPARE(differences(before, snapshot(folder)), QStringList());
    } else {
        const QString photo = photos.last();
        QCOMPARE(tableRows(folder).last().at(8), folder.path(QStringLiteral("照片/") + photo));
        QVERIFY(QImage(photoPath(folder, photo)).pixelColor(5, 5).blue() > 200); // the new one
    }
    QCOMPARE(dialogs->calls.size(), 0);
}

void TestMemberMends::anotherRunningCopyKeepsItsSaveInHand()
{
    DialogScript dialogs;
    TestFolder folder;
    prepareStore(folder);
    addMember(folder, QStringLiteral("张三"), QStringLiteral("111"));
    QCOMPARE(runChildSave(folder, QStringLiteral("new picture"), QStringLiteral("before")), 7);
    const Snapshot inHand = snapshot(folder);
    {
        ProgramLock running(folder.root());
        QVERIFY(running.isAlone());
        running.share();
        AppSetup::finishInterruptedSaves();
        QCOMPARE(differences(inHand, snapshot(folder)), QStringList());
    }
    AppSetup::finishInterruptedSaves();
    QCOMPARE(photoMismatches(folder), QStringList());
}

int main(int argc, char* argv[])
{
    if (argc == 6 && qstrcmp(argv[1], "--save-and-die") == 0) {
        QCoreApplication app(argc, argv);
        return saveAndDie(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                          QString::fromLocal8Bit(argv[4]), QString::fromLocal8Bit(argv[5]));
    }
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestMemberMends test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_member_mends.moc"
