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

#include <QElapsedTimer>
#include <QImage>
#include <QScopeGuard>
#include <QSqlQuery>

#include <optional>

Q_DECLARE_METATYPE(Accounts::Verdict)
using V = Accounts::Verdict;

class tst_store : public QObject
{
    Q_OBJECT

    std::optional<QTemporaryDir> dir; // a fresh one for each test; the store, if any, is hd.db
    QString file;
    QString path(const QString& name) const { return dir->filePath(name); }
    Database create() const { return std::move(Database::create(file)).value(); }
    // A picture red on the left half, blue on the right; returns its bytes.
    static QByteArray writeJpeg(const QString& path, QSize size)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::red);
        for (int y = 0; y < size.height(); ++y)
            for (int x = size.width() / 2; x < size.width(); ++x)
                image.setPixelColor(x, y, Qt::blue);
        image.save(path, "JPEG", 95);
        return readFile(path);
    }

private slots:
    void init() { file = dir.emplace().filePath(QStringLiteral("hd.db")); }

    void refusalsNameTheFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("says");
        const QString noTables = QStringLiteral("数据库文件 %1 中缺少数据表 admin 或 user");
        const QString notADb = QStringLiteral("数据库 %1 操作失败：文件不是数据库");
        QTest::newRow("missing") << "missing" << QStringLiteral("找不到数据库文件 %1");
        QTest::newRow("junk bytes") << "junk" << notADb;
        QTest::newRow("short text") << "text" << notADb;
        QTest::newRow("empty file") << "empty" << noTables;
        QTest::newRow("other tables") << "other" << noTables;
        QTest::newRow("admin only") << "admin" << noTables;
        QTest::newRow("folder of that name") << "folder" << QStringLiteral("%1 不是数据库文件");
        QTest::newRow("create over a file")
            << "create" << QStringLiteral("数据库文件 %1 已经存在，未作改动");
    }
    void refusalsNameTheFile()
    {
        QFETCH(QString, kind);
        QFETCH(QString, says);
        if (kind == "junk" || kind == "text" || kind == "empty" || kind == "create")
            writeFile(file, kind == "junk" ? randomBytes(8192)
                                           : QByteArray(kind == "text" ? "no db\r\n" : ""));
        if (kind == "folder")
            QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("hd.db")));
        if (kind == "other" || kind == "admin") { // written by another program, its own journal
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "foreign");
            db.setDatabaseName(file);
            QVERIFY(db.open() && QSqlQuery(db).exec("CREATE TABLE " + kind + " (x TEXT)"));
            db.close();
        }
        QSqlDatabase::removeDatabase("foreign");
        const Snapshot before = snapshot(dir->path());
        const QStringList connections = QSqlDatabase::connectionNames();
        Result<Database> db = kind == "create" ? Database::create(file) : Database::open(file);
        QCOMPARE(db.error(), withPath(says, file));
        QCOMPARE(snapshot(dir->path()), before);
        QCOMPARE(QSqlDatabase::connectionNames(), connections);
    }

    void lockedStoreWaitsThenSaysSoInChinese()
    {
        create();
        const QStringList before = QSqlDatabase::connectionNames();
        {
            Database holder = Database::open(file).value(); // moved, it keeps its connection
            Result<Database> db = Database::open(file);
            QCOMPARE(QSqlDatabase::connectionNames().size(), before.size() + 2);
            int notices = 0;
            Database::setWaitNotice([&notices] { ++notices; });
            Database::setLockWait(200);
            const auto restore =
                qScopeGuard([] { Database::setWaitNotice({}), Database::setLockWait(2000); });
            QVERIFY(holder.run(QStringLiteral("BEGIN EXCLUSIVE")));
            const QString insert = QStringLiteral("INSERT INTO user (xingming) VALUES ('x')");
            QElapsedTimer timer;
            timer.start();
            QCOMPARE(db->run(insert).error(),
                     withPath("数据库 %1 操作失败：数据库正被其他程序使用，请稍后再试", file));
            QVERIFY2(timer.elapsed() >= 180 && timer.elapsed() < 1500,
                     qPrintable(QString::number(timer.elapsed())));
            QCOMPARE(notices, 1);
            QVERIFY(holder.run(QStringLiteral("ROLLBACK")) && db->run(insert));
            // An engine failure without words of its own keeps the engine's.
            QVERIFY(db->run(QStringLiteral("DROP TABLE admin")));
            QCOMPARE(Accounts::verify(db.value(), "admin", "x").error(),
                     withPath("数据库 %1 操作失败：数据库错误：no such table: admin", file));
        }
        QCOMPARE(QSqlDatabase::connectionNames(), before);
    }

    void quotesAndPathCharactersRoundTrip()
    {
        Database db = create();
        for (const QString value : {"O'Brien", "\"引号\"", "100%_", "x'); DROP TABLE user; --",
                                    "C:\\照片\\a\\\\b", "  北京市 海淀区  "}) {
            QVERIFY(db.run(QStringLiteral("INSERT INTO user (xingming, dizhi) VALUES (?, ?)"),
                           {value, value}));
            Result<QSqlQuery> q =
                db.run(QStringLiteral("SELECT xingming FROM user WHERE dizhi = ?"), {value});
            QVERIFY(q && q->next() && q->value(0).toString() == value && !q->next());
            QVERIFY(Accounts::add(db, value, QStringLiteral("pw")));
            QCOMPARE(Accounts::verify(db, value, QStringLiteral("pw")).value(), V::Match);
        }
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
            {"match", "admin", "123456", V::Match},
            {"name in other case", "ADMIN", "123456", V::Match},
            {"wrong password", "admin", "123457", V::WrongPassword},
            {"password in other case", "mixed", "SECRET", V::WrongPassword},
            {"empty password", "admin", "", V::WrongPassword},
            {"no such name", "nobody", "123456", V::NoSuchUser},
            {"empty name", "", "", V::NoSuchUser},
            {"legacy plain text", "legacy", "old pw", V::Match},
            {"legacy other case", "legacy", "OLD PW", V::WrongPassword},
            {"legacy empty", "blank", "", V::Match},
            {"quotes in name and password", "O'Brien; --", "it's", V::Match},
            {"first of two rows", "twice", "first", V::Match},
            {"second of two rows", "twice", "second", V::WrongPassword},
            {"blanks around the password", "admin", " 123456  ", V::Match},
            {"changed password", "changed", "密码 it's new", V::Match},
            {"changed password in other case", "changed", "密码 IT'S NEW", V::WrongPassword},
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
            const QString plain = QStringLiteral("INSERT INTO admin (user, pasword) VALUES (?, ?)");
            QVERIFY(Accounts::add(db, "admin", "123456") && Accounts::add(db, "mixed", "Secret"));
            QVERIFY(db.run(plain, {"legacy", "  old pw  "}) &&
                    db.run(plain, {"blank", QVariant()}));
            QVERIFY(db.run(plain, {"twice", "first"}) && db.run(plain, {"O'Brien; --", "it's"}));
            QVERIFY(db.run(plain, {"damaged", "$argon2id$v=19$x"}) &&
                    Accounts::add(db, "twice", "second"));
            QVERIFY(Accounts::add(db, "changed", "old"));
            QCOMPARE(Accounts::changePassword(db, "ghost", "n").value(), qint64(0));
            QCOMPARE(Accounts::changePassword(db, "CHANGED", " 密码 it's new ").value(), qint64(1));
            for (Result<QSqlQuery> q = db.run("SELECT pasword FROM admin WHERE rowid IN (1, 8, 9)");
                 q->next();)
                QVERIFY(PasswordHash::isHash(q->value(0).toString()) &&
                        !q->value(0).toString().contains("new"));
            QVERIFY(PasswordHash::hash("pw").value() != PasswordHash::hash("pw").value()); // salted
        }
        Result<V> verdict = Accounts::verify(Database::open(file).value(), name, password);
        QVERIFY2(verdict, qPrintable(verdict.error()));
        QCOMPARE(verdict.value(), expected);
    }

    void programFolderPaths()
    {
        const QString startedIn = QDir::currentPath();
        const auto restore = qScopeGuard([startedIn] { QDir::setCurrent(startedIn); });
        ProgramFolder::setRoot(dir->path() + QStringLiteral("/sub/../")); // tidied away
        const QString root = shownPath(dir->path() + '/');
        QCOMPARE(ProgramFolder::root() + QDir::separator(), root);
        QCOMPARE(ProgramFolder::databaseFile(), root + "hd.db");
        QCOMPARE(ProgramFolder::photoFolder(), root + "照片");
        QCOMPARE(ProgramFolder::templateFolder(), root + "模版照片");
        QCOMPARE(ProgramFolder::defaultPhoto(), shownPath(root + "模版照片/1.jpg"));
        // Characters that would leave the folder or are not allowed in file names become '_'.
        QCOMPARE(PhotoFiles::memberPhotoPath("张三", "123"), shownPath(root + "照片/张三-123.jpg"));
        QCOMPARE(PhotoFiles::memberPhotoPath("a/b\\c", "1:2"),
                 shownPath(root + "照片/a_b_c-1_2.jpg"));
        QCOMPARE(PhotoFiles::memberPhotoPath("..", "*?\"<>|\t"),
                 shownPath(root + "照片/__-_______.jpg"));
        QVERIFY(QDir::setCurrent(dir->path())); // a relative folder is the working folder's
        ProgramFolder::setRoot(QStringLiteral("."));
        QCOMPARE(ProgramFolder::root(), shownPath(QDir(dir->path()).canonicalPath()));
        ProgramFolder::setRoot(QDir::rootPath()); // joins without a doubled separator
        QCOMPARE(ProgramFolder::databaseFile(), shownPath(QDir::rootPath()) + "hd.db");
    }

    void photoFilesRefuseAndLeaveNoTrace_data()
    {
        QTest::addColumn<bool>("staging");
        QTest::addColumn<QByteArray>("content"); // of the source: none if null; "jpeg", "big"
        QTest::addColumn<QString>("folder");     // the target's
        QTest::addColumn<QString>("says");       // %1 is the source, the target or its folder
        QTest::addColumn<QString>("named");
        const char* unreadable = "文件 %1 不是可读取的图片";
        const struct
        {
            const char *tag, *content, *folder, *says, *named;
        } rows[] = {
            {"copy replaces", "big", "照片", "", ""},
            {"copy, missing source", nullptr, "照片", "无法读取文件 %1：", "source"},
            {"copy, read-only folder", "big", "read-only", "无法写入文件 %1：", "target"},
            {"copy, missing folder", "big", "gone", "无法写入文件 %1：", "target"},
            {"stage text", "not a picture", "照片", unreadable, "source"},
            {"stage empty file", "", "照片", unreadable, "source"},
            {"stage missing file", nullptr, "照片", "找不到照片文件 %1", "source"},
            {"stage, read-only folder", "jpeg", "read-only", "无法在文件夹 %1 中写入文件：",
             "folder"},
        };
        for (const auto& row : rows)
            QTest::newRow(row.tag)
                << QByteArray(row.tag).startsWith("stage") << QByteArray(row.content)
                << QString(row.folder) << QString(row.says) << QString(row.named);
    }
    void photoFilesRefuseAndLeaveNoTrace()
    {
        QFETCH(bool, staging);
        QFETCH(QByteArray, content);
        QFETCH(QString, folder);
        QFETCH(QString, says);
        QFETCH(QString, named);
        const QString source = path(QStringLiteral("源.jpg"));
        const QString target = path(folder == "gone" ? "gone/目标.jpg" : "照片/目标.jpg");
        QVERIFY(QDir().mkpath(path(QStringLiteral("照片"))));
        writeFile(path(QStringLiteral("照片/目标.jpg")), "the photo that stood there");
        if (content == "jpeg")
            writeJpeg(source, {8, 8});
        else if (content == "big") // more than one read chunk, so the copy has to loop
            writeFile(source, randomBytes(3 * 1024 * 1024 + 17));
        else if (!content.isNull())
            writeFile(source, content);
        Snapshot expected = snapshot(dir->path());
        if (says.isEmpty())
            expected["照片/目标.jpg"] = expected["源.jpg"];
        RecordTests::ReadOnlyFolder readOnly(path(folder == "read-only" ? "照片" : "none"));
        if (folder == "read-only" && !readOnly.effective())
            QSKIP("permission bits are not enforced for this user");
        const QString error = staging ? StagedPhoto::stage(source, target).error()
                                      : PhotoFiles::copyAtomically(source, target).error();
        const QString file = named == "source" ? source : named == "target" ? target : path("照片");
        QVERIFY2(says.isEmpty() ? error.isEmpty() : error.startsWith(withPath(says, file)),
                 qPrintable(error));
        QCOMPARE(snapshot(dir->path()), expected);
    }

    void readPictureRefusesUnreadableFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("says");
        QTest::newRow("text named .jpg")
            << "text" << QStringLiteral("照片文件 %1 不是可读取的图片：");
        QTest::newRow("truncated jpeg")
            << "truncated" << QStringLiteral("照片文件 %1 不完整或已损坏");
        QTest::newRow("header claims a huge size")
            << "huge" << QStringLiteral("照片文件 %1 不是可读取的图片：");
        QTest::newRow("missing file") << "missing" << QStringLiteral("找不到照片文件 %1");
        QTest::newRow("empty path") << "" << QStringLiteral("没有照片文件");
    }
    void readPictureRefusesUnreadableFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QString, says);
        const QString file = kind.isEmpty() ? QString() : path(QStringLiteral("照片.jpg"));
        const QByteArray jpeg = writeJpeg(path(QStringLiteral("good.jpg")), {320, 240});
        if (kind == "text")
            writeFile(file, "姓名,电话\r\n张三,123\r\n");
        if (kind == "truncated")
            writeFile(file, jpeg.left(jpeg.size() / 2));
        if (kind == "huge") // the frame header says 60000 x 60000 pixels
            writeFile(file, QByteArray(jpeg).replace(jpeg.indexOf("\xFF\xC0") + 5, 4,
                                                     "\xEA\x60\xEA\x60"));
        QVERIFY2(PhotoFiles::readPicture(file).error().startsWith(withPath(says, file)),
                 qPrintable(kind));
        // The same picture whole reads fine.
        QCOMPARE(PhotoFiles::readPicture(path(QStringLiteral("good.jpg")))->size(),
                 QSize(320, 240));
    }

    void readPictureAppliesExifOrientation()
    {
        // A landscape picture, red on the left, whose EXIF says "turn 90 degrees clockwise".
        const QString file = path(QStringLiteral("phone.jpg"));
        writeFile(file, writeJpeg(file, {80, 40})
                            .insert(2, QByteArray("\xFF\xE1\0\x22"
                                                  "Exif\0\0MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0"
                                                  "\0\0\x01\0\x06\0\0\0\0\0\0",
                                                  36)));
        Result<QImage> picture = PhotoFiles::readPicture(file);
        QVERIFY2(picture, qPrintable(picture.error()));
        QCOMPARE(picture->size(), QSize(40, 80));
        QVERIFY(picture->pixelColor(20, 10).red() > 200 && picture->pixelColor(20, 10).blue() < 60);
        QVERIFY(picture->pixelColor(20, 70).blue() > 200 && picture->pixelColor(20, 70).red() < 60);
    }
};

QTEST_GUILESS_MAIN(tst_store)
#include "tst_store.moc"
