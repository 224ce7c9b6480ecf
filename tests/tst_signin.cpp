// The sign-in window over a real store, the panel it turns into and the panel window, the
// windows their buttons open, and the password change with the sign-ins that follow it.

#include "Accounts.h"
#include "AppSetup.h"
#include "Driving.h"
#include "FileChecks.h"
#include "Module1.h"
#include "RecordFixture.h"
#include "WindowChecks.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QSignalSpy>

#include <optional>

using namespace Qt::StringLiterals;
using RecordTests::line;
using RecordTests::summaries;
using WindowChecks::settle;
constexpr auto kCritical = Dialogs::Icon::Critical;

namespace {

const QString kWrongPassword = line(u"口令错误,请重新输入！"_s, u"登录验证"_s, kCritical);
const QString kWrongOld = line(u"旧密码错误"_s, u"修改口令"_s, kCritical);
const QString kChanged = line(u"口令已被成功修改！"_s, u"修改口令"_s, Dialogs::Icon::Information);

QString unknownUser(const QString& name)
{
    return line(u"《%1》不是系统用户！请检查是否输入用户名或输入是否正确！"_s.arg(name),
                u"登录验证"_s, kCritical);
}

class StandIn : public Form
{};

} // namespace

class tst_signin : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestFolder> folder;

    // Leaves the store missing, as junk bytes or without its admin table; returns its file.
    QString breakStore(const QString& how) const
    {
        const QString file = folder->path(u"hd.db"_s);
        if (how == "missing"_L1 || how == "junk"_L1)
            QFile::remove(file);
        if (how == "junk"_L1)
            writeFile(file, QByteArray(3000, '\x5a') + "not a store");
        if (how == "no tables"_L1)
            if (!folder->open().run(u"DROP TABLE admin"_s))
                qFatal("cannot drop table admin");
        return file;
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
        QTest::addColumn<QString>("store");   // how the store is broken, if it is
        const auto row = [](const char* tag, const char* name, const char* password,
                            const QString& message = {}, const char* store = "") {
            QTest::newRow(tag) << QString(name) << QString(password) << message << QString(store);
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
        const QString failed = line(u"登录验证未正常完成！请重新运行登录程序，\r\n"
                                    u"如果仍不能登录，请报告系统管理员！"_s,
                                    u"登录验证"_s, kCritical);
        for (const char* store : {"missing", "junk", "no tables", "held by another program"})
            row(store, " admin", "Abc123 ", failed, store);
    }
    void signIn()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, message);
        QFETCH(QString, store);
        QVERIFY(Accounts::add(folder->open(), u"O'Brien"_s, u"it's"_s));
        QVERIFY(Accounts::add(folder->open(), u"张三"_s, u"密码"_s));
        folder->addPlainOperator(u"legacy"_s, u"  old pw  "_s);
        folder->addPlainOperator(u"twice"_s, u"first"_s);
        folder->addPlainOperator(u"twice"_s, u"second"_s);
        Form* window = Forms::instance().show(u"admin"_s);
        const QString file = breakStore(store);
        // Exclusive locking keeps even readers of a WAL store out.
        std::optional<Database> other;
        if (store.startsWith("held"_L1))
            QVERIFY(other.emplace(folder->open()).run(u"PRAGMA locking_mode = EXCLUSIVE"_s) &&
                    other->run(u"BEGIN EXCLUSIVE"_s));
        const QByteArray bytes = readFile(file);
        DialogScript dialogs;

        signInThrough(window, name, password);

        // A wrong name is selected for retyping and the password stays; a wrong password goes.
        const bool wrongName = message.startsWith(u"《"_s);
        const QStringList state =
            message.isEmpty()
                ? QStringList{"signed in", "", "", "", "c1", name.trimmed(), password.trimmed()}
            : wrongName       ? QStringList{"signing in", name, password, name, "Text1", "", ""}
            : store.isEmpty() ? QStringList{"signing in", name, "", "", "Text2", "", ""}
                              : QStringList{"signing in", name, password, "", "Command1", "", ""};
        QCOMPARE(signInState(window), state.join(u'|'));
        // A store that cannot be read speaks first, naming itself; nothing is created or repaired.
        QStringList said = summaries(dialogs->calls);
        if (!store.isEmpty()) {
            const QString first = said.isEmpty() ? QString() : said.takeFirst();
            QVERIFY2(first.contains(QDir::toNativeSeparators(file)) &&
                         first.endsWith(u" |  | icon 0 | buttons 0"_s),
                     qPrintable(first));
        }
        QCOMPARE(said, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(readFile(file), bytes);
        QCOMPARE(QFileInfo::exists(file), store != "missing"_L1);
        // Every attempt is answered.
        if (!message.isEmpty()) {
            press(window, "Command1");
            QCOMPARE(dialogs->calls.size(), store.isEmpty() ? 2 : 4);
        }
    }

    void loadStep_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("situation");
        for (const char* form : {"admin", "admin1"})
            for (const char* situation : {"first start", "default photo deleted",
                                          "photo folder missing", "file 照片", "read-only folder"})
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
        const bool readOnly = situation.startsWith("read-only"_L1);
        if (situation == "first start"_L1 || readOnly)
            QVERIFY(QDir(templates).removeRecursively());
        if (situation == "default photo deleted"_L1)
            QVERIFY(QFile::remove(templates + u"/1.jpg"_s));
        else
            QVERIFY(QDir(photos).removeRecursively());
        if (situation == "file 照片"_L1)
            writeFile(photos, {});
        std::optional<RecordTests::ReadOnlyFolder> locked;
        if (readOnly && !locked.emplace(folder->root()).effective())
            QSKIP("permissions do not bind this user");
        Module1::varLoginUser = u"admin"_s;
        Module1::varLoginPwd = u"Abc123"_s;
        Module1::RecordPhoto = u"x.jpg"_s;
        DialogScript dialogs;

        Forms::instance().show(form);

        // Without a default photo the window makes way for the default photo window.
        QCOMPARE(loadedNames(), QStringList{defaultThere ? form : u"tiantu"_s});
        // A folder that cannot be made is named first.
        QStringList said = summaries(dialogs->calls);
        if (readOnly)
            QVERIFY2(!said.isEmpty() && said.takeFirst().contains(templates),
                     qPrintable(said.join(u'\n')));
        const QString noPhoto = u"您的操作系统中暂时没有默认图片，请添加会员默认照片"_s;
        QCOMPARE(said, defaultThere ? QStringList() : QStringList{line(noPhoto, u"系统显示"_s)});
        QCOMPARE(QFileInfo(templates).isDir(), !readOnly);
        QCOMPARE(QFileInfo(photos).isDir(), !readOnly && situation != "file 照片"_L1);
        QCOMPARE(QFileInfo::exists(photos), !readOnly);
        // The sign-in window forgets the operator; the panel keeps them for "修改口令".
        QCOMPARE(Module1::varLoginUser + Module1::varLoginPwd + Module1::RecordPhoto,
                 form == "admin1"_L1 ? u"adminAbc123x.jpg"_s : QString());
    }

    void panelButtons_data()
    {
        QTest::addColumn<QString>("form");
        QTest::newRow("sign-in window") << u"admin"_s;
        QTest::newRow("panel") << u"admin1"_s;
    }
    void panelButtons()
    {
        QFETCH(QString, form);
        // The member and address windows take the caller's place; the rest open beside it.
        for (const char* button : {"c1", "c2"}) {
            closeAllForms();
            press(signedInOn(form), button);
            settle();
            QCOMPARE(loadedNames(), QStringList{button == "c1"_L1 ? u"xianshi"_s : u"mail"_s});
        }
        closeAllForms();
        Form* window = signedInOn(form);
        DialogScript dialogs;
        for (const char* button : {"c3", "c4", "c5"})
            press(window, button);
        QCOMPARE(loadedNames(), (QStringList{form, u"mimaxiugai"_s}));
        const QList<Shown> expected{
            messageBox(u"定做细则请写邮件发送至dingzhi@oldmere-studio.cn"_s, u"软件开发"_s),
            {u"openUrl"_s, u"https://www.oldmere-studio.cn/"_s, QString()}};
        QCOMPARE(shown(dialogs.get()), expected);
    }

    void signInAgainAndEnd()
    {
        Form* panel = signedInOn(u"admin1"_s);
        press(panel, "c5");
        // A second press brings the one password window forward as it was.
        Form* change = loadedForm(u"mimaxiugai"_s);
        typeText(findIn<QWidget>(change, "t1"), u"typed"_s);
        press(panel, "c5");
        settle();
        QCOMPARE(loadedForm(u"mimaxiugai"_s), change);
        QCOMPARE(findIn<QLineEdit>(change, "t1")->text(), u"typed"_s);
        QSignalSpy ended(&Forms::instance(), &Forms::ended);
        DialogScript dialogs;

        press(panel, "Command2");
        settle();

        // Back to an empty sign-in window that knows nobody, and signs in as before.
        QCOMPARE(loadedNames(), (QStringList{u"admin"_s, u"mimaxiugai"_s}));
        Form* signIn = loadedForm(u"admin"_s);
        QCOMPARE(signInState(signIn), u"signing in||||Text1||"_s);
        // Return or Enter in the password box signs in; Return in the name box does nothing.
        QWidget* text2 = findIn<QWidget>(signIn, "Text2");
        typeText(findIn<QWidget>(signIn, "Text1"), u"admin"_s);
        typeText(text2, u"nope"_s);
        QTest::keyClick(text2, Qt::Key_Return);
        typeText(text2, u"Abc123"_s);
        QTest::keyClick(findIn<QWidget>(signIn, "Text1"), Qt::Key_Return);
        QCOMPARE(signInState(signIn), u"signing in|admin|Abc123||Text2||"_s);
        QTest::keyClick(text2, Qt::Key_Enter);
        QCOMPARE(signInState(signIn), u"signed in||||c1|admin|Abc123"_s);
        // "退出" and "安全退出" end the program with every window.
        press(signIn, "Command2");
        QCOMPARE(loadedNames(), QStringList());
        press(signedInOn(u"admin1"_s), "Command1");
        QCOMPARE(loadedNames(), QStringList());
        QCOMPARE(ended.size(), 2);
        QCOMPARE(summaries(dialogs->calls), QStringList{kWrongPassword});
    }

    void passwordRefusals_data()
    {
        QTest::addColumn<QString>("store");     // what became of the store since the sign-in
        QTest::addColumn<QStringList>("typed"); // old password, new one, new one again
        QTest::addColumn<QString>("message");
        const QString blank = line(u"请输入新口令！"_s, u"修改口令"_s, kCritical);
        const QString differ = line(u"两次输入的新口令必须相同！"_s, u"修改口令"_s, kCritical);
        const QString cannot = line(u"无法修改口令！"_s, u"修改口令"_s, kCritical);
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
        row("old with leading blank", " Abc123", "new1", "new1", kWrongOld);
        row("old with trailing blank", "Abc123 ", "new1", "new1", kWrongOld);
        row("old in other case", "abc123", "new1", "new1", kWrongOld);
        row("old empty", "", "new1", "new1", kWrongOld);
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
        QVERIFY(Accounts::add(folder->open(), u"other"_s, u"keep"_s));
        if (store == "deleted"_L1)
            QVERIFY(folder->open().run(u"DELETE FROM admin WHERE user = 'admin'"_s));
        const QString file = breakStore(store);
        const Snapshot files = snapshot(folder->root());
        const QString signedInWith = store == "nobody"_L1 ? QString() : u"Abc123"_s;
        DialogScript dialogs;
        ChangeWindow w(signedInWith.isEmpty() ? QString() : u"admin"_s, signedInWith);
        QCOMPARE(w.boxes[0]->echoMode(), QLineEdit::Password);

        w.save(typed);

        QCOMPARE(summaries(dialogs->calls), QStringList{message});
        QCOMPARE(loadedNames(), QStringList{u"mimaxiugai"_s});
        // A wrong old password is cleared; a new one that will not do is selected for retyping.
        const bool retype = message.startsWith(u"请输入"_s) || message.startsWith(u"两次"_s);
        QCOMPARE(w.state(),
                 (QStringList{message == kWrongOld ? QString() : typed[0], typed[1], typed[2],
                              retype            ? u"focus 1"_s
                              : store.isEmpty() ? u"focus 0"_s
                                                : u"focus 3"_s,
                              message.startsWith(u"两次"_s) ? typed[1] : QString()}
                      .join(u'|')));
        QCOMPARE(Module1::varLoginPwd, signedInWith);
        // Closing saves nothing either, and the window opens empty again.
        press(w.form, "Command2");
        QCOMPARE(loadedNames(), QStringList());
        QCOMPARE(dialogs->calls.size(), 1);
        QCOMPARE(snapshot(folder->root()), files);
    }

    void changeAndSignInAgain_data()
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
    void changeAndSignInAgain()
    {
        QFETCH(QString, user);
        QFETCH(QString, newPassword);
        QFETCH(QString, asTyped);
        if (user != "admin"_L1)
            QVERIFY(Accounts::add(folder->open(), user, u"Abc123"_s));
        DialogScript dialogs;
        ChangeWindow(user, u"Abc123"_s).save({u"Abc123"_s, newPassword, newPassword});
        QCOMPARE(summaries(dialogs->calls), QStringList{kChanged});
        QCOMPARE(loadedNames(), QStringList());
        QCOMPARE(Module1::varLoginPwd, asTyped);
        // The next sign-in takes the new password only.
        QCOMPARE(Accounts::verify(folder->open(), user, u"Abc123"_s).value(),
                 Accounts::Verdict::WrongPassword);
        QCOMPARE(Accounts::verify(folder->open(), user, asTyped).value(), Accounts::Verdict::Match);
    }
};

QTEST_MAIN(tst_signin)
#include "tst_signin.moc"
