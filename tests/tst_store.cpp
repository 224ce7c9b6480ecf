// The store on its own: opening and creating stores, bound values, accounts, password hashes
// and the program folder's paths.

#include "Accounts.h"
#include "Database.h"
#include "FileChecks.h"
#include "PasswordHash.h"
#include "ProgramFolder.h"

#include <QDir>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

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

} // namespace

Q_DECLARE_METATYPE(Accounts::Verdict)

class tst_store : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
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
    void programFolderPaths();

private:
    QTemporaryDir accountsDir;
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

    Result<QSqlQuery> count =
        db->run(QStringLiteral("SELECT count(*) FROM user WHERE dizhi = ?"), {value});
    QVERIFY(count && count->next());
    QCOMPARE(count->value(0).toInt(), 1);

    // The same holds for operator names.
    QVERIFY(Accounts::add(db.value(), value, QStringLiteral("pw")));
    Result<QSqlQuery> account =
        db->run(QStringLiteral("SELECT user FROM admin WHERE user = ?"), {value});
    QVERIFY(account && account->next());
    QCOMPARE(account->value(0).toString(), value);
}

void tst_store::verifyAnswers_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<Accounts::Verdict>("expected");
    using V = Accounts::Verdict;
    QTest::newRow("match") << "admin"
                           << "123456" << V::Match;
    QTest::newRow("name in other case") << "ADMIN"
                                        << "123456" << V::Match;
    QTest::newRow("wrong password") << "admin"
                                    << "123457" << V::WrongPassword;
    QTest::newRow("password in other case") << "mixed"
                                            << "SECRET" << V::WrongPassword;
    QTest::newRow("empty password") << "admin"
                                    << "" << V::WrongPassword;
    QTest::newRow("no such name") << "nobody"
                                  << "123456" << V::NoSuchUser;
    QTest::newRow("empty name") << ""
                                << "" << V::NoSuchUser;
    QTest::newRow("legacy plain text") << "legacy"
                                       << "old pw" << V::Match;
    QTest::newRow("legacy other case") << "legacy"
                                       << "OLD PW" << V::WrongPassword;
    QTest::newRow("legacy empty") << "blank"
                                  << "" << V::Match;
    QTest::newRow("quotes in name and password") << "O'Brien; --"
                                                 << "it's" << V::Match;
    QTest::newRow("first of two rows") << "twice"
                                       << "first" << V::Match;
    QTest::newRow("second of two rows") << "twice"
                                        << "second" << V::WrongPassword;
}

void tst_store::initTestCase()
{
    // One store of accounts serves every row of verifyAnswers: hashing is slow on purpose.
    QVERIFY(accountsDir.isValid());
    Result<Database> db = Database::create(accountsDir.filePath(QStringLiteral("hd.db")));
    QVERIFY(db);
    QVERIFY(Accounts::add(db.value(), QStringLiteral("admin"), QStringLiteral("123456")));
    QVERIFY(Accounts::add(db.value(), QStringLiteral("mixed"), QStringLiteral("Secret")));
    const auto plain = [&](const QString& user, const QVariant& pw) {
        return db
            ->run(QStringLiteral("INSERT INTO admin (user, pasword) VALUES (?, ?)"), {user, pw})
            .ok();
    };
    QVERIFY(plain(QStringLiteral("legacy"), QStringLiteral("  old pw  ")));
    QVERIFY(plain(QStringLiteral("blank"), QVariant()));
    QVERIFY(plain(QStringLiteral("twice"), QStringLiteral("first")));
    QVERIFY(plain(QStringLiteral("O'Brien; --"), QStringLiteral("it's")));
    QVERIFY(Accounts::add(db.value(), QStringLiteral("twice"), QStringLiteral("second")));
}

void tst_store::verifyAnswers()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(Accounts::Verdict, expected);
    Result<Database> db = Database::open(accountsDir.filePath(QStringLiteral("hd.db")));
    QVERIFY(db);

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

    Result<qint64> none =
        Accounts::changePassword(db.value(), QStringLiteral("ghost"), QStringLiteral("n"));
    QVERIFY(none);
    QCOMPARE(none.value(), qint64(0));

    Result<qint64> changed =
        Accounts::changePassword(db.value(), QStringLiteral("admin"), QStringLiteral("it's new"));
    QVERIFY(changed);
    QCOMPARE(changed.value(), qint64(1));
    Result<QSqlQuery> rows =
        db->run(QStringLiteral("SELECT user, pasword FROM admin ORDER BY rowid"));
    QVERIFY(rows);
    while (rows->next()) {
        const QString stored = rows->value(1).toString();
        QVERIFY2(stored.startsWith(QLatin1String("$argon2id$")), qPrintable(stored));
        QVERIFY(!stored.contains(QLatin1String("it's new")));
    }
    QCOMPARE(
        Accounts::verify(db.value(), QStringLiteral("admin"), QStringLiteral("it's new")).value(),
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
    QCOMPARE(ProgramFolder::databaseFile(),
             QDir::toNativeSeparators(QDir::rootPath()) + QStringLiteral("hd.db"));
}

QTEST_MAIN(tst_store)
#include "tst_store.moc"
