// The sign-in window and the signed-in panel, driven through their controls over a real store.

#include "Accounts.h"
#include "AppSetup.h"
#include "Database.h"
#include "Form.h"
#include "Forms.h"
#include "Maker.h"
#include "Module1.h"
#include "TestFolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <optional>

namespace {

const QString kTitle = QStringLiteral("登录验证");
const QString kWrongPassword = QStringLiteral("口令错误,请重新输入！");
const QString kNotCompleted = QStringLiteral(
    "登录验证未正常完成！请重新运行登录程序，\r\n如果仍不能登录，请报告系统管理员！");
const QString kNoDefaultPhoto = QStringLiteral("您的操作系统中暂时没有默认图片，请添加会员默认照片");

QString unknownUser(const QString& name)
{
    return QStringLiteral("《") + name + QStringLiteral("》不是系统用户！请检查是否输入用户名或输入是否正确！");
}

// One recorded dialog call in a form QCOMPARE can print.
struct Shown
{
    QString kind, text, title;
    Dialogs::Icon icon = Dialogs::Icon::None;
    Dialogs::Buttons buttons = Dialogs::Buttons::Ok;
    bool operator==(const Shown&) const = default;
};

Shown box(const QString& text, const QString& title, Dialogs::Icon icon = Dialogs::Icon::None)
{
    return {QStringLiteral("message"), text, title, icon, Dialogs::Buttons::Ok};
}

char* toString(const Shown& s)
{
    return QTest::toString(QStringLiteral("%1 \"%2\" title \"%3\" icon %4 buttons %5")
                               .arg(s.kind, s.text, s.title)
                               .arg(int(s.icon))
                               .arg(int(s.buttons)));
}

QList<Shown> shown(const ScriptedDialogs& dialogs)
{
    QList<Shown> calls;
    for (const ScriptedDialogs::Call& c : dialogs.calls)
        calls.append({c.kind, c.text, c.title, c.icon, c.buttons});
    return calls;
}

// Types as the keyboard does, characters outside Latin-1 included.
void type(QWidget* box, const QString& text)
{
    for (QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(box, &press);
        QApplication::sendEvent(box, &release);
    }
}

template <typename T> T* child(QWidget* window, const char* name)
{
    return window ? window->findChild<T*>(QLatin1String(name)) : nullptr;
}

// Names of the controls whose visibility differs from what the state calls for.
QStringList wrongVisibility(QWidget* window, bool signedIn)
{
    const QStringList signingInOnly{"Label1", "Label2", "Label3", "Text1", "Text2", "Command1"};
    const QStringList signedInOnly{"Label4", "c1", "c2", "c3", "c4", "c5"};
    QStringList wrong;
    for (const QString& name : signingInOnly + signedInOnly + QStringList{"Command2", "Frame1"}) {
        QWidget* w = window->findChild<QWidget*>(name);
        const bool want = signingInOnly.contains(name) ? !signedIn
                          : signedInOnly.contains(name) ? signedIn
                                                        : true;
        if (!w || w->isVisible() != want)
            wrong.append(name);
    }
    return wrong;
}

class StandIn : public Form
{
};

// Another program holding the store exclusively.
class StoreLock
{
public:
    explicit StoreLock(const QString& file)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name());
        db.setDatabaseName(file);
        QSqlQuery query(db);
        locked = db.open() && query.exec(QStringLiteral("PRAGMA locking_mode = EXCLUSIVE")) &&
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
    void loadStep_data();
    void loadStep();
    void refusals_data();
    void refusals();
    void signsIn_data();
    void signsIn();
    void enterKey_data();
    void enterKey();
    void storeFailures_data();
    void storeFailures();
    void everyWrongAttemptIsAnswered();
    void makerButtons_data();
    void makerButtons();
    void passwordWindowOpensOnce_data();
    void passwordWindowOpensOnce();
    void mainWindowButtonsReplaceTheWindow_data();
    void mainWindowButtonsReplaceTheWindow();
    void signInAgainFromPanel();
    void endingTheProgram_data();
    void endingTheProgram();

private:
    // A store with operator admin / Abc123 and the default photo; returns the shown window.
    Form* openSignIn(TestFolder& folder);
    static void signIn(Form* window, const QString& name, const QString& password);
};

void tst_signin::initTestCase()
{
    AppSetup::registerWindows();
    // The member and address windows are not under test here; stand-ins show where c1 and c2 lead.
    Forms::instance().registerForm(QStringLiteral("xianshi"), [] { return new StandIn; });
    Forms::instance().registerForm(QStringLiteral("mail"), [] { return new StandIn; });
}

Form* tst_signin::openSignIn(TestFolder& folder)
{
    folder.createStore(QStringLiteral("admin"), QStringLiteral("Abc123"));
    folder.makeDefaultPhoto();
    return Forms::instance().show(QStringLiteral("admin"));
}

void tst_signin::signIn(Form* window, const QString& name, const QString& password)
{
    type(child<QLineEdit>(window, "Text1"), name);
    type(child<QLineEdit>(window, "Text2"), password);
    QTest::mouseClick(child<QPushButton>(window, "Command1"), Qt::LeftButton);
}

void tst_signin::loadStep_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("situation");
    QTest::addColumn<bool>("opens");
    for (const char* form : {"admin", "admin1"}) {
        const QString f = QString::fromLatin1(form);
        QTest::addRow("%s, first start", form) << f << "empty" << false;
        QTest::addRow("%s, default photo deleted", form) << f << "photoDeleted" << false;
        QTest::addRow("%s, photo folder missing", form) << f << "noPhotoFolder" << true;
        QTest::addRow("%s, file named 照片", form) << f << "photoFolderIsFile" << true;
    }
}

void tst_signin::loadStep()
{
    QFETCH(QString, form);
    QFETCH(QString, situation);
    QFETCH(bool, opens);
    TestFolder folder;
    folder.createStore();
    if (situation != QLatin1String("empty"))
        folder.makeDefaultPhoto();
    const QString photos = folder.path(QStringLiteral("照片"));
    if (situation == QLatin1String("photoDeleted"))
        QVERIFY(QFile::remove(folder.path(QStringLiteral("模版照片/1.jpg"))));
    if (situation == QLatin1String("noPhotoFolder") || situation == QLatin1String("photoFolderIsFile"))
        QVERIFY(QDir(photos).removeRecursively());
    if (situation == QLatin1String("photoFolderIsFile")) {
        QFile file(photos);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    Module1::varLoginUser = QStringLiteral("admin");
    Module1::varLoginPwd = QStringLiteral("Abc123");
    Module1::RecordPhoto = QStringLiteral("x.jpg");
    DialogScript dialogs;

    Form* window = Forms::instance().show(form);

    QVERIFY(QFileInfo(folder.path(QStringLiteral("模版照片"))).isDir());
    if (situation == QLatin1String("photoFolderIsFile"))
        QVERIFY(QFileInfo(photos).isFile());
    else
        QVERIFY(QFileInfo(photos).isDir());
    if (opens) {
        QVERIFY(window && window->isVisible());
        QCOMPARE(shown(dialogs.get()), QList<Shown>());
        QCOMPARE(Forms::instance().find(QStringLiteral("tiantu")), nullptr);
    } else {
        QCOMPARE(window, nullptr);
        QCOMPARE(shown(dialogs.get()), QList<Shown>{box(kNoDefaultPhoto, QStringLiteral("系统显示"))});
        QCOMPARE(Forms::instance().find(form), nullptr);
        Form* photoWindow = Forms::instance().find(QStringLiteral("tiantu"));
        QVERIFY(photoWindow && photoWindow->isVisible());
    }
    // The sign-in window forgets the operator; the panel keeps them for "修改口令".
    const bool keeps = form == QLatin1String("admin1");
    QCOMPARE(Module1::varLoginUser, keeps ? QStringLiteral("admin") : QString());
    QCOMPARE(Module1::varLoginPwd, keeps ? QStringLiteral("Abc123") : QString());
    if (!keeps)
        QCOMPARE(Module1::RecordPhoto, QString());
}

void tst_signin::refusals_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("wrongName");

    QTest::newRow("unknown name") << "nobody" << "Abc123" << unknownUser("nobody") << true;
    QTest::newRow("unknown name with blanks") << "  nobody " << "x" << unknownUser("nobody") << true;
    QTest::newRow("empty name") << "" << "" << unknownUser("") << true;
    QTest::newRow("blank name") << "   " << "Abc123" << unknownUser("") << true;
    QTest::newRow("unknown name with quote") << "O'Neil" << "x" << unknownUser("O'Neil") << true;
    QTest::newRow("unknown chinese name") << "张三" << "x" << unknownUser("张三") << true;
    QTest::newRow("wrong password") << "admin" << "Abc124" << kWrongPassword << false;
    QTest::newRow("password in other case") << "admin" << "abc123" << kWrongPassword << false;
    QTest::newRow("empty password") << "admin" << "" << kWrongPassword << false;
    QTest::newRow("blank inside password") << "admin" << "Abc 123" << kWrongPassword << false;
    QTest::newRow("name in other case") << "ADMIN" << "ABC123" << kWrongPassword << false;
    QTest::newRow("legacy row, other case") << "legacy" << "OLD PW" << kWrongPassword << false;
    QTest::newRow("second of two accounts") << "twice" << "second" << kWrongPassword << false;
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

    signIn(window, name, password);

    QCOMPARE(shown(dialogs.get()), QList<Shown>{box(message, kTitle, Dialogs::Icon::Critical)});
    QCOMPARE(wrongVisibility(window, false), QStringList());
    auto* text1 = child<QLineEdit>(window, "Text1");
    auto* text2 = child<QLineEdit>(window, "Text2");
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

    QTest::newRow("exact") << "admin" << "Abc123" << "admin" << "Abc123";
    QTest::newRow("blanks around both") << "  admin " << "  Abc123   " << "admin" << "Abc123";
    QTest::newRow("name in other case") << "Admin" << "Abc123" << "Admin" << "Abc123";
    QTest::newRow("quote in name and password") << "O'Brien" << "it's" << "O'Brien" << "it's";
    QTest::newRow("chinese") << "张三" << "密码" << "张三" << "密码";
    QTest::newRow("legacy plain text") << "legacy" << "old pw" << "legacy" << "old pw";
    QTest::newRow("legacy, blanks typed") << "legacy" << " old pw " << "legacy" << "old pw";
    QTest::newRow("first of two accounts") << "twice" << "first" << "twice" << "first";
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

    signIn(window, name, password);

    QCOMPARE(shown(dialogs.get()), QList<Shown>());
    QCOMPARE(wrongVisibility(window, true), QStringList());
    QCOMPARE(child<QLineEdit>(window, "Text1")->text(), QString());
    QCOMPARE(child<QLineEdit>(window, "Text2")->text(), QString());
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
    QTest::newRow("keypad Enter in Text2") << "Text2" << int(Qt::Key_Enter) << "Abc123" << true << 0;
    QTest::newRow("Return in Text2, wrong") << "Text2" << int(Qt::Key_Return) << "nope" << false << 1;
    QTest::newRow("Return in Text1") << "Text1" << int(Qt::Key_Return) << "Abc123" << false << 0;
    QTest::newRow("Return in Text1, wrong") << "Text1" << int(Qt::Key_Return) << "nope" << false << 0;
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
    auto* text2 = child<QLineEdit>(window, "Text2");
    QTest::keyClicks(child<QLineEdit>(window, "Text1"), QStringLiteral("admin"));
    QTest::keyClicks(text2, password);
    QCOMPARE(text2->text(), password);

    QTest::keyClick(window->findChild<QLineEdit*>(box), Qt::Key(key));

    QCOMPARE(wrongVisibility(window, signedIn), QStringList());
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

    signIn(window, QStringLiteral(" admin"), QStringLiteral("Abc123 "));

    const QList<Shown> calls = shown(dialogs.get());
    QCOMPARE(calls.size(), 2);
    QVERIFY2(calls[0].text.contains(QDir::toNativeSeparators(file)), qPrintable(calls[0].text));
    QCOMPARE(calls[0], box(calls[0].text, QString(), Dialogs::Icon::None));
    QCOMPARE(calls[1], box(kNotCompleted, kTitle, Dialogs::Icon::Critical));
    QCOMPARE(wrongVisibility(window, false), QStringList());
    QCOMPARE(child<QLineEdit>(window, "Text1")->text(), QStringLiteral(" admin"));
    QCOMPARE(child<QLineEdit>(window, "Text2")->text(), QStringLiteral("Abc123 "));
    QCOMPARE(Module1::varLoginUser, QString());
    QCOMPARE(QFileInfo::exists(file), kind != QLatin1String("missing"));
    QFile after(file);
    QCOMPARE(after.open(QIODevice::ReadOnly) ? after.readAll() : QByteArray(), bytes);

    // Once the other program lets go, the same window signs in.
    if (lock) {
        lock.reset();
        dialogs->clear();
        QTest::mouseClick(child<QPushButton>(window, "Command1"), Qt::LeftButton);
        QCOMPARE(shown(dialogs.get()), QList<Shown>());
        QCOMPARE(wrongVisibility(window, true), QStringList());
    }
}

void tst_signin::everyWrongAttemptIsAnswered()
{
    TestFolder folder;
    Form* window = openSignIn(folder);
    QVERIFY(window);
    DialogScript dialogs;
    auto* text1 = child<QLineEdit>(window, "Text1");
    auto* text2 = child<QLineEdit>(window, "Text2");
    QList<Shown> expected;
    for (int attempt = 0; attempt < 6; ++attempt) {
        text1->clear();
        text2->clear();
        const bool knownName = attempt % 2;
        const QString name = knownName ? QStringLiteral("admin") : QStringLiteral("x%1").arg(attempt);
        signIn(window, name, QStringLiteral("wrong%1").arg(attempt));
        expected.append(box(knownName ? kWrongPassword : unknownUser(name), kTitle, Dialogs::Icon::Critical));
        QCOMPARE(shown(dialogs.get()), expected);
        QCOMPARE(wrongVisibility(window, false), QStringList());
    }
    text1->clear();
    text2->clear();
    signIn(window, QStringLiteral("admin"), QStringLiteral("Abc123"));
    QCOMPARE(dialogs->calls.size(), expected.size());
    QCOMPARE(wrongVisibility(window, true), QStringList());
}

void tst_signin::makerButtons_data()
{
    QTest::addColumn<QString>("form");
    QTest::newRow("sign-in window") << "admin";
    QTest::newRow("panel") << "admin1";
}

void tst_signin::makerButtons()
{
    QFETCH(QString, form);
    TestFolder folder;
    Form* window = openSignIn(folder);
    QVERIFY(window);
    if (form == QLatin1String("admin"))
        signIn(window, QStringLiteral("admin"), QStringLiteral("Abc123"));
    else
        window = Forms::instance().show(form);
    DialogScript dialogs;

    QTest::mouseClick(child<QPushButton>(window, "c3"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(window, "c4"), Qt::LeftButton);

    QVERIFY(Maker::kContactMail.contains(QLatin1Char('@')));
    QVERIFY(Maker::kWebPage.isValid() && !Maker::kWebPage.host().isEmpty());
    const QList<Shown> expected{
        box(QStringLiteral("定做细则请写邮件发送至") + Maker::kContactMail, QStringLiteral("软件开发")),
        {QStringLiteral("openUrl"), Maker::kWebPage.toString(), QString()}};
    QCOMPARE(shown(dialogs.get()), expected);
    QCOMPARE(Forms::instance().find(form), window);
    QVERIFY(window->isVisible());
}

void tst_signin::passwordWindowOpensOnce_data() { makerButtons_data(); }

void tst_signin::passwordWindowOpensOnce()
{
    QFETCH(QString, form);
    TestFolder folder;
    Form* window = openSignIn(folder);
    QVERIFY(window);
    if (form == QLatin1String("admin"))
        signIn(window, QStringLiteral("admin"), QStringLiteral("Abc123"));
    else
        window = Forms::instance().show(form);
    auto* c5 = child<QPushButton>(window, "c5");

    QTest::mouseClick(c5, Qt::LeftButton);
    Form* change = Forms::instance().find(QStringLiteral("mimaxiugai"));
    QVERIFY(change && change->isVisible());
    QTest::keyClicks(child<QLineEdit>(change, "t1"), QStringLiteral("typed"));
    QTest::mouseClick(c5, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QCOMPARE(Forms::instance().find(QStringLiteral("mimaxiugai")), change);
    QCOMPARE(child<QLineEdit>(change, "t1")->text(), QStringLiteral("typed"));
    int open = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        open += w->objectName() == QLatin1String("mimaxiugai");
    QCOMPARE(open, 1);
    QCOMPARE(Forms::instance().find(form), window);
    QVERIFY(window->isVisible());
}

void tst_signin::mainWindowButtonsReplaceTheWindow_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("next");
    for (const char* form : {"admin", "admin1"}) {
        QTest::addRow("%s c1", form) << QString::fromLatin1(form) << "c1" << "xianshi";
        QTest::addRow("%s c2", form) << QString::fromLatin1(form) << "c2" << "mail";
    }
}

void tst_signin::mainWindowButtonsReplaceTheWindow()
{
    QFETCH(QString, form);
    QFETCH(QString, button);
    QFETCH(QString, next);
    TestFolder folder;
    Form* window = openSignIn(folder);
    QVERIFY(window);
    if (form == QLatin1String("admin"))
        signIn(window, QStringLiteral("admin"), QStringLiteral("Abc123"));
    else
        window = Forms::instance().show(form);
    const QPointer<Form> caller = window;

    QTest::mouseClick(window->findChild<QPushButton*>(button), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QVERIFY(!caller);
    QCOMPARE(Forms::instance().find(form), nullptr);
    Form* opened = Forms::instance().find(next);
    QVERIFY(opened && opened->isVisible());
}

void tst_signin::signInAgainFromPanel()
{
    TestFolder folder;
    Form* window = openSignIn(folder);
    QVERIFY(window);
    DialogScript dialogs;
    signIn(window, QStringLiteral("admin"), QStringLiteral("Abc123"));
    // To the member window and back to the panel, as "回主 界面" does.
    QTest::mouseClick(child<QPushButton>(window, "c1"), Qt::LeftButton);
    Forms::instance().unload(Forms::instance().find(QStringLiteral("xianshi")));
    Form* panel = Forms::instance().show(QStringLiteral("admin1"));
    QVERIFY(panel);
    QCOMPARE(Module1::varLoginUser, QStringLiteral("admin"));
    QCOMPARE(Module1::varLoginPwd, QStringLiteral("Abc123"));
    QTest::mouseClick(child<QPushButton>(panel, "c5"), Qt::LeftButton);
    QVERIFY(Forms::instance().find(QStringLiteral("mimaxiugai")));

    for (int round = 0; round < 2; ++round) {
        QTest::mouseClick(child<QPushButton>(panel, "Command2"), Qt::LeftButton);
        QCOMPARE(Forms::instance().find(QStringLiteral("admin1")), nullptr);
        Form* again = Forms::instance().find(QStringLiteral("admin"));
        QVERIFY(again && again->isVisible());
        QCOMPARE(wrongVisibility(again, false), QStringList());
        QCOMPARE(child<QLineEdit>(again, "Text1")->text(), QString());
        QCOMPARE(child<QLineEdit>(again, "Text2")->text(), QString());
        QCOMPARE(Module1::varLoginUser, QString());
        QCOMPARE(Module1::varLoginPwd, QString());

        signIn(again, QStringLiteral("admin"), QStringLiteral("Abc123"));
        QCOMPARE(wrongVisibility(again, true), QStringList());
        Forms::instance().unload(again);
        panel = Forms::instance().show(QStringLiteral("admin1"));
        QVERIFY(panel);
    }
    QCOMPARE(shown(dialogs.get()), QList<Shown>());
}

void tst_signin::endingTheProgram_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("button");
    QTest::newRow("退出 on the sign-in window") << "admin" << "Command2";
    QTest::newRow("安全退出 on the panel") << "admin1" << "Command1";
}

void tst_signin::endingTheProgram()
{
    QFETCH(QString, form);
    QFETCH(QString, button);
    TestFolder folder;
    Form* window = openSignIn(folder);
    QVERIFY(window);
    signIn(window, QStringLiteral("admin"), QStringLiteral("Abc123"));
    if (form == QLatin1String("admin1"))
        window = Forms::instance().show(form);
    QTest::mouseClick(child<QPushButton>(window, "c5"), Qt::LeftButton);
    QVERIFY(Forms::instance().find(QStringLiteral("mimaxiugai")));
    QSignalSpy ended(&Forms::instance(), &Forms::ended);
    DialogScript dialogs;

    QTest::mouseClick(window->findChild<QPushButton*>(button), Qt::LeftButton);

    QCOMPARE(ended.size(), 1);
    QCOMPARE(Forms::instance().loaded(), QList<Form*>());
    QCOMPARE(shown(dialogs.get()), QList<Shown>());
}

QTEST_MAIN(tst_signin)
#include "tst_signin.moc"
