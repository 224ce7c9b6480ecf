// Deleting the selected member, clearing the whole store, and a working session through add, edit
// and delete that must keep the table and the photo folder in step.

#include "AppSetup.h"
#include "Forms.h"
#include "MemberWindow.h"
#include "Module1.h"
#include "RecordFixture.h"
#include "TestFolder.h"
#include "WindowChecks.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTest>

using namespace MemberTests;
using namespace RecordTests;

namespace {

const QString kDone = QStringLiteral("成功信息");
const QString kDeleted = QStringLiteral("学员删除完毕");

QString clearQuestion()
{
    return line(QStringLiteral("你选择了清空系统数据库！\r\n是否真的清空？"),
                QStringLiteral("系统操作"), Dialogs::Icon::None, Dialogs::Buttons::YesNo);
}

int rowNamed(const Window& w, const QString& name)
{
    for (int r = 0; r < w.model()->rowCount(); ++r)
        if (w.cell(r, 1) == name)
            return r;
    return -1;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

enum class PhotoCase { Present, RemovedAfterSelection, LostAndRepaired, OutsideFolder };

} // namespace

Q_DECLARE_METATYPE(PhotoCase)

class TestMembersDelete : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        AppSetup::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        AppSetup::registerWindows();
    }
    void cleanup() { closeAllForms(); }

    void deleteWithoutSelection();
    void deleteRemovesRowAndPhoto_data();
    void deleteRemovesRowAndPhoto();
    void deletingLastMemberReopensWindow();
    void failedDeleteChangesNothing();
    void deleteAndClearAfterRefusedEdit();
    void clearOnEmptyStore();
    void clearAsksFirst_data();
    void clearAsksFirst();
    void sessionKeepsTableAndPhotosInStep();
};

void TestMembersDelete::deleteWithoutSelection()
{
    DialogScript dialogs;
    TestFolder folder;
    prepareStore(folder, 12);
    const Window w = openWindow();
    QVERIFY(w.ok());
    const Snapshot before = snapshot(folder);

    // Nothing selected, and a selection dropped by "清空"; either way the list is reloaded.
    for (bool selectedFirst : {false, true}) {
        w.click("Command8");
        if (selectedFirst) {
            w.select(1);
            w.click("Command4");
        }
        fillFields(w.form, person(QStringLiteral("新人"), QStringLiteral("999")));
        dialogs->clear();
        w.click("Command2");
        QCOMPARE(summaries(dialogs->calls),
                 QStringList{line(QStringLiteral("请选择一个学生"), QStringLiteral("删除失败"))});
        QCOMPARE(differences(before, snapshot(folder)), QStringList());
        QCOMPARE(w.fields(), clearedFields());
        QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/2"));
        QCOMPARE(w.t9->text(), QStringLiteral("12"));
    }
}

void TestMembersDelete::deleteRemovesRowAndPhoto_data()
{
    QTest::addColumn<PhotoCase>("photo");
    QTest::addColumn<QList<qint64>>(
        "ids"); // of 张三, 李四 (deleted) and 王五; 0 lets the store choose

    const QList<qint64> automatic{0, 0, 0};
    QTest::newRow("photo present") << PhotoCase::Present << automatic;
    QTest::newRow("photo removed after selection") << PhotoCase::RemovedAfterSelection << automatic;
    QTest::newRow("photo lost and repaired") << PhotoCase::LostAndRepaired << automatic;
    QTest::newRow("stored photo outside the photo folder") << PhotoCase::OutsideFolder << automatic;
    // 70000 and 40000 do not fit 16 bits; cut to 16 bits 70000 becomes 4464.
    QTest::newRow("ids above 32767") << PhotoCase::Present << QList<qint64>{4464, 70000, 40000};
}

void TestMembersDelete::deleteRemovesRowAndPhoto()
{
    QFETCH(PhotoCase, photo);
    QFETCH(QList<qint64>, ids);

    DialogScript dialogs;
    TestFolder folder;
    prepareStore(folder);
    addMember(folder, QStringLiteral("张三"), QStringLiteral("111"), {}, Qt::red, ids.at(0));
    const QString file = photo == PhotoCase::OutsideFolder     ? "../elsewhere/li.jpg"
                         : photo == PhotoCase::LostAndRepaired ? "old-li.jpg"
                                                               : "";
    const Member li = addMember(folder, QStringLiteral("李四"), QStringLiteral("222"), file,
                                Qt::green, ids.at(1));
    if (photo == PhotoCase::LostAndRepaired)
        QVERIFY(QFile::remove(li.zhaopian));
    addMember(folder, QStringLiteral("王五"), QStringLiteral("333"), {}, Qt::blue, ids.at(2));
    const Window w = openWindow();
    QVERIFY(w.ok());
    const Snapshot before = snapshot(folder);

    const int row = rowNamed(w, QStringLiteral("李四"));
    QVERIFY(row >= 0);
    w.select(row);
    const qint64 id = w.t8->text().toLongLong();
    if (photo == PhotoCase::RemovedAfterSelection)
        QVERIFY(QFile::remove(li.zhaopian));
    w.click("Command2");

    QStringList messages{line(kDeleted, kDone)};
    if (photo == PhotoCase::LostAndRepaired)
        messages = QStringList{line(kRepairing, kRepairingTitle), line(kRepaired, kRepairedTitle)} +
                   messages;
    QCOMPARE(summaries(dialogs->calls), messages);
    QList<QStringList> rows = before.rows;
    rows.removeIf([id](const QStringList& r) { return r.first() == QString::number(id); });
    QCOMPARE(rows.size(), 2);
    QCOMPARE(tableRows(folder), rows);
    QStringList files = before.files;
    files.removeAll(QStringLiteral("李四-222.jpg"));
    QCOMPARE(photoFiles(folder), files);
    QCOMPARE(photoMismatches(folder), QStringList());
    // A file outside the photo folder is not the delete's to remove.
    if (photo == PhotoCase::OutsideFolder)
        QVERIFY(QFile::exists(li.zhaopian));

    QCOMPARE(w.t9->text(), QStringLiteral("2"));
    QCOMPARE(w.shownIds(), storedIdsNewestFirst(folder));
    QCOMPARE(w.fields(), clearedFields());
    QCOMPARE(Module1::RecordPhoto, QString());
}

void TestMembersDelete::deletingLastMemberReopensWindow()
{
    DialogScript dialogs;
    TestFolder folder;
    prepareStore(folder);
    addMember(folder, QStringLiteral("张三"), QStringLiteral("111"));
    const Window w = openWindow();
    QVERIFY(w.ok());
    QPointer<Form> first = w.form;
    w.select(0);
    w.click("Command2");

    QCOMPARE(summaries(dialogs->calls), QStringList{line(kDeleted, kDone)});
    QCOMPARE(tableRows(folder), QList<QStringList>());
    QCOMPARE(photoFiles(folder), QStringList());
    WindowChecks::settle();
    QVERIFY(!first);
    const Window again = findWindow(Forms::instance().find(QStringLiteral("xianshi")));
    QVERIFY(again.ok());
    QVERIFY(again.form->isVisible());
    QCOMPARE(again.lss->text(), kEmptyStore);
    QCOMPARE(again.t9->text(), QStringLiteral("0"));
    QCOMPARE(again.model()->rowCount(), 0);
}

void TestMembersDelete::failedDeleteChangesNothing()
{
    DialogScript dialogs;
    TestFolder folder;
    prepareStore(folder, 3);
    const Window w = openWindow();
    QVERIFY(w.ok());
    const Snapshot before = snapshot(folder);
    {
        StoreLock lock(folder);
        QVERIFY(lock.held());
        w.select(1);
        w.click("Command2");
        QCOMPARE(summaries(dialogs->calls), QStringList{critical(QStringLiteral("删除失败："))});
        QVERIFY(
            dialogs->calls.first().text.contains(QDir::toNativeSeparators(folder.path("hd.db"))));
        QCOMPARE(differences(before, snapshot(folder)), QStringList());
    }
    // The lock gone, the window deletes as usual.
    dialogs->clear();
    w.select(1);
    w.click("Command2");
    QCOMPARE(summaries(dialogs->calls), QStringList{line(kDeleted, kDone)});
    QCOMPARE(tableRows(folder).size(), 2);
    QCOMPARE(photoMismatches(folder), QStringList());
}

void TestMembersDelete::deleteAndClearAfterRefusedEdit()
{
    DialogScript dialogs;
    TestFolder folder;
    prepareStore(folder);
    addMember(folder, QStringLiteral("张三"), QStringLiteral("111"));
    addMember(folder, QStringLiteral("李四"), QStringLiteral("222"));
    addMember(folder, QStringLiteral("王五"), QStringLiteral("333"));
    const Window w = openWindow();
    QVERIFY(w.ok());
    w.select(rowNamed(w, QStringLiteral("李四")));
    w.T4->setText(QStringLiteral("111"));
    w.click("Command5");
    QCOMPARE(summaries(dialogs->calls).last(),
             line(QStringLiteral("更新失败"), QStringLiteral("系统信息")));

    dialogs->clear();
    w.select(rowNamed(w, QStringLiteral("王五")));
    w.click("Command2");
    QCOMPARE(summaries(dialogs->calls), QStringList{line(kDeleted, kDone)});
    QCOMPARE(photoFiles(folder),
             (QStringList{QStringLiteral("张三-111.jpg"), QStringLiteral("李四-222.jpg")}));

    w.select(rowNamed(w, QStringLiteral("李四")));
    w.T4->setText(QStringLiteral("111"));
    w.click("Command5");
    dialogs->clear();
    dialogs->answers << Dialogs::Answer::Yes;
    w.click("Command12");
    QCOMPARE(summaries(dialogs->calls),
             (QStringList{clearQuestion(), line(QStringLiteral("数据库清空"), kDone)}));
    QCOMPARE(tableRows(folder), QList<QStringList>());
    QCOMPARE(photoFiles(folder), QStringList());
}

void TestMembersDelete::clearOnEmptyStore()
{
    DialogScript dialogs;
    TestFolder folder;
    prepareStore(folder);
    folder.makeJpeg(photoPath(folder, QStringLiteral("orphan.jpg")));
    const Window w = openWindow();
    QVERIFY(w.ok());
    const Snapshot before = snapshot(folder);
    dialogs->answers << Dialogs::Answer::Yes;
    w.click("Command12");
    // No question: the count shown says the store is empty already.
    QCOMPARE(summaries(dialogs->calls),
             QStringList{line(QStringLiteral("数据库是空的"), QStringLiteral("系统信息"))});
    QCOMPARE(differences(before, snapshot(folder)), QStringList());
}

void TestMembersDelete::clearAsksFirst_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("answered No") << false;
    QTest::newRow("answered Yes") << true;
}

void TestMembersDelete::clearAsksFirst()
{
    QFETCH(bool, yes);

    DialogScript dialogs;
    TestFolder folder;
    prepareStore(folder, 13);
    // Files the clearing must tell apart: other extensions and a capitalised one stay.
    for (const char* name : {"notes.txt", "UPPER.JPG", "b.png"})
        writeNonPicture(photoPath(folder, QString::fromLatin1(name)));
    folder.makeJpeg(photoPath(folder, QStringLiteral("orphan.jpg")));
    folder.makeJpeg(photoPath(folder, QStringLiteral(".hidden.jpg")));
    const QByteArray defaultBytes = bytesOf(folder.path(QStringLiteral("模版照片/1.jpg")));
    const Window w = openWindow();
    QVERIFY(w.ok());
    QPointer<Form> first = w.form;
    w.click("Command8");
    const Snapshot before = snapshot(folder);
    dialogs->answers << (yes ? Dialogs::Answer::Yes : Dialogs::Answer::No);
    w.click("Command12");
    WindowChecks::settle();
    QCOMPARE(bytesOf(folder.path(QStringLiteral("模版照片/1.jpg"))), defaultBytes);

    if (!yes) {
        QCOMPARE(summaries(dialogs->calls), QStringList{clearQuestion()});
        QCOMPARE(differences(before, snapshot(folder)), QStringList());
        QVERIFY(first);
        QCOMPARE(w.txtPageMsg->text(), QStringLiteral("2/2"));
        QCOMPARE(w.t9->text(), QStringLiteral("13"));
        return;
    }
    QCOMPARE(summaries(dialogs->calls),
             (QStringList{clearQuestion(), line(QStringLiteral("数据库清空"), kDone)}));
    QCOMPARE(tableRows(folder), QList<QStringList>());
    QCOMPARE(sorted(photoFiles(folder)), sorted({"b.png", "notes.txt"}));
    QVERIFY(!first);
    const Window again = findWindow(Forms::instance().find(QStringLiteral("xianshi")));
    QVERIFY(again.ok());
    QCOMPARE(again.lss->text(), kEmptyStore);
    QCOMPARE(again.t9->text(), QStringLiteral("0"));
    QCOMPARE(again.model()->rowCount(), 0);
}

void TestMembersDelete::sessionKeepsTableAndPhotosInStep()
{
    DialogScript dialogs;
    TestFolder folder;
    prepareStore(folder);
    Window w = openWindow();
    QVERIFY(w.ok());
    const QString face = folder.makeJpeg(QStringLiteral("pick/face.jpg"), QSize(50, 60), Qt::green);
    const QString second =
        folder.makeJpeg(QStringLiteral("pick/second.jpg"), QSize(60, 50), Qt::cyan);

    // After every step each row names an existing photo and every photo belongs to a row.
    const auto check = [&](const char* what, const QString& message, qsizetype rows) {
        QVERIFY2(!dialogs->calls.isEmpty(), what);
        QCOMPARE(summaries({dialogs->calls.last()}).first(), message);
        QCOMPARE(tableRows(folder).size(), rows);
        QCOMPARE(photoMismatches(folder), QStringList());
        dialogs->clear();
    };
#define STEP(...)                                                                                  \
    do {                                                                                           \
        check(__VA_ARGS__);                                                                        \
        if (QTest::currentTestFailed())                                                            \
            return;                                                                                \
    } while (false)
    const QString added = line(QStringLiteral("学员录入完毕"), kDone);
    const QString updated = line(QStringLiteral("更新成功"), QStringLiteral("系统信息"));

    fillFields(w.form, person(QStringLiteral("张三"), QStringLiteral("111")));
    w.click("Command1");
    STEP("add 张三", added, 1);
    dialogs->files << face;
    w.click("Command3");
    fillFields(w.form, person(QStringLiteral("李四"), QStringLiteral("222")));
    w.click("Command1");
    STEP("add 李四 with a picked photo", added, 2);
    fillFields(w.form, person(QStringLiteral("王五"), QStringLiteral("333")));
    w.click("Command1");
    STEP("add 王五", added, 3);
    QCOMPARE(bytesOf(photoPath(folder, QStringLiteral("李四-222.jpg"))), bytesOf(face));

    w.select(rowNamed(w, QStringLiteral("张三")));
    w.t1->setText(QStringLiteral("张三丰"));
    w.T4->setText(QStringLiteral("1111"));
    w.click("Command5");
    STEP("rename 张三", updated, 3);

    w.select(rowNamed(w, QStringLiteral("李四")));
    dialogs->files << second;
    w.click("Command3");
    w.click("Command5");
    STEP("new photo for 李四", updated, 3);
    QCOMPARE(bytesOf(photoPath(folder, QStringLiteral("李四-222.jpg"))), bytesOf(second));

    w.select(rowNamed(w, QStringLiteral("王五")));
    w.click("Command2");
    STEP("delete 王五", line(kDeleted, kDone), 2);
    QCOMPARE(sorted(photoFiles(folder)),
             sorted({QStringLiteral("张三丰-1111.jpg"), QStringLiteral("李四-222.jpg")}));

    dialogs->answers << Dialogs::Answer::Yes;
    w.click("Command12");
    STEP("clear", line(QStringLiteral("数据库清空"), kDone), 0);
    QCOMPARE(photoFiles(folder), QStringList());
    QVERIFY(QFile::exists(face));
    QVERIFY(QFile::exists(second));
#undef STEP
}

QTEST_MAIN(TestMembersDelete)
#include "tst_members_delete.moc"
