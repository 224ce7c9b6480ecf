// The member window's condition query: the one filled detail field narrows the grid to the
// matching members in ascending id order; refused and fruitless queries bring the full list back.

#include "AppSetup.h"
#include "Driving.h"
#include "MemberWindow.h"
#include "Module1.h"
#include "QueryChecks.h"
#include "TestFolder.h"

#include <QApplication>
#include <QTest>

using namespace MemberTests;
using namespace QueryTests;

namespace {

// Empties the detail fields by hand; the hidden id box keeps what a selection put there.
void emptyFields(const Window& w)
{
    for (QLineEdit* box : {w.t1, w.t3, w.T4, w.T5, w.T6})
        box->clear();
    w.T7->clear();
    w.Combo1->setEditText(kPickGender);
}

void eraseGender(const Window& w)
{
    QTest::keyClick(w.Combo1->lineEdit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(w.Combo1->lineEdit(), Qt::Key_Backspace);
}

QWidget* field(const Window& w, const QString& name)
{
    return w.form->findChild<QWidget*>(name);
}

// A store of generated members with photos; members are numbered 1..count.
void fillStore(TestFolder& folder, qint64 members)
{
    folder.createStore();
    folder.makeDefaultPhoto();
    addMembers(folder, members);
}

// Name, gender, age, telephone, QQ, mail, address.
Member row(const QStringList& v)
{
    Member m;
    m.xingming = v.at(0);
    m.xingbie = v.at(1);
    m.nianling = v.at(2);
    m.dianhua = v.at(3);
    m.qq = v.at(4);
    m.youxiang = v.at(5);
    m.dizhi = v.at(6);
    return m;
}

} // namespace

class TestQuery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        AppSetup::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        AppSetup::registerWindows();
    }
    void cleanup()
    {
        closeAllForms();
        // Every way through the query leaves the counter at rest.
        QCOMPARE(Module1::intCondCount, 0);
    }

    void genderCondition_data();
    void genderCondition();
    void exactFields_data();
    void exactFields();
    void moreThanOneConditionIsRefused_data();
    void moreThanOneConditionIsRefused();
    void noCountedFieldChangesNothing_data();
    void noCountedFieldChangesNothing();
    void selectedIdGoesBeforeLaterFields_data();
    void selectedIdGoesBeforeLaterFields();
    void blankNameGoesBeforeQQ_data();
    void blankNameGoesBeforeQQ();
    void twelveMatchesPageAndBrowse();
};

void TestQuery::genderCondition_data()
{
    QTest::addColumn<QString>("gender");
    QTest::newRow("men") << QStringLiteral("男");
    QTest::newRow("women") << QStringLiteral("女");
    QTest::newRow("emptied box") << QStringLiteral("");
    // Only the count trims; the text is searched as it stands.
    QTest::newRow("blank-padded") << QStringLiteral(" 男");
}

void TestQuery::genderCondition()
{
    QFETCH(QString, gender);
    DialogScript dialogs;
    TestFolder folder;
    fillStore(folder, 28);
    QVERIFY(folder.open().run(QStringLiteral("UPDATE user SET xingbie = CASE WHEN id = 21 THEN '' "
                                             "WHEN id % 2 = 0 THEN '女' ELSE '男' END")));
    const Window w = openWindow();
    QVERIFY(w.ok());
    const QList<qint64> expected = idsWhere(folder, QStringLiteral("xingbie = ?"), {gender});

    if (const int item = w.Combo1->findText(gender); item >= 0) {
        w.Combo1->setCurrentIndex(item);
    } else {
        eraseGender(w);
        typeText(w.Combo1->lineEdit(), gender);
    }
    QCOMPARE(w.Combo1->currentText(), gender);
    w.click("Command6");

    if (gender == QStringLiteral(" 男")) {
        QCOMPARE(expected, QList<qint64>());
        QCOMPARE(described(dialogs->calls), QStringList{notice(kNothing, kFailed)});
        checkFullListBack(w, folder);
        return;
    }
    QCOMPARE(described(dialogs->calls), QStringList());
    QVERIFY(gender.isEmpty() ? expected == QList<qint64>{21} : expected.size() > 10);
    QCOMPARE(w.t9->text(), QString::number(expected.size()));
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/%1").arg((expected.size() + 9) / 10));
    QCOMPARE(walkPages(w), expected);
    QCOMPARE(w.Combo1->currentText(), gender);
}

void TestQuery::exactFields_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QList<qint64>>("expected");

    QTest::newRow("name with a quote, other case") << "t1"
                                                   << "TOM O'NEIL" << QList<qint64>{6, 7};
    QTest::newRow("name, not a prefix") << "t1"
                                        << "李娜" << QList<qint64>{8};
    QTest::newRow("telephone, not a prefix") << "T4"
                                             << "13900000003" << QList<qint64>{8};
    QTest::newRow("qq") << "T5"
                        << "5550031" << QList<qint64>{9};
    QTest::newRow("age, not a prefix") << "t3"
                                       << "3" << QList<qint64>{9};
    QTest::newRow("mail, other case") << "T6"
                                      << "TOM.ONEIL@EXAMPLE.COM" << QList<qint64>{6};
    QTest::newRow("mail, not a prefix") << "T6"
                                        << "lina@163.com" << QList<qint64>{8};
    QTest::newRow("percent is no wildcard here") << "T6"
                                                 << "lina@163%" << QList<qint64>{};
}

void TestQuery::exactFields()
{
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QList<qint64>, expected);
    DialogScript dialogs;
    TestFolder folder;
    fillStore(folder, 5);
    // Ids 6 to 9.
    addRow(folder, row({"Tom O'Neil", "男", "31", "13900000001", "555001", "Tom.ONeil@Example.com",
                        "Dublin Road 1"}));
    addRow(folder,
           row({"tom o'neil", "男", "32", "13900000002", "555002", "t@x.cn", "Cork Road 2"}));
    addRow(folder, row({"李娜", "女", "31", "13900000003", "555003", "lina@163.com", "文化路3号"}));
    addRow(folder,
           row({"李娜娜", "女", "3", "139000000031", "5550031", "lina@163.com.cn", "文化路4号"}));
    const Window w = openWindow();
    QVERIFY(w.ok());

    typeText(field(w, box), typed);
    w.click("Command6");

    if (expected.isEmpty()) {
        QCOMPARE(described(dialogs->calls), QStringList{notice(kNothing, kFailed)});
        checkFullListBack(w, folder);
        return;
    }
    QCOMPARE(described(dialogs->calls), QStringList());
    QCOMPARE(w.shownIds(), expected);
    QCOMPARE(w.t9->text(), QString::number(expected.size()));
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/1"));
    QCOMPARE(field(w, box)->property("text").toString(), typed);
}

void TestQuery::moreThanOneConditionIsRefused_data()
{
    QTest::addColumn<QStringList>("typed"); // box, text, box, text...; empty: select a record
    QTest::newRow("selected record") << QStringList();
    QTest::newRow("name and QQ") << QStringList{"t1", "王伟", "T5", "12345"};
    QTest::newRow("address and gender") << QStringList{"T7", "路", "Combo1", "女"};
    QTest::newRow("blank-padded age and mail") << QStringList{"t3", " 31 ", "T6", "a@b.cn"};
}

void TestQuery::moreThanOneConditionIsRefused()
{
    QFETCH(QStringList, typed);
    DialogScript dialogs;
    TestFolder folder;
    fillStore(folder, 25);
    const Window w = openWindow();
    QVERIFY(w.ok());
    w.click("Command8");
    if (typed.isEmpty()) {
        w.select(3);
        QVERIFY(!w.photo->isEmpty());
    }
    for (int i = 0; i + 1 < typed.size(); i += 2) {
        if (typed.at(i) == QLatin1String("Combo1"))
            w.Combo1->setCurrentIndex(w.Combo1->findText(typed.at(i + 1)));
        else
            typeText(field(w, typed.at(i)), typed.at(i + 1));
    }
    w.click("Command6");

    QCOMPARE(described(dialogs->calls), QStringList{notice(kTooMany, kRefused)});
    checkFullListBack(w, folder);
    QCOMPARE(Module1::RecordPhoto, QString());
    w.click("Command8");
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("2/3"));
}

void TestQuery::noCountedFieldChangesNothing_data()
{
    QTest::addColumn<bool>("selectFirst");
    QTest::addColumn<bool>("blanks");
    QTest::newRow("nothing typed") << false << false;
    QTest::newRow("only blanks") << false << true;
    QTest::newRow("id of a selected record") << true << false;
}

void TestQuery::noCountedFieldChangesNothing()
{
    QFETCH(bool, selectFirst);
    QFETCH(bool, blanks);
    DialogScript dialogs;
    TestFolder folder;
    fillStore(folder, 25);
    const Window w = openWindow();
    QVERIFY(w.ok());
    w.click("Command8");
    if (selectFirst) {
        w.select(4);
        emptyFields(w);
        QVERIFY(!w.t8->text().isEmpty());
    }
    if (blanks) {
        typeText(w.t1, QStringLiteral("   "));
        typeText(w.T7, QStringLiteral(" "));
        w.Combo1->setEditText(QLatin1Char(' ') + kPickGender + QLatin1String("  "));
    }
    const QStringList fields = w.fields();
    const QList<QStringList> page = w.page();

    w.click("Command6");

    QCOMPARE(described(dialogs->calls), QStringList{notice(kNoCondition, kRefused)});
    QCOMPARE(w.fields(), fields);
    QCOMPARE(w.page(), page);
    QCOMPARE(w.t9->text(), QStringLiteral("25"));
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("2/3"));
    w.click("Command8");
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("3/3"));
}

void TestQuery::selectedIdGoesBeforeLaterFields_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("member3Wins"); // the box holds member 3's value and is the condition
    QTest::newRow("QQ") << "T5" << false;
    QTest::newRow("age") << "t3" << false;
    QTest::newRow("mail") << "T6" << false;
    QTest::newRow("address") << "T7" << false;
    QTest::newRow("telephone comes first") << "T4" << true;
    QTest::newRow("name comes first") << "t1" << true;
}

void TestQuery::selectedIdGoesBeforeLaterFields()
{
    QFETCH(QString, box);
    QFETCH(bool, member3Wins);
    DialogScript dialogs;
    TestFolder folder;
    fillStore(folder, 25);
    // Member 3 gets a name nobody else has; telephones are unique anyway.
    const QString name = QStringLiteral("Únique Name");
    QVERIFY(folder.open().run(QStringLiteral("UPDATE user SET xingming = ? WHERE id = 3"), {name}));
    const Window w = openWindow();
    QVERIFY(w.ok());
    w.click("Command8");
    w.select(2);
    QCOMPARE(w.t8->text(), QStringLiteral("13"));
    emptyFields(w);
    const QMap<QString, QString> member3 = {{"t1", name}, {"T4", MemberGenerator::make(3).dianhua}};
    typeText(field(w, box), member3.value(box, QStringLiteral("12")));

    w.click("Command6");

    QCOMPARE(described(dialogs->calls), QStringList());
    QCOMPARE(w.shownIds(), QList<qint64>{member3Wins ? 3 : 13});
    QCOMPARE(w.t9->text(), QStringLiteral("1"));
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/1"));
}

void TestQuery::blankNameGoesBeforeQQ_data()
{
    QTest::addColumn<bool>("someoneNamedBlank");
    QTest::newRow("nobody is named blank") << false;
    QTest::newRow("a member is named blank") << true;
}

void TestQuery::blankNameGoesBeforeQQ()
{
    QFETCH(bool, someoneNamedBlank);
    DialogScript dialogs;
    TestFolder folder;
    fillStore(folder, 24);
    if (someoneNamedBlank)
        addRow(folder, row({" ", "女", "20", "13600000000", "999", "", ""}));
    const Window w = openWindow();
    QVERIFY(w.ok());
    w.click("Command8");
    typeText(w.t1, QStringLiteral(" "));
    typeText(w.T5, MemberGenerator::make(4).qq);

    w.click("Command6");

    if (someoneNamedBlank) {
        QCOMPARE(described(dialogs->calls), QStringList());
        QCOMPARE(w.shownIds(), QList<qint64>{25});
        QCOMPARE(w.t1->text(), QStringLiteral(" "));
        return;
    }
    QCOMPARE(described(dialogs->calls), QStringList{notice(kNothing, kFailed)});
    checkFullListBack(w, folder);
}

void TestQuery::twelveMatchesPageAndBrowse()
{
    DialogScript dialogs;
    TestFolder folder;
    fillStore(folder, 30);
    const QList<qint64> matching = {2, 3, 5, 8, 11, 13, 17, 19, 23, 24, 27, 30};
    for (qint64 id : matching)
        QVERIFY(folder.open().run(QStringLiteral("UPDATE user SET nianling = '99' WHERE id = ?"),
                                  {id}));
    const Window w = openWindow();
    QVERIFY(w.ok());
    typeText(w.t3, QStringLiteral("99"));

    w.click("Command6");
    QCOMPARE(w.t9->text(), QStringLiteral("12"));
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/2"));
    QCOMPARE(w.shownIds(), matching.mid(0, 10));
    QCOMPARE(w.t3->text(), QStringLiteral("99"));

    // The record buttons browse the result in its own order.
    w.click("Command9");
    QCOMPARE(w.t8->text(), QString::number(matching.at(8)));
    w.click("Command10");
    QCOMPARE(w.t8->text(), QString::number(matching.at(9)));

    w.click("Command8");
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("2/2"));
    QCOMPARE(w.shownIds(), matching.mid(10));
    w.click("Command8");
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("2/2"));
    w.click("Command9");
    QCOMPARE(w.t8->text(), QString::number(matching.at(10)));
    w.click("Command7");
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/2"));
    QCOMPARE(w.shownIds(), matching.mid(0, 10));

    w.click("Command11");
    checkFullListBack(w, folder);
    w.click("Command8");
    QCOMPARE(w.shownIds(), storedIdsNewestFirst(folder).mid(10, 10));
    QCOMPARE(described(dialogs->calls), QStringList());
}

QTEST_MAIN(TestQuery)
#include "tst_query.moc"
