// The address summary window: every member's e-mail address joined for a webmail recipient
// field, its links, the ways into and out of it, and the box that shows very long texts.

#include "AddressBox.h"
#include "AppSetup.h"
#include "Driving.h"
#include "FileChecks.h"
#include "Maker.h"
#include "MemberWindow.h"
#include "RecordFixture.h"
#include "TestFolder.h"
#include "WindowChecks.h"
#include "mail.h"

#include <QApplication>
#include <QClipboard>
#include <QPointer>
#include <QTest>

using namespace MemberTests;

namespace {

const QString kNull = QStringLiteral("<NULL>");

mail* openMail()
{
    return qobject_cast<mail*>(Forms::instance().show(QStringLiteral("mail")));
}

AddressBox* box(QWidget* window)
{
    return findIn<AddressBox>(window, "t1");
}

QStringList loadedNames()
{
    QStringList names;
    for (Form* form : Forms::instance().loaded())
        names << form->objectName();
    return names;
}

void press(QWidget* window, const char* name)
{
    QWidget* control = findIn<QWidget>(window, name);
    QVERIFY2(control, name);
    QTest::mouseClick(control, Qt::LeftButton);
}

} // namespace

class TestMail : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        AppSetup::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        AppSetup::registerWindows();
    }
    void cleanup() { closeAllForms(); }

    void addressesJoinedInStoredOrder_data();
    void addressesJoinedInStoredOrder();
    void memberAddedWhileOpenShowsAfterReopening();
    void unreadableStoreIsReported_data();
    void unreadableStoreIsReported();
    void linksOpenTheBrowser();
    void waysInAndOut_data();
    void waysInAndOut();
    void longTextIsShownAndCopiedExactly();
};

void TestMail::addressesJoinedInStoredOrder_data()
{
    QTest::addColumn<QList<qint64>>("ids"); // 0: the next id
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QString>("text");

    QTest::newRow("A, empty, B") << QList<qint64>{0, 0, 0}
                                 << QStringList{"zoe@163.com", "", "adam@qq.com"}
                                 << "zoe@163.com;;adam@qq.com;";
    QTest::newRow("empty store") << QList<qint64>{} << QStringList{} << "";
    QTest::newRow("one member without address") << QList<qint64>{0} << QStringList{""} << ";";
    QTest::newRow("kept as stored")
        << QList<qint64>{0, 0, 0, 0, 0}
        << QStringList{" Pad@X.cn ", "dup@x.cn", "dup@x.cn", kNull, "a;b@例子.中国"}
        << " Pad@X.cn ;dup@x.cn;dup@x.cn;;a;b@例子.中国;";
    QTest::newRow("id order, not insertion order")
        << QList<qint64>{9, 4, 12} << QStringList{"nine@x.cn", "four@x.cn", "twelve@x.cn"}
        << "four@x.cn;nine@x.cn;twelve@x.cn;";
}

void TestMail::addressesJoinedInStoredOrder()
{
    QFETCH(QList<qint64>, ids);
    QFETCH(QStringList, addresses);
    QFETCH(QString, text);
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    for (int i = 0; i < addresses.size(); ++i) {
        Member m = RecordTests::person(QStringLiteral("会员%1").arg(i),
                                       QStringLiteral("1380000%1").arg(i));
        m.id = ids.at(i);
        m.youxiang = addresses.at(i) == kNull ? QStringLiteral("x") : addresses.at(i);
        addRow(folder, m);
        if (addresses.at(i) == kNull)
            QVERIFY(folder.open().run(QStringLiteral(
                "UPDATE user SET youxiang = NULL WHERE id = (SELECT max(id) FROM user)")));
    }

    mail* window = openMail();
    QVERIFY(window && box(window));
    QCOMPARE(window->mailText(), text);
    QCOMPARE(box(window)->toPlainText(), QString());

    // Whatever the box held is replaced, and a second press leaves one copy.
    typeText(box(window), QStringLiteral("typed by hand"));
    for (int pressed = 1; pressed <= 2; ++pressed) {
        press(window, "Command1");
        QCOMPARE(box(window)->text(), text);
        QCOMPARE(box(window)->toPlainText(), text);
    }
    QCOMPARE(shown(dialogs.get()), QList<Shown>());
}

void TestMail::memberAddedWhileOpenShowsAfterReopening()
{
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    addMembers(folder, 3);
    const QString before = openMail()->mailText();
    QVERIFY(before.endsWith(QLatin1Char(';')));

    Member late = RecordTests::person(QStringLiteral("后来者"), QStringLiteral("13811112222"));
    late.youxiang = QStringLiteral("late@163.com");
    addRow(folder, late);
    mail* window = openMail();
    QCOMPARE(window->mailText(), before);
    press(window, "Command1");
    QCOMPARE(box(window)->text(), before);

    // Out to the member window and back: the window is loaded afresh and reads the store again.
    press(window, "Command2");
    press(Forms::instance().find(QStringLiteral("xianshi")), "Command13");
    window = qobject_cast<mail*>(Forms::instance().find(QStringLiteral("mail")));
    QVERIFY(window);
    QCOMPARE(window->mailText(), before + QStringLiteral("late@163.com;"));
    QCOMPARE(box(window)->text(), QString());
    press(window, "Command1");
    QCOMPARE(box(window)->text(), before + QStringLiteral("late@163.com;"));
    QCOMPARE(shown(dialogs.get()), QList<Shown>());
}

void TestMail::unreadableStoreIsReported_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("missing") << "missing";
    QTest::newRow("not a database") << "garbage";
    QTest::newRow("no member table") << "no table";
}

void TestMail::unreadableStoreIsReported()
{
    QFETCH(QString, fault);
    DialogScript dialogs;
    TestFolder folder;
    folder.makeDefaultPhoto();
    const QString store = folder.path(QStringLiteral("hd.db"));
    if (fault == QLatin1String("garbage")) {
        writeFile(store, randomBytes(8192));
    } else if (fault == QLatin1String("no table")) {
        folder.createStore();
        QVERIFY(folder.open().run(QStringLiteral("DROP TABLE user")));
    }
    const Snapshot files = snapshot(folder.root());

    mail* window = openMail();
    QVERIFY(window);
    QCOMPARE(RecordTests::summaries(dialogs->calls),
             QStringList{RecordTests::critical(QStringLiteral("无法读取会员邮箱："),
                                               QStringLiteral("邮箱汇总"))});
    QCOMPARE(window->mailText(), QString());
    QVERIFY(window->isVisible());
    // Nothing is created or repaired.
    QCOMPARE(snapshot(folder.root()), files);

    dialogs->clear();
    press(window, "Command1");
    QCOMPARE(box(window)->text(), QString());
    press(window, "Command4");
    QCOMPARE(dialogs->calls.size(), 1);
    QCOMPARE(dialogs->calls.first().kind, QStringLiteral("openUrl"));
    press(window, "Command3");
    WindowChecks::settle();
    QCOMPARE(loadedNames(), QStringList{QStringLiteral("admin1")});
}

void TestMail::linksOpenTheBrowser()
{
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    addMembers(folder, 2);
    mail* window = openMail();

    press(window, "Command4");
    press(window, "Label6");
    QCOMPARE(dialogs->calls.size(), 2);
    for (const ScriptedDialogs::Call& call : dialogs->calls)
        QCOMPARE(call.kind, QStringLiteral("openUrl"));
    // The hint under the box sends the operator to the 163 webmail.
    const QUrl webmail(dialogs->calls.at(0).text);
    QCOMPARE(webmail.scheme(), QStringLiteral("https"));
    QVERIFY2(webmail.host().endsWith(QLatin1String("163.com")), qPrintable(webmail.toString()));
    QCOMPARE(dialogs->calls.at(1).text, Maker::kWebPage.toString());
    QCOMPARE(loadedNames(), QStringList{QStringLiteral("mail")});

    // The member window's support link leads to the same page.
    press(window, "Command2");
    press(Forms::instance().find(QStringLiteral("xianshi")), "Label11");
    QCOMPARE(dialogs->calls.size(), 3);
    QCOMPARE(dialogs->calls.at(2).kind, QStringLiteral("openUrl"));
    QCOMPARE(dialogs->calls.at(2).text, dialogs->calls.at(1).text);
}

void TestMail::waysInAndOut_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("to");
    QTest::newRow("邮箱汇总 on the signed-in sign-in window") << "admin"
                                                              << "c2"
                                                              << "mail";
    QTest::newRow("邮箱汇总 on the panel") << "admin1"
                                           << "c2"
                                           << "mail";
    QTest::newRow("邮件 群发 on the member window") << "xianshi"
                                                    << "Command13"
                                                    << "mail";
    QTest::newRow("返回会员操作") << "mail"
                                  << "Command2"
                                  << "xianshi";
    QTest::newRow("返回主界面") << "mail"
                                << "Command3"
                                << "admin1";
}

void TestMail::waysInAndOut()
{
    QFETCH(QString, from);
    QFETCH(QString, button);
    QFETCH(QString, to);
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore(QStringLiteral("admin"), QStringLiteral("Abc123"));
    folder.makeDefaultPhoto();
    addMembers(folder, 25);

    Form* caller = nullptr;
    if (from == QLatin1String("admin")) {
        caller = Forms::instance().show(from);
        signInThrough(caller, QStringLiteral("admin"), QStringLiteral("Abc123"));
    } else if (from == QLatin1String("mail")) {
        // Reached from a member window left on page 2 with a record selected.
        Window members = openWindow();
        members.click("Command8");
        members.select(1);
        members.click("Command13");
        WindowChecks::settle();
        caller = Forms::instance().find(from);
    } else {
        caller = Forms::instance().show(from);
    }
    QVERIFY(caller);
    QCOMPARE(loadedNames(), QStringList{from});
    const QPointer<Form> old = caller;
    dialogs->clear();

    press(caller, qPrintable(button));
    WindowChecks::settle();

    QVERIFY(!old);
    QCOMPARE(loadedNames(), QStringList{to});
    Form* opened = Forms::instance().find(to);
    QVERIFY(opened->isVisible());
    QCOMPARE(shown(dialogs.get()), QList<Shown>());
    if (to == QLatin1String("xianshi")) {
        const Window w = findWindow(opened);
        QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/3"));
        QCOMPARE(w.shownIds(), storedIdsNewestFirst(folder).mid(0, 10));
        QCOMPARE(w.t8->text(), QString());
    } else if (to == QLatin1String("mail")) {
        QCOMPARE(qobject_cast<mail*>(opened)->mailText().count(QLatin1Char(';')), 25);
        QCOMPARE(box(opened)->text(), QString());
    }
}

void TestMail::longTextIsShownAndCopiedExactly()
{
    QString text;
    for (int i = 0; i < 200000; ++i)
        text += (i % 3 ? QStringLiteral("member%1@163.com;") : QStringLiteral("会员%1@例子.中国;"))
                    .arg(i);
    AddressBox shortBox;
    shortBox.setText(QStringLiteral("a@b.cn;;c@d.cn;"));
    QCOMPARE(shortBox.toPlainText(), QStringLiteral("a@b.cn;;c@d.cn;"));

    AddressBox longBox;
    longBox.setText(text);
    QCOMPARE(longBox.text(), text);
    // On screen the text may be laid out in lines, but never loses, adds or splits an address.
    const QString shownText = longBox.toPlainText();
    QCOMPARE(QString(shownText).remove(QLatin1Char('\n')), text);
    const QStringList lines = shownText.split(QLatin1Char('\n'));
    for (const QString& line : lines)
        QVERIFY2(line.endsWith(QLatin1Char(';')), qPrintable(line.right(40)));

    QClipboard* clipboard = QApplication::clipboard();
    longBox.selectAll();
    longBox.copy();
    QCOMPARE(clipboard->text(), text);

    // A part of the text copied across a line end is a piece of the addresses, without a break.
    if (lines.size() > 1) {
        QTextCursor cursor = longBox.textCursor();
        cursor.setPosition(lines.first().size() - 20);
        cursor.setPosition(lines.first().size() + 20, QTextCursor::KeepAnchor);
        longBox.setTextCursor(cursor);
        longBox.copy();
        const QString part = clipboard->text();
        QCOMPARE(part.size(), 39);
        QVERIFY(text.contains(part));
    }
}

QTEST_MAIN(TestMail)
#include "tst_mail.moc"
