// The sign-in window over a real store, the panel it turns into and the panel window, the
// windows their buttons open, and the password change with the sign-ins that follow it.

#include "Accounts.h"
#include "AppSetup.h"
#include "Database.h"
#include "Driving.h"
#include "FileChecks.h"
#include "Module1.h"
#include "RecordFixture.h"
#include "TestFolder.h"
#include "WindowChecks.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;
using WindowChecks::settle;

namespace {

const QString kTitle = u"登录验证"_s;
const QString kWrongPassword = u"口令错误,请重新输入！"_s;
const QString kChangeTitle = u"修改口令"_s;
const QString kWrongOld = u"旧密码错误"_s;

QString unknownUser(const QString& name)
{
    return u"《%1》不是系统用户！请检查是否输入用户名或输入是否正确！"_s.arg(name);
}

Shown refusal(const QString& text, const QString& title = kTitle)
{
    return messageBox(text, title, Dialogs::Icon::Critical);
}

const Shown kChanged =
    messageBox(u"口令已被成功修改！"_s, kChangeTitle, Dialogs::Icon::Information);

class StandIn : public Form
{};

QString text(QWidget* window, const char* box)
{
    return findIn<QLineEdit>(window, box)->text();
}

// Signs in as admin / Abc123; returns the sign-in window, or the panel window reached after
// leaving through the member window.
Form* signedInOn(const QString& form)
{
    Form* window = Forms::instance().show(u"admin"_s);
    signInThrough(window, u"admin"_s, u"Abc123"_s);
    if (form == "admin"_L1)
        return window;
    press(window, "c1");
    Forms::instance().unload(loadedForm(u"xianshi"_s));
    settle();
    return Forms::instance().show(u"admin1"_s);
}

// Signs in through a freshly loaded sign-in window; returns what it showed.
QList<Shown> signInAfresh(const QString& name, const QString& password, bool* signedIn)
{
    closeAllForms();
    DialogScript dialogs;
    Form* window = Forms::instance().show(u"admin"_s);
    signInThrough(window, name, password);
    *signedIn = signInStateMismatches(window, true).isEmpty() && Module1::varLoginUser == name;
    return shown(dialogs.get());
}

// The password change window as "修改口令" opens it for the signed-in operator.
struct ChangeWindow
{
    Form* form = nullptr;
    QLineEdit* t1 = nullptr;
    QLineEdit* first = nullptr;
    QLineEdit* second = nullptr;

    ChangeWindow(const QString& user, const QString& password)
    {
        Module1::varLoginUser = user;
        Module1::varLoginPwd = password;
        form = Forms::instance().show(u"mimaxiugai"_s);
        t1 = findIn<QLineEdit>(form, "t1");
        // The two new-password boxes form one array, told apart by their index.
        for (QLineEdit* box : form->findChildren<QLineEdit*>(u"txtNewPWD"_s))
            (box->property("index").toInt() == 1 ? second : first) = box;
    }
    QString texts() const { return t1->text() + u'|' + first->text() + u'|' + second->text(); }
    void save(const QString& old, const QString& new0, const QString& new1) const
    {
        typeText(t1, old);
        typeText(first, new0);
        typeText(second, new1);
        press(form, "Command1");
    }
};

} // namespace

class tst_signin : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestFolder> folder;

    QString storedPassword(const QString& user) const
    {
        Result<QSqlQuery> row =
            folder->open().run(u"SELECT pasword FROM admin WHERE user = ?"_s, {user});
        return row && row->next() ? row->value(0).toString() : u"<no row>"_s;
    }

private slots:
    void initTestCase()
    {
        AppSetup::registerWindows();
        // Where c1 and c2 lead is tested with the windows themselves elsewhere.
        Forms::instance().registerForm(u"xianshi"_s, [] { return new StandIn; });
        Forms::instance().registerForm(u"mail"_s, [] { return new StandIn; });
    }
    void init()
    {
        folder = std::make_unique<TestFolder>();
        folder->createStore(u"admin"_s, u"Abc123"_s);
        folder->makeDefaultPhoto();
    }
    void cleanup() { folder.reset(); }

    void signIn_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message"); // empty: signs in
        const auto row = [](const char* tag, const char* name, const char* password,
                            const QString& message = {}) {
            QTest::newRow(tag) << QString(name) << QString(password) << message;
        };
        row("exact", "admin", "Abc123");
        row("blanks around both", "  admin ", "  Abc123   ");
        row("name in other case", "Admin", "Abc123");
        row("quotes in name and password", "O'Brien", "it's");
        row("chinese", "张三", "密码");
        row("legacy plain text, blanks typed", "legacy", " old pw ");
        row("first of two accounts", "twice", "first");
        row("unknown name", "nobody", "Abc123", unknownUser("nobody"));
        row("unknown name with blanks", "  nobody ", "x", unknownUser("nobody"));
        row("empty name", "", "", unknownUser(""));
        row("blank name", "   ", "Abc123", unknownUser(""));
        row("unknown name with quote", "O'Neil", "x", unknownUser("O'Neil"));
        row("wrong password", "admin", "Abc124", kWrongPassword);
        row("password in other case", "admin", "abc123", kWrongPassword);
        row("empty password", "admin", "", kWrongPassword);
        row("blank inside password", "admin", "Abc 123", kWrongPassword);
        row("name and password in other case", "ADMIN", "ABC123", kWrongPassword);
        row("legacy row, other case", "legacy", "OLD PW", kWrongPassword);
        row("second of two accounts", "twice", "second", kWrongPassword);
    }
    void signIn()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, message);
        QVERIFY(Accounts::add(folder->open(), u"O'Brien"_s, u"it's"_s));
        QVERIFY(Accounts::add(folder->open(), u"张三"_s, u"密码"_s));
        folder->addPlainOperator(u"legacy"_s, u"  old pw  "_s);
        folder->addPlainOperator(u"twice"_s, u"first"_s);
        folder->addPlainOperator(u"twice"_s, u"second"_s);
        Form* window = Forms::instance().show(u"admin"_s);
        QVERIFY(QTest::qWaitForWindowActive(window));
        auto* text1 = findIn<QLineEdit>(window, "Text1");
        auto* text2 = findIn<QLineEdit>(window, "Text2");
        DialogScript dialogs;

        signInThrough(window, name, password);

        if (message.isEmpty()) {
            QCOMPARE(shown(dialogs.get()), QList<Shown>());
            QCOMPARE(signInStateMismatches(window, true), QStringList());
            QCOMPARE(text1->text() + text2->text(), QString());
            QCOMPARE(QApplication::focusWidget(), findIn<QWidget>(window, "c1"));
            QCOMPARE(Module1::varLoginUser, name.trimmed());
            QCOMPARE(Module1::varLoginPwd, password.trimmed());
            return;
        }
        QCOMPARE(shown(dialogs.get()), QList<Shown>{refusal(message)});
        QCOMPARE(signInStateMismatches(window, false), QStringList());
        // A wrong name is selected for retyping and the password stays; a wrong password goes.
        const bool wrongName = message != kWrongPassword;
        QCOMPARE(QApplication::focusWidget(), wrongName ? text1 : text2);
        QCOMPARE(text1->text(), name);
        if (wrongName)
            QCOMPARE(text1->selectedText(), name);
        QCOMPARE(text2->text(), wrongName ? password : QString());
        QCOMPARE(Module1::varLoginUser + Module1::varLoginPwd, QString());
        // Every attempt is answered, and the window still signs in afterwards.
        press(window, "Command1");
        QCOMPARE(shown(dialogs.get()), (QList<Shown>{refusal(message), refusal(message)}));
        text1->clear();
        text2->clear();
        signInThrough(window, u"admin"_s, u"Abc123"_s);
        QCOMPARE(dialogs->calls.size(), 2);
        QCOMPARE(signInStateMismatches(window, true), QStringList());
    }

    void enterInThePasswordBoxSignsIn()
    {
        Form* window = Forms::instance().show(u"admin"_s);
        auto* text2 = findIn<QLineEdit>(window, "Text2");
        DialogScript dialogs;
        typeText(findIn<QLineEdit>(window, "Text1"), u"admin"_s);
        typeText(text2, u"nope"_s);
        QTest::keyClick(text2, Qt::Key_Return);
        QCOMPARE(shown(dialogs.get()), QList<Shown>{refusal(kWrongPassword)});
        typeText(text2, u"Abc123"_s);
        QTest::keyClick(findIn<QLineEdit>(window, "Text1"), Qt::Key_Return);
        QCOMPARE(signInStateMismatches(window, false), QStringList());
        QTest::keyClick(text2, Qt::Key_Enter);
        QCOMPARE(signInStateMismatches(window, true), QStringList());
        QCOMPARE(dialogs->calls.size(), 1);
    }

    void storeFailures_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"missing", "junk", "no tables", "held by another program"})
            QTest::newRow(kind) << QString(kind);
    }
    void storeFailures()
    {
        QFETCH(QString, kind);
        Form* window = Forms::instance().show(u"admin"_s);
        const QString file = folder->path(u"hd.db"_s);
        if (kind == "missing"_L1 || kind == "junk"_L1)
            QVERIFY(QFile::remove(file));
        if (kind == "junk"_L1)
            writeFile(file, QByteArray(3000, '\x5a') + "not a store");
        if (kind == "no tables"_L1)
            QVERIFY(folder->open().run(u"DROP TABLE admin"_s));
        // Exclusive locking keeps even readers of a WAL store out.
        std::optional<Database> other;
        if (kind == "held by another program"_L1)
            QVERIFY(other.emplace(folder->open()).run(u"PRAGMA locking_mode = EXCLUSIVE"_s) &&
                    other->run(u"BEGIN EXCLUSIVE"_s));
        const QByteArray bytes = readFile(file);
        DialogScript dialogs;

        signInThrough(window, u" admin"_s, u"Abc123 "_s);

        const QList<Shown> calls = shown(dialogs.get());
        QCOMPARE(calls.size(), 2);
        QVERIFY2(calls[0].text.contains(QDir::toNativeSeparators(file)), qPrintable(calls[0].text));
        QCOMPARE(calls[0], messageBox(calls[0].text, QString()));
        QCOMPARE(calls[1], refusal(u"登录验证未正常完成！请重新运行登录程序，\r\n"
                                   u"如果仍不能登录，请报告系统管理员！"_s));
        QCOMPARE(signInStateMismatches(window, false), QStringList());
        QCOMPARE(text(window, "Text1") + u'|' + text(window, "Text2"), u" admin|Abc123 "_s);
        QCOMPARE(Module1::varLoginUser, QString());
        // Nothing is created or repaired; once the other program lets go, the window signs in.
        QCOMPARE(QFileInfo::exists(file), kind != "missing"_L1);
        QCOMPARE(readFile(file), bytes);
        if (other) {
            other.reset();
            press(window, "Command1");
            QCOMPARE(dialogs->calls.size(), 2);
            QCOMPARE(signInStateMismatches(window, true), QStringList());
        }
    }

    void loadStep_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("situation");
        for (const char* form : {"admin", "admin1"})
            for (const char* situation :
                 {"first start", "default photo deleted", "photo folder missing", "file 照片"})
                QTest::addRow("%s, %s", form, situation) << QString(form) << QString(situation);
    }
    void loadStep()
    {
        QFETCH(QString, form);
        QFETCH(QString, situation);
        const QString photos = folder->path(u"照片"_s);
        const QString templates = folder->path(u"模版照片"_s);
        const bool defaultThere =
            situation.startsWith("photo"_L1) || situation.startsWith("file"_L1);
        if (situation == "first start"_L1)
            QVERIFY(QDir(templates).removeRecursively());
        if (situation == "default photo deleted"_L1)
            QVERIFY(QFile::remove(templates + u"/1.jpg"_s));
        else
            QVERIFY(QDir(photos).removeRecursively());
        if (situation == "file 照片"_L1)
            writeFile(photos, {});
        Module1::varLoginUser = u"admin"_s;
        Module1::varLoginPwd = u"Abc123"_s;
        Module1::RecordPhoto = u"x.jpg"_s;
        DialogScript dialogs;

        Form* window = Forms::instance().show(form);

        QVERIFY(QFileInfo(templates).isDir());
        QCOMPARE(QFileInfo(photos).isDir(), situation != "file 照片"_L1);
        QVERIFY(QFileInfo::exists(photos));
        QCOMPARE(window && window->isVisible(), defaultThere);
        QCOMPARE(loadedForm(form), window);
        Form* photoWindow = loadedForm(u"tiantu"_s);
        QCOMPARE(photoWindow && photoWindow->isVisible(), !defaultThere);
        const Shown noPhoto =
            messageBox(u"您的操作系统中暂时没有默认图片，请添加会员默认照片"_s, u"系统显示"_s);
        QCOMPARE(shown(dialogs.get()), defaultThere ? QList<Shown>() : QList<Shown>{noPhoto});
        // The sign-in window forgets the operator; the panel keeps them for "修改口令".
        const bool keeps = form == "admin1"_L1;
        QCOMPARE(Module1::varLoginUser + Module1::varLoginPwd + Module1::RecordPhoto,
                 keeps ? u"adminAbc123x.jpg"_s : QString());
    }

    void panelButtons_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("opens");
        QTest::addColumn<QList<Shown>>("expected");
        const QList<Shown> maker{
            messageBox(u"定做细则请写邮件发送至dingzhi@oldmere-studio.cn"_s, u"软件开发"_s)};
        const QList<Shown> page{{u"openUrl"_s, u"https://www.oldmere-studio.cn/"_s, QString()}};
        for (const char* form : {"admin", "admin1"}) {
            const auto row = [form](const char* button, const char* opens, QList<Shown> shown) {
                QTest::addRow("%s %s", form, button)
                    << QString(form) << QString(button) << QString(opens) << shown;
            };
            row("c1", "xianshi", {});
            row("c2", "mail", {});
            row("c3", "", maker);
            row("c4", "", page);
            row("c5", "mimaxiugai", {});
        }
    }
    void panelButtons()
    {
        QFETCH(QString, form);
        QFETCH(QString, button);
        QFETCH(QString, opens);
        QFETCH(QList<Shown>, expected);
        Form* window = signedInOn(form);
        const QPointer<Form> caller = window;
        DialogScript dialogs;

        press(window, qPrintable(button));
        settle();

        // The member and address windows take the caller's place; the rest open beside it.
        const bool replaces = opens == "xianshi"_L1 || opens == "mail"_L1;
        QCOMPARE(caller.isNull(), replaces);
        QCOMPARE(loadedForm(form), replaces ? nullptr : window);
        QCOMPARE(shown(dialogs.get()), expected);
        Form* opened = loadedForm(opens);
        QVERIFY(opens.isEmpty() || (opened && opened->isVisible()));
        if (replaces)
            return;
        // A second press shows again, but brings the one password window forward as it was.
        if (opened)
            typeText(findIn<QLineEdit>(opened, "t1"), u"typed"_s);
        press(window, qPrintable(button));
        settle();
        QCOMPARE(shown(dialogs.get()), expected + expected);
        QCOMPARE(loadedForm(opens), opened);
        QVERIFY(!opened || text(opened, "t1") == "typed"_L1);
        QVERIFY(window->isVisible());
    }

    void signInAgainAndEnd()
    {
        Form* panel = signedInOn(u"admin1"_s);
        press(panel, "c5");
        QSignalSpy ended(&Forms::instance(), &Forms::ended);
        DialogScript dialogs;

        press(panel, "Command2");

        // Back to an empty sign-in window that knows nobody, and signs in as before.
        QCOMPARE(loadedForm(u"admin1"_s), nullptr);
        Form* signIn = loadedForm(u"admin"_s);
        QVERIFY(signIn && signIn->isVisible());
        QCOMPARE(signInStateMismatches(signIn, false), QStringList());
        QCOMPARE(text(signIn, "Text1") + text(signIn, "Text2"), QString());
        QCOMPARE(Module1::varLoginUser + Module1::varLoginPwd, QString());
        signInThrough(signIn, u"admin"_s, u"Abc123"_s);
        QCOMPARE(signInStateMismatches(signIn, true), QStringList());
        QCOMPARE(ended.size(), 0);
        // "退出" and "安全退出" end the program with every window.
        press(signIn, "Command2");
        QCOMPARE(ended.size(), 1);
        QCOMPARE(Forms::instance().loaded(), QList<Form*>());
        press(signedInOn(u"admin1"_s), "Command1");
        QCOMPARE(ended.size(), 2);
        QCOMPARE(Forms::instance().loaded(), QList<Form*>());
        QCOMPARE(dialogs->calls.size(), 0);
    }

    void passwordRefusals_data()
    {
        QTest::addColumn<QString>("store");     // what became of the store since the sign-in
        QTest::addColumn<QStringList>("typed"); // old password, new one, new one again
        QTest::addColumn<QString>("message");
        const auto refused = [](const QString& text) {
            return RecordTests::line(text, kChangeTitle, Dialogs::Icon::Critical);
        };
        const QString blank = refused(u"请输入新口令！"_s);
        const QString differ = refused(u"两次输入的新口令必须相同！"_s);
        const QString wrongOld = refused(kWrongOld);
        const QString cannot = refused(u"无法修改口令！"_s);
        const QString failed =
            RecordTests::critical(u"程序执行出错，错误信息如下："_s, u"Fennick系统"_s);
        const auto row = [](const char* tag, const char* old, const char* new0, const char* new1,
                            const QString& message, const char* store = "") {
            QTest::newRow(tag) << QString(store) << QStringList{old, new0, new1} << message;
        };
        row("all empty", "", "", "", blank);
        row("blanks only", "Abc123", "   ", "   ", blank);
        // The checks run in a fixed order: the first that fails decides.
        row("blanks, the rest wrong too", "wrong", "  ", "other", blank);
        row("second box empty", "Abc123", "new1", "", differ);
        row("differ in case", "Abc123", "new1", "NEW1", differ);
        row("differ by a blank", "Abc123", "new1 ", "new1", differ);
        row("differ, old wrong too", "wrong", "new1", "new2", differ);
        row("old with leading blank", " Abc123", "new1", "new1", wrongOld);
        row("old with trailing blank", "Abc123 ", "new1", "new1", wrongOld);
        row("old in other case", "abc123", "new1", "new1", wrongOld);
        row("old empty", "", "new1", "new1", wrongOld);
        row("account deleted since", "Abc123", "new", "new", cannot, "deleted");
        row("nobody signed in", "", "new", "new", cannot, "nobody");
        row("store missing", "Abc123", "new", "new", failed, "missing");
        row("store is junk", "Abc123", "new", "new", failed, "junk");
    }
    void passwordRefusals()
    {
        QFETCH(QString, store);
        QFETCH(QStringList, typed);
        QFETCH(QString, message);
        const QString file = folder->path(u"hd.db"_s);
        QVERIFY(Accounts::add(folder->open(), u"other"_s, u"keep"_s));
        if (store == "deleted"_L1)
            QVERIFY(folder->open().run(u"DELETE FROM admin WHERE user = 'admin'"_s));
        if (store == "missing"_L1 || store == "junk"_L1)
            QVERIFY(QFile::remove(file));
        if (store == "junk"_L1)
            writeFile(file, QByteArray(2000, '\x07') + "not a store");
        const Snapshot files = snapshot(folder->root());
        const QString signedInWith = store == "nobody"_L1 ? QString() : u"Abc123"_s;
        DialogScript dialogs;
        ChangeWindow w(signedInWith.isEmpty() ? QString() : u"admin"_s, signedInWith);
        QCOMPARE(w.t1->echoMode(), QLineEdit::Password);
        QVERIFY(QTest::qWaitForWindowActive(w.form));

        w.save(typed[0], typed[1], typed[2]);

        QCOMPARE(RecordTests::summaries(dialogs->calls), QStringList{message});
        if (message.contains(u"Fennick"_s))
            QVERIFY2(dialogs->calls[0].text.contains(QDir::toNativeSeparators(file)),
                     qPrintable(dialogs->calls[0].text));
        QCOMPARE(loadedForm(u"mimaxiugai"_s), w.form);
        // A wrong old password is cleared; a new one that will not do is to be retyped.
        const bool oldWrong = message.startsWith(kWrongOld);
        if (store.isEmpty())
            QCOMPARE(QApplication::focusWidget(), oldWrong ? w.t1 : w.first);
        QCOMPARE(w.texts(), (oldWrong ? QString() : typed[0]) + u'|' + typed[1] + u'|' + typed[2]);
        if (message.startsWith(u"两次"_s))
            QCOMPARE(w.first->selectionStart() == 0 ? w.first->selectedText() : QString(),
                     typed[1]);
        QCOMPARE(Module1::varLoginPwd, signedInWith);
        // Closing saves nothing either, and the window opens empty again.
        press(w.form, "Command2");
        QCOMPARE(loadedForm(u"mimaxiugai"_s), nullptr);
        QCOMPARE(dialogs->calls.size(), 1);
        QCOMPARE(snapshot(folder->root()), files);
        settle();
        QCOMPARE(ChangeWindow(u"admin"_s, u"Abc123"_s).texts(), u"||"_s);
    }

    void changeTwiceAndSignInAgain_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("newPassword");
        QTest::addColumn<QString>("asTyped"); // what the next sign-in or change takes
        QTest::newRow("plain") << u"admin"_s << u"n3wPass"_s << u"n3wPass"_s;
        QTest::newRow("single quote") << u"admin"_s << u"it's"_s << u"it's"_s;
        QTest::newRow("blanks around") << u"admin"_s << u"  pw 2 "_s << u"pw 2"_s;
        QTest::newRow("chinese") << u"admin"_s << u"新口令"_s << u"新口令"_s;
        QTest::newRow("operator named with a quote") << u"O'Brien"_s << u"x'; --"_s << u"x'; --"_s;
    }
    void changeTwiceAndSignInAgain()
    {
        QFETCH(QString, user);
        QFETCH(QString, newPassword);
        QFETCH(QString, asTyped);
        if (user != "admin"_L1)
            QVERIFY(Accounts::add(folder->open(), user, u"Abc123"_s));
        DialogScript dialogs;
        ChangeWindow(user, u"Abc123"_s).save(u"Abc123"_s, newPassword, newPassword);
        QCOMPARE(shown(dialogs.get()), QList<Shown>{kChanged});
        QCOMPARE(loadedForm(u"mimaxiugai"_s), nullptr);
        const QString stored = storedPassword(user);
        QVERIFY2(stored.startsWith("$argon2id$"_L1), qPrintable(stored));
        QVERIFY(!stored.contains(asTyped));
        QCOMPARE(Module1::varLoginPwd, asTyped);
        bool signedIn = false;
        QCOMPARE(signInAfresh(user, u"Abc123"_s, &signedIn), QList<Shown>{refusal(kWrongPassword)});
        QCOMPARE(signInAfresh(user, asTyped, &signedIn), QList<Shown>());
        QVERIFY(signedIn);

        // Opened again, the boxes start empty and the old password is the new one.
        dialogs->clear();
        ChangeWindow again(user, asTyped);
        QCOMPARE(again.texts(), u"||"_s);
        again.save(u"Abc123"_s, u"third"_s, u"third"_s);
        typeText(again.t1, asTyped);
        press(again.form, "Command1");
        QCOMPARE(shown(dialogs.get()), (QList<Shown>{refusal(kWrongOld, kChangeTitle), kChanged}));
        QCOMPARE(signInAfresh(user, u"third"_s, &signedIn), QList<Shown>());
        QVERIFY(signedIn);
    }
};

QTEST_MAIN(tst_signin)
#include "tst_signin.moc"
