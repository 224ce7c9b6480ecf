// Deleting members and clearing the store through the member window, saving without a selection,
// the keyboard in the grid, and saves cut short by a crash that the next start puts right.

#include "MemberRecords.h"
#include "MemberWorld.h"
#include "PhotoFiles.h"
#include "ProgramFolder.h"
#include "ProgramLock.h"
#include "StagedPhoto.h"
#include "WindowChecks.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QTest>

#include <unistd.h>

using namespace MemberTests;

namespace {

const QString kStoreCleared = line(u"数据库清空"_s, kDone);

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

// The member window shown again over an empty store.
void checkReopenedEmpty(const QPointer<Form>& first)
{
    WindowChecks::settle();
    QVERIFY(!first);
    const Window again = Window(Forms::instance().find(u"xianshi"_s));
    QVERIFY(again.ok() && again.form->isVisible());
    QCOMPARE(again.lss->text() + '|' + again.t9->text(), kEmptyStore + u"|0"_s);
    QCOMPARE(again.model()->rowCount(), 0);
}

// Run as a child: saves a member and ends the program at a step of the save: once the save is
// noted, or with the new photo in place before the row is committed ("before") or just after.
int saveAndDie(const QString& root, const QString& kind, const QString& moment,
               const QString& picture)
{
    ProgramFolder::setRoot(root);
    Result<Database> db = Database::openProgramStore();
    if (!db)
        return 2;
    const QString oldPhoto = PhotoFiles::memberPhotoPath(u"张三"_s, u"111"_s);
    Member member = kind == u"add"_s        ? person(u"王五"_s, u"555"_s)
                    : kind == u"new name"_s ? person(u"张三丰"_s, u"111"_s)
                                            : person(u"张三"_s, u"111"_s);
    member.nianling = u"31"_s;
    Result<StagedPhoto> staged =
        StagedPhoto::stage(picture, PhotoFiles::memberPhotoPath(member.xingming, member.dianhua));
    if (!staged)
        return 3;
    using MemberRecords::testing::SaveStep;
    MemberRecords::testing::atStep = [&](SaveStep step) {
        if (moment == u"noted"_s)
            ::_exit(7);
        if (step != SaveStep::PhotoInstalled)
            return;
        if (moment == u"after"_s)
            db->commit();
        ::_exit(7);
    };
    if (kind == u"add"_s) {
        MemberRecords::insert(db.value(), member, staged.value());
        return 4;
    }
    member.id = 1;
    MemberRecords::update(db.value(), member, staged.value(), {oldPhoto});
    return 4;
}

} // namespace

class TestMembersRemove : public QObject, MemberWorld
{
    Q_OBJECT

    int runChildSave(const QString& kind, const QString& moment)
    {
        const QString picture = folder->makeJpeg(u"pick.jpg"_s, {60, 45}, Qt::blue);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {u"--save-and-die"_s, folder->root(), kind, moment, picture});
        child.waitForFinished(30000);
        return child.exitCode();
    }
    QStringList leftovers() const
    {
        return QDir(folder->root()).entryList({u".talvio-*"_s}, QDir::Files | QDir::Hidden);
    }

private slots:
    void initTestCase() { prepareApplication(); }
    void init() { begin(); }
    void cleanup() { end(); }

    void withoutSelection_data()
    {
        // Columns: button, message, page (a delete reloads the list, an edit leaves it)
        dataColumns<QString, QString, QString>();
        QTest::newRow("delete") << "Command2" << line(u"请选择一个学生"_s, u"删除失败"_s) << "1/2";
        QTest::newRow("edit") << "Command5" << line(u"请选择要更新的会员"_s, u"更新缺少对象"_s)
                              << "2/2";
    }
    void withoutSelection()
    {
        const auto [button, message, page] = dataRow<QString, QString, QString>();
        prepareStore(*folder, 12);
        const Window w = openWindow();
        const Snapshot before = snapshot(*folder);
        // Nothing selected, and a selection dropped by "清空"; the typed fields are cleared.
        for (bool selectedFirst : {false, true}) {
            w.click("Command8");
            if (selectedFirst) {
                w.select(1);
                w.click("Command4");
            }
            w.fill(person(u"新人"_s, u"999"_s));
            dialogs->clear();
            w.click(qPrintable(button));
            QCOMPARE(said(), QStringList{message});
            QCOMPARE(changes(before), QStringList());
            QCOMPARE(w.fields(), kCleared);
            QCOMPARE(w.t9->text() + ' ' + w.txtPageMsg->text(), "12 " + page);
        }
    }

    void deleteRemovesRowAndPhoto_data()
    {
        // Columns: photoFile (of 李四, "" for the conventional name), lose (the file goes before
        // the window opens), loseLater (the file goes once the row is selected), ids (of 张三, 李四
        // (deleted) and 王五; 0: automatic)
        dataColumns<QString, bool, bool, QList<qint64>>();
        const QList<qint64> automatic{0, 0, 0};
        QTest::newRow("photo present") << "" << false << false << automatic;
        QTest::newRow("photo removed after selection") << "" << false << true << automatic;
        QTest::newRow("photo lost and repaired") << "old-li.jpg" << true << false << automatic;
        QTest::newRow("stored photo outside the photo folder")
            << "../elsewhere/li.jpg" << false << false << automatic;
        // 70000 and 40000 do not fit 16 bits; cut to 16 bits 70000 becomes 4464.
        QTest::newRow("ids above 32767")
            << "" << false << false << QList<qint64>{4464, 70000, 40000};
    }
    void deleteRemovesRowAndPhoto()
    {
        const auto [photoFile, lose, loseLater, ids] =
            dataRow<QString, bool, bool, QList<qint64>>();
        prepareStore(*folder);
        addMember(*folder, u"张三"_s, u"111"_s, {}, Qt::red, ids.at(0));
        const Member li = addMember(*folder, u"李四"_s, u"222"_s, photoFile, Qt::green, ids.at(1));
        addMember(*folder, u"王五"_s, u"333"_s, {}, Qt::blue, ids.at(2));
        if (lose)
            QVERIFY(QFile::remove(li.zhaopian));
        const Window w = openWindow();
        const Snapshot before = snapshot(*folder);
        w.select(rowNamed(w, u"李四"_s));
        if (loseLater)
            QVERIFY(QFile::remove(li.zhaopian));
        w.click("Command2");

        QStringList messages{kDeleted};
        if (lose)
            messages =
                QStringList{line(kRepairing, kRepairingTitle), line(kRepaired, kRepairedTitle)} +
                messages;
        QCOMPARE(said(), messages);
        QList<QStringList> rows = before.rows;
        rows.removeIf([&li](const QStringList& r) { return r.first() == QString::number(li.id); });
        QCOMPARE(rows.size(), 2);
        QCOMPARE(tableRows(*folder), rows);
        QCOMPARE(photoFiles(*folder), swapped(before.files, u"李四-222.jpg"_s, {}));
        QCOMPARE(photoMismatches(*folder), QStringList());
        // A file outside the photo folder is not the delete's to remove.
        QCOMPARE(QFile::exists(li.zhaopian), photoFile.startsWith(u".."_s));
        QCOMPARE(w.t9->text(), u"2"_s);
        QCOMPARE(w.shownIds(), storedIdsNewestFirst(*folder));
        QCOMPARE(w.fields(), kCleared);
        QCOMPARE(Module1::RecordPhoto, QString());
    }

    void deletingLastMemberReopensWindow()
    {
        prepareStore(*folder);
        addMember(*folder, u"张三"_s, u"111"_s);
        const Window w = openWindow();
        const QPointer<Form> first = w.form;
        w.select(0);
        w.click("Command2");
        QCOMPARE(said(), QStringList{kDeleted});
        QCOMPARE(tableRows(*folder), QList<QStringList>());
        QCOMPARE(photoFiles(*folder), QStringList());
        checkReopenedEmpty(first);
    }

    void failedDeleteChangesNothing()
    {
        const Window w = start(3);
        const Snapshot before = snapshot(*folder);
        {
            StoreLock lock(*folder);
            QVERIFY(lock.held());
            w.select(1);
            w.click("Command2");
            QCOMPARE(said(), QStringList{critical(u"删除失败："_s)});
            QVERIFY(dialogs->calls.first().text.contains(
                QDir::toNativeSeparators(folder->path("hd.db"))));
            QCOMPARE(changes(before), QStringList());
        }
        dialogs->clear();
        w.select(1);
        w.click("Command2");
        QCOMPARE(said(), QStringList{kDeleted});
        QCOMPARE(tableRows(*folder).size(), 5);
        QCOMPARE(photoMismatches(*folder), QStringList());
    }

    // Run unprivileged as well, where the read-only folder really refuses.
    void deleteThatLeavesFilesSaysWhatHappened()
    {
        const Window w = start();
        w.select(0);
        ReadOnlyFolder readOnly(folder->path(u"照片"_s));
        if (!readOnly.effective())
            QSKIP("permissions are not enforced for this user");
        w.click("Command2");
        const QList<ScriptedDialogs::Call> calls = dialogs->messages();
        QCOMPARE(calls.size(), 2);
        QCOMPARE(summaries({calls.first()}).first(), kDeleted);
        QVERIFY(calls.at(1).text.startsWith(u"会员已删除，但有 1 个照片文件未能删除"_s));
        QCOMPARE(calls.at(1).icon, Dialogs::Icon::Exclamation);
        QCOMPARE(tableRows(*folder).size(), 2);
    }

    void clearAsksFirst_data()
    {
        // Columns: members, yes
        dataColumns<int, bool>();
        // No question on an empty store: the count shown says it is empty already.
        QTest::newRow("empty store") << 0 << true;
        QTest::newRow("answered No") << 13 << false;
        QTest::newRow("answered Yes") << 13 << true;
    }
    void clearAsksFirst()
    {
        const auto [members, yes] = dataRow<int, bool>();
        prepareStore(*folder, members);
        // Files the clearing must tell apart: other extensions stay, any case of ".jpg" goes.
        for (const char* name : {"notes.txt", "UPPER.JPG", "b.png"})
            writeNonPicture(photo(QString::fromLatin1(name)));
        folder->makeJpeg(photo(u"orphan.jpg"_s));
        folder->makeJpeg(photo(u".hidden.jpg"_s));
        const QByteArray defaultBytes = bytesOf(defaultPhoto(*folder));
        const Window w = openWindow();
        const QPointer<Form> first = w.form;
        w.click("Command8");
        const Snapshot before = snapshot(*folder);
        dialogs->answers << (yes ? Dialogs::Answer::Yes : Dialogs::Answer::No);
        w.click("Command12");
        WindowChecks::settle();
        QCOMPARE(bytesOf(defaultPhoto(*folder)), defaultBytes);
        if (members == 0 || !yes) {
            QCOMPARE(said(),
                     QStringList{members == 0 ? line(u"数据库是空的"_s, kInfo) : kClearQuestion});
            QCOMPARE(changes(before), QStringList());
            QVERIFY(first);
            if (members > 0)
                QCOMPARE(w.t9->text() + ' ' + w.txtPageMsg->text(), u"13 2/2"_s);
            return;
        }
        QCOMPARE(said(), (QStringList{kClearQuestion, kStoreCleared}));
        QCOMPARE(tableRows(*folder), QList<QStringList>());
        QCOMPARE(sorted(photoFiles(*folder)), sorted({"b.png", "notes.txt"}));
        checkReopenedEmpty(first);
    }

    void gridIsOneTabStopAndRowsShowTheirStart()
    {
        prepareStore(*folder, 24);
        Member m = person(u"长名字"_s + QString(60, u'长'), u"13800000001"_s);
        m.youxiang = QString(80, u'g') + u"@example.com"_s;
        m.zhaopian = folder->makeJpeg(PhotoFiles::memberPhotoPath(m.xingming, m.dianhua));
        insertRow(*folder, m);
        const Window w = openWindow();
        w.form->show();
        QVERIFY(QTest::qWaitForWindowActive(w.form));
        const QString before = w.t8->text();
        w.grid->setFocus();
        QTest::keyClick(w.grid, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), u"Command11"_s);
        w.grid->setFocus();
        QTest::keyClick(w.grid, Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget()->objectName(), u"Command10"_s);
        QCOMPARE(w.t8->text(), before);
        // Arrows still move between rows.
        w.grid->setFocus();
        QTest::keyClick(w.grid, Qt::Key_Up);
        QCOMPARE(w.t8->text(), w.cell(8, 0));
        // Long values show their beginning.
        w.select(0);
        QCOMPARE(w.T6->text(), m.youxiang);
        for (QLineEdit* field : {w.t1, w.t3, w.T4, w.T5, w.T6})
            QCOMPARE(field->cursorPosition(), 0);
    }

    void saveCutShortIsPutRightAtNextStart_data()
    {
        // Columns: kind, moment, photos ("照片" once all is put right)
        dataColumns<QString, QString, QStringList>();
        const QString old = u"张三-111.jpg"_s;
        QTest::newRow("add, not committed") << "add"
                                            << "before" << QStringList{old};
        QTest::newRow("new picture, not committed") << "new picture"
                                                    << "before" << QStringList{old};
        QTest::newRow("new name, not committed") << "new name"
                                                 << "before" << QStringList{old};
        QTest::newRow("new picture, noted only") << "new picture"
                                                 << "noted" << QStringList{old};
        QTest::newRow("add, committed") << "add"
                                        << "after" << QStringList{old, "王五-555.jpg"};
        QTest::newRow("new picture, committed") << "new picture"
                                                << "after" << QStringList{old};
        QTest::newRow("new name, committed") << "new name"
                                             << "after" << QStringList{"张三丰-111.jpg"};
    }
    void saveCutShortIsPutRightAtNextStart()
    {
        const auto [kind, moment, photos] = dataRow<QString, QString, QStringList>();
        prepareStore(*folder);
        addMember(*folder, u"张三"_s, u"111"_s);
        const Snapshot before = snapshot(*folder);
        QCOMPARE(runChildSave(kind, moment), 7);
        QCOMPARE(leftovers().filter(u"save"_s).size(), 1);
        // Only a committed add leaves no file that no row names.
        QCOMPARE(photoMismatches(*folder).isEmpty(), kind == u"add"_s && moment == u"after"_s);

        AppSetup::finishInterruptedSaves();
        QCOMPARE(photoMismatches(*folder), QStringList());
        QCOMPARE(photoFiles(*folder), photos);
        QCOMPARE(leftovers(), QStringList{u".talvio-lock"_s});
        if (moment != u"after"_s) {
            QCOMPARE(changes(before), QStringList());
        } else {
            QCOMPARE(tableRows(*folder).last().at(8), photo(photos.last()));
            QVERIFY(QImage(photo(photos.last())).pixelColor(5, 5).blue() > 200); // the new one
        }
        QCOMPARE(dialogs->calls.size(), 0);
    }

    void anotherRunningCopyKeepsItsSaveInHand()
    {
        prepareStore(*folder);
        addMember(*folder, u"张三"_s, u"111"_s);
        QCOMPARE(runChildSave(u"new picture"_s, u"before"_s), 7);
        const Snapshot inHand = snapshot(*folder);
        {
            ProgramLock running(folder->root());
            QVERIFY(running.isAlone());
            running.share();
            AppSetup::finishInterruptedSaves();
            QCOMPARE(changes(inHand), QStringList());
        }
        AppSetup::finishInterruptedSaves();
        QCOMPARE(photoMismatches(*folder), QStringList());
    }
};

int main(int argc, char* argv[])
{
    if (argc == 6 && qstrcmp(argv[1], "--save-and-die") == 0) {
        QCoreApplication app(argc, argv);
        return saveAndDie(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                          QString::fromLocal8Bit(argv[4]), QString::fromLocal8Bit(argv[5]));
    }
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestMembersRemove test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_members_remove.moc"
