// The password change window, opened as the panel opens it for a signed-in operator, and the
// sign-in that follows a change.

#include "Accounts.h"
#include "AppSetup.h"
#include "Database.h"
#include "Driving.h"
#include "Form.h"
#include "Forms.h"
#include "Module1.h"
#include "TestFolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>

namespace {

const QString kTitle = QStringLiteral("修改口令");
const QString kCannotChange = QStringLiteral("无法修改口令！");

// The window's own refusals: critical icon, its own title.
Shown refusal(const QString& text)
{
    return messageBox(text, kTitle, Dialogs::Icon::Critical);
}

const Shown kChanged =
    messageBox(QStringLiteral("口令已被成功修改！"), kTitle, Dialogs::Icon::Information);

QString storedPassword(const TestFolder& folder, const QString& user)
{
    Database db = folder.open();
    Result<QSqlQuery> row =
        db.run(QStringLiteral("SELECT pasword FROM admin WHERE user = ?"), {user});
    return row && row->next() ? row->value(0).toString() : QStringLiteral("<no row>");
}

struct ChangeWindow
{
    Form* form = nullptr;
    QLineEdit* t1 = nullptr;
    QLineEdit* first = nullptr;
    QLineEdit* second = nullptr;

    // Opens the window as "修改口令" does for the given signed-in operator.
    static ChangeWindow open(const QString& user, const QString& password)
    {
        Module1::varLoginUser = user;
        Module1::varLoginPwd = password;
        ChangeWindow w;
        w.form = Forms::instance().show(QStringLiteral("mimaxiugai"));
        if (!w.form)
            return w;
        w.t1 = w.form->findChild<QLineEdit*>(QStringLiteral("t1"));
        // The two new-password boxes form one array, told apart by their index.
        QList<QLineEdit*> boxes = w.form->findChildren<QLineEdit*>(QStringLiteral("txtNewPWD"));
        std::sort(boxes.begin(), boxes.end(), [](QLineEdit* a, QLineEdit* b) {
            return a->property("index").toInt() < b->property("index").toInt();
        });
        if (boxes.size() == 2 && boxes[0]->property("index") == 0 &&
            boxes[1]->property("index") == 1) {
            w.first = boxes[0];
            w.second = boxes[1];
        }
        return w;
    }
    bool complete() const { return form && t1 && first && second; }

    void fill(const QString& old, const QString& new0, const QString& new1) const
    {
        typeText(t1, old);
        typeText(first, new0);
        typeText(second, new1);
    }
    void save() const
    {
        QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("Command1")),
                          Qt::LeftButton);
    }
};

// Signs in through a freshly loaded sign-in window; returns what the sign-in showed.
QList<Shown> signIn(const QString& name, const QString& password, bool* signedIn)
{
    closeAllForms();
    DialogScript dialogs;
    Form* window = Forms::instance().show(QStringLiteral("admin"));
    signInThrough(window, name, password);
    *signedIn =
        signInStateMismatches(window, true).isEmpty() && Module1::varLoginUser == name.trimmed();
    return shown(dialogs.get());
}

} // namespace

class tst_password : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void refusals_data();
    void refusals();
    void changeAndSignInAgain_data();
    void changeAndSignInAgain();
    void secondChangeAsksForTheNewPassword();
    void noAccountToChange_data();
    void noAccountToChange();
    void storeFailures_data();
    void storeFailures();
    void closeSavesNothing();

private:
    std::unique_ptr<TestFolder> folder;
};

void tst_password::initTestCase()
{
    AppSetup::registerWindows();
}

void tst_password::init()
{
    folder = std::make_unique<TestFolder>();
    folder->createStore(QStringLiteral("admin"), QStringLiteral("Abc123"));
    folder->makeDefaultPhoto();
}

void tst_password::cleanup()
{
    folder.reset();
}

void tst_password::refusals_data()
{
    QTest::addColumn<QString>("old");
    QTest::addColumn<QString>("new0");
    QTest::addColumn<QString>("new1");
    QTest::addColumn<QString>("message");

    const QString blank = QStringLiteral("请输入新口令！");
    const QString differ = QStringLiteral("两次输入的新口令必须相同！");
    const QString wrongOld = QStringLiteral("旧密码错误");
    QTest::newRow("all empty") << ""
                               << ""
                               << "" << blank;
    QTest::newRow("blanks only") << "Abc123"
                                 << "   "
                                 << "   " << blank;
    // The checks run in a fixed order: the first that fails decides.
    QTest::newRow("blanks, the rest wrong too") << "wrong"
                                                << "  "
                                                << "other" << blank;
    QTest::newRow("second box empty") << "Abc123"
                                      << "new1"
                                      << "" << differ;
    QTest::newRow("differ in case") << "Abc123"
                                    << "new1"
                                    << "NEW1" << differ;
    QTest::newRow("differ by a blank") << "Abc123"
                                       << "new1 "
                                       << "new1" << differ;
    QTest::newRow("differ, old wrong too") << "wrong"
                                           << "new1"
                                           << "new2" << differ;
    QTest::newRow("old with leading blank") << " Abc123"
                                            << "new1"
                                            << "new1" << wrongOld;
    QTest::newRow("old with trailing blank") << "Abc123 "
                                             << "new1"
                                             << "new1" << wrongOld;
    QTest::newRow("old in other case") << "abc123"
                                       << "new1"
                                       << "new1" << wrongOld;
    QTest::newRow("old empty") << ""
                               << "new1"
                               << "new1" << wrongOld;
}

void tst_password::refusals()
{
    QFETCH(QString, old);
    QFETCH(QString, new0);
    QFETCH(QString, new1);
    QFETCH(QString, message);
    DialogScript dialogs;
    const QString before = storedPassword(*folder, QStringLiteral("admin"));
    ChangeWindow w = ChangeWindow::open(QStringLiteral("admin"), QStringLiteral("Abc123"));
    QVERIFY(w.complete());
    QCOMPARE(w.t1->echoMode(), QLineEdit::Password);
    QVERIFY(QTest::qWaitForWindowActive(w.form));
    w.fill(old, new0, new1);

    w.save();

    QCOMPARE(shown(dialogs.get()), QList<Shown>{refusal(message)});
    QCOMPARE(Forms::instance().find(QStringLiteral("mimaxiugai")), w.form);
    QCOMPARE(w.second->text(), new1);
    if (message == QStringLiteral("旧密码错误")) {
        QCOMPARE(QApplication::focusWidget(), w.t1);
        QCOMPARE(w.t1->text(), QString());
    } else {
        QCOMPARE(QApplication::focusWidget(), w.first);
        QCOMPARE(w.t1->text(), old);
        QCOMPARE(w.first->text(), new0);
    }
    if (message == QStringLiteral("两次输入的新口令必须相同！")) {
        QCOMPARE(w.first->selectionStart(), 0);
        QCOMPARE(w.first->selectedText(), new0);
    }
    QCOMPARE(storedPassword(*folder, QStringLiteral("admin")), before);
    QCOMPARE(Module1::varLoginPwd, QStringLiteral("Abc123"));
}

void tst_password::changeAndSignInAgain_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("newPassword");
    QTest::addColumn<QString>("typedAtSignIn");
    QTest::newRow("plain") << "admin"
                           << "n3wPass"
                           << "n3wPass";
    QTest::newRow("single quote") << "admin"
                                  << "it's"
                                  << "it's";
    QTest::newRow("blanks around") << "admin"
                                   << "  pw 2 "
                                   << "pw 2";
    QTest::newRow("chinese") << "admin"
                             << "新口令"
                             << "新口令";
    QTest::newRow("operator named with a quote") << "O'Brien"
                                                 << "x'; --"
                                                 << "x'; --";
}

void tst_password::changeAndSignInAgain()
{
    QFETCH(QString, user);
    QFETCH(QString, newPassword);
    QFETCH(QString, typedAtSignIn);
    if (user != QLatin1String("admin")) {
        Database db = folder->open();
        QVERIFY(Accounts::add(db, user, QStringLiteral("Abc123")));
    }
    {
        DialogScript dialogs;
        ChangeWindow w = ChangeWindow::open(user, QStringLiteral("Abc123"));
        QVERIFY(w.complete());
        w.fill(QStringLiteral("Abc123"), newPassword, newPassword);
        w.save();
        QCOMPARE(shown(dialogs.get()), QList<Shown>{kChanged});
        QCOMPARE(Forms::instance().find(QStringLiteral("mimaxiugai")), nullptr);
    }
    const QString stored = storedPassword(*folder, user);
    QVERIFY2(stored.startsWith(QLatin1String("$argon2id$")), qPrintable(stored));
    QVERIFY(!stored.contains(typedAtSignIn));

    bool signedIn = false;
    QCOMPARE(signIn(user, typedAtSignIn, &signedIn), QList<Shown>());
    QVERIFY(signedIn);
    const QList<Shown> refused = signIn(user, QStringLiteral("Abc123"), &signedIn);
    QVERIFY(!signedIn);
    QCOMPARE(refused,
             QList<Shown>{messageBox(QStringLiteral("口令错误,请重新输入！"),
                                     QStringLiteral("登录验证"), Dialogs::Icon::Critical)});
}

void tst_password::secondChangeAsksForTheNewPassword()
{
    DialogScript dialogs;
    ChangeWindow w = ChangeWindow::open(QStringLiteral("admin"), QStringLiteral("Abc123"));
    QVERIFY(w.complete());
    w.fill(QStringLiteral("Abc123"), QStringLiteral("second"), QStringLiteral("second"));
    w.save();
    QCOMPARE(Forms::instance().find(QStringLiteral("mimaxiugai")), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Opened again in the same run, as "修改口令" does: the boxes start empty.
    w = ChangeWindow::open(Module1::varLoginUser, Module1::varLoginPwd);
    QVERIFY(w.complete());
    QCOMPARE(w.t1->text() + w.first->text() + w.second->text(), QString());
    dialogs->clear();
    w.fill(QStringLiteral("Abc123"), QStringLiteral("third"), QStringLiteral("third"));
    w.save();
    QCOMPARE(shown(dialogs.get()), QList<Shown>{refusal(QStringLiteral("旧密码错误"))});

    dialogs->clear();
    typeText(w.t1, QStringLiteral("second"));
    w.save();
    QCOMPARE(shown(dialogs.get()), QList<Shown>{kChanged});

    bool signedIn = false;
    QCOMPARE(signIn(QStringLiteral("admin"), QStringLiteral("third"), &signedIn), QList<Shown>());
    QVERIFY(signedIn);
}

void tst_password::noAccountToChange_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("deleteAccount");
    QTest::newRow("account deleted since sign-in") << "admin"
                                                   << "Abc123" << true;
    QTest::newRow("nobody signed in") << ""
                                      << "" << false;
}

void tst_password::noAccountToChange()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, deleteAccount);
    Database db = folder->open();
    QVERIFY(Accounts::add(db, QStringLiteral("other"), QStringLiteral("keep")));
    if (deleteAccount)
        QVERIFY(db.run(QStringLiteral("DELETE FROM admin WHERE user = ?"), {user}));
    DialogScript dialogs;
    ChangeWindow w = ChangeWindow::open(user, password);
    QVERIFY(w.complete());
    w.fill(password, QStringLiteral("new"), QStringLiteral("new"));

    w.save();

    QCOMPARE(shown(dialogs.get()), QList<Shown>{refusal(kCannotChange)});
    QCOMPARE(Forms::instance().find(QStringLiteral("mimaxiugai")), w.form);
    QCOMPARE(w.t1->text(), password);
    QCOMPARE(w.first->text(), QStringLiteral("new"));
    QCOMPARE(w.second->text(), QStringLiteral("new"));
    Result<QSqlQuery> count = db.run(QStringLiteral("SELECT count(*) FROM admin"));
    QVERIFY(count && count->next());
    QCOMPARE(count->value(0).toInt(), deleteAccount ? 1 : 2);
    QCOMPARE(Accounts::verify(db, QStringLiteral("other"), QStringLiteral("keep")).value(),
             Accounts::Verdict::Match);
}

void tst_password::storeFailures_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("store missing") << "missing";
    QTest::newRow("junk bytes") << "junk";
}

void tst_password::storeFailures()
{
    QFETCH(QString, kind);
    const QString file = folder->path(QStringLiteral("hd.db"));
    QVERIFY(QFile::remove(file));
    if (kind == QLatin1String("junk")) {
        QFile junk(file);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(2000, '\x07') + "not a store");
    }
    DialogScript dialogs;
    ChangeWindow w = ChangeWindow::open(QStringLiteral("admin"), QStringLiteral("Abc123"));
    QVERIFY(w.complete());
    w.fill(QStringLiteral("Abc123"), QStringLiteral("new"), QStringLiteral("new"));

    w.save();

    const QList<Shown> calls = shown(dialogs.get());
    QCOMPARE(calls.size(), 1);
    const QString prefix = QStringLiteral("程序执行出错，错误信息如下：\r\n");
    QVERIFY2(calls[0].text.startsWith(prefix), qPrintable(calls[0].text));
    QVERIFY2(calls[0].text.mid(prefix.size()).contains(QDir::toNativeSeparators(file)),
             qPrintable(calls[0].text));
    QCOMPARE(calls[0],
             messageBox(calls[0].text, QStringLiteral("Fennick系统"), Dialogs::Icon::Critical));
    QCOMPARE(Forms::instance().find(QStringLiteral("mimaxiugai")), w.form);
    QCOMPARE(w.t1->text(), QStringLiteral("Abc123"));
    QCOMPARE(w.first->text(), QStringLiteral("new"));
    QCOMPARE(QFileInfo::exists(file), kind != QLatin1String("missing"));
    QCOMPARE(Module1::varLoginPwd, QStringLiteral("Abc123"));
}

void tst_password::closeSavesNothing()
{
    DialogScript dialogs;
    const QString before = storedPassword(*folder, QStringLiteral("admin"));
    ChangeWindow w = ChangeWindow::open(QStringLiteral("admin"), QStringLiteral("Abc123"));
    QVERIFY(w.complete());
    w.fill(QStringLiteral("Abc123"), QStringLiteral("new"), QStringLiteral("new"));

    QTest::mouseClick(w.form->findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);

    QCOMPARE(Forms::instance().find(QStringLiteral("mimaxiugai")), nullptr);
    QCOMPARE(shown(dialogs.get()), QList<Shown>());
    QCOMPARE(storedPassword(*folder, QStringLiteral("admin")), before);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    w = ChangeWindow::open(QStringLiteral("admin"), QStringLiteral("Abc123"));
    QVERIFY(w.complete());
    QCOMPARE(w.t1->text() + w.first->text() + w.second->text(), QString());
}

QTEST_MAIN(tst_password)
#include "tst_password.moc"
