// The address condition of the member window's query: a substring match in which '%' and '_'
// keep their wildcard meaning. Long literal runs go through the trigram index, and whatever way
// a pattern takes, the members found are those the plain LIKE on the table finds.

#include "AppSetup.h"
#include "MemberWindow.h"
#include "Module1.h"
#include "QueryChecks.h"
#include "TestFolder.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QTest>

using namespace MemberTests;
using namespace QueryTests;

namespace {

// Chinese reaches a box through the input method, whole characters at a time, including those
// outside the basic plane that key events would deliver in halves.
void commitText(QWidget* box, const QString& text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(box, &event);
}

} // namespace

class TestQueryAddress : public QObject
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

    void addressSubstring_data();
    void addressSubstring();
    void addressIndexAgreesWithPlainLike_data();
    void addressIndexAgreesWithPlainLike();
};

void TestQueryAddress::addressSubstring_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QList<qint64>>("expected"); // ids of the addresses below

    QTest::newRow("one Chinese character") << "路" << QList<qint64>{4, 6};
    QTest::newRow("one ASCII letter") << "b" << QList<qint64>{11, 12};
    QTest::newRow("indexed run, other case") << "STREET" << QList<qint64>{1, 2, 3};
    QTest::newRow("indexed run with a blank") << "main street" << QList<qint64>{1, 2};
    QTest::newRow("indexed Chinese run") << "中山路" << QList<qint64>{4};
    QTest::newRow("two Chinese characters") << "大街" << QList<qint64>{5};
    QTest::newRow("two characters beyond the basic plane") << "𠮷野" << QList<qint64>{6};
    QTest::newRow("indexed run, non-ASCII case differs") << "üller" << QList<qint64>{7};
    QTest::newRow("indexed run with a quote") << "o'brien" << QList<qint64>{12};
    QTest::newRow("percent alone") << "%" << QList<qint64>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    QTest::newRow("underscore alone") << "_" << QList<qint64>{1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12};
    QTest::newRow("percent joins indexed runs") << "main%street" << QList<qint64>{1, 2, 3};
    QTest::newRow("percent joins short runs") << "n%77" << QList<qint64>{2};
    QTest::newRow("underscore between indexed runs") << "der_sco" << QList<qint64>{11};
    QTest::newRow("underscore in a short run") << "str_et" << QList<qint64>{1, 2, 3};
    QTest::newRow("nothing matches") << "xyz" << QList<qint64>{};
}

void TestQueryAddress::addressSubstring()
{
    QFETCH(QString, typed);
    QFETCH(QList<qint64>, expected);
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    const QStringList addresses = {"Main Street 5",
                                   "MAIN STREET 77",
                                   "main-street 9",
                                   "南京市鼓楼区中山路1号",
                                   "上海市浦东新区建设大街8号",
                                   "山𠮷野路3号",
                                   "Müllerstraße 1",
                                   "MÜLLERSTRASSE 2",
                                   "100% Pure Lane",
                                   "",
                                   "under_score boulevard",
                                   "O'Brien Road 4"};
    for (int i = 0; i < addresses.size(); ++i) {
        Member m = MemberGenerator::make(i + 1);
        m.dizhi = addresses.at(i);
        addRow(folder, m);
    }
    const Window w = openWindow();
    QVERIFY(w.ok());

    commitText(w.T7, typed);
    QCOMPARE(w.T7->toPlainText(), typed);
    w.click("Command6");

    // The index only narrows: the answer is the plain LIKE's on the table.
    QCOMPARE(idsWhere(folder, QStringLiteral("dizhi LIKE '%' || ? || '%'"), {typed}), expected);
    if (expected.isEmpty()) {
        QCOMPARE(described(dialogs->calls), QStringList{notice(kNothing, kFailed)});
        checkFullListBack(w, folder);
        return;
    }
    QCOMPARE(described(dialogs->calls), QStringList());
    QCOMPARE(w.t9->text(), QString::number(expected.size()));
    QCOMPARE(walkPages(w), expected);
    QCOMPARE(w.T7->toPlainText(), typed);
}

void TestQueryAddress::addressIndexAgreesWithPlainLike_data()
{
    QTest::addColumn<QString>("typed");
    for (const char* typed :
         {"人民路", "区人民", "2号", "浦东新区%建设大街", "海淀区%号", "朝阳区_民路", "单元1"})
        QTest::newRow(typed) << QString::fromUtf8(typed);
}

void TestQueryAddress::addressIndexAgreesWithPlainLike()
{
    QFETCH(QString, typed);
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    QVERIFY(MemberGenerator::insert(folder.open(), 1000, [](const Member&) {
        return Result<QString>(QStringLiteral("/nowhere.jpg"));
    }));
    const QList<qint64> expected =
        idsWhere(folder, QStringLiteral("dizhi LIKE '%' || ? || '%'"), {typed});
    QVERIFY2(expected.size() > 10, "the sample should give more than one page");
    const Window w = openWindow();
    QVERIFY(w.ok());

    commitText(w.T7, typed);
    w.click("Command6");

    QCOMPARE(described(dialogs->calls), QStringList());
    QCOMPARE(w.t9->text(), QString::number(expected.size()));
    QCOMPARE(walkPages(w), expected);
}

QTEST_MAIN(TestQueryAddress)
#include "tst_query_address.moc"
