// The sign-in window over a real store: every answer of the sign-in check and the failures of
// the store.

#include "Accounts.h"
#include "AppSetup.h"
#include "Database.h"
#include "Driving.h"
#include "Form.h"
#include "Forms.h"
#include "Module1.h"
#include "TestFolder.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <optional>

namespace {

const QString kTitle = QStringLiteral("登录验证");
const QString kWrongPassword = QStringLiteral("口令错误,请重新输入！");
const QString kNotCompleted = QStringLiteral(
    "登录验证未正常完成！请重新运行登录程序，\r\n如果仍不能登录，请报告系统管理员！");

QString unknownUser(const QString& name)
{
    return QStringLiteral("《") + name +
           QStringLiteral("》不是系统用户！请检查是否输入用户名或输入是否正确！");
}

// Another program holding the store for itself alone.
class StoreLock
{
public:
    explicit StoreLock(const QString& file)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name());
        db.setDatabaseName(file);
        if (!db.open())
            return;
        // A WAL store lets readers through a plain exclusive transaction; exclusive locking does
        // not.
        QSqlQuery query(db);
        locked = query.exec(QStringLiteral("PRAGMA locking_mode = EXCLUSIVE")) &&
                 query.exec(QStringLiteral("BEGIN EXCLUSIVE"));
    }
    ~StoreLock()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(name(), false);
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            db.close();
        }
        QSqlDatabase::removeDatabase(name());
    }
    static QString name() { return QStringLiteral("store-lock"); }
    bool locked = false;
};

} // namespace

class tst_signin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void refusals_data();
    void refusals();
    void signsIn_data();
    void signsIn();
    void enterKey_data();
    void enterKey();
    void storeFailures_data();
    void storeFailures();
    void everyWrongAttemptIsAnswered();

private:
    // A store with operator admin / Abc123 and the default photo; returns the shown window.
    static Form* openSignIn(TestFolder& folder);
};

void tst_signin::initTestCase()
{
    AppSetup::registerWindows();
}

Form* tst_signin::openSignIn(TestFolder& folder)
{
    folder.createStore(QStringLiteral("admin"), QStringLiteral("Abc123"));
    folder.makeDefaultPhoto();
    return Forms::instance().show(QStringLiteral("admin"));
}

void tst_signin::refusals_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("wrongName");

    QTest::newRow("unknown name") << "nobody"
                                  << "Abc123" << unknownUser("nobody") << true;
    QTest::newRow("unknown name with blanks") << "  nobody "
                                              << "x" << unknownUser("nobody") << true;
    QTest::newRow("empty name") << ""
                                << "" << unknownUser("") << true;
    QTest::newRow("blank name") << "   "
                                << "Abc123" << unknownUser("") << true;
    QTest::newRow("unknown name with quote") << "O'Neil"
                                             << "x" << unknownUser("O'Neil") << true;
    QTest::newRow("unknown chinese name") << "张三"
                                          << "x" << unknownUser("张三") << true;
    QTest::newRow("wrong password") << "admin"
                                    << "Abc124" << kWrongPassword << false;
    QTest::newRow("password in other case") << "admin"
                                            << "abc123" << kWrongPassword << false;
    QTest::newRow("empty password") << "admin"
                                    << "" << kWrongPassword << false;
    QTest::newRow("blank inside password") << "admin"
                                           << "Abc 123" << kWrongPassword << false;
    QTest::newRow("name in other case") << "ADMIN"
                                        << "ABC123" << kWrongPassword << false;
    QTest::newRow("legacy row, other case") << "legacy"
                                            << "OLD PW" << kWrongPassword << false;
    QTest::newRow("second of two accounts") << "twice"
                                            << "second" << kWrongPassword << false;
}

void tst_signin::refusals()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, message);
    QFETCH(bool, wrongName);
    TestFolder folder;
    Form* window = openSignIn(folder);
    QVERIFY(window);
    folder.addPlainOperator(QStringLiteral("legacy"), QStringLiteral(" old pw "));
    folder.addPlainOperator(QStringLiteral("twice"), QStringLiteral("first"));
    folder.addPlainOperator(QStringLiteral("twice"), QStringLiteral("second"));
    QVERIFY(QTest::qWaitForWindowActive(window));
    DialogScript dialogs;

    signInThrough(window, name, password);

    QCOMPARE(shown(dialogs.get()),
             QList<Shown>{messageBox(message, kTitle, Dialogs::Icon::Critical)});
    QCOMPARE(signInStateMismatches(window, false), QStringList());
    auto* text1 = findIn<QLineEdit>(window, "Text1");
    auto* text2 = findIn<QLineEdit>(window, "Text2");
    QCOMPARE(text1->text(), name);
    if (wrongName) {
        // The name is selected for retyping; the password stays.
        QCOMPARE(QApplication::focusWidget(), text1);
        QCOMPARE(text1->selectedText(), name);
        QCOMPARE(text2->text(), password);
    } else {
        QCOMPARE(QApplication::focusWidget(), text2);
        QCOMPARE(text2->text(), QString());
    }
    QCOMPARE(Module1::varLoginUser, QString());
    QCOMPARE(Module1::varLoginPwd, QString());
}

void tst_signin::signsIn_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("pwd");

    QTest::newRow("exact") << "admin"
                           << "Abc123"
                           << "admin"
                           << "Abc123";
    QTest::newRow("blanks around both") << "  admin "
                                        << "  Abc123   "
                                        << "admin"
                                        << "Abc123";
    QTest::newRow("name in other case") << "Admin"
                                        << "Abc123"
                                        << "Admin"
                                        << "Abc123";
    QTest::newRow("quote in name and password") << "O'Brien"
                                                << "it's"
                                                << "O'Brien"
                                                << "it's";
    QTest::newRow("chinese") << "张三"
                             << "密码"
                             << "张三"
                             << "密码";
    QTest::newRow("legacy plain text") << "legacy"
                                       << "old pw"
                                       << "legacy"
                                       << "old pw";
    QTest::newRow("legacy, blanks typed") << "legacy"
                                          << " old pw "
                                          << "legacy"
                                          << "old pw";
    QTest::newRow("first of two accounts") << "twice"
                                           << "first"
                                           << "twice"
                                           << "first";
}

void tst_signin::signsIn()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, user);
    QFETCH(QString, pwd);
    TestFolder folder;
    Form* window = openSignIn(folder);
    QVERIFY(window);
    {
        Database db = folder.open();
        QVERIFY(Accounts::add(db, QStringLiteral("O'Brien"), QStringLiteral("it's")));
        QVERIFY(Accounts::add(db, QStringLiteral("张三"), QStringLiteral("密码")));
    }
    folder.addPlainOperator(QStringLiteral("legacy"), QStringLiteral("  old pw  "));
    folder.addPlainOperator(QStringLiteral("twice"), QStringLiteral("first"));
    folder.addPlainOperator(QStringLiteral("twice"), QStringLiteral("second"));
    DialogScript dialogs;

    signInThrough(window, name, password);

    QCOMPARE(shown(dialogs.get()), QList<Shown>());
    QCOMPARE(signInStateMismatches(window, true), QStringList());
    QCOMPARE(findIn<QLineEdit>(window, "Text1")->text(), QString());
    QCOMPARE(findIn<QLineEdit>(window, "Text2")->text(), QString());
    QCOMPARE(Module1::varLoginUser, user);
    QCOMPARE(Module1::varLoginPwd, pwd);
}

void tst_signin::enterKey_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("signedIn");
    QTest::addColumn<int>("messages");
    QTest::newRow("Return in Text2") << "Text2" << int(Qt::Key_Return) << "Abc123" << true << 0;
    QTest::newRow("keypad Enter in Text2")
        << "Text2" << int(Qt::Key_Enter) << "Abc123" << true << 0;
    QTest::newRow("Return in Text2, wrong")
        << "Text2" << int(Qt::Key_Return) << "nope" << false << 1;
    QTest::newRow("Return in Text1") << "Text1" << int(Qt::Key_Return) << "Abc123" << false << 0;
    QTest::newRow("Return in Text1, wrong")
        << "Text1" << int(Qt::Key_Return) << "nope" << false << 0;
}

void tst_signin::enterKey()
{
    QFETCH(QString, box);
    QFETCH(int, key);
    QFETCH(QString, password);
    QFETCH(bool, signedIn);
    QFETCH(int, messages);
    TestFolder folder;
    Form* window = openSignIn(folder);
    QVERIFY(window);
    DialogScript dialogs;
    auto* text2 = findIn<QLineEdit>(window, "Text2");
    QTest::keyClicks(findIn<QLineEdit>(window, "Text1"), QStringLiteral("admin"));
    QTest::keyClicks(text2, password);
    QCOMPARE(text2->text(), password);

    QTest::keyClick(window->findChild<QLineEdit*>(box), Qt::Key(key));

    QCOMPARE(signInStateMismatches(window, signedIn), QStringList());
    QCOMPARE(dialogs->calls.size(), messages);
    if (messages)
        QCOMPARE(dialogs->calls.first().text, kWrongPassword);
    QCOMPARE(Module1::varLoginUser, signedIn ? QStringLiteral("admin") : QString());
}

void tst_signin::storeFailures_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("store missing") << "missing";
    QTest::newRow("junk bytes") << "junk";
    QTest::newRow("tables missing") << "noTables";
    QTest::newRow("held by another program") << "locked";
}

void tst_signin::storeFailures()
{
    QFETCH(QString, kind);
    TestFolder folder;
    Form* window = openSignIn(folder);
    QVERIFY(window);
    const QString file = folder.path(QStringLiteral("hd.db"));
    if (kind == QLatin1String("missing")) {
        QVERIFY(QFile::remove(file));
    } else if (kind == QLatin1String("junk")) {
        QVERIFY(QFile::remove(file));
        QFile junk(file);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(3000, '\x5a') + "not a store");
    } else if (kind == QLatin1String("noTables")) {
        Database db = folder.open();
        QVERIFY(db.run(QStringLiteral("DROP TABLE admin")));
    }
    std::optional<StoreLock> lock;
    if (kind == QLatin1String("locked")) {
        lock.emplace(file);
        QVERIFY(lock->locked);
    }
    QFile before(file);
    const QByteArray bytes = before.open(QIODevice::ReadOnly) ? before.readAll() : QByteArray();
    before.close();
    DialogScript dialogs;

    signInThrough(window, QStringLiteral(" admin"), QStringLiteral("Abc123 "));

    const QList<Shown> calls = shown(dialogs.get());
    QCOMPARE(calls.size(), 2);
    QVERIFY2(calls[0].text.contains(QDir::toNativeSeparators(file)), qPrintable(calls[0].text));
    QCOMPARE(calls[0], messageBox(calls[0].text, QString(), Dialogs::Icon::None));
    QCOMPARE(calls[1], messageBox(kNotCompleted, kTitle, Dialogs::Icon::Critical));
    QCOMPARE(signInStateMismatches(window, false), QStringList());
    QCOMPARE(findIn<QLineEdit>(window, "Text1")->text(), QStringLiteral(" admin"));
    QCOMPARE(findIn<QLineEdit>(window, "Text2")->text(), QStringLiteral("Abc123 "));
    QCOMPARE(Module1::varLoginUser, QString());
    QCOMPARE(QFileInfo::exists(file), kind != QLatin1String("missing"));
    QFile after(file);
    QCOMPARE(after.open(QIODevice::ReadOnly) ? after.readAll() : QByteArray(), bytes);

    // Once the other program lets go, the same window signs in.
    if (lock) {
        lock.reset();
        dialogs->clear();
        QTest::mouseClick(findIn<QPushButton>(window, "Command1"), Qt::LeftButton);
        QCOMPARE(shown(dialogs.get()), QList<Shown>());
        QCOMPARE(signInStateMismatches(window, true), QStringList());
    }
}

void tst_signin::everyWrongAttemptIsAnswered()
{
    TestFolder folder;
    Form* window = openSignIn(folder);
    QVERIFY(window);
    DialogScript dialogs;
    auto* text1 = findIn<QLineEdit>(window, "Text1");
    auto* text2 = findIn<QLineEdit>(window, "Text2");
    QList<Shown> expected;
    for (int attempt = 0; attempt < 6; ++attempt) {
        text1->clear();
        text2->clear();
        const bool knownName = attempt % 2;
        const QString name =
            knownName ? QStringLiteral("admin") : QStringLiteral("x%1").arg(attempt);
        signInThrough(window, name, QStringLiteral("wrong%1").arg(attempt));
        expected.append(messageBox(knownName ? kWrongPassword : unknownUser(name), kTitle,
                                   Dialogs::Icon::Critical));
        QCOMPARE(shown(dialogs.get()), expected);
        QCOMPARE(signInStateMismatches(window, false), QStringList());
    }
    text1->clear();
    text2->clear();
    signInThrough(window, QStringLiteral("admin"), QStringLiteral("Abc123"));
    QCOMPARE(dialogs->calls.size(), expected.size());
    QCOMPARE(signInStateMismatches(window, true), QStringList());
}

QTEST_MAIN(tst_signin)
#include "tst_signin.moc"
