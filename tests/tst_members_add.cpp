// Adding a member through the member window, and picking the photo that goes with it.

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
#include <QTest>

#include <optional>

using namespace MemberTests;
using namespace RecordTests;

namespace {

const QString kAdded = QStringLiteral("学员录入完毕");
const QString kDone = QStringLiteral("成功信息");
const QString kInfo = QStringLiteral("系统信息");
const QString kPickFailed = QStringLiteral("图片选择失败");

enum class Fault { ReadOnly, Locked, PickRemoved, PickNoPicture, NoDefaultPhoto };

} // namespace

Q_DECLARE_METATYPE(Fault)

class TestMembersAdd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        AppSetup::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        AppSetup::registerWindows();
    }
    void cleanup() { closeAllForms(); }

    void inputChecksComeInOrder();
    void fieldsAreStoredAsTyped_data();
    void fieldsAreStoredAsTyped();
    void selectedMemberWithNewTelephoneIsAddedAgain();
    void takenTelephoneIsRefused_data();
    void takenTelephoneIsRefused();
    void photoPick_data();
    void photoPick();
    void pickedPictureIsDrawnOverShownPhoto();
    void failedAddLeavesNoRowAndNoFile_data();
    void failedAddLeavesNoRowAndNoFile();
};

void TestMembersAdd::inputChecksComeInOrder()
{
    DialogScript dialogs;
    TestFolder folder;
    prepareStore(folder, 3);
    const Window w = openWindow();
    QVERIFY(w.ok());
    const Snapshot before = snapshot(folder);

    // Each press names the first empty field only; filling it brings up the next one.
    const QStringList messages = {"请填写用户名", "请选择性别", "请填写年龄", "请填写电话",
                                  "请填写QQ",     "请填写邮箱", "请填写地址"};
    const QList<QString Member::*> order = {&Member::xingming, &Member::xingbie, &Member::nianling,
                                            &Member::dianhua,  &Member::qq,      &Member::youxiang,
                                            &Member::dizhi};
    const Member full = person(QStringLiteral("张三"), QStringLiteral("123"));
    Member typed;
    typed.xingbie = kPickGender;
    for (qsizetype i = 0; i < messages.size(); ++i) {
        fillFields(w.form, typed);
        dialogs->clear();
        w.click("Command1");
        QCOMPARE(summaries(dialogs->calls), QStringList{line(messages.at(i), QString())});
        QCOMPARE(Module1::InputChecked, QString());
        QCOMPARE(differences(before, snapshot(folder)), QStringList());
        typed.*order.at(i) = full.*order.at(i);
    }
    fillFields(w.form, typed);
    dialogs->clear();
    w.click("Command1");
    QCOMPARE(summaries(dialogs->calls), QStringList{line(kAdded, kDone)});
    typed.id = 4;
    typed.zhaopian = photoPath(folder, QStringLiteral("张三-123.jpg"));
    QCOMPARE(tableRow(folder, 4), rowOf(typed));
}

void TestMembersAdd::fieldsAreStoredAsTyped_data()
{
    QTest::addColumn<QStringList>("typed"); // name, gender, age, telephone, QQ, e-mail, address
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("targetTaken");

    const QStringList zhang = {"张三", "男", "30", "123", "10001", "zs@example.com", "上海市"};
    QTest::newRow("name and telephone") << zhang << "张三-123.jpg" << false;
    QTest::newRow("file of that name replaced") << zhang << "张三-123.jpg" << true;
    QTest::newRow("blanks") << QStringList{" ", " ", " ", "  ", " ", " ", " "} << " -  .jpg"
                            << false;
    QTest::newRow("gender emptied")
        << QStringList{"李四", "", "20", "124", "1", "m@x", "a"} << "李四-124.jpg" << false;
    QTest::newRow("gender typed") << QStringList{"李四", "未知", "20", "125", "1", "m@x", "a"}
                                  << "李四-125.jpg" << false;
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

void TestMembersAdd::fieldsAreStoredAsTyped()
{
    QFETCH(QStringList, typed);
    QFETCH(QString, fileName);
    QFETCH(bool, targetTaken);

    WatchScript dialogs;
    TestFolder folder;
    prepareStore(folder, 12);
    const Window w = openWindow();
    QVERIFY(w.ok());
    if (targetTaken)
        folder.makeJpeg(photoPath(folder, fileName), QSize(80, 80), Qt::green);
    const Snapshot before = snapshot(folder);
    // The status line as it stands while the success message would be on screen.
    QString status = QStringLiteral("<no report>");
    dialogs->onMessage = [&](const QString& text) {
        if (text == kAdded)
            status = w.lss->text();
    };
    const Member m{13,          typed.at(0), typed.at(1),
                   typed.at(2), typed.at(3), typed.at(4),
                   typed.at(5), typed.at(6), photoPath(folder, fileName)};
    fillFields(w.form, m);
    w.click("Command1");

    QCOMPARE(summaries(dialogs->calls), QStringList{line(kAdded, kDone)});
    QCOMPARE(status, QStringLiteral("开始-->图片转移完毕-->库打开-->库关"));
    QCOMPARE(tableRows(folder), before.rows + QList<QStringList>{rowOf(m)});
    QCOMPARE(photoFiles(folder), swapped(before.files, {}, fileName));
    // No photo was picked: the member gets a copy of the default photo, replacing what stood there.
    QCOMPARE(bytesOf(m.zhaopian), bytesOf(defaultPhoto(folder)));
    QCOMPARE(photoMismatches(folder), QStringList());

    // The full list again, the new member on top of page 1, the fields and status emptied.
    QCOMPARE(w.t9->text(), QStringLiteral("13"));
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/2"));
    QCOMPARE(w.shownIds(), storedIdsNewestFirst(folder).mid(0, 10));
    QCOMPARE(w.shownIds().first(), qint64(13));
    QCOMPARE(w.fields(), clearedFields());
    QCOMPARE(w.lss->text(), QString());
    QVERIFY(w.photo->isEmpty());
    QCOMPARE(Module1::InputChecked, QString());
    QCOMPARE(Module1::PhotoSource, QString());
}

void TestMembersAdd::selectedMemberWithNewTelephoneIsAddedAgain()
{
    DialogScript dialogs;
    TestFolder folder;
    prepareStore(folder, 2);
    addMember(folder, QStringLiteral("张三"), QStringLiteral("123"));
    const Window w = openWindow();
    QVERIFY(w.ok());
    w.select(0);
    const QStringList chosen = tableRow(folder, w.t8->text().toLongLong());
    QCOMPARE(Module1::RecordPhoto, chosen.at(8));
    w.T4->clear();
    QTest::keyClicks(w.T4, QStringLiteral("13900000000"));
    const Snapshot before = snapshot(folder);
    w.click("Command1");

    // The other fields are copied; the photo is the default one, never the selected member's.
    QCOMPARE(summaries(dialogs->calls), QStringList{line(kAdded, kDone)});
    QStringList added = chosen;
    added[0] = QStringLiteral("4");
    added[4] = QStringLiteral("13900000000");
    added[8] = photoPath(folder, QStringLiteral("张三-13900000000.jpg"));
    QCOMPARE(tableRows(folder), before.rows + QList<QStringList>{added});
    QCOMPARE(bytesOf(added[8]), bytesOf(defaultPhoto(folder)));
    QVERIFY(bytesOf(added[8]) != bytesOf(chosen.at(8)));
}

void TestMembersAdd::takenTelephoneIsRefused_data()
{
    QTest::addColumn<int>("holders");
    QTest::addColumn<bool>("selectHolder");
    QTest::addColumn<QString>("countMessage");

    const char* one = "数据库内已经有1条这样的会员记录，不能加为会员";
    QTest::newRow("another member") << 1 << false << one;
    QTest::newRow("two members share it")
        << 2 << false << "数据库内已经有2条这样的会员记录，不能加为会员";
    QTest::newRow("selected member unchanged") << 1 << true << one;
}

void TestMembersAdd::takenTelephoneIsRefused()
{
    QFETCH(int, holders);
    QFETCH(bool, selectHolder);
    QFETCH(QString, countMessage);

    DialogScript dialogs;
    TestFolder folder;
    prepareStore(folder, 22);
    for (int i = 0; i < holders; ++i)
        addMember(folder, QStringLiteral("持有人%1").arg(i), QStringLiteral("555"));
    const Window w = openWindow();
    QVERIFY(w.ok());
    const QString picked = folder.makeJpeg(QStringLiteral("pick/face.jpg"));
    dialogs->files << picked;
    w.click("Command3");
    if (selectHolder)
        w.select(0);
    else
        fillFields(w.form, person(QStringLiteral("赵六"), QStringLiteral("555")));
    QStringList typed = w.fields();
    const Snapshot before = snapshot(folder);
    dialogs->clear();

    w.click("Command1");
    QCOMPARE(summaries(dialogs->calls),
             (QStringList{line(countMessage, QStringLiteral("返回库内数据条数")),
                          line(QStringLiteral("录入失败"), kInfo)}));
    typed[4].clear();
    QCOMPARE(w.fields(), typed);
    QCOMPARE(w.form->focusWidget(), static_cast<QWidget*>(w.T4));
    QCOMPARE(Module1::PhotoSource, picked);
    QCOMPARE(Module1::PhotoChosen, QStringLiteral("1"));
    QCOMPARE(differences(before, snapshot(folder)), QStringList());

    // The page buttons still walk the full list.
    w.click("Command8");
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("2/3"));
    QCOMPARE(w.shownIds(), storedIdsNewestFirst(folder).mid(10, 10));

    dialogs->clear();
    w.click("Command1");
    QCOMPARE(summaries(dialogs->calls), QStringList{line(QStringLiteral("请填写电话"), QString())});
    QCOMPARE(differences(before, snapshot(folder)), QStringList());
}

void TestMembersAdd::photoPick_data()
{
    QTest::addColumn<QStringList>("picks"); // files below "pick"; "" cancels
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("held"); // the pick held at the end, "" for none

    const QString failed = line(kPickFailed, kInfo);
    const QString refused = critical(kPickFailed + QStringLiteral("："), kInfo);
    QTest::newRow("picture") << QStringList{"a.jpg"} << QStringList{} << "a.jpg";
    QTest::newRow("upper-case extension") << QStringList{"B.JPG"} << QStringList{failed} << "";
    QTest::newRow("picture, then upper-case")
        << QStringList{"a.jpg", "B.JPG"} << QStringList{failed} << "";
    QTest::newRow("cancel, nothing picked before") << QStringList{""} << QStringList{failed} << "";
    QTest::newRow("cancel after a pick") << QStringList{"a.jpg", ""} << QStringList{} << "a.jpg";
    QTest::newRow("cancel after a refused name")
        << QStringList{"B.JPG", ""} << QStringList{failed, failed} << "";
    QTest::newRow("not a picture") << QStringList{"x.jpg"} << QStringList{refused} << "";
    QTest::newRow("picture, then not a picture")
        << QStringList{"a.jpg", "x.jpg"} << QStringList{refused} << "";
    QTest::newRow("cut-off picture") << QStringList{"cut.jpg"} << QStringList{refused} << "";
    QTest::newRow("missing file") << QStringList{"gone.jpg"} << QStringList{refused} << "";
    QTest::newRow("refused, then picture")
        << QStringList{"x.jpg", "a.jpg"} << QStringList{refused} << "a.jpg";
}

void TestMembersAdd::photoPick()
{
    QFETCH(QStringList, picks);
    QFETCH(QStringList, messages);
    QFETCH(QString, held);

    DialogScript dialogs;
    TestFolder folder;
    prepareStore(folder, 2);
    const Window w = openWindow();
    QVERIFY(w.ok());
    const auto pickPath = [&folder](const QString& name) {
        return folder.path("pick/" + name);
    };
    folder.makeJpeg(pickPath("a.jpg"));
    folder.makeJpeg(pickPath("B.JPG"));
    writeNonPicture(pickPath("x.jpg"));
    QVERIFY(QFile::resize(pickPath("cut.jpg"),
                          bytesOf(folder.makeJpeg(pickPath("cut.jpg"))).size() / 2));
    const Snapshot before = snapshot(folder);

    for (const QString& pick : picks) {
        dialogs->files << (pick.isEmpty() ? QString() : pickPath(pick));
        w.click("Command3");
    }
    for (const ScriptedDialogs::Call& call : dialogs->calls) {
        if (call.kind == QLatin1String("openFile"))
            QCOMPARE(call.title + " " + call.filter,
                     QStringLiteral("选择图片文件 图片（*.jpg）|*.jpg"));
    }
    QCOMPARE(summaries(dialogs->messages()), messages);
    QCOMPARE(Module1::PhotoSource, held.isEmpty() ? QString() : pickPath(held));
    QCOMPARE(Module1::PhotoChosen, held.isEmpty() ? QString() : QStringLiteral("1"));
    QCOMPARE(w.photo->isEmpty(), !picks.contains(QStringLiteral("a.jpg")));
    // Picking copies nothing and stores nothing.
    QCOMPARE(differences(before, snapshot(folder)), QStringList());

    // The next add stores the held pick, or the default photo when the pick was dropped; the
    // picked file stays where it was, and the add uses the pick up.
    const QString heldPath = held.isEmpty() ? defaultPhoto(folder) : pickPath(held);
    const QByteArray heldBytes = bytesOf(heldPath);
    for (const QString& phone : {QStringLiteral("700"), QStringLiteral("701")}) {
        fillFields(w.form, person(QStringLiteral("王芳"), phone));
        w.click("Command1");
        QCOMPARE(summaries(dialogs->messages()).last(), line(kAdded, kDone));
        QCOMPARE(Module1::PhotoSource, QString());
        QCOMPARE(Module1::PhotoChosen, held.isEmpty() ? QString() : QStringLiteral("1"));
    }
    QCOMPARE(bytesOf(photoPath(folder, QStringLiteral("王芳-700.jpg"))), heldBytes);
    QCOMPARE(bytesOf(heldPath), heldBytes);
    QCOMPARE(bytesOf(photoPath(folder, QStringLiteral("王芳-701.jpg"))),
             bytesOf(defaultPhoto(folder)));
}

void TestMembersAdd::pickedPictureIsDrawnOverShownPhoto()
{
    DialogScript dialogs;
    TestFolder folder;
    prepareStore(folder);
    const Member wide = addMember(folder, QStringLiteral("宽照"), QStringLiteral("600"));
    folder.makeJpeg(wide.zhaopian, QSize(80, 40), QColor(220, 30, 30));
    const Window w = openWindow();
    QVERIFY(w.ok());
    w.select(0);
    QVERIFY(!w.photo->isEmpty());

    const QString tall =
        folder.makeJpeg(QStringLiteral("pick/tall.jpg"), QSize(30, 90), QColor(30, 200, 30));
    dialogs->files << tall << folder.makeJpeg(QStringLiteral("pick/T.JPG"));
    w.click("Command3");
    QCOMPARE(dialogs->messages().size(), 0);
    const QSizeF box = w.photo->innerSize();
    const QRectF target = w.photo->lastTarget();
    QVERIFY2(qAbs(target.height() - box.height()) < 1 && qAbs(target.top()) < 1,
             "a tall picture fills the height");
    QVERIFY(qAbs(target.width() - box.height() / 3) < 1);
    QVERIFY(qAbs(target.left() - (box.width() - target.width()) / 2) < 1);
    // The box was not emptied first: beside the new picture the earlier photo still shows.
    const QImage& surface = w.photo->surface();
    const int middle = int(box.height() / 2);
    QVERIFY(
        WindowChecks::near(surface.pixel(int(target.center().x()), middle), QColor(30, 200, 30)));
    QVERIFY(WindowChecks::near(surface.pixel(2, middle), QColor(220, 30, 30)));
    QVERIFY(WindowChecks::near(surface.pixel(int(box.width()) - 3, middle), QColor(220, 30, 30)));

    // A refused pick drops the held file but leaves the box as it was.
    const QImage drawn = surface;
    w.click("Command3");
    QCOMPARE(summaries(dialogs->messages()), QStringList{line(kPickFailed, kInfo)});
    QCOMPARE(w.photo->surface(), drawn);
    QCOMPARE(Module1::PhotoSource, QString());
}

void TestMembersAdd::failedAddLeavesNoRowAndNoFile_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<bool>("pick");
    QTest::addColumn<QString>("lead");
    QTest::addColumn<QString>("names"); // what the message names, below the program folder

    const QString photo = QStringLiteral("录入失败，会员照片无法保存：");
    QTest::newRow("photo folder read-only") << Fault::ReadOnly << true << photo << "照片";
    QTest::newRow("store locked") << Fault::Locked << true
                                  << QStringLiteral("录入失败，未保存任何数据：") << "hd.db";
    QTest::newRow("picked file removed") << Fault::PickRemoved << true << photo << "pick/face.jpg";
    QTest::newRow("picked file no longer a picture")
        << Fault::PickNoPicture << true << photo << "pick/face.jpg";
    QTest::newRow("default photo missing")
        << Fault::NoDefaultPhoto << false << photo << "模版照片/1.jpg";
}

void TestMembersAdd::failedAddLeavesNoRowAndNoFile()
{
    QFETCH(Fault, fault);
    QFETCH(bool, pick);
    QFETCH(QString, lead);
    QFETCH(QString, names);

    DialogScript dialogs;
    TestFolder folder;
    prepareStore(folder, 3);
    const Window w = openWindow();
    QVERIFY(w.ok());
    // A file under the new member's name must survive a failed add untouched.
    folder.makeJpeg(photoPath(folder, QStringLiteral("张三-123.jpg")), QSize(10, 10), Qt::yellow);
    const QString picked =
        folder.makeJpeg(QStringLiteral("pick/face.jpg"), QSize(50, 70), Qt::green);
    if (pick) {
        dialogs->files << picked;
        w.click("Command3");
    }
    const Member typed = person(QStringLiteral("张三"), QStringLiteral("123"));
    fillFields(w.form, typed);
    const QStringList fields = w.fields();
    const Snapshot before = snapshot(folder);

    std::optional<ReadOnlyFolder> readOnly;
    std::optional<StoreLock> lock;
    if (fault == Fault::ReadOnly) {
        readOnly.emplace(folder.path(QStringLiteral("照片")));
        if (!readOnly->effective())
            QSKIP("permissions are not enforced for this user");
    }
    if (fault == Fault::Locked)
        QVERIFY(lock.emplace(folder).held());
    if (fault == Fault::PickRemoved || fault == Fault::NoDefaultPhoto)
        QVERIFY(QFile::remove(fault == Fault::PickRemoved ? picked : defaultPhoto(folder)));
    if (fault == Fault::PickNoPicture)
        writeNonPicture(picked);
    dialogs->clear();
    w.click("Command1");

    QCOMPARE(summaries(dialogs->calls), QStringList{critical(lead)});
    QVERIFY2(dialogs->calls.first().text.contains(QDir::toNativeSeparators(folder.path(names))),
             qPrintable(dialogs->calls.first().text));
    QCOMPARE(differences(before, snapshot(folder)), QStringList());
    QCOMPARE(w.fields(), fields);
    QCOMPARE(w.lss->text(), QString());
    QCOMPARE(Module1::PhotoSource, pick ? picked : QString());
    QCOMPARE(Module1::InputChecked, QString());

    // With the fault gone the same press succeeds: the window stays usable.
    readOnly.reset();
    lock.reset();
    folder.makeJpeg(picked, QSize(50, 70), Qt::green);
    folder.makeDefaultPhoto();
    dialogs->clear();
    w.click("Command1");
    QCOMPARE(summaries(dialogs->calls), QStringList{line(kAdded, kDone)});
    QCOMPARE(tableRow(folder, 4).at(8), photoPath(folder, QStringLiteral("张三-123.jpg")));
    QCOMPARE(bytesOf(photoPath(folder, QStringLiteral("张三-123.jpg"))),
             bytesOf(pick ? picked : defaultPhoto(folder)));
    QCOMPARE(photoMismatches(folder), QStringList());
}

QTEST_MAIN(TestMembersAdd)
#include "tst_members_add.moc"
