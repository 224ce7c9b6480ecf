// Saving a selected member's changed fields, and its photo file following the name and telephone.

#include "AppSetup.h"
#include "Forms.h"
#include "MemberWindow.h"
#include "Module1.h"
#include "RecordFixture.h"
#include "TestFolder.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTest>

#include <optional>

using namespace MemberTests;
using namespace RecordTests;

namespace {

const QString kInfo = QStringLiteral("系统信息");
const QString kCountTitle = QStringLiteral("返回库内数据条数");
const QString kSelfUpdate =
    line(QStringLiteral("数据库内只有1条这样的会员记录，可以自更新"), kCountTitle);
const QString kUpdated = line(QStringLiteral("更新成功"), kInfo);
const QString kNotUpdated = line(QStringLiteral("更新失败"), kInfo);

// `generated` members, then `sharing` members with telephone 777, then 张三 111, 李四 222 and
// 王五 333, each with a photo of its own colour under its conventional name. 李四 is the second
// row of page 1.
void fillStore(TestFolder& folder, int generated = 0, int sharing = 0)
{
    prepareStore(folder, generated);
    for (int i = 0; i < sharing; ++i)
        addMember(folder, QStringLiteral("共用%1").arg(i), QStringLiteral("777"));
    addMember(folder, QStringLiteral("张三"), QStringLiteral("111"), {}, QColor(200, 40, 40));
    addMember(folder, QStringLiteral("李四"), QStringLiteral("222"), {}, QColor(40, 200, 40));
    addMember(folder, QStringLiteral("王五"), QStringLiteral("333"), {}, QColor(40, 40, 200));
}

QString liPhoto(const TestFolder& folder)
{
    return photoPath(folder, QStringLiteral("李四-222.jpg"));
}

enum class Fault { ReadOnlyFolder, LockedStore, PickedFileRemoved };
enum class Where { LostBeforeSelection, LostAfterSelection, OutsideFolder, NotAPicture };

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Where)

class TestMembersEdit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        AppSetup::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        AppSetup::registerWindows();
    }
    void cleanup() { closeAllForms(); }

    void nothingSelectedClearsTypedFields();
    void photoFollowsNameAndTelephone_data();
    void photoFollowsNameAndTelephone();
    void telephoneOfOthersIsRefused_data();
    void telephoneOfOthersIsRefused();
    void pickedPhotoReplacesRecordPhoto_data();
    void pickedPhotoReplacesRecordPhoto();
    void photoOffItsNameIsBroughtIn_data();
    void photoOffItsNameIsBroughtIn();
    void vanishedRowMovesNoFile();
    void failedEditChangesNothing_data();
    void failedEditChangesNothing();
};

void TestMembersEdit::nothingSelectedClearsTypedFields()
{
    DialogScript dialogs;
    TestFolder folder;
    fillStore(folder);
    const Window w = openWindow();
    QVERIFY(w.ok());
    const Snapshot before = snapshot(folder);

    // Typed without a selection, and typed after "清空" dropped the selection.
    for (bool selectedFirst : {false, true}) {
        if (selectedFirst) {
            w.select(1);
            w.click("Command4");
        }
        fillFields(w.form, person(QStringLiteral("新人"), QStringLiteral("999")));
        dialogs->clear();
        w.click("Command5");
        QCOMPARE(summaries(dialogs->calls), QStringList{line(QStringLiteral("请选择要更新的会员"),
                                                             QStringLiteral("更新缺少对象"))});
        QCOMPARE(w.fields(), clearedFields());
        QCOMPARE(differences(before, snapshot(folder)), QStringList());
    }
}

void TestMembersEdit::photoFollowsNameAndTelephone_data()
{
    QTest::addColumn<QStringList>("typed"); // name, telephone, gender, address
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("pageAway"); // the grid shows another page when the save is pressed

    const QString gender = QStringLiteral("女");
    const QString address = QStringLiteral("南京市鼓楼区中山路1号");
    QTest::newRow("unchanged") << QStringList{"李四", "222", gender, address}
                               << QStringList{kSelfUpdate, kUpdated} << "李四-222.jpg" << false;
    QTest::newRow("new name") << QStringList{"李小四", "222", gender, address}
                              << QStringList{kSelfUpdate, kUpdated} << "李小四-222.jpg" << false;
    QTest::newRow("free telephone") << QStringList{"李四", "13812345678", gender, address}
                                    << QStringList{kUpdated} << "李四-13812345678.jpg" << false;
    QTest::newRow("name and telephone") << QStringList{"赵七", "888", gender, address}
                                        << QStringList{kUpdated} << "赵七-888.jpg" << false;
    // The record itself holds the number, whatever row the grid is on.
    QTest::newRow("unchanged, grid on another page")
        << QStringList{"李四", "222", gender, address} << QStringList{kSelfUpdate, kUpdated}
        << "李四-222.jpg" << true;
    // The save checks no field: an emptied address and the gender prompt are stored as they stand.
    QTest::newRow("emptied address, gender prompt")
        << QStringList{"李四", "222", kPickGender, QString()} << QStringList{kSelfUpdate, kUpdated}
        << "李四-222.jpg" << false;
    QTest::newRow("quotes, slash, percent")
        << QStringList{"O'Neil/\"Li\"", "2;%'", "男'", "it's; \\"} << QStringList{kUpdated}
        << "O'Neil__Li_-2;%'.jpg" << false;
}

void TestMembersEdit::photoFollowsNameAndTelephone()
{
    QFETCH(QStringList, typed);
    QFETCH(QStringList, messages);
    QFETCH(QString, fileName);
    QFETCH(bool, pageAway);

    DialogScript dialogs;
    TestFolder folder;
    fillStore(folder, 12);
    const Window w = openWindow();
    QVERIFY(w.ok());
    const Snapshot before = snapshot(folder);
    const QByteArray ownBytes = bytesOf(liPhoto(folder));
    w.select(1);
    QCOMPARE(w.t1->text(), QStringLiteral("李四"));
    const qint64 id = w.t8->text().toLongLong();
    w.t1->setText(typed.at(0));
    w.T4->setText(typed.at(1));
    w.Combo1->setEditText(typed.at(2));
    w.T7->setPlainText(typed.at(3));
    QStringList row = tableRow(folder, id);
    if (pageAway) {
        w.click("Command8");
        QVERIFY(w.cell(w.currentRow(), 4) != QStringLiteral("222"));
    }
    w.click("Command5");

    QCOMPARE(summaries(dialogs->calls), messages);
    row[1] = typed.at(0);
    row[4] = typed.at(1);
    row[2] = typed.at(2);
    row[7] = typed.at(3);
    row[8] = photoPath(folder, fileName);
    QCOMPARE(tableRow(folder, id), row);
    QCOMPARE(tableRows(folder).size(), before.rows.size());
    QCOMPARE(photoFiles(folder), swapped(before.files, QStringLiteral("李四-222.jpg"), fileName));
    QCOMPARE(bytesOf(row[8]), ownBytes);
    QCOMPARE(photoMismatches(folder), QStringList());

    QCOMPARE(w.fields(), clearedFields());
    QCOMPARE(w.t9->text(), QStringLiteral("15"));
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/2"));
    QCOMPARE(w.lss->text(), QString());
    QCOMPARE(Module1::RecordPhoto, QString());
    QCOMPARE(Module1::PhotoChosen, QString());
}

void TestMembersEdit::telephoneOfOthersIsRefused_data()
{
    QTest::addColumn<QString>("telephone");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("one other member")
        << "111"
        << QStringList{
               line(QStringLiteral("数据库内另外有1条会员记录跟待更新记录冲突"), kCountTitle),
               kNotUpdated};
    QTest::newRow("two other members") << "777" << QStringList{kNotUpdated};
}

void TestMembersEdit::telephoneOfOthersIsRefused()
{
    QFETCH(QString, telephone);
    QFETCH(QStringList, messages);

    DialogScript dialogs;
    TestFolder folder;
    fillStore(folder, 20, 2);
    const Window w = openWindow();
    QVERIFY(w.ok());
    dialogs->files << folder.makeJpeg(QStringLiteral("pick/face.jpg"));
    w.click("Command3");
    w.select(1);
    QCOMPARE(w.t1->text(), QStringLiteral("李四"));
    w.t1->setText(QStringLiteral("李小四"));
    w.T4->setText(telephone);
    const Snapshot before = snapshot(folder);
    dialogs->clear();
    w.click("Command5");

    QCOMPARE(summaries(dialogs->calls), messages);
    QCOMPARE(differences(before, snapshot(folder)), QStringList());
    QCOMPARE(w.fields(), clearedFields());
    QCOMPARE(Module1::PhotoSource, QString());
    QCOMPARE(Module1::PhotoChosen, QString());
    // The page buttons still walk the full list.
    w.click("Command8");
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("2/3"));
    QCOMPARE(w.shownIds(), storedIdsNewestFirst(folder).mid(10, 10));
}

void TestMembersEdit::pickedPhotoReplacesRecordPhoto_data()
{
    QTest::addColumn<bool>("pickOwn");   // pick the record's own photo file rather than another
    QTest::addColumn<bool>("pickFirst"); // pick before selecting the record
    QTest::addColumn<bool>("clearAfterPick");
    QTest::addColumn<QString>("name");

    QTest::newRow("picked, same name") << false << false << false << "李四";
    QTest::newRow("picked, renamed") << false << false << false << "李小四";
    QTest::newRow("picked before selecting") << false << true << false << "李小四";
    QTest::newRow("own photo picked, same name") << true << false << false << "李四";
    QTest::newRow("own photo picked, renamed") << true << false << false << "李小四";
    // "清空" drops the pick: the record keeps its own photo.
    QTest::newRow("pick dropped by 清空") << false << true << true << "李小四";
}

void TestMembersEdit::pickedPhotoReplacesRecordPhoto()
{
    QFETCH(bool, pickOwn);
    QFETCH(bool, pickFirst);
    QFETCH(bool, clearAfterPick);
    QFETCH(QString, name);

    DialogScript dialogs;
    TestFolder folder;
    fillStore(folder);
    const Window w = openWindow();
    QVERIFY(w.ok());
    const QString face =
        folder.makeJpeg(QStringLiteral("pick/face.jpg"), QSize(60, 60), Qt::magenta);
    const QByteArray faceBytes = bytesOf(face);
    const QByteArray ownBytes = bytesOf(liPhoto(folder));
    const QString picked = pickOwn ? liPhoto(folder) : face;
    dialogs->files << picked;
    if (pickFirst)
        w.click("Command3");
    if (clearAfterPick)
        w.click("Command4");
    w.select(1);
    if (!pickFirst)
        w.click("Command3");
    const qint64 id = w.t8->text().toLongLong();
    w.t1->setText(name);
    const Snapshot before = snapshot(folder);
    w.click("Command5");

    QCOMPARE(summaries(dialogs->messages()), (QStringList{kSelfUpdate, kUpdated}));
    const QString fileName = name + QStringLiteral("-222.jpg");
    QCOMPARE(tableRow(folder, id).at(8), photoPath(folder, fileName));
    QCOMPARE(photoFiles(folder), swapped(before.files, QStringLiteral("李四-222.jpg"), fileName));
    QCOMPARE(bytesOf(photoPath(folder, fileName)),
             !clearAfterPick && !pickOwn ? faceBytes : ownBytes);
    QCOMPARE(bytesOf(face), faceBytes);
    QCOMPARE(photoMismatches(folder), QStringList());
    QCOMPARE(Module1::PhotoSource, QString());
    QCOMPARE(Module1::PhotoChosen, QString());
}

void TestMembersEdit::photoOffItsNameIsBroughtIn_data()
{
    QTest::addColumn<Where>("where");
    QTest::addColumn<QStringList>("messages");

    // A lost photo is replaced by the default photo; one kept outside "照片" is copied in and the
    // outside file is left alone.
    QTest::newRow("lost before selection, repaired")
        << Where::LostBeforeSelection
        << QStringList{line(kRepairing, kRepairingTitle), line(kRepaired, kRepairedTitle),
                       kSelfUpdate, kUpdated};
    QTest::newRow("lost after selection")
        << Where::LostAfterSelection << QStringList{kSelfUpdate, kUpdated};
    QTest::newRow("outside the photo folder")
        << Where::OutsideFolder << QStringList{kSelfUpdate, kUpdated};
    // A stored file that is no picture cannot be shown; the save gives the default photo and
    // keeps the unreadable file aside.
    QTest::newRow("not a picture")
        << Where::NotAPicture
        << QStringList{critical(QStringLiteral("会员照片无法显示：")), kSelfUpdate, kUpdated};
}

void TestMembersEdit::photoOffItsNameIsBroughtIn()
{
    QFETCH(Where, where);
    QFETCH(QStringList, messages);

    DialogScript dialogs;
    TestFolder folder;
    fillStore(folder);
    // The stored path is not the conventional one, so the save gives the photo a new file.
    const Member odd = addMember(
        folder, QStringLiteral("钱八"), QStringLiteral("444"),
        where == Where::OutsideFolder ? "../elsewhere/qian.jpg" : "old-qian.jpg", Qt::darkYellow);
    if (where == Where::NotAPicture)
        writeNonPicture(odd.zhaopian);
    const QByteArray oddBytes = bytesOf(odd.zhaopian);
    const Window w = openWindow();
    QVERIFY(w.ok());
    if (where == Where::LostBeforeSelection)
        QVERIFY(QFile::remove(odd.zhaopian));
    w.select(0);
    QCOMPARE(w.t1->text(), QStringLiteral("钱八"));
    if (where == Where::LostAfterSelection)
        QVERIFY(QFile::remove(odd.zhaopian));
    w.click("Command5");

    QCOMPARE(summaries(dialogs->calls), messages);
    const QString fileName = QStringLiteral("钱八-444.jpg");
    QCOMPARE(tableRow(folder, 4).at(8), photoPath(folder, fileName));
    QCOMPARE(bytesOf(photoPath(folder, fileName)),
             where == Where::OutsideFolder
                 ? oddBytes
                 : bytesOf(folder.path(QStringLiteral("模版照片/1.jpg"))));
    if (where == Where::NotAPicture) {
        QCOMPARE(bytesOf(folder.path(QStringLiteral("照片/无法显示/old-qian.jpg"))), oddBytes);
        QCOMPARE(w.lss->text(),
                 QStringLiteral("原照片无法显示，已移到 照片/无法显示/old-qian.jpg"));
        QVERIFY(QDir(folder.path(QStringLiteral("照片/无法显示"))).removeRecursively());
    }
    QCOMPARE(photoMismatches(folder), QStringList());
    if (where == Where::OutsideFolder)
        QCOMPARE(bytesOf(odd.zhaopian), oddBytes);
}

void TestMembersEdit::vanishedRowMovesNoFile()
{
    DialogScript dialogs;
    TestFolder folder;
    fillStore(folder);
    const Window w = openWindow();
    QVERIFY(w.ok());
    w.select(1);
    const qint64 id = w.t8->text().toLongLong();
    removeRows(folder, {id}); // someone else deleted the row meanwhile
    w.t1->setText(QStringLiteral("李小四"));
    const QStringList typed = w.fields();
    const Snapshot before = snapshot(folder);
    w.click("Command5");

    QCOMPARE(summaries(dialogs->calls), QStringList{kNotUpdated});
    QCOMPARE(differences(before, snapshot(folder)), QStringList());
    QCOMPARE(w.fields(), typed);
}

void TestMembersEdit::failedEditChangesNothing_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("names"); // what the message names, below the program folder
    QTest::newRow("photo folder read-only") << Fault::ReadOnlyFolder << "照片";
    QTest::newRow("store locked") << Fault::LockedStore << "hd.db";
    QTest::newRow("picked file removed") << Fault::PickedFileRemoved << "pick/face.jpg";
}

void TestMembersEdit::failedEditChangesNothing()
{
    QFETCH(Fault, fault);
    QFETCH(QString, names);

    DialogScript dialogs;
    TestFolder folder;
    fillStore(folder);
    const Window w = openWindow();
    QVERIFY(w.ok());
    const QByteArray ownBytes = bytesOf(liPhoto(folder));
    const QString face = folder.makeJpeg(QStringLiteral("pick/face.jpg"));
    w.select(1);
    if (fault == Fault::PickedFileRemoved) {
        dialogs->files << face;
        w.click("Command3");
        QVERIFY(QFile::remove(face));
    }
    const qint64 id = w.t8->text().toLongLong();
    w.t1->setText(QStringLiteral("李小四"));
    const QStringList typed = w.fields();
    const Snapshot before = snapshot(folder);

    std::optional<ReadOnlyFolder> readOnly;
    std::optional<StoreLock> lock;
    if (fault == Fault::ReadOnlyFolder) {
        readOnly.emplace(folder.path(QStringLiteral("照片")));
        if (!readOnly->effective())
            QSKIP("permissions are not enforced for this user");
    } else if (fault == Fault::LockedStore) {
        lock.emplace(folder);
        QVERIFY(lock->held());
    }
    dialogs->clear();
    w.click("Command5");

    QCOMPARE(summaries(dialogs->calls),
             (QStringList{kSelfUpdate, critical(QStringLiteral("更新失败，资料未作改动："))}));
    QVERIFY2(dialogs->calls.last().text.contains(QDir::toNativeSeparators(folder.path(names))),
             qPrintable(dialogs->calls.last().text));
    QCOMPARE(differences(before, snapshot(folder)), QStringList());
    QCOMPARE(w.fields(), typed);
    QCOMPARE(Module1::PhotoChosen, QString());

    // With the fault gone the same save goes through, with the record's own photo.
    readOnly.reset();
    lock.reset();
    dialogs->clear();
    w.click("Command5");
    QCOMPARE(summaries(dialogs->calls), (QStringList{kSelfUpdate, kUpdated}));
    QCOMPARE(tableRow(folder, id).at(8), photoPath(folder, QStringLiteral("李小四-222.jpg")));
    QCOMPARE(bytesOf(photoPath(folder, QStringLiteral("李小四-222.jpg"))), ownBytes);
    QCOMPARE(photoMismatches(folder), QStringList());
}

QTEST_MAIN(TestMembersEdit)
#include "tst_members_edit.moc"
