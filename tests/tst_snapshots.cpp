// Snapshots before a clear and at sign-in, restoring them, the keeping rules, the consistency
// check and its repair, and a program killed in the middle of its work.

#include "ConsistencyCheck.h"
#include "MemberRecords.h"
#include "MemberTable.h"
#include "MemberWorld.h"
#include "PhotoFiles.h"
#include "ProgramFolder.h"
#include "ProgramLock.h"
#include "Restore.h"
#include "Snapshots.h"
#include "StagedPhoto.h"
#include "WindowChecks.h"

#include <QDirIterator>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace MemberTests;
using Kind = ConsistencyCheck::Kind;
using Snapshots::Reason;

namespace {

const QString kClearQuestion = line(u"你选择了清空系统数据库！\r\n是否真的清空？"_s, u"系统操作"_s,
                                    Dialogs::Icon::None, Dialogs::Buttons::YesNo);

// Every file below a folder with its bytes.
QMap<QString, QByteArray> treeOf(const QString& root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(root).relativeFilePath(path), bytesOf(path));
    }
    return files;
}

QStringList kindsOf(const QList<Kind>& list)
{
    QStringList kinds;
    for (Kind kind : list)
        kinds << QString::number(int(kind));
    kinds.sort();
    return kinds;
}

QStringList kindsOf(const ConsistencyCheck::Report& report)
{
    QList<Kind> kinds;
    for (const ConsistencyCheck::Problem& p : report.problems)
        kinds << p.kind;
    return kindsOf(kinds);
}

// Run as a child: adds, edits and deletes members until it is killed, saying "op" after each.
int workUntilKilled(const QString& root, const QString& picture)
{
    ProgramFolder::setRoot(root);
    Database db = Database::openProgramStore().value();
    QTextStream out(stdout);
    for (int i = 0;; ++i) {
        Result<QSqlQuery> any = db.run(
            u"SELECT %1 FROM user ORDER BY random() LIMIT 1"_s.arg(MemberTable::allColumns()));
        const std::optional<Member> old =
            any && any->next() ? std::optional(MemberTable::read(any.value())) : std::nullopt;
        const int op = old ? i % 3 : 0;
        if (op == 2) {
            (void)MemberRecords::remove(db, old->id, {old->zhaopian});
        } else {
            Member m = op == 1 ? *old : person(u"会员%1"_s.arg(i), u"%1%2"_s.arg(getpid()).arg(i));
            if (!m.xingming.endsWith(u'改'))
                m.xingming += u'改';
            else
                m.xingming.chop(1);
            Result<StagedPhoto> photo =
                StagedPhoto::stage(op == 1 && i % 2 ? old->zhaopian : picture,
                                   PhotoFiles::memberPhotoPath(m.xingming, m.dianhua));
            if (!photo)
                return 3;
            if (op == 1)
                (void)MemberRecords::update(db, m, photo.value(), {old->zhaopian});
            else
                (void)MemberRecords::insert(db, m, photo.value());
        }
        out << "op\n";
        out.flush();
    }
}

// Run as a child: what the program does first at start.
int startUp(const QString& root)
{
    ProgramFolder::setRoot(root);
    DialogScript dialogs;
    AppSetup::finishInterruptedSaves();
    for (const QString& said : summaries(dialogs->calls))
        std::printf("%s\n", qPrintable(said));
    return 0;
}

} // namespace

class TestSnapshots : public QObject, MemberWorld
{
    Q_OBJECT

    QString backups() const { return folder->path(u"备份"_s); }
    QList<Snapshots::Info> snapshots() const { return Snapshots::list(folder->root()).value(); }
    QString clearThroughWindow()
    {
        const Window w = openWindow();
        dialogs->answers << Dialogs::Answer::Yes;
        w.click("Command12");
        WindowChecks::settle();
        return said().join(u'\n');
    }

private slots:
    void initTestCase() { prepareApplication(); }
    void init() { begin(); }
    void cleanup() { end(); }

    void clearThenRestoreGivesEverythingBack()
    {
        fill(12);
        QVERIFY(QDir().mkpath(folder->path(u"照片/无法显示"_s)));
        writeNonPicture(folder->path(u"照片/无法显示/kept.jpg"_s));
        const Snapshot before = snapshot(*folder);
        const QByteArray aside = bytesOf(folder->path(u"照片/无法显示/kept.jpg"_s));
        QCOMPARE(clearThroughWindow(), kClearQuestion + '\n' + line(u"数据库清空"_s, kDone));
        QCOMPARE(tableRows(*folder).size(), 0);
        QCOMPARE(snapshots().size(), 1);
        const Snapshots::Info taken = snapshots().first();
        QCOMPARE(taken.reason, Reason::BeforeClear);
        QCOMPARE(taken.members, 15);
        QCOMPARE(taken.photos, 16);

        Result<Restore::Outcome> restored = Restore::run(folder->root(), taken.name);
        QVERIFY2(restored, qPrintable(restored.error()));
        QCOMPARE(changes(before), QStringList());
        QCOMPARE(bytesOf(folder->path(u"照片/无法显示/kept.jpg"_s)), aside);
        QCOMPARE(restored->before.members, 0);
        QCOMPARE(snapshots().size(), 2);
        QCOMPARE(QDir(folder->root())
                     .entryList({u".talvio-restore*"_s}, QDir::AllEntries | QDir::Hidden),
                 QStringList());
    }

    void refusedRestoreChangesNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("unknown name") << "2020-01-01_00-00-00_手动"
                                      << "中没有名为“2020-01-01_00-00-00_手动”的备份";
        QTest::newRow("name leaving the folder") << "../照片"
                                                 << "中没有名为";
        QTest::newRow("program running") << ""
                                         << "正在使用文件夹";
        QTest::newRow("snapshot without its store") << ""
                                                    << "中没有数据库，无法恢复";
    }
    void refusedRestoreChangesNothing()
    {
        QFETCH(QString, name);
        QFETCH(QString, refusal);
        fill();
        const QString taken = Snapshots::take(folder->root(), Reason::ByHand)->name;
        addMember(*folder, u"赵六"_s, u"444"_s);
        if (QTest::currentDataTag() == "snapshot without its store"_L1)
            QVERIFY(QFile::remove(backups() + '/' + taken + u"/hd.db"_s));
        const Snapshot before = snapshot(*folder);
        const auto backup = treeOf(backups());
        std::optional<ProgramLock> running;
        if (QTest::currentDataTag() == "program running"_L1)
            running.emplace(folder->root()).share();
        Result<Restore::Outcome> refused =
            Restore::run(folder->root(), name.isEmpty() ? taken : name);
        QVERIFY(!refused);
        QVERIFY2(refused.error().contains(refusal), qPrintable(refused.error()));
        QCOMPARE(changes(before), QStringList());
        QCOMPARE(treeOf(backups()), backup);
    }

    // Run unprivileged as well, where the read-only folder really refuses.
    void failedSnapshotStopsTheClear_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("file in place of 备份") << false;
        QTest::newRow("read-only 备份") << true;
    }
    void failedSnapshotStopsTheClear()
    {
        QFETCH(bool, readOnly);
        fill(3);
        std::optional<ReadOnlyFolder> locked;
        if (readOnly) {
            QVERIFY(QDir().mkdir(backups()));
            if (!locked.emplace(backups()).effective())
                QSKIP("permissions are not enforced for this user");
        } else {
            writeNonPicture(backups());
        }
        const Snapshot before = snapshot(*folder);
        QCOMPARE(clearThroughWindow(), kClearQuestion + '\n' + critical(u"数据库未清空："_s));
        QVERIFY(dialogs->calls.last().text.contains(QDir::toNativeSeparators(backups())));
        QCOMPARE(changes(before), QStringList());
    }

    void keepingRules_data()
    {
        QTest::addColumn<QStringList>("taken"); // reason and days before now
        QTest::addColumn<QStringList>("gone");
        QStringList twelve;
        for (int day = 12; day > 0; --day)
            twelve << u"daily %1"_s.arg(day);
        QTest::newRow("ten newest daily stay") << twelve << QStringList{"daily 11", "daily 12"};
        QTest::newRow("clear and restore stay 90 days")
            << QStringList{"clear 91",  "clear 89", "restore 90.1",
                           "restore 3", "hand 400", "daily 400"}
            << QStringList{"clear 91", "restore 90.1"};
    }
    void keepingRules()
    {
        QFETCH(QStringList, taken);
        QFETCH(QStringList, gone);
        const QDateTime now(QDate(2026, 12, 6), QTime(14, 30));
        const QMap<QString, Reason> reasons{{"daily", Reason::Daily},
                                            {"clear", Reason::BeforeClear},
                                            {"restore", Reason::BeforeRestore},
                                            {"hand", Reason::ByHand}};
        QList<Snapshots::Info> all;
        for (const QString& t : taken)
            all.append({t,
                        {},
                        now.addSecs(-qint64(t.section(' ', 1).toDouble() * 86400)),
                        reasons.value(t.section(' ', 0, 0))});
        QCOMPARE(Snapshots::expired(all, now), gone);
    }

    void takingRemovesExpiredAndKeepsCopiesApart()
    {
        fill();
        const QDateTime first(QDate(2026, 1, 1), QTime(9, 0));
        for (int day = 0; day < 11; ++day)
            QVERIFY(Snapshots::take(folder->root(), Reason::Daily, {}, first.addDays(day)));
        // The eleventh took the first one's place; no copy followed the store's later change.
        const QList<Snapshots::Info> kept = snapshots();
        QCOMPARE(kept.size(), 10);
        QCOMPARE(kept.first().taken, first.addDays(1));
        QVERIFY(MemberRecords::clear(folder->open()));
        QCOMPARE(treeOf(kept.first().path), treeOf(kept.last().path));
        QCOMPARE(treeOf(kept.first().path + u"/照片"_s).size(), 3);
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
        QCOMPARE(snapshots().first().members, 3);
    }

    void checkFindsAndRepairMends_data()
    {
        QTest::addColumn<QString>("plant");
        QTest::addColumn<QList<Kind>>("found");
        QTest::addColumn<QList<Kind>>("left"); // after the repair
        QTest::newRow("nothing") << "" << QList<Kind>{} << QList<Kind>{};
        QTest::newRow("photo file gone")
            << "gone" << QList<Kind>{Kind::MissingPhoto} << QList<Kind>{Kind::MissingPhoto};
        QTest::newRow("row names another file")
            << "renamed" << QList<Kind>{Kind::MissingPhoto, Kind::UnnamedPhoto} << QList<Kind>{};
        QTest::newRow("own file is another member's photo")
            << "taken" << QList<Kind>{Kind::MissingPhoto, Kind::UnnamedPhoto}
            << QList<Kind>{Kind::MissingPhoto};
        QTest::newRow("row points outside 照片")
            << "outside" << QList<Kind>{Kind::OutsidePhoto, Kind::UnnamedPhoto} << QList<Kind>{};
        QTest::newRow("file of no member")
            << "orphan" << QList<Kind>{Kind::UnnamedPhoto} << QList<Kind>{};
        QTest::newRow("photo not a picture") << "garbage" << QList<Kind>{Kind::UnreadablePhoto}
                                             << QList<Kind>{Kind::UnreadablePhoto};
        QTest::newRow("shared telephone")
            << "shared" << QList<Kind>{Kind::SharedPhone} << QList<Kind>{Kind::SharedPhone};
        QTest::newRow("leftovers")
            << "leftovers" << QList<Kind>(3, Kind::Leftover) << QList<Kind>{};
        QTest::newRow("broken index")
            << "index" << QList<Kind>(3, Kind::Integrity) << QList<Kind>(3, Kind::Integrity);
    }
    void checkFindsAndRepairMends()
    {
        QFETCH(QString, plant);
        QFETCH(QList<Kind>, found);
        QFETCH(QList<Kind>, left);
        fill();
        const QString zhang = photo(u"张三-111.jpg"_s);
        const auto point = [&](const QString& path) {
            QVERIFY(folder->open().run(u"UPDATE user SET zhaopian = ? WHERE dianhua = '111'"_s,
                                       {path}));
        };
        if (plant == "gone"_L1)
            QFile::remove(zhang);
        if (plant == "renamed"_L1 || plant == "taken"_L1)
            point(photo(u"张三-old.jpg"_s));
        if (plant == "taken"_L1)
            QVERIFY(folder->open().run(u"UPDATE user SET zhaopian = ? WHERE dianhua = '222'"_s,
                                       {zhang}));
        if (plant == "outside"_L1)
            point(folder->makeJpeg(u"elsewhere/张三-111.jpg"_s));
        if (plant == "orphan"_L1)
            folder->makeJpeg(photo(u"orphan.jpg"_s), {20, 20}, Qt::yellow);
        if (plant == "garbage"_L1)
            writeNonPicture(photo(u"李四-222.jpg"_s));
        if (plant == "shared"_L1)
            addMember(*folder, u"张三"_s, u"222"_s);
        if (plant == "leftovers"_L1) {
            writeNonPicture(photo(u".talvio-new-abc"_s));
            writeNonPicture(folder->path(u".talvio-save-abc"_s));
            QVERIFY(QDir().mkpath(backups() + u"/.talvio-snapshot-abc"_s));
        }
        if (plant == "index"_L1) {
            Database db = folder->open();
            QVERIFY(db.run(u"PRAGMA writable_schema = ON"_s));
            QVERIFY(db.run(u"UPDATE sqlite_master SET sql = replace(sql, '(dianhua)', '(qq)') "
                           "WHERE name = 'user_dianhua'"_s));
        }
        const QList<QStringList> rows = tableRows(*folder);
        QMultiMap<QByteArray, QString> photos; // what the repair may move but never lose
        for (const auto& [name, bytes] : treeOf(folder->path(u"照片"_s)).asKeyValueRange())
            if (!name.startsWith(PhotoFiles::kTemporaryPrefix))
                photos.insert(bytes, name);

        QCOMPARE(kindsOf(ConsistencyCheck::run(false).value()), kindsOf(found));
        const ConsistencyCheck::Report repaired = ConsistencyCheck::run(true).value();
        QCOMPARE(kindsOf(repaired), kindsOf(left));
        QCOMPARE(repaired.repairs.isEmpty(), found == left);
        QCOMPARE(kindsOf(ConsistencyCheck::run(false).value()), kindsOf(left));
        // Texts stay; a row is pointed only at its own conventional file.
        QList<QStringList> now = tableRows(*folder);
        QCOMPARE(now.size(), rows.size());
        for (qsizetype i = 0; i < rows.size(); ++i) {
            QCOMPARE(now[i].mid(0, 8), rows[i].mid(0, 8));
            if (now[i][8] != rows[i][8])
                QCOMPARE(now[i][8], zhang);
        }
        QMultiMap<QByteArray, QString> kept;
        for (const QString& place : {u"照片"_s, u"备份"_s})
            for (const auto& [name, bytes] : treeOf(folder->path(place)).asKeyValueRange())
                kept.insert(bytes, name);
        for (const QByteArray& bytes : photos.uniqueKeys())
            QCOMPARE(kept.count(bytes), photos.count(bytes));
    }

    void killedProgramLeavesNothingWrong()
    {
        fill(5);
        const QString picture = folder->makeJpeg(u"pick.jpg"_s, {80, 60}, Qt::blue);
        int operations = 0;
        for (int round = 0; round < 6; ++round) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(),
                        {u"--work-until-killed"_s, folder->root(), picture});
            QVERIFY(child.waitForReadyRead(10000));
            QTest::qWait(QRandomGenerator::global()->bounded(20, 300));
            ::kill(child.processId(), SIGKILL);
            QVERIFY(child.waitForFinished(10000));
            operations += child.readAllStandardOutput().count("op\n");

            QProcess start;
            start.start(QCoreApplication::applicationFilePath(), {u"--start"_s, folder->root()});
            QVERIFY(start.waitForFinished(30000));
            QCOMPARE(start.readAllStandardOutput(), QByteArray());
            const ConsistencyCheck::Report report = ConsistencyCheck::run(false).value();
            QCOMPARE(report.lines(), QStringList{u"未发现问题"_s});
        }
        QVERIFY(operations > 6);
    }

    void adminToolReportsAndRefuses()
    {
        fill();
        const auto admin = [&](const QStringList& arguments, QString* output = nullptr) {
            QProcess tool;
            tool.start(TALVIO_ADMIN, arguments);
            tool.waitForFinished(30000);
            if (output)
                *output =
                    QString::fromUtf8(tool.readAllStandardOutput() + tool.readAllStandardError());
            return tool.exitCode();
        };
        QString said;
        QCOMPARE(admin({u"backup"_s, folder->root()}), 0);
        QCOMPARE(admin({u"snapshots"_s, folder->root()}, &said), 0);
        QVERIFY2(said.contains(u"\t手动\t会员 3\t照片 3\t"_s), qPrintable(said));
        QCOMPARE(admin({u"restore"_s, folder->root(), u"nope"_s}, &said), 1);
        QVERIFY2(said.startsWith(u"恢复失败，未作改动："_s), qPrintable(said));
        folder->makeJpeg(photo(u"orphan.jpg"_s));
        QCOMPARE(admin({u"check"_s, folder->root()}, &said), 1);
        QVERIFY2(said.contains(u"orphan.jpg 不属于任何会员"_s), qPrintable(said));
        QCOMPARE(admin({u"check"_s, folder->root(), u"--repair"_s}, &said), 0);
        QVERIFY2(said.endsWith(u"未发现问题\n"_s), qPrintable(said));
        QCOMPARE(admin({u"check"_s, folder->path(u"nowhere"_s)}, &said), 1);
        QVERIFY2(said.contains(u"不存在"_s), qPrintable(said));
    }
};

int main(int argc, char* argv[])
{
    if (argc == 4 && qstrcmp(argv[1], "--work-until-killed") == 0) {
        QCoreApplication app(argc, argv);
        return workUntilKilled(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    if (argc == 3 && qstrcmp(argv[1], "--start") == 0) {
        QApplication app(argc, argv);
        return startUp(QString::fromLocal8Bit(argv[2]));
    }
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestSnapshots test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_snapshots.moc"
