// The member window's list: opening it, paging through the members ten at a time, reloading the
// full list, and leaving the window.

#include "AppSetup.h"
#include "Forms.h"
#include "MemberWindow.h"
#include "Module1.h"
#include "TestFolder.h"

#include <QApplication>
#include <QHeaderView>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace MemberTests;

namespace {

// Page n (from 1) of a list of ids, ten to a page.
QList<qint64> pageOf(const QList<qint64>& ids, int page)
{
    return ids.mid((page - 1) * 10, 10);
}

QString pageMessage(int page, int pages)
{
    return QStringLiteral("%1/%2").arg(page).arg(pages);
}

} // namespace

class TestMembersList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        AppSetup::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        AppSetup::registerWindows();
    }
    void cleanup() { closeAllForms(); }

    void pageButtonsWalkTheList_data();
    void pageButtonsWalkTheList();
    void gridHasCaptionsAndOnePage();
    void selectionSurvivesPageChange();
    void memberListReloadsFirstPageAndClearsFields();
    void backToPanelAndOpenAgainStartsOnPageOne();
    void emptyStoreIsReportedAndButtonsAreHarmless();
    void closeBoxOfLastWindowEndsProgram();
};

void TestMembersList::pageButtonsWalkTheList_data()
{
    QTest::addColumn<int>("members");
    QTest::addColumn<QList<qint64>>("removed");
    QTest::addColumn<int>("pages");

    QTest::newRow("25 members") << 25 << QList<qint64>{} << 3;
    QTest::newRow("exactly 10 members") << 10 << QList<qint64>{} << 1;
    QTest::newRow("11 members") << 11 << QList<qint64>{} << 2;
    QTest::newRow("20 members fill two pages") << 20 << QList<qint64>{} << 2;
    // Deleted rows leave gaps in the ids, so a page is not simply a range of ids.
    QTest::newRow("25 left of 31") << 31 << QList<qint64>{2, 9, 10, 11, 20, 31} << 3;
}

void TestMembersList::pageButtonsWalkTheList()
{
    QFETCH(int, members);
    QFETCH(QList<qint64>, removed);
    QFETCH(int, pages);

    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    addMembers(folder, members);
    removeRows(folder, removed);
    const QList<qint64> ids = storedIdsNewestFirst(folder);

    const Window w = openWindow();
    QVERIFY(w.ok());
    QCOMPARE(w.t9->text(), QString::number(members - removed.size()));
    QCOMPARE(w.txtPageMsg->text(), pageMessage(1, pages));
    QCOMPARE(w.lss->text(), QString());
    QCOMPARE(w.shownIds(), pageOf(ids, 1));

    // Forward to the last page, remembering every page as shown.
    QList<QList<QStringList>> seen = {w.page()};
    for (int page = 2; page <= pages; ++page) {
        w.click("Command8");
        QCOMPARE(w.txtPageMsg->text(), pageMessage(page, pages));
        QCOMPARE(w.shownIds(), pageOf(ids, page));
        seen.append(w.page());
    }
    const int lastRows = int(ids.size()) - (pages - 1) * 10;
    QCOMPARE(w.model()->rowCount(), lastRows);

    // Past the last page nothing moves.
    w.click("Command8");
    QCOMPARE(w.txtPageMsg->text(), pageMessage(pages, pages));
    QCOMPARE(w.page(), seen.last());

    // Back again: every page exactly as it was on the way forward.
    for (int page = pages - 1; page >= 1; --page) {
        w.click("Command7");
        QCOMPARE(w.txtPageMsg->text(), pageMessage(page, pages));
        QCOMPARE(w.page(), seen.at(page - 1));
    }
    w.click("Command7");
    QCOMPARE(w.txtPageMsg->text(), pageMessage(1, pages));
    QCOMPARE(w.page(), seen.first());
    // And forward once more from page 1.
    if (pages > 1) {
        w.click("Command8");
        QCOMPARE(w.page(), seen.at(1));
    }

    // Paging never selects a record.
    QVERIFY(w.t8->text().isEmpty());
    QVERIFY(w.t1->text().isEmpty());
    QVERIFY(Module1::RecordPhoto.isEmpty());
    QVERIFY(w.photo->isEmpty());
    QCOMPARE(dialogs->calls.size(), 0);
}

void TestMembersList::gridHasCaptionsAndOnePage()
{
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    addMembers(folder, 37);

    const Window w = openWindow();
    QVERIFY(w.ok());
    const QStringList captions = {QStringLiteral("ID"),         QStringLiteral("   姓名"),
                                  QStringLiteral("性别"),       QStringLiteral("年龄"),
                                  QStringLiteral("      电话"), QStringLiteral("      QQ"),
                                  QStringLiteral("      邮箱"), QStringLiteral("         地址"),
                                  QStringLiteral("      照片")};
    QCOMPARE(w.model()->columnCount(), captions.size());
    for (int c = 0; c < captions.size(); ++c)
        QCOMPARE(w.model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(),
                 captions.at(c));

    // The grid holds one page, never the listing.
    QCOMPARE(w.t9->text(), QStringLiteral("37"));
    QCOMPARE(w.model()->rowCount(), 10);
    for (int page = 2; page <= 4; ++page) {
        w.click("Command8");
        QVERIFY(w.model()->rowCount() <= 10);
    }
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("4/4"));
    QCOMPARE(w.model()->rowCount(), 7);

    // The id and photo columns are there for the detail view, narrow but present.
    QVERIFY(!w.grid->isColumnHidden(0));
    QVERIFY(!w.grid->isColumnHidden(8));
    QVERIFY(w.grid->columnWidth(0) < w.grid->columnWidth(2));
    QVERIFY(w.grid->columnWidth(8) < w.grid->columnWidth(2));
}

void TestMembersList::selectionSurvivesPageChange()
{
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    addMembers(folder, 25);
    const QList<qint64> ids = storedIdsNewestFirst(folder);

    const Window w = openWindow();
    QVERIFY(w.ok());
    w.select(3);
    const QStringList chosen = w.fields();
    QCOMPARE(chosen.first(), QString::number(ids.at(3)));
    const QString photo = Module1::RecordPhoto;
    QVERIFY(!photo.isEmpty());
    const QImage drawn = w.photo->surface();

    w.click("Command8");
    QCOMPARE(w.shownIds(), pageOf(ids, 2));
    QCOMPARE(w.fields(), chosen);
    QCOMPARE(Module1::RecordPhoto, photo);
    QCOMPARE(w.photo->surface(), drawn);

    w.click("Command8");
    w.click("Command7");
    QCOMPARE(w.shownIds(), pageOf(ids, 2));
    QCOMPARE(w.fields(), chosen);
    QCOMPARE(Module1::RecordPhoto, photo);

    // A row of the new page is then selected as usual.
    w.select(0);
    QCOMPARE(w.t8->text(), QString::number(ids.at(10)));
    QCOMPARE(dialogs->calls.size(), 0);
}

void TestMembersList::memberListReloadsFirstPageAndClearsFields()
{
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    addMembers(folder, 25);

    const Window w = openWindow();
    QVERIFY(w.ok());
    w.click("Command8");
    w.click("Command8");
    w.select(2);
    QVERIFY(!w.t8->text().isEmpty());
    QVERIFY(!w.photo->isEmpty());
    w.lss->setText(QStringLiteral("状态文字"));
    Module1::PhotoChosen = QStringLiteral("1");
    Module1::PhotoSource = folder.path(QStringLiteral("picked.jpg"));

    // A member added meanwhile shows on top after the reload.
    Member added = MemberGenerator::make(99);
    added.zhaopian = folder.makeJpeg(QStringLiteral("照片/new.jpg"));
    addRow(folder, added);
    const QList<qint64> ids = storedIdsNewestFirst(folder);

    w.click("Command11");
    QCOMPARE(w.t9->text(), QStringLiteral("26"));
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/3"));
    QCOMPARE(w.shownIds(), pageOf(ids, 1));
    QCOMPARE(w.fields(), (QStringList{QString(), QString(), kPickGender, QString(), QString(),
                                      QString(), QString(), QString()}));
    QCOMPARE(w.lss->text(), QString());
    QVERIFY(w.photo->isEmpty());
    QCOMPARE(Module1::RecordPhoto, QString());
    QCOMPARE(Module1::PhotoSource, QString());
    QCOMPARE(Module1::PhotoChosen, QStringLiteral("1"));

    // Paging starts over from page 1.
    w.click("Command8");
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("2/3"));
    QCOMPARE(w.shownIds(), pageOf(ids, 2));
    QCOMPARE(dialogs->calls.size(), 0);
}

void TestMembersList::backToPanelAndOpenAgainStartsOnPageOne()
{
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    addMembers(folder, 25);
    const QList<qint64> ids = storedIdsNewestFirst(folder);

    Window w = openWindow();
    QVERIFY(w.ok());
    QPointer<Form> first = w.form;
    w.click("Command8");
    w.click("Command8");
    w.select(1);
    QVERIFY(!Module1::RecordPhoto.isEmpty());
    QSignalSpy ended(&Forms::instance(), &Forms::lastFormUnloaded);

    w.click("Command14");
    QVERIFY(!Forms::instance().find(QStringLiteral("xianshi")));
    Form* panel = Forms::instance().find(QStringLiteral("admin1"));
    QVERIFY(panel);
    QVERIFY(panel->isVisible());
    QCOMPARE(Module1::RecordPhoto, QString());
    // Closing one window to show the next does not end the program.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    QCOMPARE(ended.count(), 0);
    QVERIFY(!first);

    auto* c1 = panel->findChild<QPushButton*>(QStringLiteral("c1"));
    QVERIFY(c1);
    QTest::mouseClick(c1, Qt::LeftButton);
    w = findWindow(Forms::instance().find(QStringLiteral("xianshi")));
    QVERIFY(w.ok());
    QVERIFY(w.form->isVisible());
    QVERIFY(!Forms::instance().find(QStringLiteral("admin1")));
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/3"));
    QCOMPARE(w.shownIds(), pageOf(ids, 1));
    QCOMPARE(w.t8->text(), QString());
    w.click("Command8");
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("2/3"));
    QCOMPARE(dialogs->calls.size(), 0);
}

void TestMembersList::emptyStoreIsReportedAndButtonsAreHarmless()
{
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    Module1::intCondCount = 4;

    const Window w = openWindow();
    QVERIFY(w.ok());
    QCOMPARE(w.lss->text(), kEmptyStore);
    QCOMPARE(w.t9->text(), QStringLiteral("0"));
    QCOMPARE(w.txtPageMsg->text(), QString());
    QCOMPARE(w.model()->rowCount(), 0);
    QCOMPARE(Module1::PhoneTaken, QStringLiteral("1"));
    QCOMPARE(Module1::intCondCount, 0);

    // No page has been shown: the page and record buttons leave everything as it is.
    for (const char* button :
         {"Command7", "Command8", "Command9", "Command10", "Command8", "Command7"}) {
        w.click(button);
        QCOMPARE(w.txtPageMsg->text(), QString());
        QCOMPARE(w.model()->rowCount(), 0);
        QCOMPARE(w.t8->text(), QString());
        QCOMPARE(w.lss->text(), kEmptyStore);
    }
    QCOMPARE(dialogs->calls.size(), 0);

    // Members that arrive later show up with "会员列表", which also clears the status line.
    addMembers(folder, 3);
    w.click("Command11");
    QCOMPARE(w.t9->text(), QStringLiteral("3"));
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/1"));
    QCOMPARE(w.shownIds(), storedIdsNewestFirst(folder));
    QCOMPARE(w.lss->text(), QString());
    w.click("Command10");
    QCOMPARE(w.currentRow(), 2);
    QCOMPARE(dialogs->calls.size(), 0);
}

void TestMembersList::closeBoxOfLastWindowEndsProgram()
{
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    addMembers(folder, 4);

    const Window w = openWindow();
    QVERIFY(w.ok());
    w.select(0);
    QVERIFY(!Module1::RecordPhoto.isEmpty());
    QVERIFY(Forms::instance().loaded() == QList<Form*>{w.form});
    QCoreApplication::processEvents();
    QSignalSpy ended(&Forms::instance(), &Forms::lastFormUnloaded);

    w.form->close();
    QTRY_COMPARE(ended.count(), 1);
    QVERIFY(!Forms::instance().find(QStringLiteral("xianshi")));
    QCOMPARE(Module1::RecordPhoto, QString());
    QCOMPARE(dialogs->calls.size(), 0);
}

QTEST_MAIN(TestMembersList)
#include "tst_members_list.moc"
