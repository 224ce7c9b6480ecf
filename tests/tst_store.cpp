// The store layer on its own: opening and creating stores, bound values, accounts, password
// hashes, photo files and the program folder's paths.

#include "Accounts.h"
#include "Database.h"
#include "PasswordHash.h"
#include "PhotoFiles.h"
#include "ProgramFolder.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QMap>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Snapshot = QMap<QString, QByteArray>;

// Every file below the folder with its bytes, so a test can tell that nothing was made or touched.
Snapshot snapshot(const QString& folder)
{
    Snapshot files;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        const QString relative = QDir(folder).relativeFilePath(path);
        files.insert(relative, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<dir>"));
    }
    return files;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(20240611);
    for (char& byte : bytes)
        byte = static_cast<char>(generator.bounded(256));
    return bytes;
}

QByteArray jpegBytes(QSize size, QColor left, QColor right)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(left);
    for (int y = 0; y < size.height(); ++y)
        for (int x = size.width() / 2; x < size.width(); ++x)
            image.setPixelColor(x, y, right);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return bytes;
}

// An SQLite file written by another program, in its own journal mode, with the given tables.
void makeForeignStore(const QString& file, const QStringList& tables)
{
    const QString name = QStringLiteral("foreign-store");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        QVERIFY(db.open());
        for (const QString& table : tables)
            QVERIFY(QSqlQuery(db).exec(QStringLiteral("CREATE TABLE %1 (x TEXT)").arg(table)));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

bool folderIsWritable(const QString& folder)
{
    QFile probe(QDir(folder).filePath(QStringLiteral("probe")));
    if (!probe.open(QIODevice::WriteOnly))
        return false;
    probe.close();
    probe.remove();
    return true;
}

} // namespace

Q_DECLARE_METATYPE(Accounts::Verdict)

class tst_store : public QObject
{
    Q_OBJECT

private slots:
    void openRefusesWhatIsNotAStore_data();
    void openRefusesWhatIsNotAStore();
    void createRefusesAnExistingFile();
    void connectionsAreSeparateAndReleased();
    void boundValuesRoundTrip_data();
    void boundValuesRoundTrip();
    void verifyAnswers_data();
    void verifyAnswers();
    void verifyFailureNamesTheStore();
    void changePasswordStoresAHash();
    void passwordHashes();
    void copyAtomicallyCopiesAndReplaces();
    void copyAtomicallyFailureKeepsTarget_data();
    void copyAtomicallyFailureKeepsTarget();
    void readPictureRefusesUnreadableFiles_data();
    void readPictureRefusesUnreadableFiles();
    void readPictureAppliesExifOrientation();
    void programFolderPaths();
};

void tst_store::openRefusesWhatIsNotAStore_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing";
    QTest::newRow("junk bytes") << "junk";
    QTest::newRow("short text") << "text";
    QTest::newRow("empty file") << "empty";
    QTest::newRow("other tables") << "other";
    QTest::newRow("admin only") << "adminOnly";
    QTest::newRow("folder of that name") << "folder";
}

void tst_store::openRefusesWhatIsNotAStore()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("hd.db"));
    if (kind == QLatin1String("junk"))
        writeFile(file, randomBytes(8192));
    else if (kind == QLatin1String("text"))
        writeFile(file, "not a database\r\n");
    else if (kind == QLatin1String("empty"))
        writeFile(file, {});
    else if (kind == QLatin1String("other"))
        makeForeignStore(file, {QStringLiteral("other")});
    else if (kind == QLatin1String("adminOnly"))
        makeForeignStore(file, {QStringLiteral("admin")});
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("hd.db")));
    const Snapshot before = snapshot(dir.path());
    const QStringList connections = QSqlDatabase::connectionNames();

    {
        Result<Database> db = Database::open(file);
        QVERIFY(!db.ok());
        QVERIFY2(db.error().contains(QDir::toNativeSeparators(file)), qPrintable(db.error()));
    }

    QCOMPARE(snapshot(dir.path()), before);
    QCOMPARE(QSqlDatabase::connectionNames(), connections);
}

void tst_store::createRefusesAnExistingFile()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("hd.db"));
    const QByteArray bytes = randomBytes(1000);
    writeFile(file, bytes);

    Result<Database> refused = Database::create(file);
    QVERIFY(!refused.ok());
    QVERIFY2(refused.error().contains(QDir::toNativeSeparators(file)), qPrintable(refused.error()));
    QCOMPARE(readFile(file), bytes);

    // A new file becomes a store the program can open.
    const QString fresh = dir.filePath(QStringLiteral("new.db"));
    QVERIFY(Database::create(fresh).ok());
    Result<Database> opened = Database::open(fresh);
    QVERIFY2(opened.ok(), qPrintable(opened.error()));
    QVERIFY(!Database::create(fresh).ok());
}

void tst_store::connectionsAreSeparateAndReleased()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("hd.db"));
    QVERIFY(Database::create(file).ok());
    const QStringList before = QSqlDatabase::connectionNames();
    {
        Result<Database> first = Database::open(file);
        Result<Database> second = Database::open(file);
        QVERIFY(first && second);
        QVERIFY(first->connection().connectionName() != second->connection().connectionName());
        // A moved store keeps its one connection.
        Database moved = std::move(first).value();
        QCOMPARE(QSqlDatabase::connectionNames().size(), before.size() + 2);
        QVERIFY(moved.run(QStringLiteral("SELECT count(*) FROM admin")).ok());
    }
    QCOMPARE(QSqlDatabase::connectionNames(), before);
}

void tst_store::boundValuesRoundTrip_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("single quote") << "O'Brien";
    QTest::newRow("double quotes") << "\"引号\"";
    QTest::newRow("percent and underscore") << "100%_";
    QTest::newRow("statement end") << "x'); DROP TABLE user; --";
    QTest::newRow("backslashes") << "C:\\照片\\a\\\\b";
    QTest::newRow("chinese with blanks") << "  北京市 海淀区  ";
}

void tst_store::boundValuesRoundTrip()
{
    QFETCH(QString, value);
    QTemporaryDir dir;
    Result<Database> db = Database::create(dir.filePath(QStringLiteral("hd.db")));
    QVERIFY(db);
    QVERIFY(db->run(QStringLiteral("INSERT INTO user (xingming, dizhi) VALUES (?, ?)"),
                    {value, QStringLiteral("other")}));
    QVERIFY(db->run(QStringLiteral("INSERT INTO user (xingming, dizhi) VALUES (?, ?)"),
                    {QStringLiteral("other"), value}));

    Result<QSqlQuery> byName =
        db->run(QStringLiteral("SELECT xingming, dizhi FROM user WHERE xingming = ?"), {value});
    QVERIFY(byName);
    QVERIFY(byName->next());
    QCOMPARE(byName->value(0).toString(), value);
    QVERIFY(!byName->next());

    Result<QSqlQuery> count = db->run(QStringLiteral("SELECT count(*) FROM user WHERE dizhi = ?"),
                                      {value});
    QVERIFY(count && count->next());
    QCOMPARE(count->value(0).toInt(), 1);

    // The same holds for operator names.
    QVERIFY(Accounts::add(db.value(), value, QStringLiteral("pw")));
    Result<Accounts::Verdict> verdict = Accounts::verify(db.value(), value, QStringLiteral("pw"));
    QVERIFY(verdict);
    QCOMPARE(verdict.value(), Accounts::Verdict::Match);
}

void tst_store::verifyAnswers_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<Accounts::Verdict>("expected");
    using V = Accounts::Verdict;
    QTest::newRow("match") << "admin" << "123456" << V::Match;
    QTest::newRow("name in other case") << "ADMIN" << "123456" << V::Match;
    QTest::newRow("wrong password") << "admin" << "123457" << V::WrongPassword;
    QTest::newRow("password in other case") << "mixed" << "SECRET" << V::WrongPassword;
    QTest::newRow("empty password") << "admin" << "" << V::WrongPassword;
    QTest::newRow("no such name") << "nobody" << "123456" << V::NoSuchUser;
    QTest::newRow("empty name") << "" << "" << V::NoSuchUser;
    QTest::newRow("legacy plain text") << "legacy" << "old pw" << V::Match;
    QTest::newRow("legacy other case") << "legacy" << "OLD PW" << V::WrongPassword;
    QTest::newRow("legacy empty") << "blank" << "" << V::Match;
    QTest::newRow("first of two rows") << "twice" << "first" << V::Match;
    QTest::newRow("second of two rows") << "twice" << "second" << V::WrongPassword;
}

void tst_store::verifyAnswers()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(Accounts::Verdict, expected);
    QTemporaryDir dir;
    Result<Database> db = Database::create(dir.filePath(QStringLiteral("hd.db")));
    QVERIFY(db);
    QVERIFY(Accounts::add(db.value(), QStringLiteral("admin"), QStringLiteral("123456")));
    QVERIFY(Accounts::add(db.value(), QStringLiteral("mixed"), QStringLiteral("Secret")));
    const auto plain = [&](const QString& user, const QVariant& pw) {
        return db->run(QStringLiteral("INSERT INTO admin (user, pasword) VALUES (?, ?)"), {user, pw})
            .ok();
    };
    QVERIFY(plain(QStringLiteral("legacy"), QStringLiteral("  old pw  ")));
    QVERIFY(plain(QStringLiteral("blank"), QVariant()));
    QVERIFY(plain(QStringLiteral("twice"), QStringLiteral("first")));
    QVERIFY(Accounts::add(db.value(), QStringLiteral("twice"), QStringLiteral("second")));

    Result<Accounts::Verdict> verdict = Accounts::verify(db.value(), name, password);
    QVERIFY2(verdict, qPrintable(verdict.error()));
    QCOMPARE(verdict.value(), expected);
}

void tst_store::verifyFailureNamesTheStore()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("hd.db"));
    Result<Database> db = Database::create(file);
    QVERIFY(db);
    QVERIFY(db->run(QStringLiteral("DROP TABLE admin")));
    Result<Accounts::Verdict> verdict =
        Accounts::verify(db.value(), QStringLiteral("admin"), QStringLiteral("x"));
    QVERIFY(!verdict.ok());
    QVERIFY2(verdict.error().contains(QDir::toNativeSeparators(file)), qPrintable(verdict.error()));
}

void tst_store::changePasswordStoresAHash()
{
    QTemporaryDir dir;
    Result<Database> db = Database::create(dir.filePath(QStringLiteral("hd.db")));
    QVERIFY(db);
    QVERIFY(Accounts::add(db.value(), QStringLiteral("admin"), QStringLiteral("old")));
    QVERIFY(Accounts::add(db.value(), QStringLiteral("other"), QStringLiteral("keep")));

    Result<qint64> none = Accounts::changePassword(db.value(), QStringLiteral("ghost"), QStringLiteral("n"));
    QVERIFY(none);
    QCOMPARE(none.value(), qint64(0));

    Result<qint64> changed =
        Accounts::changePassword(db.value(), QStringLiteral("admin"), QStringLiteral("it's new"));
    QVERIFY(changed);
    QCOMPARE(changed.value(), qint64(1));
    Result<QSqlQuery> rows = db->run(QStringLiteral("SELECT user, pasword FROM admin ORDER BY rowid"));
    QVERIFY(rows);
    while (rows->next()) {
        const QString stored = rows->value(1).toString();
        QVERIFY2(stored.startsWith(QLatin1String("$argon2id$")), qPrintable(stored));
        QVERIFY(!stored.contains(QLatin1String("it's new")));
    }
    QCOMPARE(Accounts::verify(db.value(), QStringLiteral("admin"), QStringLiteral("it's new")).value(),
             Accounts::Verdict::Match);
    QCOMPARE(Accounts::verify(db.value(), QStringLiteral("admin"), QStringLiteral("old")).value(),
             Accounts::Verdict::WrongPassword);
    QCOMPARE(Accounts::verify(db.value(), QStringLiteral("other"), QStringLiteral("keep")).value(),
             Accounts::Verdict::Match);
}

void tst_store::passwordHashes()
{
    const QString password = QStringLiteral("密码 Secret1");
    Result<QString> first = PasswordHash::hash(password);
    Result<QString> second = PasswordHash::hash(password);
    QVERIFY(first && second);
    QVERIFY(!first->contains(password));
    QVERIFY(PasswordHash::isHash(first.value()));
    QVERIFY(first.value() != second.value()); // salted
    QVERIFY(PasswordHash::matches(first.value(), password));
    QVERIFY(PasswordHash::matches(second.value(), QStringLiteral("  密码 Secret1 ")));
    QVERIFY(!PasswordHash::matches(first.value(), QStringLiteral("密码 secret1")));
    QVERIFY(!PasswordHash::matches(first.value(), QString()));
    // Blanks typed around a new password make no difference at sign-in.
    QVERIFY(PasswordHash::matches(PasswordHash::hash(QStringLiteral(" pw ")).value(),
                                  QStringLiteral("pw")));

    // Rows from before hashing hold the password itself.
    QVERIFY(!PasswordHash::isHash(QStringLiteral("123456")));
    QVERIFY(PasswordHash::matches(QStringLiteral(" 123456  "), QStringLiteral("123456")));
    QVERIFY(!PasswordHash::matches(QStringLiteral("abc"), QStringLiteral("ABC")));
    QVERIFY(PasswordHash::matches(QString(), QString()));
    // A damaged hash matches nothing, not even its own text.
    const QString damaged = QStringLiteral("$argon2id$v=19$broken");
    QVERIFY(!PasswordHash::matches(damaged, damaged));
}

void tst_store::copyAtomicallyCopiesAndReplaces()
{
    QTemporaryDir dir;
    // Larger than one read chunk, so the copy has to loop.
    const QByteArray bytes = randomBytes(3 * 1024 * 1024 + 17);
    const QString from = dir.filePath(QStringLiteral("源.jpg"));
    const QString to = dir.filePath(QStringLiteral("目标.jpg"));
    writeFile(from, bytes);

    QVERIFY(PhotoFiles::copyAtomically(from, to));
    QCOMPARE(readFile(to), bytes);

    const QByteArray smaller = randomBytes(10).toHex();
    const QString other = dir.filePath(QStringLiteral("other.jpg"));
    writeFile(other, smaller);
    QVERIFY(PhotoFiles::copyAtomically(other, to));
    QCOMPARE(readFile(to), smaller);
    QCOMPARE(readFile(from), bytes);

    const QStringList expected{QStringLiteral("other.jpg"), QStringLiteral("源.jpg"),
                               QStringLiteral("目标.jpg")};
    QCOMPARE(snapshot(dir.path()).keys(), expected);
}

void tst_store::copyAtomicallyFailureKeepsTarget_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing source") << "missingSource";
    QTest::newRow("read-only folder") << "readOnly";
    QTest::newRow("missing folder") << "missingFolder";
}

void tst_store::copyAtomicallyFailureKeepsTarget()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("new.jpg"));
    const QString folder = dir.filePath(QStringLiteral("照片"));
    QVERIFY(QDir().mkpath(folder));
    QString target = QDir(folder).filePath(QStringLiteral("张三-123.jpg"));
    const QByteArray old = randomBytes(500);
    writeFile(target, old);
    if (kind != QLatin1String("missingSource"))
        writeFile(source, randomBytes(700).toHex());
    if (kind == QLatin1String("missingFolder"))
        target = dir.filePath(QStringLiteral("gone/张三-123.jpg"));
    if (kind == QLatin1String("readOnly")) {
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        if (folderIsWritable(folder)) {
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QSKIP("permission bits are not enforced for this user");
        }
    }
    const Snapshot before = snapshot(dir.path());

    Status copied = PhotoFiles::copyAtomically(source, target);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QVERIFY(!copied.ok());
    const QString named = kind == QLatin1String("missingSource") ? source : target;
    QVERIFY2(copied.error().contains(QDir::toNativeSeparators(named)), qPrintable(copied.error()));
    QCOMPARE(snapshot(dir.path()), before);
}

void tst_store::readPictureRefusesUnreadableFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("text named .jpg") << "text";
    QTest::newRow("truncated jpeg") << "truncated";
    QTest::newRow("empty path") << "noPath";
    QTest::newRow("missing file") << "missing";
    QTest::newRow("header claims a huge size") << "huge";
    QTest::newRow("over a lowered allocation limit") << "overLimit";
}

void tst_store::readPictureRefusesUnreadableFiles()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("照片.jpg"));
    const QByteArray jpeg = jpegBytes(QSize(320, 240), Qt::red, Qt::blue);
    const int limit = QImageReader::allocationLimit();
    const auto restore = qScopeGuard([limit] { QImageReader::setAllocationLimit(limit); });

    if (kind == QLatin1String("text")) {
        writeFile(path, "姓名,电话\r\n张三,123\r\n");
    } else if (kind == QLatin1String("truncated")) {
        writeFile(path, jpeg.left(jpeg.size() / 2));
    } else if (kind == QLatin1String("noPath")) {
        path.clear();
    } else if (kind == QLatin1String("huge")) {
        // Rewrite the frame header to 60000 x 60000 pixels.
        QByteArray patched = jpeg;
        const qsizetype frame = patched.indexOf(QByteArray("\xFF\xC0", 2));
        QVERIFY(frame > 0);
        for (int i : {5, 7}) {
            patched[frame + i] = char(0xEA);
            patched[frame + i + 1] = char(0x60);
        }
        writeFile(path, patched);
    } else if (kind == QLatin1String("overLimit")) {
        writeFile(path, jpegBytes(QSize(1200, 1000), Qt::red, Qt::blue));
        QImageReader::setAllocationLimit(1);
    }

    Result<QImage> picture = PhotoFiles::readPicture(path);
    QVERIFY2(!picture.ok(), qPrintable(kind));
    QVERIFY(!picture.error().isEmpty());
    if (!path.isEmpty())
        QVERIFY2(picture.error().contains(QDir::toNativeSeparators(path)), qPrintable(picture.error()));

    // The same picture whole and within the limit reads fine.
    QImageReader::setAllocationLimit(limit);
    writeFile(dir.filePath(QStringLiteral("good.jpg")), jpeg);
    Result<QImage> good = PhotoFiles::readPicture(dir.filePath(QStringLiteral("good.jpg")));
    QVERIFY2(good, qPrintable(good.error()));
    QCOMPARE(good->size(), QSize(320, 240));
}

void tst_store::readPictureAppliesExifOrientation()
{
    // A landscape picture, red on the left, whose EXIF says "turn 90 degrees clockwise".
    QByteArray jpeg = jpegBytes(QSize(80, 40), Qt::red, Qt::blue);
    QByteArray exif("Exif\0\0MM\0\x2A\0\0\0\x08"
                    "\0\x01"
                    "\x01\x12\0\x03\0\0\0\x01\0\x06\0\0"
                    "\0\0\0\0",
                    32);
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char(0));
    segment.append(char(exif.size() + 2));
    segment.append(exif);
    jpeg.insert(2, segment);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("phone.jpg"));
    writeFile(path, jpeg);

    Result<QImage> picture = PhotoFiles::readPicture(path);
    QVERIFY2(picture, qPrintable(picture.error()));
    QCOMPARE(picture->size(), QSize(40, 80));
    const QColor top = picture->pixelColor(20, 10);
    const QColor bottom = picture->pixelColor(20, 70);
    QVERIFY(top.red() > 200 && top.blue() < 60);
    QVERIFY(bottom.blue() > 200 && bottom.red() < 60);
}

void tst_store::programFolderPaths()
{
    QTemporaryDir dir;
    const QString sep = QDir::separator();
    const QString startedIn = QDir::currentPath();
    const auto restore = qScopeGuard([startedIn] { QDir::setCurrent(startedIn); });

    // A trailing separator and ".." are tidied away.
    ProgramFolder::setRoot(dir.path() + QStringLiteral("/sub/../"));
    const QString root = QDir::toNativeSeparators(dir.path());
    QCOMPARE(ProgramFolder::root(), root);
    QCOMPARE(ProgramFolder::databaseFile(), root + sep + QStringLiteral("hd.db"));
    QCOMPARE(ProgramFolder::photoFolder(), root + sep + QStringLiteral("照片"));
    QCOMPARE(ProgramFolder::templateFolder(), root + sep + QStringLiteral("模版照片"));
    QCOMPARE(ProgramFolder::defaultPhoto(),
             root + sep + QStringLiteral("模版照片") + sep + QStringLiteral("1.jpg"));
    QCOMPARE(ProgramFolder::join(QStringLiteral("照片/张三-1.jpg")),
             root + sep + QStringLiteral("照片") + sep + QStringLiteral("张三-1.jpg"));

    // A relative folder is taken from the working folder.
    QVERIFY(QDir::setCurrent(dir.path()));
    ProgramFolder::setRoot(QStringLiteral("."));
    QCOMPARE(ProgramFolder::root(), QDir::toNativeSeparators(QDir(dir.path()).canonicalPath()));

    // The file-system root joins without a doubled separator.
    ProgramFolder::setRoot(QDir::rootPath());
    QCOMPARE(ProgramFolder::databaseFile(), QDir::toNativeSeparators(QDir::rootPath()) + QStringLiteral("hd.db"));
}

QTEST_MAIN(tst_store)
#include "tst_store.moc"
