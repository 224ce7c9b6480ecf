// The sign-in window over a real store, the panel it turns into and the panel window, the
// windows their buttons open, and the password change with the sign-in that follows it.

#include "Accounts.h"
#include "AppSetup.h"
#include "Database.h"
#include "Driving.h"
#include "FileChecks.h"
#include "Maker.h"
#include "Module1.h"
#include "TestFolder.h"
#include "WindowChecks.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <memory>
#include <optional>

using WindowChecks::settle;

namespace {

const QString kTitle = QStringLiteral("登录验证");
const QString kWrongPassword = QStringLiteral("口令错误,请重新输入！");
const QString kNotCompleted = QStringLiteral(
    "登录验证未正常完成！请重新运行登录程序，\r\n如果仍不能登录，请报告系统管理员！");
const QString kChangeTitle = QStringLiteral("修改口令");
const QString kWrongOld = QStringLiteral("旧密码错误");
const QString kNoDefaultPhoto =
    QStringLiteral("您的操作系统中暂时没有默认图片，请添加会员默认照片");

QString unknownUser(const QString& name)
{
    return QStringLiteral("《%1》不是系统用户！请检查是否输入用户名或输入是否正确！").arg(name);
}

Shown refusal(const QString& text, const QString& title = kTitle)
{
    return messageBox(text, title, Dialogs::Icon::Critical);
}

const Shown kChanged =
    messageBox(QStringLiteral("口令已被成功修改！"), kChangeTitle, Dialogs::Icon::Information);

class StandIn : public Form
{};

// Another program holding the store for itself alone. A WAL store lets readers through a plain
// exclusive transaction; exclusive locking does not.
class StoreLock
{
public:
    explicit StoreLock(const QString& file)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kName);
        db.setDatabaseName(file);
        QSqlQuery query(db);
        locked = db.open() && query.exec(QStringLiteral("PRAGMA locking_mode = EXCLUSIVE")) &&
                 query.exec(QStringLiteral("BEGIN EXCLUSIVE"));
    }
    ~StoreLock()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(kName, false);
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            db.close();
        }
        QSqlDatabase::removeDatabase(kName);
    }
    bool locked = false;

private:
    const QString kName = QStringLiteral("store-lock");
};

QString storedPassword(const TestFolder& folder, const QString& user)
{
    Result<QSqlQuery> row =
        folder.open().run(QStringLiteral("SELECT pasword FROM admin WHERE user = ?"), {user});
    return row && row->next() ? row->value(0).toString() : QStringLiteral("<no row>");
}

// Signs in as admin / Abc123 and returns the sign-in window, or the panel window reached after
// leaving through the member window.
Form* signedInOn(const QString& form)
{
    Form* window = Forms::instance().show(QStringLiteral("admin"));
    signInThrough(window, QStringLiteral("admin"), QStringLiteral("Abc123"));
    if (form == QLatin1String("admin"))
        return window;
    press(window, "c1");
    Forms::instance().unload(loadedForm(QStringLiteral("xianshi")));
    settle();
    return Forms::instance().show(QStringLiteral("admin1"));
}

// Signs in through a freshly loaded sign-in window; returns what it showed.
QList<Shown> signInAfresh(const QString& name, const QString& password, bool* signedIn)
{
    closeAllForms();
    DialogScript dialogs;
    Form* window = Forms::instance().show(QStringLiteral("admin"));
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
        form = Forms::instance().show(QStringLiteral("mimaxiugai"));
        t1 = findIn<QLineEdit>(form, "t1");
        // The two new-password boxes form one array, told apart by their index.
        if (form)
            for (QLineEdit* box : form->findChildren<QLineEdit*>(QStringLiteral("txtNewPWD")))
                (box->property("index").toInt() == 1 ? second : first) = box;
    }
    bool complete() const { return t1 && first && second && first != second; }
    QString texts() const { return t1->text() + u'|' + first->text() + u'|' + second->text(); }
    void fill(const QString& old, const QString& new0, const QString& new1) const
    {
        typeText(t1, old);
        typeText(first, new0);
        typeText(second, new1);
    }
};

} // namespace

class tst_signin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        AppSetup::registerWindows();
        // Where c1 and c2 lead is tested with the windows themselves elsewhere.
        Forms::instance().registerForm(QStringLiteral("xianshi"), [] { return new StandIn; });
        Forms::instance().registerForm(QStringLiteral("mail"), [] { return new StandIn; });
    }
    void init()
    {
        folder = std::make_unique<TestFolder>();
        folder->createStore(QStringLiteral("admin"), QStringLiteral("Abc123"));
        folder->makeDefaultPhoto();
    }
    void cleanup() { folder.reset(); }

    void signIn_data();
    void signIn();
    void enterKey_data();
    void enterKey();
    void storeFailures_data();
    void storeFailures();
    void loadStep_data();
    void loadStep();
    void panelButtons_data();
    void panelButtons();
    void signInAgainFromPanel();
    void endingTheProgram_data();
    void endingTheProgram();
    void passwordRefusals_data();
    void passwordRefusals();
    void changeAndSignInAgain_data();
    void changeAndSignInAgain();
    void secondChangeAsksForTheNewPassword();
    void changeFails_data();
    void changeFails();
    void closeSavesNothing();

private:
    std::unique_ptr<TestFolder> folder;
};

void tst_signin::signIn_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message"); // empty: signs in
    const auto row = [](const char* tag, const QString& name, const QString& password,
                        const QString& message = {}) {
        QTest::newRow(tag) << name << password << message;
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
    row("unknown chinese name", "张四", "x", unknownUser("张四"));
    row("wrong password", "admin", "Abc124", kWrongPassword);
    row("password in other case", "admin", "abc123", kWrongPassword);
    row("empty password", "admin", "", kWrongPassword);
    row("blank inside password", "admin", "Abc 123", kWrongPassword);
    row("name and password in other case", "ADMIN", "ABC123", kWrongPassword);
    row("legacy row, other case", "legacy", "OLD PW", kWrongPassword);
    row("second of two accounts", "twice", "second", kWrongPassword);
}

void tst_signin::signIn()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, message);
    {
        Database db = folder->open();
        QVERIFY(Accounts::add(db, QStringLiteral("O'Brien"), QStringLiteral("it's")));
        QVERIFY(Accounts::add(db, QStringLiteral("张三"), QStringLiteral("密码")));
    }
    folder->addPlainOperator(QStringLiteral("legacy"), QStringLiteral("  old pw  "));
    folder->addPlainOperator(QStringLiteral("twice"), QStringLiteral("first"));
    folder->addPlainOperator(QStringLiteral("twice"), QStringLiteral("second"));
    Form* window = Forms::instance().show(QStringLiteral("admin"));
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
    const bool wrongName = message != kWrongPassword;
    QCOMPARE(shown(dialogs.get()), QList<Shown>{refusal(message)});
    QCOMPARE(signInStateMismatches(window, false), QStringList());
    QCOMPARE(text1->text(), name);
    // A wrong name is selected for retyping and the password stays; a wrong password goes.
    QCOMPARE(QApplication::focusWidget(), wrongName ? text1 : text2);
    if (wrongName)
        QCOMPARE(text1->selectedText(), name);
    QCOMPARE(text2->text(), wrongName ? password : QString());
    QCOMPARE(Module1::varLoginUser + Module1::varLoginPwd, QString());

    // Every attempt is answered, and the window still signs in afterwards.
    press(window, "Command1");
    QCOMPARE(shown(dialogs.get()), (QList<Shown>{refusal(message), refusal(message)}));
    text1->clear();
    text2->clear();
    signInThrough(window, QStringLiteral("admin"), QStringLiteral("Abc123"));
    QCOMPARE(dialogs->calls.size(), 2);
    QCOMPARE(signInStateMismatches(window, true), QStringList());
}

void tst_signin::enterKey_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("signedIn");
    QTest::newRow("Return in Text2") << "Text2" << int(Qt::Key_Return) << "Abc123" << true;
    QTest::newRow("keypad Enter in Text2") << "Text2" << int(Qt::Key_Enter) << "Abc123" << true;
    QTest::newRow("Return in Text2, wrong") << "Text2" << int(Qt::Key_Return) << "nope" << false;
    QTest::newRow("Return in Text1") << "Text1" << int(Qt::Key_Return) << "Abc123" << false;
}

void tst_signin::enterKey()
{
    QFETCH(QString, box);
    QFETCH(int, key);
    QFETCH(QString, password);
    QFETCH(bool, signedIn);
    Form* window = Forms::instance().show(QStringLiteral("admin"));
    DialogScript dialogs;
    typeText(findIn<QLineEdit>(window, "Text1"), QStringLiteral("admin"));
    typeText(findIn<QLineEdit>(window, "Text2"), password);

    QTest::keyClick(window->findChild<QLineEdit*>(box), Qt::Key(key));

    QCOMPARE(signInStateMismatches(window, signedIn), QStringList());
    const bool refused = box == QLatin1String("Text2") && !signedIn;
    QCOMPARE(shown(dialogs.get()),
             refused ? QList<Shown>{refusal(kWrongPassword)} : QList<Shown>());
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
    Form* window = Forms::instance().show(QStringLiteral("admin"));
    const QString file = folder->path(QStringLiteral("hd.db"));
    if (kind == QLatin1String("missing") || kind == QLatin1String("junk"))
        QVERIFY(QFile::remove(file));
    if (kind == QLatin1String("junk"))
        writeFile(file, QByteArray(3000, '\x5a') + "not a store");
    if (kind == QLatin1String("noTables"))
        QVERIFY(folder->open().run(QStringLiteral("DROP TABLE admin")));
    std::optional<StoreLock> lock;
    if (kind == QLatin1String("locked"))
        QVERIFY(lock.emplace(file).locked);
    const QByteArray bytes = readFile(file);
    DialogScript dialogs;

    signInThrough(window, QStringLiteral(" admin"), QStringLiteral("Abc123 "));

    const QList<Shown> calls = shown(dialogs.get());
    QCOMPARE(calls.size(), 2);
    QVERIFY2(calls[0].text.contains(QDir::toNativeSeparators(file)), qPrintable(calls[0].text));
    QCOMPARE(calls[0], messageBox(calls[0].text, QString()));
    QCOMPARE(calls[1], refusal(kNotCompleted));
    QCOMPARE(signInStateMismatches(window, false), QStringList());
    QCOMPARE(findIn<QLineEdit>(window, "Text1")->text(), QStringLiteral(" admin"));
    QCOMPARE(findIn<QLineEdit>(window, "Text2")->text(), QStringLiteral("Abc123 "));
    QCOMPARE(Module1::varLoginUser, QString());
    // Nothing is created or repaired.
    QCOMPARE(QFileInfo::exists(file), kind != QLatin1String("missing"));
    QCOMPARE(readFile(file), bytes);

    // Once the other program lets go, the same window signs in.
    if (lock) {
        lock.reset();
        dialogs->clear();
        press(window, "Command1");
        QCOMPARE(shown(dialogs.get()), QList<Shown>());
        QCOMPARE(signInStateMismatches(window, true), QStringList());
    }
}

void tst_signin::loadStep_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("situation");
    QTest::addColumn<bool>("opens");
    for (const char* form : {"admin", "admin1"}) {
        QTest::addRow("%s, first start", form) << form << "firstStart" << false;
        QTest::addRow("%s, default photo deleted", form) << form << "photoDeleted" << false;
        QTest::addRow("%s, photo folder missing", form) << form << "noPhotoFolder" << true;
        QTest::addRow("%s, file named 照片", form) << form << "photoFolderIsFile" << true;
    }
}

void tst_signin::loadStep()
{
    QFETCH(QString, form);
    QFETCH(QString, situation);
    QFETCH(bool, opens);
    const QString photos = folder->path(QStringLiteral("照片"));
    const QString templates = folder->path(QStringLiteral("模版照片"));
    if (situation == QLatin1String("firstStart"))
        QVERIFY(QDir(templates).removeRecursively());
    if (situation == QLatin1String("photoDeleted"))
        QVERIFY(QFile::remove(templates + QStringLiteral("/1.jpg")));
    if (situation != QLatin1String("photoDeleted"))
        QVERIFY(QDir(photos).removeRecursively());
    if (situation == QLatin1String("photoFolderIsFile"))
        writeFile(photos, {});
    Module1::varLoginUser = QStringLiteral("admin");
    Module1::varLoginPwd = QStringLiteral("Abc123");
    Module1::RecordPhoto = QStringLiteral("x.jpg");
    DialogScript dialogs;

    Form* window = Forms::instance().show(form);

    QVERIFY(QFileInfo(templates).isDir());
    QCOMPARE(QFileInfo(photos).isDir(), situation != QLatin1String("photoFolderIsFile"));
    QVERIFY(QFileInfo::exists(photos));
    QCOMPARE(window && window->isVisible(), opens);
    QCOMPARE(loadedForm(form), window);
    Form* photoWindow = loadedForm(QStringLiteral("tiantu"));
    QCOMPARE(photoWindow && photoWindow->isVisible(), !opens);
    QCOMPARE(shown(dialogs.get()),
             opens ? QList<Shown>() : QList<Shown>{messageBox(kNoDefaultPhoto, "系统显示")});
    // The sign-in window forgets the operator; the panel keeps them for "修改口令".
    const bool keeps = form == QLatin1String("admin1");
    QCOMPARE(Module1::varLoginUser, keeps ? QStringLiteral("admin") : QString());
    QCOMPARE(Module1::varLoginPwd, keeps ? QStringLiteral("Abc123") : QString());
    QCOMPARE(Module1::RecordPhoto, keeps ? QStringLiteral("x.jpg") : QString());
}

void tst_signin::panelButtons_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("opens");
    QTest::addColumn<QList<Shown>>("expected");
    const QList<Shown> none;
    const QList<Shown> maker{
        messageBox("定做细则请写邮件发送至dingzhi@oldmere-studio.cn", "软件开发")};
    const QList<Shown> page{{"openUrl", "https://www.oldmere-studio.cn/", QString()}};
    for (const char* form : {"admin", "admin1"}) {
        QTest::addRow("%s c1", form) << form << "c1"
                                     << "xianshi" << none;
        QTest::addRow("%s c2", form) << form << "c2"
                                     << "mail" << none;
        QTest::addRow("%s c3", form) << form << "c3"
                                     << "" << maker;
        QTest::addRow("%s c4", form) << form << "c4"
                                     << "" << page;
        QTest::addRow("%s c5", form) << form << "c5"
                                     << "mimaxiugai" << none;
    }
}

void tst_signin::panelButtons()
{
    QFETCH(QString, form);
    QFETCH(QString, button);
    QFETCH(QString, opens);
    QFETCH(QList<Shown>, expected);
    Form* window = signedInOn(form);
    QVERIFY(window);
    const QPointer<Form> caller = window;
    DialogScript dialogs;

    press(window, qPrintable(button));
    settle();

    // The member and address windows take the caller's place; the rest open beside it.
    const bool replaces = opens == QLatin1String("xianshi") || opens == QLatin1String("mail");
    QCOMPARE(caller.isNull(), replaces);
    QCOMPARE(loadedForm(form), replaces ? nullptr : window);
    QCOMPARE(shown(dialogs.get()), expected);
    Form* opened = loadedForm(opens);
    QVERIFY(opens.isEmpty() || (opened && opened->isVisible()));
    if (replaces)
        return;
    auto* typed = findIn<QLineEdit>(opened, "t1");
    if (typed)
        typeText(typed, QStringLiteral("typed"));

    press(window, qPrintable(button));
    settle();

    QCOMPARE(shown(dialogs.get()), expected + expected);
    QCOMPARE(loadedForm(opens), opened);
    int open = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        open += w->objectName() == QLatin1String("mimaxiugai");
    QCOMPARE(open, opened ? 1 : 0);
    QCOMPARE(typed ? typed->text() : QString(), opened ? QStringLiteral("typed") : QString());
    QVERIFY(window->isVisible());
}

void tst_signin::signInAgainFromPanel()
{
    DialogScript dialogs;
    Form* panel = signedInOn(QStringLiteral("admin1"));
    QVERIFY(panel);
    QCOMPARE(loadedForm(QStringLiteral("admin")), nullptr);

    press(panel, "Command2");

    QCOMPARE(loadedForm(QStringLiteral("admin1")), nullptr);
    Form* again = loadedForm(QStringLiteral("admin"));
    QVERIFY(again && again->isVisible());
    QCOMPARE(signInStateMismatches(again, false), QStringList());
    QCOMPARE(findIn<QLineEdit>(again, "Text1")->text() + findIn<QLineEdit>(again, "Text2")->text(),
             QString());
    QCOMPARE(Module1::varLoginUser + Module1::varLoginPwd, QString());
    signInThrough(again, QStringLiteral("admin"), QStringLiteral("Abc123"));
    QCOMPARE(signInStateMismatches(again, true), QStringList());
    QCOMPARE(shown(dialogs.get()), QList<Shown>());
}

void tst_signin::endingTheProgram_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("button");
    QTest::newRow("退出 on the sign-in window") << "admin"
                                                << "Command2";
    QTest::newRow("安全退出 on the panel") << "admin1"
                                           << "Command1";
}

void tst_signin::endingTheProgram()
{
    QFETCH(QString, form);
    QFETCH(QString, button);
    Form* window = signedInOn(form);
    QVERIFY(window);
    press(window, "c5");
    QVERIFY(loadedForm(QStringLiteral("mimaxiugai")));
    QSignalSpy ended(&Forms::instance(), &Forms::ended);
    DialogScript dialogs;

    press(window, qPrintable(button));

    QCOMPARE(ended.size(), 1);
    QCOMPARE(Forms::instance().loaded(), QList<Form*>());
    QCOMPARE(shown(dialogs.get()), QList<Shown>());
}

void tst_signin::passwordRefusals_data()
{
    QTest::addColumn<QString>("old");
    QTest::addColumn<QString>("new0");
    QTest::addColumn<QString>("new1");
    QTest::addColumn<QString>("message");
    const QString blank = QStringLiteral("请输入新口令！");
    const QString differ = QStringLiteral("两次输入的新口令必须相同！");
    const auto row = [](const char* tag, const char* old, const char* new0, const char* new1,
                        const QString& message) {
        QTest::newRow(tag) << QString(old) << QString(new0) << QString(new1) << message;
    };
    row("all empty", "", "", "", blank);
    row("blanks only", "Abc123", "   ", "   ", blank);
    // The checks run in a fixed order: the first that fails decides.
    row("blanks, the rest wrong too", "wrong", "  ", "other", blank);
    row("second box empty", "Abc123", "new1", "", differ);
    row("differ in case", "Abc123", "new1", "NEW1", differ);
    row("differ by a blank", "Abc123", "new1 ", "new1", differ);
    row("differ, old wrong too", "wrong", "new1", "new2", differ);
    row("old with leading blank", " Abc123", "new1", "new1", kWrongOld);
    row("old with trailing blank", "Abc123 ", "new1", "new1", kWrongOld);
    row("old in other case", "abc123", "new1", "new1", kWrongOld);
    row("old empty", "", "new1", "new1", kWrongOld);
}

void tst_signin::passwordRefusals()
{
    QFETCH(QString, old);
    QFETCH(QString, new0);
    QFETCH(QString, new1);
    QFETCH(QString, message);
    DialogScript dialogs;
    const QString before = storedPassword(*folder, QStringLiteral("admin"));
    ChangeWindow w(QStringLiteral("admin"), QStringLiteral("Abc123"));
    QVERIFY(w.complete());
    QCOMPARE(w.t1->echoMode(), QLineEdit::Password);
    QVERIFY(QTest::qWaitForWindowActive(w.form));
    w.fill(old, new0, new1);

    press(w.form, "Command1");

    QCOMPARE(shown(dialogs.get()), QList<Shown>{refusal(message, kChangeTitle)});
    QCOMPARE(loadedForm(QStringLiteral("mimaxiugai")), w.form);
    // A wrong old password is cleared; otherwise the first new password is to be retyped.
    const bool oldWrong = message == kWrongOld;
    QCOMPARE(QApplication::focusWidget(), oldWrong ? w.t1 : w.first);
    QCOMPARE(w.texts(), (oldWrong ? QString() : old) + u'|' + new0 + u'|' + new1);
    if (message == QStringLiteral("两次输入的新口令必须相同！"))
        QCOMPARE(w.first->selectionStart() == 0 ? w.first->selectedText() : QString(), new0);
    QCOMPARE(storedPassword(*folder, QStringLiteral("admin")), before);
    QCOMPARE(Module1::varLoginPwd, QStringLiteral("Abc123"));
}

void tst_signin::changeAndSignInAgain_data()
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

void tst_signin::changeAndSignInAgain()
{
    QFETCH(QString, user);
    QFETCH(QString, newPassword);
    QFETCH(QString, typedAtSignIn);
    if (user != QLatin1String("admin"))
        QVERIFY(Accounts::add(folder->open(), user, QStringLiteral("Abc123")));
    {
        DialogScript dialogs;
        ChangeWindow w(user, QStringLiteral("Abc123"));
        QVERIFY(w.complete());
        w.fill(QStringLiteral("Abc123"), newPassword, newPassword);
        press(w.form, "Command1");
        QCOMPARE(shown(dialogs.get()), QList<Shown>{kChanged});
        QCOMPARE(loadedForm(QStringLiteral("mimaxiugai")), nullptr);
    }
    const QString stored = storedPassword(*folder, user);
    QVERIFY2(stored.startsWith(QLatin1String("$argon2id$")), qPrintable(stored));
    QVERIFY(!stored.contains(typedAtSignIn));

    bool signedIn = false;
    QCOMPARE(signInAfresh(user, typedAtSignIn, &signedIn), QList<Shown>());
    QVERIFY(signedIn);
    QCOMPARE(signInAfresh(user, QStringLiteral("Abc123"), &signedIn),
             QList<Shown>{refusal(kWrongPassword)});
    QVERIFY(!signedIn);
}

void tst_signin::secondChangeAsksForTheNewPassword()
{
    DialogScript dialogs;
    {
        ChangeWindow w(QStringLiteral("admin"), QStringLiteral("Abc123"));
        QVERIFY(w.complete());
        w.fill(QStringLiteral("Abc123"), QStringLiteral(" second "), QStringLiteral(" second "));
        press(w.form, "Command1");
    }
    settle();
    // Opened again in the same run, as "修改口令" does: the boxes start empty.
    ChangeWindow w(Module1::varLoginUser, Module1::varLoginPwd);
    QVERIFY(w.complete());
    QCOMPARE(w.texts(), QStringLiteral("||"));
    dialogs->clear();
    w.fill(QStringLiteral("Abc123"), QStringLiteral("third"), QStringLiteral("third"));
    press(w.form, "Command1");
    QCOMPARE(shown(dialogs.get()), QList<Shown>{refusal(kWrongOld, kChangeTitle)});

    dialogs->clear();
    typeText(w.t1, QStringLiteral("second"));
    press(w.form, "Command1");
    QCOMPARE(shown(dialogs.get()), QList<Shown>{kChanged});
    bool signedIn = false;
    QCOMPARE(signInAfresh(QStringLiteral("admin"), QStringLiteral("third"), &signedIn),
             QList<Shown>());
    QVERIFY(signedIn);
}

void tst_signin::changeFails_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("account deleted since sign-in") << "deleted";
    QTest::newRow("nobody signed in") << "nobody";
    QTest::newRow("store missing") << "missing";
    QTest::newRow("junk bytes") << "junk";
}

void tst_signin::changeFails()
{
    QFETCH(QString, kind);
    const QString file = folder->path(QStringLiteral("hd.db"));
    const bool storeBroken = kind == QLatin1String("missing") || kind == QLatin1String("junk");
    const QString user = kind == QLatin1String("nobody") ? QString() : QStringLiteral("admin");
    const QString password = user.isEmpty() ? QString() : QStringLiteral("Abc123");
    QVERIFY(Accounts::add(folder->open(), QStringLiteral("other"), QStringLiteral("keep")));
    if (kind == QLatin1String("deleted"))
        QVERIFY(folder->open().run(QStringLiteral("DELETE FROM admin WHERE user = 'admin'")));
    if (storeBroken)
        QVERIFY(QFile::remove(file));
    if (kind == QLatin1String("junk"))
        writeFile(file, QByteArray(2000, '\x07') + "not a store");
    DialogScript dialogs;
    ChangeWindow w(user, password);
    QVERIFY(w.complete());
    w.fill(password, QStringLiteral("new"), QStringLiteral("new"));

    press(w.form, "Command1");

    const QList<Shown> calls = shown(dialogs.get());
    QCOMPARE(calls.size(), 1);
    const QString prefix = QStringLiteral("程序执行出错，错误信息如下：\r\n");
    if (storeBroken) {
        QVERIFY2(calls[0].text.startsWith(prefix), qPrintable(calls[0].text));
        QVERIFY2(calls[0].text.mid(prefix.size()).contains(QDir::toNativeSeparators(file)),
                 qPrintable(calls[0].text));
        QCOMPARE(calls[0], refusal(calls[0].text, QStringLiteral("Fennick系统")));
        QCOMPARE(QFileInfo::exists(file), kind == QLatin1String("junk"));
    } else {
        QCOMPARE(calls[0], refusal(QStringLiteral("无法修改口令！"), kChangeTitle));
        Result<QSqlQuery> count = folder->open().run(QStringLiteral("SELECT count(*) FROM admin"));
        QVERIFY(count && count->next());
        QCOMPARE(count->value(0).toInt(), kind == QLatin1String("deleted") ? 1 : 2);
        QCOMPARE(Accounts::verify(folder->open(), QStringLiteral("other"), QStringLiteral("keep"))
                     .value(),
                 Accounts::Verdict::Match);
    }
    QCOMPARE(loadedForm(QStringLiteral("mimaxiugai")), w.form);
    QCOMPARE(w.texts(), password + QStringLiteral("|new|new"));
    QCOMPARE(Module1::varLoginPwd, password);
}

void tst_signin::closeSavesNothing()
{
    DialogScript dialogs;
    const QString before = storedPassword(*folder, QStringLiteral("admin"));
    {
        ChangeWindow w(QStringLiteral("admin"), QStringLiteral("Abc123"));
        QVERIFY(w.complete());
        w.fill(QStringLiteral("Abc123"), QStringLiteral("new"), QStringLiteral("new"));
        press(w.form, "Command2");
    }
    QCOMPARE(loadedForm(QStringLiteral("mimaxiugai")), nullptr);
    QCOMPARE(shown(dialogs.get()), QList<Shown>());
    QCOMPARE(storedPassword(*folder, QStringLiteral("admin")), before);
    settle();
    ChangeWindow again(QStringLiteral("admin"), QStringLiteral("Abc123"));
    QVERIFY(again.complete());
    QCOMPARE(again.texts(), QStringLiteral("||"));
}

QTEST_MAIN(tst_signin)
#include "tst_signin.moc"
