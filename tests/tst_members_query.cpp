// The member window's condition query: the one filled detail field narrows the list to the
// matching members, lowest id first; refused and fruitless queries say why.

#include "AppSetup.h"
#include "Driving.h"
#include "QueryChecks.h"

using namespace MemberTests;
using namespace QueryTests;

class TestMembersQuery : public QObject
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

    void condition_data();
    void condition();
};

void TestMembersQuery::condition_data()
{
    QTest::addColumn<QString>("pick");        // "record": a row of page 2; "id": and emptied
    QTest::addColumn<QStringList>("typed");   // box, text, box, text...
    QTest::addColumn<QList<qint64>>("found"); // of the members below
    QTest::addColumn<QString>("message");     // instead of a result
    using Ids = QList<qint64>;
    const auto add = [](const char* name, const QString& pick, const QStringList& typed,
                        const Ids& found, const QString& message = {}) {
        QTest::newRow(name) << pick << typed << found << message;
    };
    add("men", "", {"Combo1", "男"}, {1, 2, 5, 7, 9, 11});
    add("women", "", {"Combo1", "女"}, {3, 4, 8, 10, 12});
    add("emptied gender box", "", {"Combo1", ""}, {6});
    // Only the count trims; the text is searched as it stands.
    add("blank-padded gender", "", {"Combo1", " 男"}, {}, kNothing);
    add("name with a quote, other case", "", {"t1", "TOM O'NEIL"}, {1, 2});
    add("name, not a prefix", "", {"t1", "李娜"}, {3});
    add("telephone, not a prefix", "", {"T4", "13900000003"}, {3});
    add("qq", "", {"T5", "5550031"}, {4});
    add("age, not a prefix", "", {"t3", "3"}, {4});
    add("mail, other case", "", {"T6", "TOM.ONEIL@EXAMPLE.COM"}, {1});
    add("mail, not a prefix", "", {"T6", "lina@163.com"}, {3});
    add("percent is no wildcard in mail", "", {"T6", "lina@163%"}, {}, kNothing);
    // Address: a substring in which '%' and '_' are wildcards; long runs go through the index.
    add("one Chinese character", "", {"T7", "路"}, {4, 6});
    add("one ASCII letter", "", {"T7", "b"}, {11, 12});
    add("indexed run, other case", "", {"T7", "STREET"}, {1, 2, 3});
    add("indexed run with a blank", "", {"T7", "main street"}, {1, 2});
    add("indexed Chinese run", "", {"T7", "中山路"}, {4});
    add("two Chinese characters", "", {"T7", "大街"}, {5});
    add("two characters beyond the basic plane", "", {"T7", "𠮷野"}, {6});
    add("indexed run, non-ASCII case differs", "", {"T7", "üller"}, {7});
    add("indexed run of non-ASCII letters only", "", {"T7", "åäö"}, {7});
    add("indexed run with a quote", "", {"T7", "o'brien"}, {12});
    add("percent alone", "", {"T7", "%"}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    add("underscore alone", "", {"T7", "_"}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12});
    add("percent joins indexed runs", "", {"T7", "main%street"}, {1, 2, 3});
    add("percent joins short runs", "", {"T7", "n%77"}, {2});
    add("underscore between indexed runs", "", {"T7", "der_sco"}, {11});
    add("underscore in a short run", "", {"T7", "str_et"}, {1, 2, 3});
    add("address matches nothing", "", {"T7", "xyz"}, {}, kNothing);
    add("1000 characters are searched", "", {"T7", QString(1000, u'路')}, {}, kNothing);
    // The first box holding any text is the condition; the hidden id comes after the telephone.
    add("selected id before QQ", "id", {"T5", "12"}, {2});
    add("selected id before age", "id", {"t3", "12"}, {2});
    add("selected id before mail", "id", {"T6", "12"}, {2});
    add("selected id before address", "id", {"T7", "12"}, {2});
    add("telephone before selected id", "id", {"T4", "13900000003"}, {3});
    add("name before selected id", "id", {"t1", "李娜"}, {3});
    add("blank name before QQ", "", {"t1", " ", "T5", "555003"}, {10});
    add("blank name nobody has before QQ", "", {"t1", "  ", "T5", "555003"}, {}, kNothing);
    add("selected record", "record", {}, {}, kTooMany);
    add("name and QQ", "", {"t1", "王伟", "T5", "12345"}, {}, kTooMany);
    add("address and gender", "", {"T7", "路", "Combo1", "女"}, {}, kTooMany);
    add("blank-padded age and mail", "", {"t3", " 31 ", "T6", "a@b.cn"}, {}, kTooMany);
    add("nothing typed", "", {}, {}, kNoCondition);
    add("only blanks", "", {"t1", "   ", "T7", " ", "Combo1", " 请选择性别  "}, {}, kNoCondition);
    add("id of a selected record", "id", {}, {}, kNoCondition);
    add("1001 characters", "", {"T7", QString(1001, u'路')}, {}, kTooLong);
}

void TestMembersQuery::condition()
{
    QFETCH(QString, pick);
    QFETCH(QStringList, typed);
    QFETCH(QList<qint64>, found);
    QFETCH(QString, message);
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    // Name, gender, age, telephone, QQ, mail, address.
    const QList<QStringList> rows = {
        {"Tom O'Neil", "男", "31", "13900000001", "555001", "Tom.ONeil@Example.com",
         "Main Street 5"},
        {"tom o'neil", "男", "32", "13900000002", "555002", "t@x.cn", "MAIN STREET 77"},
        {"李娜", "女", "31", "13900000003", "555003", "lina@163.com", "main-street 9"},
        {"李娜娜", "女", "3", "139000000031", "5550031", "lina@163.com.cn",
         "南京市鼓楼区中山路1号"},
        {"王伟", "男", "40", "13900000005", "555005", "w@x.cn", "上海市浦东新区建设大街8号"},
        {"张敏", "", "41", "13900000006", "555006", "z@x.cn", "山𠮷野路3号"},
        {"Jürgen", "男", "42", "13900000007", "555007", "j@x.cn", "Müllerstraße 1, åäö"},
        {"Anna", "女", "43", "13900000008", "555008", "a@x.cn", "MÜLLERSTRASSE 2, ÅÄÖ"},
        {"Ben", "男", "44", "13900000009", "555009", "b@x.cn", "100% Pure Lane"},
        {" ", "女", "20", "13900000010", "555010", "", ""},
        {"刘洋", "男", "45", "13900000011", "555011", "l@x.cn", "under_score boulevard"},
        {"O'Brien", "女", "46", "13900000012", "555012", "o@x.cn", "O'Brien Road 4"},
    };
    for (const QStringList& v : rows)
        addRow(folder, {0, v[0], v[1], v[2], v[3], v[4], v[5], v[6],
                        folder.makeJpeg(PhotoFiles::memberPhotoPath(v[0], v[3]))});
    const Window w = openWindow();
    QVERIFY(w.ok());
    w.click("Command8");
    if (!pick.isEmpty()) {
        w.select(0);
        QCOMPARE(w.t8->text(), QStringLiteral("2"));
    }
    if (pick == QLatin1String("id")) {
        for (QLineEdit* box : {w.t1, w.t3, w.T4, w.T5, w.T6})
            box->clear();
        w.T7->clear();
        w.Combo1->setEditText(kPickGender);
    }
    fill(w, typed);
    const QStringList fields = w.fields();
    const QList<QStringList> page = w.page();

    w.click("Command6");
    if (message.isEmpty()) {
        QCOMPARE(shown(dialogs.get()), QList<Shown>());
        QCOMPARE(w.t9->text(), QString::number(found.size()));
        QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/%1").arg((found.size() + 9) / 10));
        QCOMPARE(w.fields(), fields);
        QCOMPARE(walkPages(w), found);
        // The record and page buttons browse the result in its own order.
        const qsizetype last = (found.size() - 1) / 10 * 10;
        w.click("Command9");
        QCOMPARE(w.t8->text(), QString::number(found.at(qMax(last, found.size() - 2))));
        w.click("Command7");
        QCOMPARE(w.shownIds(), found.mid(qMax(last - 10, 0), 10));
        w.click("Command11");
        checkFullListBack(w, folder);
        return;
    }
    QCOMPARE(shown(dialogs.get()),
             QList<Shown>{messageBox(message, message == kNothing ? kFailed : kRefused)});
    if (message == kNothing || message == kTooMany) {
        checkFullListBack(w, folder);
        w.click("Command8");
        QCOMPARE(w.txtPageMsg->text(), QStringLiteral("2/2"));
        return;
    }
    // Refused before the store was asked: all stays, paging included.
    QCOMPARE(w.fields(), fields);
    QCOMPARE(w.page(), page);
    QCOMPARE(w.t9->text(), QStringLiteral("12"));
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("2/2"));
    w.click("Command7");
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/2"));
}

QTEST_MAIN(TestMembersQuery)
#include "tst_members_query.moc"
