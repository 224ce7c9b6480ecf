// The address summary window: every member's e-mail address joined for a webmail recipient
// field, the rule that joins them, its links and ways out, and the box for very long texts.

#include "AddressBox.h"
#include "AddressText.h"
#include "AppSetup.h"
#include "Driving.h"
#include "FileChecks.h"
#include "MemberWindow.h"
#include "RecordFixture.h"
#include "WindowChecks.h"

#include <QClipboard>

using namespace Qt::StringLiterals;
using namespace MemberTests;
using RecordTests::summaries;
using WindowChecks::settle;

namespace {

// What "显示所有邮箱" puts into the box.
QString shownAddresses(Form* window)
{
    press(window, "Command1");
    return findIn<AddressBox>(window, "t1")->text();
}

} // namespace

class tst_mail : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestFolder> folder;

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

    void addressesJoinedInStoredOrder_data()
    {
        QTest::addColumn<QStringList>("addresses"); // "id=address" keeps that id
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("fault"); // what is wrong with the store, if anything
        const auto row = [](const char* tag, const QStringList& addresses, const char* text,
                            const char* fault = "") {
            QTest::newRow(tag) << addresses << QString(text) << QString(fault);
        };
        row("A, empty, B", {"zoe@163.com", "", "adam@qq.com"}, "zoe@163.com;;adam@qq.com;");
        row("empty store", {}, "");
        row("one member without address", {""}, ";");
        row("kept as stored", {" Pad@X.cn ", "dup@x.cn", "dup@x.cn", "<NULL>", "a;b@例子.中国"},
            " Pad@X.cn ;dup@x.cn;dup@x.cn;;a;b@例子.中国;");
        row("id order, not insertion order", {"9=nine@x.cn", "4=four@x.cn", "12=twelve@x.cn"},
            "four@x.cn;nine@x.cn;twelve@x.cn;");
        for (const char* fault : {"store missing", "not a database", "no member table"})
            row(fault, {}, "", fault);
    }
    void addressesJoinedInStoredOrder()
    {
        QFETCH(QStringList, addresses);
        QFETCH(QString, text);
        QFETCH(QString, fault);
        DialogScript dialogs;
        if (fault.isEmpty() || fault == "no member table"_L1)
            folder->createStore();
        if (fault == "not a database"_L1)
            writeFile(folder->path(u"hd.db"_s), randomBytes(8192));
        if (fault == "no member table"_L1)
            QVERIFY(folder->open().run(u"DROP TABLE user"_s));
        for (int i = 0; i < addresses.size(); ++i) {
            Member m = RecordTests::person(u"会员%1"_s.arg(i), u"1380000%1"_s.arg(i));
            const QStringList parts = addresses.at(i).split(u'=');
            m.id = parts.size() > 1 ? parts.first().toLongLong() : 0;
            m.youxiang = parts.last();
            addRow(*folder, m);
        }
        if (fault.isEmpty()) {
            QVERIFY(
                folder->open().run(u"UPDATE user SET youxiang = NULL WHERE youxiang = '<NULL>'"_s));
            QCOMPARE(AddressText::build(folder->open()).value(), text);
        }
        const Snapshot files = snapshot(folder->root());

        Form* window = Forms::instance().show(u"mail"_s);

        // A store that cannot be read is reported, and the window still works.
        QCOMPARE(summaries(dialogs->calls),
                 fault.isEmpty()
                     ? QStringList()
                     : QStringList{RecordTests::critical(u"无法读取会员邮箱："_s, u"邮箱汇总"_s)});
        auto* box = findIn<AddressBox>(window, "t1");
        QCOMPARE(box->toPlainText(), QString());
        // Whatever the box held is replaced, and a second press leaves one copy.
        typeText(box, u"typed by hand"_s);
        QCOMPARE(shownAddresses(window), text);
        QCOMPARE(shownAddresses(window), text);
        QCOMPARE(box->toPlainText(), text);
        // Nothing is created or repaired; "返回主界面" leads to the panel.
        QCOMPARE(snapshot(folder->root()), files);
        press(window, "Command3");
        settle();
        QCOMPARE(loadedNames(), QStringList{u"admin1"_s});
    }

    void fromTheMemberWindowAndBack()
    {
        DialogScript dialogs;
        folder->createStore();
        addMembers(*folder, 25);
        Window members = openWindow();
        members.click("Command8");
        members.select(1);

        members.click("Command13");
        settle();

        QCOMPARE(loadedNames(), QStringList{u"mail"_s});
        Form* window = loadedForm(u"mail"_s);
        QCOMPARE(findIn<AddressBox>(window, "t1")->text(), QString());
        const QString before = shownAddresses(window);
        QCOMPARE(before.count(u';'), 25);
        // The addresses are read when the window loads.
        Member late = RecordTests::person(u"后来者"_s, u"13811112222"_s);
        late.youxiang = u"late@163.com"_s;
        addRow(*folder, late);
        QCOMPARE(shownAddresses(window), before);
        press(window, "Command4");
        press(window, "Label6");

        // "返回会员操作" shows the member window afresh, on its first page.
        press(window, "Command2");
        settle();
        QCOMPARE(loadedNames(), QStringList{u"xianshi"_s});
        members = findWindow(loadedForm(u"xianshi"_s));
        QCOMPARE(members.txtPageMsg->text(), u"1/3"_s);
        QCOMPARE(members.shownIds(), storedIdsNewestFirst(*folder).mid(0, 10));
        QCOMPARE(members.t8->text(), QString());
        press(members.form, "Label11");
        members.click("Command13");
        QCOMPARE(shownAddresses(loadedForm(u"mail"_s)), before + u"late@163.com;"_s);

        // The hint under the box sends the operator to the 163 webmail; both support links to the
        // maker's page.
        const auto link = [](const char* url) {
            return Shown{u"openUrl"_s, QString(url), {}};
        };
        QCOMPARE(shown(dialogs.get()), (QList<Shown>{link("https://mail.163.com/"),
                                                     link("https://www.oldmere-studio.cn/"),
                                                     link("https://www.oldmere-studio.cn/")}));
    }

    void longTextIsShownAndCopiedExactly()
    {
        QString text;
        for (int i = 0; i < 200000; ++i)
            text += (i % 3 ? u"member%1@163.com;"_s : u"会员%1@例子.中国;"_s).arg(i);
        AddressBox box;
        box.setText(text);
        QCOMPARE(box.text(), text);
        // On screen the text may be laid out in lines, but never loses, adds or splits an address.
        const QString shownText = box.toPlainText();
        QCOMPARE(QString(shownText).remove(u'\n'), text);
        for (const QString& line : shownText.split(u'\n'))
            QVERIFY2(line.endsWith(u';'), qPrintable(line.right(40)));
        box.selectAll();
        box.copy();
        QCOMPARE(QApplication::clipboard()->text(), text);
    }
};

QTEST_MAIN(tst_mail)
#include "tst_mail.moc"
