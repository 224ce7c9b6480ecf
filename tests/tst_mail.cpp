// The address summary window: every member's e-mail address joined for a webmail recipient
// field, the rule that joins them, its links, the ways into and out of it, and the box that
// shows very long texts.

#include "AddressBox.h"
#include "AddressText.h"
#include "AppSetup.h"
#include "Driving.h"
#include "FileChecks.h"
#include "Maker.h"
#include "MemberWindow.h"
#include "RecordFixture.h"
#include "TestFolder.h"
#include "WindowChecks.h"

#include <QClipboard>
#include <QPointer>

using namespace MemberTests;

namespace {

const QString kNull = QStringLiteral("<NULL>");

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

Form* openMail()
{
    return Forms::instance().show(QStringLiteral("mail"));
}

// What "显示所有邮箱" puts into the box.
QString shownAddresses(Form* window)
{
    press(window, "Command1");
    return box(window) ? box(window)->text() : QStringLiteral("<no box>");
}

} // namespace

class tst_mail : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        AppSetup::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        AppSetup::registerWindows();
    }
    void init()
    {
        folder = std::make_unique<TestFolder>();
        folder->makeDefaultPhoto();
    }
    void cleanup() { folder.reset(); }

    void addressesJoinedInStoredOrder_data();
    void addressesJoinedInStoredOrder();
    void memberAddedWhileOpenShowsAfterReopening();
    void unreadableStoreIsReported_data();
    void unreadableStoreIsReported();
    void linksOpenTheBrowser();
    void waysInAndOut_data();
    void waysInAndOut();
    void longTextIsShownAndCopiedExactly();

private:
    std::unique_ptr<TestFolder> folder;
};

void tst_mail::addressesJoinedInStoredOrder_data()
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

void tst_mail::addressesJoinedInStoredOrder()
{
    QFETCH(QList<qint64>, ids);
    QFETCH(QStringList, addresses);
    QFETCH(QString, text);
    DialogScript dialogs;
    folder->createStore();
    for (int i = 0; i < addresses.size(); ++i) {
        Member m = RecordTests::person(QStringLiteral("会员%1").arg(i),
                                       QStringLiteral("1380000%1").arg(i));
        m.id = ids.at(i);
        m.youxiang = addresses.at(i) == kNull ? QStringLiteral("x") : addresses.at(i);
        addRow(*folder, m);
        if (addresses.at(i) == kNull)
            QVERIFY(folder->open().run(QStringLiteral(
                "UPDATE user SET youxiang = NULL WHERE id = (SELECT max(id) FROM user)")));
    }
    QCOMPARE(AddressText::build(folder->open()).value(), text);

    Form* window = openMail();
    QVERIFY(window && box(window));
    QCOMPARE(box(window)->toPlainText(), QString());
    // Whatever the box held is replaced, and a second press leaves one copy.
    typeText(box(window), QStringLiteral("typed by hand"));
    for (int pressed = 1; pressed <= 2; ++pressed) {
        QCOMPARE(shownAddresses(window), text);
        QCOMPARE(box(window)->toPlainText(), text);
    }
    QCOMPARE(shown(dialogs.get()), QList<Shown>());
}

void tst_mail::memberAddedWhileOpenShowsAfterReopening()
{
    DialogScript dialogs;
    folder->createStore();
    addMembers(*folder, 3);
    const QString before = shownAddresses(openMail());
    QCOMPARE(before.count(QLatin1Char(';')), 3);

    Member late = RecordTests::person(QStringLiteral("后来者"), QStringLiteral("13811112222"));
    late.youxiang = QStringLiteral("late@163.com");
    addRow(*folder, late);
    QCOMPARE(shownAddresses(openMail()), before);

    // Out to the member window and back: the window is loaded afresh and reads the store again.
    press(openMail(), "Command2");
    press(loadedForm(QStringLiteral("xianshi")), "Command13");
    Form* window = loadedForm(QStringLiteral("mail"));
    QVERIFY(window);
    QCOMPARE(box(window)->text(), QString());
    QCOMPARE(shownAddresses(window), before + QStringLiteral("late@163.com;"));
    QCOMPARE(shown(dialogs.get()), QList<Shown>());
}

void tst_mail::unreadableStoreIsReported_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("missing") << "missing";
    QTest::newRow("not a database") << "garbage";
    QTest::newRow("no member table") << "no table";
}

void tst_mail::unreadableStoreIsReported()
{
    QFETCH(QString, fault);
    DialogScript dialogs;
    const QString store = folder->path(QStringLiteral("hd.db"));
    if (fault == QLatin1String("garbage")) {
        writeFile(store, randomBytes(8192));
    } else if (fault == QLatin1String("no table")) {
        folder->createStore();
        QVERIFY(folder->open().run(QStringLiteral("DROP TABLE user")));
    }
    const Snapshot files = snapshot(folder->root());

    Form* window = openMail();

    QVERIFY(window && window->isVisible());
    QCOMPARE(RecordTests::summaries(dialogs->calls),
             QStringList{RecordTests::critical(QStringLiteral("无法读取会员邮箱："),
                                               QStringLiteral("邮箱汇总"))});
    // Nothing is created or repaired, and the window still works.
    QCOMPARE(snapshot(folder->root()), files);
    dialogs->clear();
    QCOMPARE(shownAddresses(window), QString());
    press(window, "Command4");
    QCOMPARE(dialogs->calls.size(), 1);
    QCOMPARE(dialogs->calls.first().kind, QStringLiteral("openUrl"));
    press(window, "Command3");
    WindowChecks::settle();
    QCOMPARE(loadedNames(), QStringList{QStringLiteral("admin1")});
}

void tst_mail::linksOpenTheBrowser()
{
    DialogScript dialogs;
    folder->createStore();
    addMembers(*folder, 2);
    Form* window = openMail();

    press(window, "Command4");
    press(window, "Label6");

    QCOMPARE(dialogs->calls.size(), 2);
    for (const ScriptedDialogs::Call& call : dialogs->calls)
        QCOMPARE(call.kind, QStringLiteral("openUrl"));
    // The hint under the box sends the operator to the 163 webmail.
    const QUrl webmail(dialogs->calls.at(0).text);
    QCOMPARE(webmail.scheme(), QStringLiteral("https"));
    QVERIFY2(webmail.host().endsWith(QLatin1String("163.com")), qPrintable(webmail.toString()));
    QCOMPARE(dialogs->calls.at(1).text, QStringLiteral("https://www.oldmere-studio.cn/"));
    QCOMPARE(loadedNames(), QStringList{QStringLiteral("mail")});

    // The member window's support link leads to the same page.
    press(window, "Command2");
    press(loadedForm(QStringLiteral("xianshi")), "Label11");
    QCOMPARE(dialogs->calls.size(), 3);
    QCOMPARE(dialogs->calls.at(2).kind, QStringLiteral("openUrl"));
    QCOMPARE(dialogs->calls.at(2).text, dialogs->calls.at(1).text);
}

void tst_mail::waysInAndOut_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("to");
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

void tst_mail::waysInAndOut()
{
    QFETCH(QString, from);
    QFETCH(QString, button);
    QFETCH(QString, to);
    DialogScript dialogs;
    folder->createStore();
    addMembers(*folder, 25);
    Form* caller = nullptr;
    if (from == QLatin1String("mail")) {
        // Reached from a member window left on page 2 with a record selected.
        Window members = openWindow();
        members.click("Command8");
        members.select(1);
        members.click("Command13");
        WindowChecks::settle();
        caller = loadedForm(from);
    } else {
        caller = Forms::instance().show(from);
    }
    QVERIFY(caller);
    QCOMPARE(loadedNames(), QStringList{from});
    const QPointer<Form> old = caller;
    dialogs->clear();

    press(caller, qPrintable(button));
    WindowChecks::settle();

    QVERIFY(old.isNull());
    QCOMPARE(loadedNames(), QStringList{to});
    Form* opened = loadedForm(to);
    QVERIFY(opened->isVisible());
    QCOMPARE(shown(dialogs.get()), QList<Shown>());
    if (to == QLatin1String("xianshi")) {
        const Window w = findWindow(opened);
        QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/3"));
        QCOMPARE(w.shownIds(), storedIdsNewestFirst(*folder).mid(0, 10));
        QCOMPARE(w.t8->text(), QString());
    } else if (to == QLatin1String("mail")) {
        QCOMPARE(box(opened)->text(), QString());
        QCOMPARE(shownAddresses(opened).count(QLatin1Char(';')), 25);
    }
}

void tst_mail::longTextIsShownAndCopiedExactly()
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

QTEST_MAIN(tst_mail)
#include "tst_mail.moc"
