// Moving in from the older register: the import of its folder (hd.mdb made by the writer of older
// register files, photos made with QImage) and the admin tool's import-legacy command.

#include "Accounts.h"
#include "AdminTool.h"
#include "Database.h"
#include "FileChecks.h"
#include "LegacyImport.h"
#include "PasswordHash.h"
#include "RecordFixture.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;
using Progress = LegacyImport::Progress;

namespace {

const QStringList kTextColumns = {u"xingming"_s, u"xingbie"_s,  u"nianling"_s, u"dianhua"_s,
                                  u"qq"_s,       u"youxiang"_s, u"dizhi"_s,    u"zhaopian"_s};
constexpr qsizetype kPageSize = 4096;

// An older folder and the target beside it. Member i (in id order) has its photo under the name
// that zhaopian gives when i % 4 is 0 or 2, under that name in capitals when it is 1, and none
// when it is 3. Two more files are named by no member; one of them differs from member 0's own
// file only in letter case, so only an exact match finds the right one.
struct Fixture
{
    QTemporaryDir root;
    QString source = root.filePath(u"旧会员管理"_s);
    QString target = root.filePath(u"新会员管理"_s);
    QString mdb = source + u"/hd.mdb"_s;
    QJsonArray members, operators;
    QMap<QString, QString> photoFiles; // file name zhaopian gives -> the older file made for it
    qint64 missing = 0;
};

QString photoName(const QJsonValue& zhaopian)
{
    return zhaopian.toString().section(u'\\', -1);
}

void writeJpeg(const QString& path, int hue)
{
    QImage image(12, 8, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(hue % 360, 200, 220));
    QVERIFY2(image.save(path, "JPEG"), qPrintable(path));
}

QStringList sortedEntries(const QString& folder, QDir::Filters filter)
{
    QStringList names = QDir(folder).entryList(filter | QDir::NoDotAndDotDot | QDir::Hidden);
    names.sort();
    return names;
}

QString nativeTarget(const Fixture& f, const QString& relative)
{
    return QDir::toNativeSeparators(f.target + u'/' + relative);
}

} // namespace

class tst_import : public QObject
{
    Q_OBJECT

    QTemporaryDir tools;
    QString writer = tools.filePath(u"make_legacy_mdb.py"_s);

    // The older folder from the writer and its sidecar; "1.jpg" or "1.JPG" as the default photo.
    void makeSource(Fixture& f, const QStringList& writerArgs, const QString& defaultPhoto = {})
    {
        QVERIFY(QDir().mkpath(f.source + u"/照片"_s) && QDir().mkpath(f.source + u"/模版照片"_s));
        QProcess python;
        python.start(u"python3"_s, QStringList{writer, f.mdb} + writerArgs);
        QVERIFY2(python.waitForFinished(60000) && python.exitCode() == 0,
                 python.readAllStandardError().constData());
        const QJsonObject tables = QJsonDocument::fromJson(RecordTests::bytesOf(f.mdb + u".json"_s))
                                       .object()["tables"]
                                       .toObject();
        f.members = tables["user"].toObject()["rows"].toArray();
        f.operators = tables["admin"].toObject()["rows"].toArray();
        for (qsizetype i = 0; i < f.members.size(); ++i) {
            const QString name = photoName(f.members[i].toObject()["zhaopian"]);
            if (name.isEmpty() || i % 4 == 3) {
                ++f.missing;
                continue;
            }
            f.photoFiles[name] = f.source + u"/照片/"_s + (i % 4 == 1 ? name.toUpper() : name);
            writeJpeg(f.photoFiles[name], int(i) * 7);
        }
        writeJpeg(f.source + u"/照片/张三-13800000001.JPG"_s, 359);
        writeJpeg(f.source + u"/照片/无人使用-1.jpg"_s, 358);
        if (!defaultPhoto.isEmpty())
            writeJpeg(f.source + u"/模版照片/"_s + defaultPhoto, 357);
    }

    static QStringList sharedTelephones(const QList<LegacyImport::SharedTelephone>& shared)
    {
        QStringList out;
        for (const LegacyImport::SharedTelephone& s : shared) {
            QStringList ids;
            for (qint64 id : s.ids)
                ids << QString::number(id);
            out << s.telephone + u':' + ids.join(u',');
        }
        return out;
    }

    // What the store should list: telephones held by more than one member, first holder first.
    static QStringList expectedShared(const QJsonArray& members)
    {
        QMap<QString, QList<qint64>> holders;
        for (const QJsonValue& m : members)
            if (!m["dianhua"].toString().isEmpty())
                holders[m["dianhua"].toString()] << m["id"].toInteger();
        QMap<qint64, LegacyImport::SharedTelephone> byFirst;
        for (auto it = holders.cbegin(); it != holders.cend(); ++it)
            if (it.value().size() > 1)
                byFirst.insert(it.value().first(), {it.key(), it.value()});
        return sharedTelephones(byFirst.values());
    }

private slots:
    void initTestCase()
    {
        // From the program's resources, so that a copy of the program run elsewhere has it.
        QVERIFY(QFile::copy(u":/make_legacy_mdb.py"_s, writer));
    }

    void everyRowOperatorAndPhotoArrives_data()
    {
        // Columns: writerArgs, defaultPhoto, targetHasEmptyFolders
        dataColumns<QStringList, QString, bool>();
        QTest::newRow("compressed text, an extra column, odd operators, default 1.JPG")
            << QStringList{"--members",      "40",          "--variant",       "5",
                           "--extra-column", "user.beizhu", "--more-operators"}
            << u"1.JPG"_s << false;
        QTest::newRow("plain text, shared telephones, empty photo folders, no default photo")
            << QStringList{"--members", "30", "--compression", "off", "--shared-phones", "3"}
            << QString() << true;
    }
    void everyRowOperatorAndPhotoArrives()
    {
        const auto [writerArgs, defaultPhoto, targetHasEmptyFolders] =
            dataRow<QStringList, QString, bool>();
        Fixture f;
        makeSource(f, writerArgs, defaultPhoto);
        if (QTest::currentTestFailed())
            return;
        if (targetHasEmptyFolders) // as a program folder that was started once without a store
            QVERIFY(QDir().mkpath(f.target + u"/照片"_s) &&
                    QDir().mkpath(f.target + u"/模版照片"_s));
        // left by an import that was killed
        QVERIFY(QDir().mkpath(f.target + u"/.talvio-import-AbC123/照片"_s));
        const Snapshot source = snapshot(f.source);

        QList<Progress> seen;
        const Result<LegacyImport::Report> report =
            LegacyImport::run(f.source, f.target, [&seen](const Progress& p) { seen << p; });
        QVERIFY2(report.ok(), qPrintable(report.error()));
        QCOMPARE(snapshot(f.source), source);
        QCOMPARE(report->operators, qint64(f.operators.size()));
        QCOMPARE(report->members, qint64(f.members.size()));
        QCOMPARE(report->photosCopied, qint64(f.photoFiles.size()));
        QCOMPARE(report->photosMissing, f.missing);
        QCOMPARE(report->unnamedPhotos, qint64(2));
        QCOMPARE(report->defaultPhotoCopied, !defaultPhoto.isEmpty());
        QCOMPARE(sharedTelephones(report->sharedTelephones), expectedShared(f.members));
        QVERIFY(std::any_of(seen.cbegin(), seen.cend(), [&](const Progress& p) {
            return p.step == Progress::Step::Members && p.done == f.members.size() &&
                   p.total == f.members.size();
        }));

        QCOMPARE(sortedEntries(f.target, QDir::AllEntries),
                 QStringList({u"hd.db"_s, u"模版照片"_s, u"照片"_s}));
        QCOMPARE(sortedEntries(f.target + u"/照片"_s, QDir::AllEntries),
                 QStringList(f.photoFiles.keys()));
        for (auto it = f.photoFiles.cbegin(); it != f.photoFiles.cend(); ++it)
            QVERIFY2(RecordTests::bytesOf(f.target + u"/照片/"_s + it.key()) ==
                         RecordTests::bytesOf(it.value()),
                     qPrintable(it.key()));
        QCOMPARE(RecordTests::bytesOf(f.target + u"/模版照片/1.jpg"_s),
                 RecordTests::bytesOf(f.source + u"/模版照片/"_s + defaultPhoto));

        Result<Database> db = Database::open(f.target + u"/hd.db"_s);
        QVERIFY2(db.ok(), qPrintable(db.error()));
        Result<QSqlQuery> rows =
            db->run(u"SELECT id, "_s + kTextColumns.join(u", "_s) + u" FROM user ORDER BY id"_s);
        QVERIFY(rows.ok());
        for (const QJsonValue& member : f.members) {
            QVERIFY(rows->next());
            QCOMPARE(rows->value(0).toLongLong(), member["id"].toInteger());
            for (int c = 0; c < kTextColumns.size(); ++c) {
                const QString column = kTextColumns[c];
                const QString name = photoName(member[column]);
                const QString expected = column != u"zhaopian"_s
                                             ? member[column].toString() // null as empty text
                                         : name.isEmpty() ? QString()
                                                          : nativeTarget(f, u"照片/"_s + name);
                QVERIFY2(!rows->value(c + 1).isNull(), qPrintable(column));
                QCOMPARE(rows->value(c + 1).toString(), expected);
            }
        }
        QVERIFY(!rows->next());
        rows = db->run(u"INSERT INTO user (xingming) VALUES ('新会员')"_s);
        QVERIFY(rows.ok());
        QVERIFY(rows->lastInsertId().toLongLong() > f.members.last()["id"].toInteger());

        rows = db->run(u"SELECT user, pasword FROM admin ORDER BY rowid"_s);
        QVERIFY(rows.ok());
        for (const QJsonValue& op : f.operators) {
            QVERIFY(rows->next());
            QCOMPARE(rows->value(0).toString(), op["user"].toString());
            QVERIFY(PasswordHash::isHash(rows->value(1).toString()));
            const QString name = op["user"].toString(), password = op["pasword"].toString();
            QCOMPARE(Accounts::verify(db.value(), name, password.trimmed()).value(),
                     Accounts::Verdict::Match);
            QCOMPARE(Accounts::verify(db.value(), name, password + u'x').value(),
                     Accounts::Verdict::WrongPassword);
        }
        QVERIFY(!rows->next());
    }

    // The photo folder case runs again unprivileged, where the permission really refuses.
    void badInputChangesNothing_data()
    {
        // Columns: writerArgs, damage, says (%1 is `named`, below the temporary folder), named
        dataColumns<QStringList, QString, QString, QString>();
        const QString m = u"旧会员管理/hd.mdb"_s;
        const QString cut = u"文件 %1 不完整或已损坏（可能被截断）"_s;
        QTest::newRow("no hd.mdb")
            << QStringList() << "no file" << u"文件夹 %1 中没有 hd.mdb"_s << u"旧会员管理"_s;
        QTest::newRow("not a Jet file")
            << QStringList() << "junk" << u"文件 %1 不是 Access（Jet）数据库"_s << m;
        QTest::newRow("cut inside a page") << QStringList() << "cut mid-page" << cut << m;
        QTest::newRow("cut after the member pages began")
            << QStringList() << "cut at half" << cut << m;
        QTest::newRow("cut before the catalog's rows")
            << QStringList() << "cut at 8 pages" << cut << m;
        QTest::newRow("password") << QStringList{"--password", "secret"} << ""
                                  << u"文件 %1 设有数据库密码，请先在 Access 中撤销密码再导入"_s
                                  << m;
        QTest::newRow("no table user")
            << QStringList{"--without", "user"} << "" << u"文件 %1 中没有数据表 user"_s << m;
        QTest::newRow("no table admin")
            << QStringList{"--without", "admin"} << "" << u"文件 %1 中没有数据表 admin"_s << m;
        QTest::newRow("no column dizhi") << QStringList{"--without", "user.dizhi"} << ""
                                         << u"文件 %1 的数据表 user 中缺少列 dizhi"_s << m;
        QTest::newRow("no column pasword") << QStringList{"--without", "admin.pasword"} << ""
                                           << u"文件 %1 的数据表 admin 中缺少列 pasword"_s << m;
        QTest::newRow("photo folder unreadable")
            << QStringList() << "unreadable photos" << u"无法读取文件夹 %1："_s
            << u"旧会员管理/照片"_s;
        QTest::newRow("target holds a store")
            << QStringList() << "target store" << u"文件夹 %1 中已有数据库 hd.db"_s
            << u"新会员管理"_s;
        QTest::newRow("target photo folder in use")
            << QStringList() << "target photo" << u"文件夹 %1 不是空的"_s << u"新会员管理/照片"_s;
        QTest::newRow("cancelled among the members")
            << QStringList() << "cancel" << u"导入已取消"_s << QString();
    }
    void badInputChangesNothing()
    {
        const auto [writerArgs, damage, says, named] =
            dataRow<QStringList, QString, QString, QString>();
        Fixture f;
        makeSource(f, QStringList{"--members", "300"} + writerArgs);
        if (QTest::currentTestFailed())
            return;
        QByteArray bytes = RecordTests::bytesOf(f.mdb);
        if (damage == "junk" || damage.startsWith("cut")) {
            const qsizetype pages = bytes.size() / kPageSize;
            bytes = damage == "junk"           ? randomBytes(bytes.size())
                    : damage == "cut mid-page" ? bytes.left(bytes.size() * 2 / 3 + 100)
                    : damage == "cut at half"  ? bytes.left(pages / 2 * kPageSize)
                                               : bytes.left(8 * kPageSize);
            writeFile(f.mdb, bytes);
        }
        if (damage == "no file")
            QVERIFY(QFile::remove(f.mdb));
        if (damage.startsWith("target")) {
            QVERIFY(QDir().mkpath(f.target + u"/照片"_s));
            writeFile(f.target + (damage == "target store" ? u"/hd.db"_s : u"/照片/x.jpg"_s), "x");
        }
        const QString photos = f.source + u"/照片"_s;
        const auto restore = qScopeGuard([&] {
            QFile::setPermissions(photos, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        if (damage == "unreadable photos") {
            QVERIFY(QFile::setPermissions(photos, QFile::WriteOwner | QFile::ExeOwner));
            if (!QDir(photos).entryList(QDir::Files).isEmpty())
                QSKIP("permissions do not bind this user");
        }
        const Snapshot before = snapshot(f.root.path());

        std::atomic<bool> cancel{false};
        const Result<LegacyImport::Report> report = LegacyImport::run(
            f.source, f.target,
            [&](const Progress& p) {
                if (damage == "cancel" && p.step == Progress::Step::Members && p.done >= 64)
                    cancel = true;
            },
            &cancel);
        QVERIFY(!report.ok());
        const QString expected = withPath(says, f.root.filePath(named));
        QVERIFY2(report.error().startsWith(expected) && report.error().endsWith(u"，未作改动"_s),
                 qPrintable(report.error()));
        QCOMPARE(snapshot(f.root.path()), before);
    }

    void adminToolSaysWhatHappened_data()
    {
        QTest::addColumn<bool>("targetHasStore");
        QTest::newRow("imported") << false;
        QTest::newRow("refused") << true;
    }
    void adminToolSaysWhatHappened()
    {
        QFETCH(bool, targetHasStore);
        Fixture f;
        makeSource(f, {"--members", "6"}, u"1.jpg"_s);
        if (QTest::currentTestFailed())
            return;
        if (targetHasStore) {
            QVERIFY(QDir().mkpath(f.target));
            writeFile(f.target + u"/hd.db"_s, "x");
        }
        runAdmin({u"import-legacy"_s, f.source, f.target}, targetHasStore ? 1 : 0,
                 targetHasStore ? withPath(u"文件夹 %1 中已有数据库 hd.db，未作改动\n"_s, f.target)
                                : u"导入完成\n操作员：4 个\n会员：6 个\n照片已复制：4 个\n"
                                  u"照片缺失：2 个（会员窗口显示这些会员时用默认照片修复）\n"
                                  u"旧“照片”文件夹中没有会员使用的照片：2 个（未复制）\n"
                                  u"默认照片：已复制\n多名会员共用的电话号码：0 个\n"_s);
    }
};

QTEST_GUILESS_MAIN(tst_import)
#include "tst_import.moc"
