// Adding and editing members through the member window: input checks, telephone numbers others
// hold, the photo that goes with a record, and saves that fail without changing anything.

#include "MemberWorld.h"
#include "WindowChecks.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace MemberTests;

namespace {

const QString kPickFailed = u"图片选择失败"_s;

enum class Fault { None, ReadOnly, Locked, PickRemoved, PickNoPicture, NoDefaultPhoto };
enum class Where { LostBeforeSelection, LostAfterSelection, OutsideFolder, NotAPicture };

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Where)

class TestMembersSave : public QObject, MemberWorld
{
    Q_OBJECT

private slots:
    void initTestCase() { prepareApplication(); }
    void init() { begin(); }
    void cleanup() { end(); }

    void addChecksFieldsInOrder()
    {
        const Window w = start(3);
        const Snapshot before = snapshot(*folder);
        // Each press names the first empty field only; filling it brings up the next one.
        const QStringList messages = {u"请填写用户名"_s, u"请选择性别"_s, u"请填写年龄"_s,
                                      u"请填写电话"_s,   u"请填写QQ"_s,   u"请填写邮箱"_s,
                                      u"请填写地址"_s};
        const QList<QString Member::*> order = {
            &Member::xingming, &Member::xingbie,  &Member::nianling, &Member::dianhua,
            &Member::qq,       &Member::youxiang, &Member::dizhi};
        const Member full = person(u"赵六"_s, u"600"_s);
        Member typed;
        typed.xingbie = kPickGender;
        for (qsizetype i = 0; i < messages.size(); typed.*order.at(i) = full.*order.at(i), ++i) {
            w.fill(typed);
            dialogs->clear();
            w.click("Command1");
            QCOMPARE(said(), QStringList{line(messages.at(i), QString())});
            QCOMPARE(Module1::InputChecked, QString());
            QCOMPARE(changes(before), QStringList());
        }
        w.fill(typed);
        w.click("Command1");
        QCOMPARE(summaries(dialogs->messages()).last(), kAdded);
    }

    void addStoresFieldsAsTyped_data()
    {
        // Columns: typed (name, gender, age, telephone, QQ, e-mail, address), fileName, targetTaken
        dataColumns<QStringList, QString, bool>();
        const QStringList zhao = {"赵六", "男", "30", "123", "10001", "zs@example.com", "上海市"};
        QTest::newRow("name and telephone") << zhao << "赵六-123.jpg" << false;
        QTest::newRow("file of that name replaced") << zhao << "赵六-123.jpg" << true;
        // The fields typed over a selected member make a new one, with the default photo.
        QTest::newRow("over a selected member") << zhao << "赵六-123.jpg" << false;
        QTest::newRow("blanks") << QStringList{" ", " ", " ", "  ", " ", " ", " "} << " -  .jpg"
                                << false;
        QTest::newRow("gender emptied")
            << QStringList{"李四", "", "20", "124", "1", "m@x", "a"} << "李四-124.jpg" << false;
        QTest::newRow("gender typed")
            << QStringList{"李四", "未知", "20", "125", "1", "m@x", "a"} << "李四-125.jpg" << false;
        QTest::newRow("quotes, percent, semicolons")
            << QStringList{"O'Brien \"Bob\"",        "男'",  "3%",
                           "1'; DROP TABLE user;--", "50%_", "a\\b%c@x.com",
                           "it's; done\n第二行 \\"}
            << "O'Brien _Bob_-1'; DROP TABLE user;--.jpg" << false;
        QTest::newRow("path out of the folder")
            << QStringList{"../../etc/passwd", "男", "1", "1", "1", "1", "1"}
            << "___.._etc_passwd-1.jpg" << false;
        QTest::newRow("two dots") << QStringList{"..", "男", "1", "7", "1", "1", "1"} << "__-7.jpg"
                                  << false;
        QTest::newRow("characters no file name takes")
            << QStringList{"a:b*c?d<e>f|g\\h", "女", "1", "\t9\x01", "1", "1", "1"}
            << "a_b_c_d_e_f_g_h-_9_.jpg" << false;
    }
    void addStoresFieldsAsTyped()
    {
        const auto [typed, fileName, targetTaken] = dataRow<QStringList, QString, bool>();
        const Window w = start(9);
        if (targetTaken)
            folder->makeJpeg(photo(fileName), QSize(80, 80), Qt::green);
        const Snapshot before = snapshot(*folder);
        // The status line as it stands while the success message would be on screen.
        QString status = u"<no report>"_s;
        dialogs->onMessage = [&](const QString&) {
            status = w.lss->text();
        };
        const Member m{13,          typed.at(0), typed.at(1), typed.at(2),    typed.at(3),
                       typed.at(4), typed.at(5), typed.at(6), photo(fileName)};
        if (QTest::currentDataTag() == "over a selected member"_L1)
            w.select(0);
        w.fill(m);
        w.click("Command1");

        QCOMPARE(said(), QStringList{kAdded});
        QCOMPARE(status, u"开始-->图片转移完毕-->库打开-->库关"_s);
        QCOMPARE(tableRows(*folder), before.rows + QList<QStringList>{rowOf(m)});
        QCOMPARE(photoFiles(*folder), swapped(before.files, {}, fileName));
        // No photo was picked: the member gets the default photo, replacing what stood there.
        QCOMPARE(bytesOf(m.zhaopian), bytesOf(defaultPhoto(*folder)));
        // The full list again, the new member on top, the fields and the status line emptied.
        QCOMPARE(w.t9->text() + ' ' + w.txtPageMsg->text(), u"13 1/2"_s);
        QCOMPARE(w.shownIds(), storedIdsNewestFirst(*folder).mid(0, 10));
        QCOMPARE(w.fields(), kCleared);
        QCOMPARE(w.lss->text(), QString());
        QVERIFY(w.photo->isEmpty());
        QCOMPARE(Module1::InputChecked + Module1::PhotoSource, QString());
    }

    void telephoneOfOthersIsRefused_data()
    {
        // Columns: edit, telephone ("" selects 张三 for an add), messages
        dataColumns<bool, QString, QStringList>();
        const QString counted = u"返回库内数据条数"_s;
        const QString refused = line(u"录入失败"_s, kInfo);
        const QString one = line(u"数据库内已经有1条这样的会员记录，不能加为会员"_s, counted);
        QTest::newRow("add, one holder") << false << "111" << QStringList{one, refused};
        QTest::newRow("add, two holders")
            << false << "777"
            << QStringList{line(u"数据库内已经有2条这样的会员记录，不能加为会员"_s, counted),
                           refused};
        QTest::newRow("add, selected member unchanged") << false << "" << QStringList{one, refused};
        QTest::newRow("edit, one other")
            << true << "111"
            << QStringList{line(u"数据库内另外有1条会员记录跟待更新记录冲突"_s, counted),
                           kNotUpdated};
        QTest::newRow("edit, two others") << true << "777" << QStringList{kNotUpdated};
    }
    void telephoneOfOthersIsRefused()
    {
        const auto [edit, telephone, messages] = dataRow<bool, QString, QStringList>();
        const Window w = start(20, 2);
        const QString picked = folder->makeJpeg(u"pick/face.jpg"_s);
        dialogs->files << picked;
        w.click("Command3");
        if (edit) {
            w.select(1);
            w.t1->setText(u"李小四"_s);
            w.T4->setText(telephone);
        } else if (telephone.isEmpty()) {
            w.select(2);
        } else {
            w.fill(person(u"赵六"_s, telephone));
        }
        QStringList typed = w.fields();
        const Snapshot before = snapshot(*folder);
        dialogs->clear();
        w.click(edit ? "Command5" : "Command1");

        QCOMPARE(said(), messages);
        QCOMPARE(changes(before), QStringList());
        // A refused add keeps what was typed but the telephone, and the pick; an edit drops both.
        typed[4].clear();
        QCOMPARE(w.fields(), edit ? kCleared : typed);
        if (!edit)
            QCOMPARE(w.form->focusWidget(), static_cast<QWidget*>(w.T4));
        QCOMPARE(Module1::PhotoSource, edit ? QString() : picked);
        QCOMPARE(Module1::PhotoChosen, edit ? QString() : u"1"_s);
        // The page buttons still walk the full list.
        w.click("Command8");
        QCOMPARE(w.txtPageMsg->text(), u"2/3"_s);
        QCOMPARE(w.shownIds(), storedIdsNewestFirst(*folder).mid(10, 10));
    }

    void photoPick_data()
    {
        // Columns: picks (files below "pick"; "" cancels), messages, held (the pick held at the
        // end, "" for none)
        dataColumns<QStringList, QStringList, QString>();
        const QString failed = line(kPickFailed, kInfo);
        const QString refused = critical(kPickFailed + u"："_s, kInfo);
        QTest::newRow("picture") << QStringList{"a.jpg"} << QStringList{} << "a.jpg";
        QTest::newRow("upper-case extension") << QStringList{"B.JPG"} << QStringList{failed} << "";
        QTest::newRow("picture, then upper-case")
            << QStringList{"a.jpg", "B.JPG"} << QStringList{failed} << "";
        QTest::newRow("cancel, nothing picked before")
            << QStringList{""} << QStringList{failed} << "";
        QTest::newRow("cancel after a pick")
            << QStringList{"a.jpg", ""} << QStringList{} << "a.jpg";
        QTest::newRow("not a picture") << QStringList{"x.jpg"} << QStringList{refused} << "";
        QTest::newRow("picture, then cut-off picture")
            << QStringList{"a.jpg", "cut.jpg"} << QStringList{refused} << "";
        QTest::newRow("missing file, then picture")
            << QStringList{"gone.jpg", "a.jpg"} << QStringList{refused} << "a.jpg";
    }
    void photoPick()
    {
        const auto [picks, messages, held] = dataRow<QStringList, QStringList, QString>();
        const Window w = start();
        const auto pickPath = [this](const QString& name) {
            return folder->path("pick/" + name);
        };
        folder->makeJpeg(pickPath("a.jpg"));
        folder->makeJpeg(pickPath("B.JPG"));
        writeNonPicture(pickPath("x.jpg"));
        QVERIFY(QFile::resize(pickPath("cut.jpg"),
                              bytesOf(folder->makeJpeg(pickPath("cut.jpg"))).size() / 2));
        const Snapshot before = snapshot(*folder);
        for (const QString& pick : picks) {
            dialogs->files << (pick.isEmpty() ? QString() : pickPath(pick));
            w.click("Command3");
        }
        for (const ScriptedDialogs::Call& call : dialogs->calls)
            if (call.kind == QLatin1String("openFile"))
                QCOMPARE(call.title + " " + call.filter, u"选择图片文件 图片（*.jpg）|*.jpg"_s);
        QCOMPARE(summaries(dialogs->messages()), messages);
        QCOMPARE(Module1::PhotoSource, held.isEmpty() ? QString() : pickPath(held));
        QCOMPARE(Module1::PhotoChosen, held.isEmpty() ? QString() : u"1"_s);
        QCOMPARE(w.photo->isEmpty(), !picks.contains(u"a.jpg"_s));
        QCOMPARE(changes(before), QStringList()); // picking copies and stores nothing

        // The next add stores the held pick, or the default photo when the pick was dropped; the
        // picked file stays where it was, and the add uses the pick up.
        const QString heldPath = held.isEmpty() ? defaultPhoto(*folder) : pickPath(held);
        const QByteArray heldBytes = bytesOf(heldPath);
        for (const QString& phone : {u"700"_s, u"701"_s}) {
            w.fill(person(u"王芳"_s, phone));
            w.click("Command1");
            QCOMPARE(summaries(dialogs->messages()).last(), kAdded);
            QCOMPARE(Module1::PhotoSource, QString());
        }
        QCOMPARE(bytesOf(photo(u"王芳-700.jpg"_s)), heldBytes);
        QCOMPARE(bytesOf(heldPath), heldBytes);
        QCOMPARE(bytesOf(photo(u"王芳-701.jpg"_s)), bytesOf(defaultPhoto(*folder)));
    }

    void pickedPictureIsDrawnOverShownPhoto()
    {
        fill();
        folder->makeJpeg(photo(u"王五-333.jpg"_s), QSize(80, 40), QColor(220, 30, 30));
        const Window w = openWindow();
        w.select(0);
        dialogs->files << folder->makeJpeg(u"pick/tall.jpg"_s, QSize(30, 90), QColor(30, 200, 30));
        w.click("Command3");
        // The box was not emptied first: beside the new picture the earlier photo still shows.
        const QImage& surface = w.photo->surface();
        const int middle = surface.height() / 2;
        QVERIFY(
            WindowChecks::near(surface.pixel(surface.width() / 2, middle), QColor(30, 200, 30)));
        QVERIFY(WindowChecks::near(surface.pixel(2, middle), QColor(220, 30, 30)));
    }

    void editMovesPhotoWithNameAndTelephone_data();
    void editMovesPhotoWithNameAndTelephone();
    void photoOffItsNameIsBroughtIn_data();
    void photoOffItsNameIsBroughtIn();
    void editOfVanishedRowMovesNoFile();
    void failedSaveChangesNothing_data();
    void failedSaveChangesNothing();
};

void TestMembersSave::editMovesPhotoWithNameAndTelephone_data()
{
    // A picked file: "face" once the record is selected, or before ("face first"), then dropped
    // by "清空" ("face, 清空"); "own" is the record's own photo file.
    // Columns: typed (name, telephone, gender, address), messages, fileName, pageAway (the grid
    // shows another page when the save is pressed), pick
    dataColumns<QStringList, QStringList, QString, bool, QString>();
    const QString gender = u"女"_s;
    const QString address = u"南京市鼓楼区中山路1号"_s;
    const QStringList itself = {kSelfUpdate, kUpdated};
    QTest::newRow("unchanged") << QStringList{"李四", "222", gender, address} << itself
                               << "李四-222.jpg" << false << QString();
    QTest::newRow("new name") << QStringList{"李小四", "222", gender, address} << itself
                              << "李小四-222.jpg" << false << QString();
    QTest::newRow("free telephone")
        << QStringList{"李四", "13812345678", gender, address} << QStringList{kUpdated}
        << "李四-13812345678.jpg" << false << QString();
    // The record itself holds the number, whatever row the grid is on.
    QTest::newRow("unchanged, grid on another page")
        << QStringList{"李四", "222", gender, address} << itself << "李四-222.jpg" << true
        << QString();
    // The save checks no field: an emptied address and the gender prompt are stored as they stand.
    QTest::newRow("emptied address, gender prompt")
        << QStringList{"李四", "222", kPickGender, QString()} << itself << "李四-222.jpg" << false
        << QString();
    QTest::newRow("quotes, slash, percent")
        << QStringList{"O'Neil/\"Li\"", "2;%'", "男'", "it's; \\"} << QStringList{kUpdated}
        << "O'Neil__Li_-2;%'.jpg" << false << QString();
    const auto picked = [&](const char* tag, const char* name, const char* pick) {
        QTest::newRow(tag) << QStringList{name, "222", gender, address} << itself
                           << QString(name) + "-222.jpg" << false << QString(pick);
    };
    picked("picked, same name", "李四", "face");
    picked("picked, renamed", "李小四", "face");
    picked("picked before selecting", "李小四", "face first");
    picked("own photo picked, same name", "李四", "own");
    picked("own photo picked, renamed", "李小四", "own");
    picked("pick dropped by 清空", "李小四", "face, 清空");
}

void TestMembersSave::editMovesPhotoWithNameAndTelephone()
{
    const auto [typed, messages, fileName, pageAway, pick] =
        dataRow<QStringList, QStringList, QString, bool, QString>();
    const Window w = start(12);
    const Snapshot before = snapshot(*folder);
    const QByteArray ownBytes = bytesOf(photo(u"李四-222.jpg"_s));
    const QString face = folder->makeJpeg(u"pick/face.jpg"_s, QSize(60, 60), Qt::magenta);
    const QByteArray faceBytes = bytesOf(face);
    dialogs->files << (pick == "own"_L1 ? photo(u"李四-222.jpg"_s) : face);
    const bool dropped = pick.endsWith(u"清空"_s), pickFirst = dropped || pick == "face first"_L1;
    if (pickFirst)
        w.click("Command3");
    if (dropped)
        w.click("Command4");
    w.select(1);
    if (!pickFirst && !pick.isEmpty())
        w.click("Command3");
    const qint64 id = w.t8->text().toLongLong();
    w.t1->setText(typed.at(0));
    w.T4->setText(typed.at(1));
    w.Combo1->setEditText(typed.at(2));
    w.T7->setPlainText(typed.at(3));
    if (pageAway) {
        w.click("Command8");
        QVERIFY(w.cell(w.currentRow(), 4) != u"222"_s);
    }
    w.click("Command5");

    QCOMPARE(summaries(dialogs->messages()), messages);
    QStringList row = before.rows.at(id - 1);
    row[1] = typed.at(0);
    row[4] = typed.at(1);
    row[2] = typed.at(2);
    row[7] = typed.at(3);
    row[8] = photo(fileName);
    QCOMPARE(tableRow(*folder, id), row);
    QCOMPARE(tableRows(*folder).size(), before.rows.size());
    QCOMPARE(photoFiles(*folder), swapped(before.files, u"李四-222.jpg"_s, fileName));
    QCOMPARE(bytesOf(row[8]), pick == "face"_L1 || pick == "face first"_L1 ? faceBytes : ownBytes);
    QCOMPARE(bytesOf(face), faceBytes);
    QCOMPARE(w.fields(), kCleared);
    QCOMPARE(w.t9->text() + ' ' + w.txtPageMsg->text(), u"15 1/2"_s);
    QCOMPARE(w.lss->text(), QString());
    QCOMPARE(Module1::RecordPhoto + Module1::PhotoSource + Module1::PhotoChosen, QString());
}

void TestMembersSave::photoOffItsNameIsBroughtIn_data()
{
    // A lost photo is replaced by the default photo; one kept outside "照片" is copied in and the
    // Columns: where, messages
    dataColumns<Where, QStringList>();
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
        << QStringList{critical(u"会员照片无法显示："_s), kSelfUpdate, kUpdated};
}

void TestMembersSave::photoOffItsNameIsBroughtIn()
{
    const auto [where, messages] = dataRow<Where, QStringList>();
    fill();
    // The stored path is not the conventional one, so the save gives the photo a new file.
    const Member odd = addMember(
        *folder, u"钱八"_s, u"444"_s,
        where == Where::OutsideFolder ? "../elsewhere/qian.jpg" : "old-qian.jpg", Qt::darkYellow);
    if (where == Where::NotAPicture)
        writeNonPicture(odd.zhaopian);
    const QByteArray oddBytes = bytesOf(odd.zhaopian);
    const Window w = openWindow();
    if (where == Where::LostBeforeSelection)
        QVERIFY(QFile::remove(odd.zhaopian));
    w.select(0);
    if (where == Where::LostAfterSelection)
        QVERIFY(QFile::remove(odd.zhaopian));
    w.click("Command5");

    QCOMPARE(said(), messages);
    const QString saved = photo(u"钱八-444.jpg"_s);
    QCOMPARE(tableRow(*folder, 4).at(8), saved);
    QCOMPARE(bytesOf(saved),
             where == Where::OutsideFolder ? oddBytes : bytesOf(defaultPhoto(*folder)));
    if (where == Where::NotAPicture) {
        QCOMPARE(bytesOf(photo(u"无法显示/old-qian.jpg"_s)), oddBytes);
        QCOMPARE(w.lss->text(), u"原照片无法显示，已移到 照片/无法显示/old-qian.jpg"_s);
        QVERIFY(QDir(photo(u"无法显示"_s)).removeRecursively());
    }
    QCOMPARE(photoMismatches(*folder), QStringList());
    if (where == Where::OutsideFolder)
        QCOMPARE(bytesOf(odd.zhaopian), oddBytes);
}

void TestMembersSave::editOfVanishedRowMovesNoFile()
{
    const Window w = start();
    w.select(1);
    removeRows(*folder, {w.t8->text().toLongLong()}); // someone else deleted the row meanwhile
    w.t1->setText(u"李小四"_s);
    const QStringList typed = w.fields();
    const Snapshot before = snapshot(*folder);
    w.click("Command5");
    QCOMPARE(said(), QStringList{kNotUpdated});
    QCOMPARE(changes(before), QStringList());
    QCOMPARE(w.fields(), typed);
}

void TestMembersSave::failedSaveChangesNothing_data()
{
    // Columns: edit, fault, pick, names (what the message names, below the program folder)
    dataColumns<bool, Fault, bool, QString>();
    QTest::newRow("add, photo folder read-only") << false << Fault::ReadOnly << true << "照片";
    QTest::newRow("add, store locked") << false << Fault::Locked << true << "hd.db";
    QTest::newRow("add, picked file removed")
        << false << Fault::PickRemoved << true << "pick/face.jpg";
    QTest::newRow("add, picked file no longer a picture")
        << false << Fault::PickNoPicture << true << "pick/face.jpg";
    QTest::newRow("add, default photo missing")
        << false << Fault::NoDefaultPhoto << false << "模版照片/1.jpg";
    QTest::newRow("edit, photo folder read-only") << true << Fault::ReadOnly << false << "照片";
    QTest::newRow("edit, store locked") << true << Fault::Locked << false << "hd.db";
    QTest::newRow("edit, picked file removed")
        << true << Fault::PickRemoved << true << "pick/face.jpg";
}

void TestMembersSave::failedSaveChangesNothing()
{
    const auto [edit, fault, pick, names] = dataRow<bool, Fault, bool, QString>();
    const Window w = start();
    // A file under the new member's name must survive a failed add untouched.
    if (!edit)
        folder->makeJpeg(photo(u"赵六-123.jpg"_s), QSize(10, 10), Qt::yellow);
    const QString picked = folder->makeJpeg(u"pick/face.jpg"_s, QSize(50, 70), Qt::green);
    const QByteArray ownBytes = bytesOf(photo(u"李四-222.jpg"_s));
    if (edit)
        w.select(1);
    if (pick) {
        dialogs->files << picked;
        w.click("Command3");
    }
    if (edit)
        w.t1->setText(u"李小四"_s);
    else
        w.fill(person(u"赵六"_s, u"123"_s));
    const QStringList typed = w.fields();
    const Snapshot before = snapshot(*folder);

    std::optional<ReadOnlyFolder> readOnly;
    std::optional<StoreLock> lock;
    if (fault == Fault::ReadOnly && !readOnly.emplace(folder->path(u"照片"_s)).effective())
        QSKIP("permissions are not enforced for this user");
    if (fault == Fault::Locked)
        QVERIFY(lock.emplace(*folder).held());
    if (fault == Fault::PickRemoved || fault == Fault::NoDefaultPhoto)
        QVERIFY(QFile::remove(fault == Fault::PickRemoved ? picked : defaultPhoto(*folder)));
    if (fault == Fault::PickNoPicture)
        writeNonPicture(picked);
    bool busyWhenTold = false;
    dialogs->onMessage = [&](const QString&) {
        busyWhenTold = QApplication::overrideCursor() &&
                       QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    };
    dialogs->clear();
    w.click(edit ? "Command5" : "Command1");

    const QString lead = edit                     ? u"更新失败，资料未作改动："_s
                         : fault == Fault::Locked ? u"录入失败，未保存任何数据："_s
                                                  : u"录入失败，会员照片无法保存："_s;
    QCOMPARE(said(),
             (edit ? QStringList{kSelfUpdate, critical(lead)} : QStringList{critical(lead)}));
    const QString told = dialogs->calls.last().text;
    QVERIFY2(told.contains(QDir::toNativeSeparators(folder->path(names))), qPrintable(told));
    if (fault == Fault::Locked) {
        // In the operator's words, with a busy cursor while the store was waited for.
        QVERIFY2(told.contains(u"数据库正被其他程序使用"_s) && !told.contains(u"locked"_s),
                 qPrintable(told));
        QVERIFY(busyWhenTold);
        QTest::qWait(1);
        QVERIFY(!QApplication::overrideCursor());
    }
    QCOMPARE(changes(before), QStringList());
    QCOMPARE(w.fields(), typed);
    QCOMPARE(w.lss->text(), QString());
    QCOMPARE(Module1::PhotoSource, pick && !edit ? picked : QString());
    QCOMPARE(Module1::InputChecked, QString());
    if (edit)
        QCOMPARE(Module1::PhotoChosen, QString());

    // With the fault gone the same press succeeds: the window stays usable. An edit has dropped
    // its pick and keeps the record's own photo.
    readOnly.reset();
    lock.reset();
    folder->makeJpeg(picked, QSize(50, 70), Qt::green);
    folder->makeDefaultPhoto();
    dialogs->clear();
    w.click(edit ? "Command5" : "Command1");
    QCOMPARE(said(), (edit ? QStringList{kSelfUpdate, kUpdated} : QStringList{kAdded}));
    const QString saved = photo(edit ? u"李小四-222.jpg"_s : u"赵六-123.jpg"_s);
    QCOMPARE(tableRow(*folder, edit ? 2 : 4).at(8), saved);
    QCOMPARE(bytesOf(saved), edit ? ownBytes : bytesOf(pick ? picked : defaultPhoto(*folder)));
    QCOMPARE(photoMismatches(*folder), QStringList());
}

QTEST_MAIN(TestMembersSave)
#include "tst_members_save.moc"
