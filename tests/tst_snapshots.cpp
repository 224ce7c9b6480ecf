// Snapshots before a clear and at sign-in, restoring them, the keeping rules, the consistency
// check and its repair, and a program killed in the middle of its work.

#include "AdminTool.h"
#include "ConsistencyCheck.h"
#include "MemberRecords.h"
#include "MemberWorld.h"
#include "ProgramFolder.h"
#include "ProgramLock.h"
#include "Restore.h"
#include "Snapshots.h"
#include "StagedPhoto.h"

// After MemberWorld, whose own Snapshot it would make ambiguous there.
#include "FileChecks.h"

#include <QProcess>
#include <QSqlDriver>

#include <csignal>
#include <sqlite3.h>
#include <unistd.h>

using namespace MemberTests;
using Snapshots::Reason;

namespace {

int commitsLeft = 0; // the child kills itself right after this many commits

// Run as a child: starts as the program does, then adds, edits and deletes a member over and
// over, one commit each, saying "op" after each round. A count of commits below 0: only the start.
int workUntilKilled(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    ProgramFolder::setRoot(QString::fromLocal8Bit(argv[2]));
    const QString picture = PhotoFiles::memberPhotoPath(u"张三"_s, u"111"_s); // world()'s
    commitsLeft = QByteArray(argv[3]).toInt();
    {
        DialogScript dialogs;
        AppSetup::finishInterruptedSaves();
        std::printf("%s", qPrintable(summaries(dialogs->calls).join(u'\n')));
    }
    const Database db = Database::openProgramStore().value();
    if (commitsLeft < 0)
        return 0;
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
        // A failure stops the child with a message the test sees.
        Result<StagedPhoto> added = StagedPhoto::stage(picture, first);
        m.id = MemberRecords::insert(db, m, added.value()).value();
        m.xingming += u'改';
        const QString second = PhotoFiles::memberPhotoPath(m.xingming, m.dianhua);
        // Every other edit keeps the photo, which moves to the new name's file.
        Result<StagedPhoto> edited = StagedPhoto::stage(i % 2 ? first : picture, second);
        MemberRecords::update(db, m, edited.value(), {first}).value();
        MemberRecords::remove(db, m.id, {second}).value();
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
    // fill() without the operator, whose password hash is most of what a store costs to make, and
    // without the default photo.
    void world()
    {
        QVERIFY(Database::create(folder->path(u"hd.db"_s)));
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
        // Columns: backupFolder, told
        dataColumns<QString, QString>();
        QTest::newRow("then restored") << u""_s << line(u"数据库清空"_s, kDone);
        QTest::newRow("file in place of 备份") << u"file"_s << critical(u"数据库未清空："_s);
        QTest::newRow("read-only 备份") << u"read-only"_s << critical(u"数据库未清空："_s);
    }
    void clearTakesASnapshotFirst()
    {
        const auto [backupFolder, told] = dataRow<QString, QString>();
        world();
        QVERIFY(QDir().mkpath(folder->path(u"照片/无法显示"_s)));
        writeNonPicture(folder->path(u"照片/无法显示/kept.jpg"_s));
        std::optional<ReadOnlyFolder> locked;
        if (backupFolder == "file"_L1) {
            writeNonPicture(backups());
        } else if (!backupFolder.isEmpty()) {
            QVERIFY(QDir().mkdir(backups()));
            if (!locked.emplace(backups()).effective())
                QSKIP("permissions are not enforced for this user");
        }
        const QList<QStringList> rows = tableRows(*folder);
        const auto photos = ::snapshot(folder->path(u"照片"_s));
        const Window w = openWindow();
        dialogs->answers << Dialogs::Answer::Yes;
        w.click("Command12");
        QCOMPARE(said(), QStringList({kClearQuestion, told}));
        if (backupFolder.isEmpty()) {
            QCOMPARE(snapshots().value(0).reason, Reason::BeforeClear);
            Result<Restore::Outcome> restored =
                Restore::run(folder->root(), snapshots().value(0).name);
            QVERIFY2(restored, qPrintable(restored.error()));
            QCOMPARE(restored->before.members, 0);
            QCOMPARE(ConsistencyCheck::run(false)->lines(), QStringList{u"未发现问题"_s});
        } else {
            QVERIFY(dialogs->calls.last().text.contains(QDir::toNativeSeparators(backups())));
        }
        QCOMPARE(tableRows(*folder), rows);
        QCOMPARE(::snapshot(folder->path(u"照片"_s)), photos);
    }

    void keepingRules()
    {
        const QDateTime now(QDate(2026, 12, 6), QTime(14, 30));
        const auto taken = [&](Reason reason, double days) {
            const QString name = Snapshots::reasonText(reason) + QString::number(days);
            return Snapshots::Info{name, {}, now.addSecs(-qint64(days * 86400)), reason};
        };
        using enum Reason;
        QList<Snapshots::Info> all{taken(Daily, 401),          taken(Daily, 400),
                                   taken(BeforeClear, 91),     taken(BeforeClear, 89),
                                   taken(BeforeRestore, 90.1), taken(BeforeRestore, 3),
                                   taken(ByHand, 400)};
        for (int day = 1; day < 10; ++day)
            all << taken(Daily, day); // the ten newest daily ones stay however old
        QStringList gone = Snapshots::expired(all, now);
        gone.sort();
        QCOMPARE(gone, QStringList({u"恢复前90.1"_s, u"每日401"_s, u"清数据库91"_s}));
    }

    void signInTakesOneDailySnapshot()
    {
        fill();
        for (const QString& password : {u"wrong"_s, u"123456"_s, u"123456"_s}) {
            closeAllForms();
            Form* form = Forms::instance().show(u"admin"_s);
            form->findChild<QLineEdit*>(u"Text1"_s)->setText(u"admin"_s);
            form->findChild<QLineEdit*>(u"Text2"_s)->setText(password);
            form->findChild<QPushButton*>(u"Command1"_s)->click();
            QCOMPARE(snapshots().size(), password == u"wrong"_s ? 0 : 1);
        }
        QCOMPARE(snapshots().first().reason, Reason::Daily);
    }

    // A folder with every kind of problem: the repair mends what it can, changes no text, points
    // rows only at their own files no other row names, and loses no photo.
    void checkFindsAndRepairMends()
    {
        world();
        addMember(*folder, u"赵六"_s, u"444"_s);
        addMember(*folder, u"钱七"_s, u"555"_s);
        addMember(*folder, u"孙八"_s, u"333"_s); // shares 王五's telephone
        const auto point = [&](const QString& telephone, const QString& path) {
            QVERIFY(folder->open().run(u"UPDATE user SET zhaopian = ? WHERE dianhua = ?"_s,
                                       {path, telephone}));
        };
        point(u"111"_s, photo(u"张三-old.jpg"_s)); // and his own file is named by 李四
        point(u"222"_s, photo(u"张三-111.jpg"_s));
        point(u"444"_s, photo(u"赵六-old.jpg"_s));
        point(u"555"_s, folder->makeJpeg(u"elsewhere/钱七-555.jpg"_s));
        QVERIFY(QFile::remove(photo(u"王五-333.jpg"_s)));
        folder->makeJpeg(photo(u"orphan.jpg"_s), {20, 20}, Qt::yellow);
        writeNonPicture(photo(u"孙八-333.jpg"_s));
        {
            Database db = folder->open();
            QVERIFY(db.run(u"PRAGMA writable_schema = ON"_s));
            QVERIFY(db.run(u"UPDATE sqlite_master SET sql = replace(sql, '(dianhua)', '(qq)') "
                           "WHERE name = 'user_dianhua'"_s));
        }
        QList<QStringList> rows = tableRows(*folder);
        const QList<QByteArray> photos = ::snapshot(folder->path(u"照片"_s)).values();
        writeNonPicture(photo(u".talvio-new-abc"_s)); // leftovers, which may go
        writeNonPicture(folder->path(u".talvio-save-abc"_s));
        QVERIFY(QDir().mkpath(backups() + u"/.talvio-snapshot-abc"_s));

        // How many of each kind: integrity (a line for each row), missing, outside, unnamed,
        // unreadable, shared, leftover.
        const auto countsOf = [](const Result<ConsistencyCheck::Report>& report) {
            QList<qsizetype> counts;
            for (int kind = 0; kind <= int(ConsistencyCheck::Kind::Leftover); ++kind)
                counts << report->count(ConsistencyCheck::Kind(kind));
            return counts;
        };
        QCOMPARE(countsOf(ConsistencyCheck::run(false)), QList<qsizetype>({6, 3, 1, 4, 1, 1, 3}));
        QCOMPARE(countsOf(ConsistencyCheck::run(true)), QList<qsizetype>({6, 2, 0, 0, 1, 1, 0}));
        rows[3][8] = photo(u"赵六-444.jpg"_s);
        rows[4][8] = photo(u"钱七-555.jpg"_s);
        QCOMPARE(tableRows(*folder), rows);
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
        const int round = 3 * QRandomGenerator::global()->bounded(3);
        for (int commits : {round + 1, round + 2, round + 3, 0, 0, -1}) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(),
                        {u"--work-until-killed"_s, folder->root(), QString::number(commits)});
            QByteArray said;
            const int rounds = QRandomGenerator::global()->bounded(1, 6);
            while (commits == 0 && said.count("op\n") < rounds && child.waitForReadyRead(10000))
                said += child.readAllStandardOutput();
            if (commits == 0)
                ::kill(child.processId(), SIGKILL);
            QVERIFY(child.waitForFinished(10000));
            QCOMPARE(child.exitStatus(), commits < 0 ? QProcess::NormalExit : QProcess::CrashExit);
            QCOMPARE(said.append(child.readAllStandardOutput()).replace("op\n", ""), QByteArray());
            QCOMPARE(child.readAllStandardError(), QByteArray());
        }
        QCOMPARE(ConsistencyCheck::run(false)->lines(), QStringList{u"未发现问题"_s});
    }

    // Refusals name what is wrong and change nothing, in the folder or in the snapshots.
    void adminToolReportsAndRefuses()
    {
        world();
        folder->makeJpeg(photo(u"orphan.jpg"_s));
        const QString root = folder->root();
        // One that expires when the next is taken.
        const QDateTime old = QDateTime::currentDateTime().addDays(-91);
        // While it is being taken, nothing in the folder passes for a finished snapshot.
        QStringList seen;
        const auto look = [&](double) {
            seen << QDir(backups()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        };
        QVERIFY(Snapshots::take(root, Reason::BeforeClear, look, old));
        QCOMPARE(seen, QStringList());
        runAdmin({u"backup"_s, root}, 0, u"已备份："_s);
        runAdmin({u"snapshots"_s, root}, 0, u"\t手动\t会员 3\t照片 4\t"_s);
        QCOMPARE(snapshots().size(), 1);
        const QString taken = snapshots().value(0).name;
        QVERIFY(QFile::remove(backups() + '/' + taken + u"/hd.db"_s));
        const auto backup = ::snapshot(backups());
        addMember(*folder, u"赵六"_s, u"444"_s);
        const auto before = snapshot(*folder);
        runAdmin({u"restore"_s, root, u"nope"_s}, 1, u"恢复失败，未作改动："_s);
        runAdmin({u"restore"_s, root, u"../照片"_s}, 1, u"中没有名为“../照片”的备份"_s);
        runAdmin({u"restore"_s, root, taken}, 1, u"中没有数据库，无法恢复"_s);
        {
            ProgramLock running(root);
            running.share();
            runAdmin({u"restore"_s, root, taken}, 1, u"正在使用文件夹"_s);
            runAdmin({u"check"_s, root, u"--repair"_s}, 1, u"正在使用文件夹"_s);
        }
        QCOMPARE(changes(before), QStringList());
        QCOMPARE(::snapshot(backups()), backup);
        runAdmin({u"check"_s, root}, 1, u"orphan.jpg 不属于任何会员"_s);
        runAdmin({u"check"_s, root, u"--repair"_s}, 0, u"未发现问题\n"_s);
    }
};

int main(int argc, char* argv[])
{
    if (argc == 4 && qstrcmp(argv[1], "--work-until-killed") == 0)
        return workUntilKilled(argc, argv);
    QApplication app(argc, argv);
    TestSnapshots test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_snapshots.moc"
