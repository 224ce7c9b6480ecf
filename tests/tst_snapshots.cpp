// Snapshots before a clear and at sign-in, restoring them, the keeping rules, the consistency
// check and its repair, and a program killed in the middle of its work.

#include "ConsistencyCheck.h"
#include "MemberRecords.h"
#include "MemberWorld.h"
#include "ProgramFolder.h"
#include "ProgramLock.h"
#include "Restore.h"
#include "Snapshots.h"
#include "StagedPhoto.h"
#include "WindowChecks.h"

// After MemberWorld, whose own Snapshot it would make ambiguous there.
#include "FileChecks.h"

#include <QLineEdit>
#include <QProcess>
#include <QSqlDriver>

#include <csignal>
#include <sqlite3.h>
#include <unistd.h>

using namespace MemberTests;
using Snapshots::Reason;

namespace {

// The kinds of problem found, sorted: the report's order is not the point.
QString kindsOf(const Result<ConsistencyCheck::Report>& report)
{
    // In the order of ConsistencyCheck::Kind.
    static const QStringList names{"integrity",  "missing", "outside", "unnamed",
                                   "unreadable", "shared",  "leftover"};
    QStringList kinds;
    for (const ConsistencyCheck::Problem& p : report->problems)
        kinds << names.value(int(p.kind));
    kinds.sort();
    return kinds.join(u' ');
}

QStringList checked()
{
    return ConsistencyCheck::run(false)->lines();
}

int commitsLeft = 0; // the child kills itself right after this many commits

// Run as a child: starts as the program does, then adds, edits and deletes a member over and
// over, one commit each, saying "op" after each round. `commits` below 0: only the start.
int workUntilKilled(const QString& root, const QString& picture, int commits)
{
    ProgramFolder::setRoot(root);
    {
        DialogScript dialogs;
        AppSetup::finishInterruptedSaves();
        for (const QString& said : summaries(dialogs->calls))
            std::printf("%s\n", qPrintable(said));
    }
    Result<Database> opened = Database::openProgramStore();
    if (commits < 0 || !opened)
        return opened ? 0 : 2;
    const Database& db = opened.value();
    commitsLeft = commits;
    // Called once a commit is in the store, before the files that go with it are settled.
    sqlite3_wal_hook(
        *static_cast<sqlite3* const*>(db.connection().driver()->handle().constData()),
        [](void*, sqlite3*, const char*, int) {
            if (--commitsLeft == 0)
                ::raise(SIGKILL);
            return SQLITE_OK;
        },
        nullptr);
    for (int i = 0;; ++i) {
        Member m = person(u"会员%1"_s.arg(i), u"%1%2"_s.arg(getpid()).arg(i));
        const QString first = PhotoFiles::memberPhotoPath(m.xingming, m.dianhua);
        Result<StagedPhoto> added = StagedPhoto::stage(picture, first);
        Result<qint64> id = added ? MemberRecords::insert(db, m, added.value()) : added.failure();
        if (!id)
            return 3;
        m.id = id.value();
        m.xingming += u'改';
        const QString second = PhotoFiles::memberPhotoPath(m.xingming, m.dianhua);
        // Every other edit keeps the photo, which moves to the new name's file.
        Result<StagedPhoto> edited = StagedPhoto::stage(i % 2 ? first : picture, second);
        if (!edited || !MemberRecords::update(db, m, edited.value(), {first}) ||
            !MemberRecords::remove(db, m.id, {second}))
            return 4;
        std::printf("op\n");
        std::fflush(stdout);
    }
}

} // namespace

class TestSnapshots : public QObject, MemberWorld
{
    Q_OBJECT

    QString backups() const { return folder->path(u"备份"_s); }
    QList<Snapshots::Info> snapshots() const { return Snapshots::list(folder->root()).value(); }
    // fill() without the operator, whose password hash is most of what a store costs to make.
    void world()
    {
        QVERIFY(Database::create(folder->path(u"hd.db"_s)));
        folder->makeDefaultPhoto();
        addMember(*folder, u"张三"_s, u"111"_s, {}, QColor(200, 40, 40));
        addMember(*folder, u"李四"_s, u"222"_s, {}, QColor(40, 200, 40));
        addMember(*folder, u"王五"_s, u"333"_s, {}, QColor(40, 40, 200));
    }

private slots:
    void initTestCase() { prepareApplication(); }
    void init() { begin(); }
    void cleanup() { end(); }

    // The unprivileged run repeats the read-only row, where the folder really refuses.
    void clearTakesASnapshotFirst_data()
    {
        QTest::addColumn<QString>("backupFolder");
        QTest::addColumn<QString>("told");
        QTest::newRow("then restored") << u""_s << line(u"数据库清空"_s, kDone);
        QTest::newRow("file in place of 备份") << u"file"_s << critical(u"数据库未清空："_s);
        QTest::newRow("read-only 备份") << u"read-only"_s << critical(u"数据库未清空："_s);
    }
    void clearTakesASnapshotFirst()
    {
        QFETCH(QString, backupFolder);
        QFETCH(QString, told);
        world();
        QVERIFY(QDir().mkpath(folder->path(u"照片/无法显示"_s)));
        writeNonPicture(folder->path(u"照片/无法显示/kept.jpg"_s));
        std::optional<ReadOnlyFolder> locked;
        QString hand; // an older copy by hand, and one that expires when the clear's is taken
        QMap<QString, QByteArray> handFiles;
        if (backupFolder.isEmpty()) {
            const QDateTime now = QDateTime::currentDateTime();
            hand = Snapshots::take(folder->root(), Reason::ByHand, {}, now.addDays(-100))->path;
            handFiles = ::snapshot(hand);
            QVERIFY(Snapshots::take(folder->root(), Reason::BeforeClear, {}, now.addDays(-91)));
        } else if (backupFolder == "file"_L1) {
            writeNonPicture(backups());
        } else {
            QVERIFY(QDir().mkdir(backups()));
            if (!locked.emplace(backups()).effective())
                QSKIP("permissions are not enforced for this user");
        }
        const QList<QStringList> rows = tableRows(*folder);
        const auto photos = ::snapshot(folder->path(u"照片"_s));
        const Window w = openWindow();
        dialogs->answers << Dialogs::Answer::Yes;
        w.click("Command12");
        WindowChecks::settle();
        QCOMPARE(said(),
                 QStringList({line(u"你选择了清空系统数据库！\r\n是否真的清空？"_s, u"系统操作"_s,
                                   Dialogs::Icon::None, Dialogs::Buttons::YesNo),
                              told}));
        if (backupFolder.isEmpty()) {
            QCOMPARE(::snapshot(hand), handFiles); // the clear reached no copy
            QCOMPARE(snapshots().size(), 2);
            QCOMPARE(snapshots().last().reason, Reason::BeforeClear);
            Result<Restore::Outcome> restored =
                Restore::run(folder->root(), snapshots().last().name);
            QVERIFY2(restored, qPrintable(restored.error()));
            QCOMPARE(restored->before.members, 0);
            QCOMPARE(checked(), QStringList{u"未发现问题"_s});
        } else {
            QVERIFY(dialogs->calls.last().text.contains(QDir::toNativeSeparators(backups())));
        }
        QCOMPARE(tableRows(*folder), rows);
        QCOMPARE(::snapshot(folder->path(u"照片"_s)), photos);
    }

    void refusedRestoreChangesNothing_data()
    {
        QTest::addColumn<QString>("name"); // empty: the snapshot just taken
        QTest::addColumn<QString>("refusal");
        QTest::newRow("unknown name")
            << u"2020-01-01_00-00-00_手动"_s << u"中没有名为“2020-01-01_00-00-00_手动”的备份"_s;
        QTest::newRow("name leaving the folder") << u"../照片"_s << u"中没有名为"_s;
        QTest::newRow("program running") << u""_s << u"正在使用文件夹"_s;
        QTest::newRow("snapshot without its store") << u""_s << u"中没有数据库，无法恢复"_s;
    }
    void refusedRestoreChangesNothing()
    {
        QFETCH(QString, name);
        QFETCH(QString, refusal);
        world();
        const QString taken = Snapshots::take(folder->root(), Reason::ByHand)->name;
        addMember(*folder, u"赵六"_s, u"444"_s);
        if (QTest::currentDataTag() == "snapshot without its store"_L1)
            QVERIFY(QFile::remove(backups() + '/' + taken + u"/hd.db"_s));
        const auto before = snapshot(*folder);
        const auto backup = ::snapshot(backups());
        std::optional<ProgramLock> running;
        if (QTest::currentDataTag() == "program running"_L1)
            running.emplace(folder->root()).share();
        Result<Restore::Outcome> refused =
            Restore::run(folder->root(), name.isEmpty() ? taken : name);
        QVERIFY(!refused);
        QVERIFY2(refused.error().contains(refusal), qPrintable(refused.error()));
        QCOMPARE(changes(before), QStringList());
        QCOMPARE(::snapshot(backups()), backup);
    }

    void keepingRules()
    {
        const QDateTime now(QDate(2026, 12, 6), QTime(14, 30));
        const auto taken = [&](Reason reason, double days) {
            return Snapshots::Info{u"%1 %2"_s.arg(Snapshots::reasonText(reason)).arg(days),
                                   {},
                                   now.addSecs(-qint64(days * 86400)),
                                   reason};
        };
        QList<Snapshots::Info> all{
            taken(Reason::Daily, 401),          taken(Reason::Daily, 400),
            taken(Reason::BeforeClear, 91),     taken(Reason::BeforeClear, 89),
            taken(Reason::BeforeRestore, 90.1), taken(Reason::BeforeRestore, 3),
            taken(Reason::ByHand, 400)};
        for (int day = 1; day < 10; ++day)
            all << taken(Reason::Daily, day);
        QStringList gone = Snapshots::expired(all, now);
        gone.sort();
        QCOMPARE(gone, QStringList({u"恢复前 90.1"_s, u"每日 401"_s, u"清数据库 91"_s}));
    }

    void signInTakesOneDailySnapshot()
    {
        fill();
        for (const QString& password : {u"wrong"_s, u"123456"_s, u"123456"_s}) {
            closeAllForms();
            Form* form = Forms::instance().show(u"admin"_s);
            form->findChild<QLineEdit*>(u"Text1"_s)->setText(u"admin"_s);
            form->findChild<QLineEdit*>(u"Text2"_s)->setText(password);
            WindowChecks::click(form, "Command1");
            QCOMPARE(snapshots().size(), password == u"wrong"_s ? 0 : 1);
        }
        QCOMPARE(snapshots().first().reason, Reason::Daily);
    }

    void checkFindsAndRepairMends_data()
    {
        QTest::addColumn<QString>("plant");
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("left"); // after the repair
        const QString broken = u"integrity integrity integrity"_s;
        QTest::newRow("nothing") << u""_s << u""_s << u""_s;
        QTest::newRow("photo file gone") << u"gone"_s << u"missing"_s << u"missing"_s;
        QTest::newRow("row names another file") << u"renamed"_s << u"missing unnamed"_s << u""_s;
        QTest::newRow("own file is another's")
            << u"taken"_s << u"missing unnamed"_s << u"missing"_s;
        QTest::newRow("row points outside 照片") << u"outside"_s << u"outside unnamed"_s << u""_s;
        QTest::newRow("file of no member") << u"orphan"_s << u"unnamed"_s << u""_s;
        QTest::newRow("not a picture") << u"garbage"_s << u"unreadable"_s << u"unreadable"_s;
        QTest::newRow("shared telephone") << u"shared"_s << u"shared"_s << u"shared"_s;
        QTest::newRow("leftovers") << u"leftovers"_s << u"leftover leftover leftover"_s << u""_s;
        QTest::newRow("broken index") << u"index"_s << broken << broken;
    }
    void checkFindsAndRepairMends()
    {
        QFETCH(QString, plant);
        QFETCH(QString, found);
        QFETCH(QString, left);
        world();
        const QString zhang = photo(u"张三-111.jpg"_s);
        const auto point = [&](const QString& telephone, const QString& path) {
            QVERIFY(folder->open().run(u"UPDATE user SET zhaopian = ? WHERE dianhua = ?"_s,
                                       {path, telephone}));
        };
        if (plant == "gone"_L1)
            QFile::remove(zhang);
        if (plant == "renamed"_L1 || plant == "taken"_L1)
            point(u"111"_s, photo(u"张三-old.jpg"_s));
        if (plant == "taken"_L1)
            point(u"222"_s, zhang);
        if (plant == "outside"_L1)
            point(u"111"_s, folder->makeJpeg(u"elsewhere/张三-111.jpg"_s));
        if (plant == "orphan"_L1)
            folder->makeJpeg(photo(u"orphan.jpg"_s), {20, 20}, Qt::yellow);
        if (plant == "garbage"_L1)
            writeNonPicture(photo(u"李四-222.jpg"_s));
        if (plant == "shared"_L1)
            addMember(*folder, u"张三"_s, u"222"_s);
        if (plant == "index"_L1) {
            Database db = folder->open();
            QVERIFY(db.run(u"PRAGMA writable_schema = ON"_s));
            QVERIFY(db.run(u"UPDATE sqlite_master SET sql = replace(sql, '(dianhua)', '(qq)') "
                           "WHERE name = 'user_dianhua'"_s));
        }
        QList<QStringList> rows = tableRows(*folder);
        const QList<QByteArray> photos = ::snapshot(folder->path(u"照片"_s)).values();
        if (plant == "leftovers"_L1) { // after the photos are counted: these may go
            writeNonPicture(photo(u".talvio-new-abc"_s));
            writeNonPicture(folder->path(u".talvio-save-abc"_s));
            QVERIFY(QDir().mkpath(backups() + u"/.talvio-snapshot-abc"_s));
        }

        QCOMPARE(kindsOf(ConsistencyCheck::run(false)), found);
        const Result<ConsistencyCheck::Report> repaired = ConsistencyCheck::run(true);
        QCOMPARE(kindsOf(repaired), left);
        QCOMPARE(repaired->repairs.isEmpty(), found == left);
        QCOMPARE(kindsOf(ConsistencyCheck::run(false)), left);
        // Texts stay; only 张三's row may be pointed at his own file. No photo is lost.
        const QList<QStringList> now = tableRows(*folder);
        if (now.value(0).value(8) == zhang)
            rows[0][8] = zhang;
        QCOMPARE(now, rows);
        QList<QByteArray> kept =
            ::snapshot(folder->path(u"照片"_s)).values() + ::snapshot(backups()).values();
        for (const QByteArray& bytes : photos)
            QVERIFY(kept.removeOne(bytes));
    }

    // Killed right after an insert, an edit and a delete commit, and twice at a random moment;
    // each start tidies up after the last.
    void killedProgramLeavesNothingWrong()
    {
        world();
        const QString picture = folder->makeJpeg(u"pick.jpg"_s, {80, 60}, Qt::blue);
        const int round = 3 * QRandomGenerator::global()->bounded(3);
        for (int commits : {round + 1, round + 2, round + 3, 0, 0, -1}) {
            QProcess child;
            child.start(
                QCoreApplication::applicationFilePath(),
                {u"--work-until-killed"_s, folder->root(), picture, QString::number(commits)});
            QByteArray said;
            const int rounds = QRandomGenerator::global()->bounded(1, 6);
            while (commits == 0 && said.count("op\n") < rounds && child.waitForReadyRead(10000))
                said += child.readAllStandardOutput();
            if (commits == 0)
                ::kill(child.processId(), SIGKILL);
            QVERIFY(child.waitForFinished(10000));
            QCOMPARE(child.exitStatus(), commits < 0 ? QProcess::NormalExit : QProcess::CrashExit);
            QCOMPARE(said.append(child.readAllStandardOutput()).replace("op\n", ""), QByteArray());
        }
        QCOMPARE(checked(), QStringList{u"未发现问题"_s});
    }

    void adminToolReportsAndRefuses()
    {
        world();
        folder->makeJpeg(photo(u"orphan.jpg"_s));
        const QString root = folder->root();
        const QList<std::tuple<QStringList, int, QString>> steps{
            {{u"backup"_s, root}, 0, u"已备份："_s},
            {{u"snapshots"_s, root}, 0, u"\t手动\t会员 3\t照片 4\t"_s},
            {{u"restore"_s, root, u"nope"_s}, 1, u"恢复失败，未作改动："_s},
            {{u"check"_s, root}, 1, u"orphan.jpg 不属于任何会员"_s},
            {{u"check"_s, root, u"--repair"_s}, 0, u"未发现问题\n"_s},
            {{u"check"_s, folder->path(u"nowhere"_s)}, 1, u"不存在"_s},
        };
        for (const auto& [arguments, exitCode, text] : steps) {
            QProcess tool;
            tool.start(TALVIO_ADMIN, arguments);
            QVERIFY(tool.waitForFinished(30000));
            const QString said =
                QString::fromUtf8(tool.readAllStandardOutput() + tool.readAllStandardError());
            QVERIFY2(said.contains(text), qPrintable(said));
            QCOMPARE(tool.exitCode(), exitCode);
        }
    }
};

int main(int argc, char* argv[])
{
    if (argc == 5 && qstrcmp(argv[1], "--work-until-killed") == 0) {
        QCoreApplication app(argc, argv);
        return workUntilKilled(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                               QByteArray(argv[4]).toInt());
    }
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestSnapshots test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_snapshots.moc"
