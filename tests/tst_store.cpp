// The store on its own: opening and refusing files, engine failures in Chinese, waiting for a
// lock, accounts, password hashes, the program folder's paths, photo files and staged photos.

#include "Accounts.h"
#include "Database.h"
#include "FileChecks.h"
#include "PasswordHash.h"
#include "PhotoFiles.h"
#include "ProgramFolder.h"
#include "RecordFixture.h"
#include "StagedPhoto.h"
#include "TestFolder.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QSqlQuery>

#include <optional>

Q_DECLARE_METATYPE(Accounts::Verdict)
using V = Accounts::Verdict;

class tst_store : public QObject
{
    Q_OBJECT

    std::optional<TestFolder> dir; // a fresh one for each test; the store, if any, is hd.db
    QString file;
    QString path(const QString& name) const { return dir->path(name); }
    Database create() const { return std::move(Database::create(file)).value(); }

private slots:
    void init() { file = dir.emplace().path(QStringLiteral("hd.db")); }

    void refusalsNameTheFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("says");
        const QString notADb = QStringLiteral("数据库 %1 操作失败：文件不是数据库");
        QTest::newRow("missing") << "missing" << QStringLiteral("找不到数据库文件 %1");
        QTest::newRow("junk bytes") << "junk" << notADb;
        QTest::newRow("admin only")
            << "admin" << QStringLiteral("数据库文件 %1 中缺少数据表 admin 或 user");
        QTest::newRow("folder of that name") << "folder" << QStringLiteral("%1 不是数据库文件");
        QTest::newRow("create over a file")
            << "create" << QStringLiteral("数据库文件 %1 已经存在，未作改动");
    }
    void refusalsNameTheFile()
    {
        QFETCH(QString, kind);
        QFETCH(QString, says);
        if (kind == "junk" || kind == "create")
            writeFile(file, kind == "junk" ? randomBytes(8192) : QByteArray());
        if (kind == "folder")
            QVERIFY(QDir(dir->root()).mkdir(QStringLiteral("hd.db")));
        if (kind == "admin") { // written by another program, its own journal
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "foreign");
            db.setDatabaseName(file);
            QVERIFY(db.open() && QSqlQuery(db).exec("CREATE TABLE " + kind + " (x TEXT)"));
        }
        QSqlDatabase::removeDatabase("foreign");
        const Snapshot before = snapshot(dir->root());
        const QStringList connections = QSqlDatabase::connectionNames();
        Result<Database> db = kind == "create" ? Database::create(file) : Database::open(file);
        QCOMPARE(db.error(), withPath(says, file));
        QCOMPARE(snapshot(dir->root()), before);
        QCOMPARE(QSqlDatabase::connectionNames(), connections);
    }

    void lockedStoreWaitsThenSaysSoInChinese()
    {
        Database holder = create();
        Result<Database> db = Database::open(file);
        int notices = 0;
        Database::setWaitNotice([&notices] { ++notices; });
        Database::setLockWait(200);
        const auto restore = qScopeGuard([] { Database::setWaitNotice({}); });
        QVERIFY(holder.run(QStringLiteral("BEGIN EXCLUSIVE")));
        const QString insert = QStringLiteral("INSERT INTO user (xingming) VALUES ('x')");
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(db->run(insert).error(),
                 withPath("数据库 %1 操作失败：数据库正被其他程序使用，请稍后再试", file));
        QVERIFY(timer.elapsed() >= 180 && timer.elapsed() < 1500);
        QCOMPARE(notices, 1);
        QVERIFY(holder.run(QStringLiteral("ROLLBACK")) && db->run(insert));
        // An engine failure without words of its own keeps the engine's.
        QVERIFY(db->run(QStringLiteral("DROP TABLE admin")));
        QCOMPARE(Accounts::verify(db.value(), "admin", "x").error(),
                 withPath("数据库 %1 操作失败：数据库错误：no such table: admin", file));
    }

    void verifyAnswers_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<Accounts::Verdict>("expected");
        const struct
        {
            const char *tag, *name, *password;
            V expected;
        } rows[] = {
            {"name in other case", "ADMIN", "123456", V::Match},
            {"password in other case", "mixed", "SECRET", V::WrongPassword},
            {"empty password", "admin", "", V::WrongPassword},
            {"no such name", "nobody", "123456", V::NoSuchUser},
            {"legacy plain text", "legacy", "old pw", V::Match},
            {"legacy other case", "legacy", "OLD PW", V::WrongPassword},
            {"legacy empty", "blank", "", V::Match},
            {"quotes in name and password", "O'Brien; --", "it's", V::Match},
            {"first of two rows", "twice", "first", V::Match},
            {"second of two rows", "twice", "second", V::WrongPassword},
            {"blanks around the password", "admin", " 123456  ", V::Match},
            {"changed password", "changed", "密码 it's new", V::Match},
            {"password before the change", "changed", "old", V::WrongPassword},
            {"damaged hash, not even its own text", "damaged", "$argon2id$v=19$x",
             V::WrongPassword},
        };
        for (const auto& row : rows)
            QTest::newRow(row.tag) << QString(row.name) << QString(row.password) << row.expected;
    }
    void verifyAnswers()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(Accounts::Verdict, expected);
        static QTemporaryDir accounts; // one store for every row: hashing is slow on purpose
        if (!QFile::exists(file = accounts.filePath(QStringLiteral("hd.db")))) {
            Database db = create();
            QVERIFY(Accounts::add(db, "admin", "123456") && Accounts::add(db, "mixed", "Secret"));
            QVERIFY(db.run(
                "INSERT INTO admin VALUES ('legacy', '  old pw  '), ('blank', NULL), "
                "('twice', 'first'), ('O''Brien; --', 'it''s'), ('damaged', '$argon2id$v=19$x')"));
            QVERIFY(Accounts::add(db, "twice", "second") && Accounts::add(db, "changed", "old"));
            QCOMPARE(Accounts::changePassword(db, "ghost", "n").value(), qint64(0));
            QCOMPARE(Accounts::changePassword(db, "CHANGED", " 密码 it's new ").value(), qint64(1));
            Result<QSqlQuery> q = db.run("SELECT count(*) FROM admin WHERE pasword LIKE "
                                         "'$argon2id$%' AND pasword NOT LIKE '%new%'");
            QVERIFY(q && q->next() && q->value(0).toInt() == 5);
            QVERIFY(PasswordHash::hash("pw").value() != PasswordHash::hash("pw").value()); // salted
        }
        Result<V> verdict = Accounts::verify(Database::open(file).value(), name, password);
        QVERIFY2(verdict, qPrintable(verdict.error()));
        QCOMPARE(verdict.value(), expected);
    }

    void programFolderPaths()
    {
        ProgramFolder::setRoot(dir->root() + QStringLiteral("/sub/../")); // tidied away
        const QString root = shownPath(dir->root() + '/');
        QCOMPARE(ProgramFolder::root() + QDir::separator(), root);
        QCOMPARE(ProgramFolder::databaseFile(), root + "hd.db");
        QCOMPARE(ProgramFolder::photoFolder(), root + "照片");
        QCOMPARE(ProgramFolder::defaultPhoto(), shownPath(root + "模版照片/1.jpg"));
        // Characters that would leave the folder or are not allowed in file names become '_'.
        QCOMPARE(PhotoFiles::memberPhotoPath("a/b\\c", "1:2"),
                 shownPath(root + "照片/a_b_c-1_2.jpg"));
        QCOMPARE(PhotoFiles::memberPhotoPath("..", "*?\"<>|\t"),
                 shownPath(root + "照片/__-_______.jpg"));
    }

    void photoFilesRefuseAndLeaveNoTrace_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QByteArray>(
            "content");                      // of the source: none if null; "jpeg", "big", "half"
        QTest::addColumn<QString>("folder"); // the target's
        QTest::addColumn<QString>("says");   // %1 is the source, the target or its folder
        QTest::addColumn<QString>("named");
        const char* unreadable = "文件 %1 不是可读取的图片";
        const struct
        {
            const char *tag, *op, *content, *folder, *says, *named;
        } rows[] = {
            {"copy replaces", "copy", "big", "照片", "", ""},
            {"copy, missing source", "copy", nullptr, "照片", "无法读取文件 %1：", "source"},
            {"copy, read-only folder", "copy", "big", "read-only", "无法写入文件 %1：", "target"},
            {"copy, missing folder", "copy", "big", "gone", "无法写入文件 %1：", "target"},
            {"stage text", "stage", "not a picture", "照片", unreadable, "source"},
            {"stage empty file", "stage", "", "照片", unreadable, "source"},
            {"stage missing file", "stage", nullptr, "照片", "找不到照片文件 %1", "source"},
            {"stage, read-only folder", "stage", "jpeg", "read-only",
             "无法在文件夹 %1 中写入文件：", "folder"},
            {"read text named .jpg", "read", "姓名,电话\r\n张三,123\r\n", "照片",
             "照片文件 %1 不是可读取的图片：", "source"},
            {"read truncated jpeg", "read", "half", "照片", "照片文件 %1 不完整或已损坏", "source"},
            {"read missing file", "read", nullptr, "照片", "找不到照片文件 %1", "source"},
            {"read empty path", "read", nullptr, "照片", "没有照片文件", "nothing"},
        };
        for (const auto& row : rows)
            QTest::newRow(row.tag)
                << QString(row.op) << QByteArray(row.content) << QString(row.folder)
                << QString(row.says) << QString(row.named);
    }
    void photoFilesRefuseAndLeaveNoTrace()
    {
        QFETCH(QString, op);
        QFETCH(QByteArray, content);
        QFETCH(QString, folder);
        QFETCH(QString, says);
        QFETCH(QString, named);
        const QString source = named == "nothing" ? QString() : path(QStringLiteral("源.jpg"));
        const QString target = path(folder == "gone" ? "gone/目标.jpg" : "照片/目标.jpg");
        QVERIFY(QDir().mkpath(path(QStringLiteral("照片"))));
        writeFile(path(QStringLiteral("照片/目标.jpg")), "the photo that stood there");
        if (content == "jpeg" || content == "half")
            writeFile(
                source,
                readFile(dir->makeJpeg(source, {320, 240})).chopped(content == "half" ? 600 : 0));
        else if (content == "big") // more than one read chunk, so the copy has to loop
            writeFile(source, randomBytes(3 * 1024 * 1024 + 17));
        else if (!content.isNull())
            writeFile(source, content);
        Snapshot expected = snapshot(dir->root());
        if (says.isEmpty())
            expected["照片/目标.jpg"] = expected["源.jpg"];
        RecordTests::ReadOnlyFolder readOnly(path(folder == "read-only" ? "照片" : "none"));
        if (folder == "read-only" && !readOnly.effective())
            QSKIP("permission bits are not enforced for this user");
        const QString error = op == "stage"  ? StagedPhoto::stage(source, target).error()
                              : op == "copy" ? PhotoFiles::copyAtomically(source, target).error()
                                             : PhotoFiles::readPicture(source).error();
        const QString file = named == "source" ? source : named == "target" ? target : path("照片");
        QVERIFY2(says.isEmpty() ? error.isEmpty() : error.startsWith(withPath(says, file)),
                 qPrintable(error));
        QCOMPARE(snapshot(dir->root()), expected);
    }

    void readPictureAppliesExifOrientation()
    {
        // A landscape picture whose EXIF says "turn 90 degrees clockwise".
        const QString file = path(QStringLiteral("phone.jpg"));
        const QByteArray exif = QByteArray::fromHex(
            "ffe100224578696600004d4d002a00000008000101120003000000010006000000000000");
        writeFile(file, readFile(dir->makeJpeg(file, {80, 40})).insert(2, exif));
        Result<QImage> picture = PhotoFiles::readPicture(file);
        QVERIFY2(picture, qPrintable(picture.error()));
        QCOMPARE(picture->size(), QSize(40, 80));
    }
};

QTEST_GUILESS_MAIN(tst_store)
#include "tst_store.moc"
