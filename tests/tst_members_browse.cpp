// The member window's list and detail view: ten members a page newest first, the page and record
// buttons, the empty store, and a lost photo repaired from the default photo.

#include "AppSetup.h"
#include "Driving.h"
#include "FitPhoto.h"
#include "Forms.h"
#include "MemberWindow.h"
#include "Module1.h"
#include "TestFolder.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSignalSpy>

using namespace MemberTests;
using Icon = Dialogs::Icon;

namespace {

const QStringList kCleared = {{}, {}, kPickGender, {}, {}, {}, {}, {}};

// Generated member n with its photo, stored under id n.
Member stored(const TestFolder& folder, qint64 id)
{
    Member m = MemberGenerator::make(id);
    m.id = id;
    m.zhaopian = folder.makeJpeg(PhotoFiles::memberPhotoPath(m.xingming, m.dianhua));
    addRow(folder, m);
    return m;
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QStringList photoFiles(const TestFolder& folder)
{
    return QDir(folder.path(QStringLiteral("照片"))).entryList(QDir::Files | QDir::Hidden);
}

QString canonical(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}

} // namespace

class TestMembersBrowse : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        AppSetup::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        AppSetup::registerWindows();
    }
    void cleanup() { closeAllForms(); }

    void pagesNewestFirst_data();
    void pagesNewestFirst();
    void detailFollowsTheCurrentRow();
    void reloadBackToPanelAndClose();
    void emptyStore();
    void missingPhotoIsRepaired_data();
    void missingPhotoIsRepaired();
    void photoNotShownIsReported_data();
    void photoNotShownIsReported();
};

void TestMembersBrowse::pagesNewestFirst_data()
{
    QTest::addColumn<QList<qint64>>("ids");
    QTest::addColumn<int>("pages");
    const auto upTo = [](qint64 n) {
        QList<qint64> ids;
        for (qint64 id = 1; id <= n; ++id)
            ids << id;
        return ids;
    };
    QTest::newRow("25 members") << upTo(25) << 3;
    QTest::newRow("exactly 10") << upTo(10) << 1;
    QTest::newRow("11") << upTo(11) << 2;
    QTest::newRow("20 fill two pages") << upTo(20) << 2;
    // Deleted rows leave gaps in the ids, so a page is not simply a range of ids.
    QList<qint64> gaps = upTo(31);
    for (qint64 gone : {2, 9, 10, 11, 20, 31})
        gaps.removeOne(gone);
    QTest::newRow("25 left of 31") << gaps << 3;
    // Past 16 and 32 bits, past what a double holds exactly, and the largest id there is.
    QTest::newRow("large ids") << upTo(6) + QList<qint64>{32767,
                                                          32768,
                                                          2147483647,
                                                          2147483648LL,
                                                          9007199254740993LL,
                                                          9223372036854775807LL}
                               << 2;
}

void TestMembersBrowse::pagesNewestFirst()
{
    QFETCH(QList<qint64>, ids);
    QFETCH(int, pages);
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    QMap<qint64, Member> members;
    for (qint64 id : ids)
        members.insert(id, stored(folder, id));
    std::sort(ids.begin(), ids.end(), std::greater<>());
    const auto pageMessage = [pages](int page) {
        return QStringLiteral("%1/%2").arg(page).arg(pages);
    };

    const Window w = openWindow();
    QVERIFY(w.ok());
    QCOMPARE(w.t9->text(), QString::number(ids.size()));
    QCOMPARE(w.lss->text(), QString());
    // Forward to the last page and once more: paging alone selects no record.
    for (int page = 1; page <= pages + 1; ++page) {
        QCOMPARE(w.txtPageMsg->text(), pageMessage(qMin(page, pages)));
        QCOMPARE(w.shownIds(), ids.mid((qMin(page, pages) - 1) * 10, 10));
        w.click("Command8");
    }
    QCOMPARE(w.fields(), kCleared);
    QVERIFY(w.photo->isEmpty());
    QCOMPARE(Module1::RecordPhoto, QString());

    // Back to page 1 and once more, picking a row on each page: the pick outlasts the paging.
    for (int page = pages; page >= 0; --page) {
        QCOMPARE(w.txtPageMsg->text(), pageMessage(qMax(page, 1)));
        QCOMPARE(w.shownIds(), ids.mid((qMax(page, 1) - 1) * 10, 10));
        const int row = page % w.model()->rowCount();
        const Member& m = members.value(ids.at((qMax(page, 1) - 1) * 10 + row));
        w.select(row);
        QCOMPARE(w.fields(), fieldsOf(m));
        w.click("Command7");
        QCOMPARE(w.fields(), fieldsOf(m));
        QCOMPARE(Module1::RecordPhoto, m.zhaopian);
        QCOMPARE(w.photo->lastTarget(), FitPhoto(QSizeF(40, 30), QSizeF(w.photo->innerSize())));
    }
    QCOMPARE(shown(dialogs.get()), QList<Shown>());
}

void TestMembersBrowse::detailFollowsTheCurrentRow()
{
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    QMap<qint64, Member> members;
    for (qint64 id = 1; id <= 25; ++id)
        if (id != 23)
            members.insert(id, stored(folder, id));
    // Values come as stored: blanks kept, a gender outside the list, quotes, several lines.
    Member& odd = members[23];
    odd.id = 23;
    odd.xingming = QStringLiteral("  Tom O'Neil ");
    odd.xingbie = QStringLiteral("未知");
    odd.nianling = QStringLiteral("二十");
    odd.dianhua = QStringLiteral(" 13800000001");
    odd.youxiang = QStringLiteral("o'neil;%@example.com");
    odd.dizhi = QStringLiteral("北京市朝阳区\n人民路1号 3室");
    odd.zhaopian = folder.makeJpeg(QStringLiteral("照片/odd.jpg"));
    addRow(folder, odd);
    const auto fieldsOfId = [&members](qint64 id) {
        return fieldsOf(members.value(id));
    };

    const Window w = openWindow();
    QVERIFY(w.ok());
    QVERIFY(QTest::qWaitForWindowExposed(w.form));
    // The page stands on its last row but shows nothing until a record is asked for.
    QCOMPARE(w.currentRow(), 9);
    QCOMPARE(w.fields(), kCleared);
    QVERIFY(w.photo->isEmpty());
    w.click("Command10");
    QCOMPARE(w.currentRow(), 9);
    QCOMPARE(w.fields(), fieldsOfId(16));
    QVERIFY(!w.photo->isEmpty());
    w.click("Command9");
    QCOMPARE(w.fields(), fieldsOfId(17));

    w.clickCell(1, 1);
    QCOMPARE(w.fields(), fieldsOfId(24));
    w.click("Command9");
    w.click("Command9");
    QCOMPARE(w.currentRow(), 0);
    QCOMPARE(w.fields(), fieldsOfId(25));
    w.click("Command10");
    w.click("Command10");
    QCOMPARE(w.fields(), fieldsOfId(23));
    QCOMPARE(Module1::RecordPhoto, odd.zhaopian);
    // Another cell of the same row loads the row again, undoing what was typed.
    w.t1->setText(QStringLiteral("改过的名字"));
    w.T7->setPlainText(QStringLiteral("改过的地址"));
    w.photo->clear();
    w.clickCell(2, 6);
    QCOMPARE(w.fields(), fieldsOfId(23));
    QVERIFY(!w.photo->isEmpty());
    w.grid->setFocus();
    QTest::keyClick(w.grid, Qt::Key_Down);
    QCOMPARE(w.fields(), fieldsOfId(22));
    QCOMPARE(Module1::RecordPhoto, members.value(22).zhaopian);

    // The short last page: the buttons stop at its ends.
    w.click("Command8");
    w.click("Command8");
    QCOMPARE(w.fields(), fieldsOfId(22));
    QCOMPARE(w.currentRow(), 4);
    w.click("Command10");
    QCOMPARE(w.fields(), fieldsOfId(1));
    for (int step = 0; step < 6; ++step)
        w.click("Command9");
    QCOMPARE(w.currentRow(), 0);
    QCOMPARE(w.fields(), fieldsOfId(5));
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("3/3"));
    QCOMPARE(w.shownIds(), (QList<qint64>{5, 4, 3, 2, 1}));
    QVERIFY(!w.t8->isVisible());
    QCOMPARE(shown(dialogs.get()), QList<Shown>());
}

void TestMembersBrowse::reloadBackToPanelAndClose()
{
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    addMembers(folder, 25);

    Window w = openWindow();
    QVERIFY(w.ok());
    w.click("Command8");
    w.click("Command8");
    w.select(2);
    QVERIFY(!w.photo->isEmpty());
    w.lss->setText(QStringLiteral("状态文字"));
    Module1::PhotoChosen = QStringLiteral("1");
    Module1::PhotoSource = folder.path(QStringLiteral("picked.jpg"));
    // A member added meanwhile shows on top after "会员列表".
    stored(folder, 26);
    w.click("Command11");
    QCOMPARE(w.t9->text(), QStringLiteral("26"));
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/3"));
    QCOMPARE(w.shownIds(), storedIdsNewestFirst(folder).mid(0, 10));
    QCOMPARE(w.fields(), kCleared);
    QCOMPARE(w.lss->text(), QString());
    QVERIFY(w.photo->isEmpty());
    QCOMPARE(Module1::RecordPhoto, QString());
    QCOMPARE(Module1::PhotoSource, QString());
    QCOMPARE(Module1::PhotoChosen, QStringLiteral("1"));
    w.click("Command8");
    QCOMPARE(w.shownIds(), storedIdsNewestFirst(folder).mid(10, 10));

    // "返回" shows the panel without ending the program; the panel's "c1" opens a fresh window.
    w.select(1);
    QPointer<Form> first = w.form;
    QSignalSpy ended(&Forms::instance(), &Forms::lastFormUnloaded);
    w.click("Command14");
    Form* panel = Forms::instance().find(QStringLiteral("admin1"));
    QVERIFY(panel && panel->isVisible());
    QVERIFY(!Forms::instance().find(QStringLiteral("xianshi")));
    QCOMPARE(Module1::RecordPhoto, QString());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    QVERIFY(!first);
    QCOMPARE(ended.count(), 0);
    QWidget* c1 = panel->findChild<QWidget*>(QStringLiteral("c1"));
    QVERIFY(c1);
    QTest::mouseClick(c1, Qt::LeftButton);
    w = findWindow(Forms::instance().find(QStringLiteral("xianshi")));
    QVERIFY(w.ok() && w.form->isVisible());
    QVERIFY(!Forms::instance().find(QStringLiteral("admin1")));
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/3"));
    QCOMPARE(w.shownIds(), storedIdsNewestFirst(folder).mid(0, 10));
    QCOMPARE(w.fields(), kCleared);
    w.click("Command8");
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("2/3"));

    // The close box of the last window ends the program.
    w.select(0);
    QVERIFY(!Module1::RecordPhoto.isEmpty());
    QCoreApplication::processEvents();
    w.form->close();
    QTRY_COMPARE(ended.count(), 1);
    QCOMPARE(Module1::RecordPhoto, QString());
    QCOMPARE(shown(dialogs.get()), QList<Shown>());
}

void TestMembersBrowse::emptyStore()
{
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    Module1::intCondCount = 4;

    const Window w = openWindow();
    QVERIFY(w.ok());
    QCOMPARE(Module1::PhoneTaken, QStringLiteral("1"));
    QCOMPARE(Module1::intCondCount, 0);
    // No page is shown, and the page and record buttons leave it so.
    for (const char* button : {"", "Command7", "Command8", "Command9", "Command10"}) {
        if (*button)
            w.click(button);
        QCOMPARE(w.lss->text(), kEmptyStore);
        QCOMPARE(w.t9->text(), QStringLiteral("0"));
        QCOMPARE(w.txtPageMsg->text(), QString());
        QCOMPARE(w.model()->rowCount(), 0);
        QCOMPARE(w.fields(), kCleared);
    }
    // Members that arrive later show with "会员列表", which also clears the status line.
    addMembers(folder, 3);
    w.click("Command11");
    QCOMPARE(w.t9->text(), QStringLiteral("3"));
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/1"));
    QCOMPARE(w.shownIds(), (QList<qint64>{3, 2, 1}));
    QCOMPARE(w.lss->text(), QString());
    w.click("Command10");
    QCOMPARE(w.t8->text(), QStringLiteral("1"));
    QCOMPARE(shown(dialogs.get()), QList<Shown>());
}

void TestMembersBrowse::missingPhotoIsRepaired_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("photo");    // as stored; "" for the member's own, then deleted
    QTest::addColumn<QString>("repaired"); // in 照片; "" when only its folder is certain
    QTest::addColumn<bool>("again");       // the next selection repairs once more

    QTest::newRow("photo file deleted") << "张三"
                                        << ""
                                        << "张三-13800000001.jpg" << false;
    QTest::newRow("path from another computer") << "李四"
                                                << "C:\\Talvio\\照片\\李四-13800000001.jpg"
                                                << "李四-13800000001.jpg" << true;
    QTest::newRow("name with quote and slash") << "O'Neil/3"
                                               << "照片/O'Neil/3-13800000001.jpg"
                                               << "O'Neil_3-13800000001.jpg" << true;
    QTest::newRow("name climbing out of the folder") << "../../逃"
                                                     << "照片/gone.jpg"
                                                     << "" << true;
}

void TestMembersBrowse::missingPhotoIsRepaired()
{
    QFETCH(QString, name);
    QFETCH(QString, photo);
    QFETCH(QString, repaired);
    QFETCH(bool, again);
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    const QString defaultPhoto = folder.makeDefaultPhoto(QSize(60, 30));
    Member m = MemberGenerator::make(1);
    m.id = 1;
    m.xingming = name;
    m.dianhua = QStringLiteral("13800000001");
    m.zhaopian = photo.isEmpty() ? PhotoFiles::memberPhotoPath(name, m.dianhua)
                 : photo.startsWith(QStringLiteral("照片/")) ? folder.path(photo)
                                                             : photo;
    addRow(folder, m);
    stored(folder, 2);
    const QStringList before = photoFiles(folder);

    const Window w = openWindow();
    QVERIFY(w.ok());
    const QStringList topLevel =
        QDir(folder.root()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    w.select(1);
    const QList<Shown> repairing = {messageBox(kRepairing, kRepairingTitle),
                                    messageBox(kRepaired, kRepairedTitle)};
    QCOMPARE(shown(dialogs.get()), repairing);
    QCOMPARE(w.fields(), fieldsOf(m));

    // One new file directly inside 照片, a copy of the default photo, drawn by its proportions.
    QStringList added = photoFiles(folder);
    for (const QString& old : before)
        added.removeOne(old);
    QCOMPARE(added.size(), 1);
    if (!repaired.isEmpty())
        QCOMPARE(added.first(), repaired);
    const QString file = folder.path(QStringLiteral("照片/") + added.first());
    QCOMPARE(bytesOf(file), bytesOf(defaultPhoto));
    QCOMPARE(canonical(Module1::RecordPhoto), canonical(file));
    QCOMPARE(QDir(folder.root()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), topLevel);
    QCOMPARE(w.photo->lastTarget(), FitPhoto(QSizeF(60, 30), QSizeF(w.photo->innerSize())));
    // The store keeps the old path; saving the repaired photo is the operator's choice.
    QCOMPARE(storedPhoto(folder, 1), m.zhaopian);

    // Back to the row: the repaired file is found only under the path the row names.
    dialogs->clear();
    w.select(0);
    w.select(1);
    QCOMPARE(shown(dialogs.get()), again ? repairing : QList<Shown>());
    QCOMPARE(canonical(Module1::RecordPhoto), canonical(file));
    QVERIFY(!w.photo->isEmpty());
    QCOMPARE(photoFiles(folder).size(), before.size() + 1);
}

void TestMembersBrowse::photoNotShownIsReported_data()
{
    QTest::addColumn<QString>("broken");
    QTest::addColumn<QByteArray>("bytes"); // of the member's own photo

    // A photo file that cannot be read may be worth rescuing: it is reported, not replaced.
    QImage detailed(200, 150, QImage::Format_RGB32);
    for (int y = 0; y < detailed.height(); ++y)
        for (int x = 0; x < detailed.width(); ++x)
            detailed.setPixel(x, y, qRgb((x * 7) % 256, (y * 13) % 256, (x * y) % 256));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    detailed.save(&buffer, "JPEG", 90);
    QTest::newRow("text") << "own" << QStringLiteral("这不是照片\r\n").toUtf8();
    QTest::newRow("empty file") << "own" << QByteArray();
    QTest::newRow("truncated JPEG") << "own" << jpeg.left(jpeg.size() / 2);
    QTest::newRow("JPEG header only") << "own" << jpeg.left(200);
    // A repair that cannot be made says why, once, and claims no success.
    QTest::newRow("default photo missing too") << "default missing" << QByteArray();
    QTest::newRow("default photo is no picture") << "default no picture" << QByteArray();
    QTest::newRow("photo folder missing") << "folder missing" << QByteArray();
}

void TestMembersBrowse::photoNotShownIsReported()
{
    QFETCH(QString, broken);
    QFETCH(QByteArray, bytes);
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    const QString defaultPhoto = folder.makeDefaultPhoto();
    Member m = MemberGenerator::make(1);
    m.id = 1;
    m.zhaopian = PhotoFiles::memberPhotoPath(m.xingming, m.dianhua);
    addRow(folder, m);
    QString named = defaultPhoto; // the file the error must name
    QList<Shown> expected = {messageBox(kRepairing, kRepairingTitle)};
    if (broken == QLatin1String("own")) {
        writeBytes(m.zhaopian, bytes);
        named = m.zhaopian;
        expected.clear();
    } else if (broken == QLatin1String("default missing")) {
        QVERIFY(QFile::remove(defaultPhoto));
    } else if (broken == QLatin1String("default no picture")) {
        writeBytes(defaultPhoto, QByteArrayLiteral("not a picture at all\n"));
    } else {
        QVERIFY(QDir(folder.path(QStringLiteral("照片"))).removeRecursively());
        named = m.zhaopian;
    }
    const QByteArray ownBefore = bytesOf(m.zhaopian), defaultBefore = bytesOf(defaultPhoto);
    const QStringList before = photoFiles(folder);

    const Window w = openWindow();
    QVERIFY(w.ok());
    w.select(0);
    QList<Shown> messages = shown(dialogs.get());
    QCOMPARE(messages.size(), expected.size() + 1);
    QVERIFY2(messages.last().text.contains(QDir::toNativeSeparators(named)),
             qPrintable(messages.last().text));
    expected << messageBox(messages.last().text, kRepairingTitle, Icon::Critical);
    QCOMPARE(messages, expected);
    QCOMPARE(w.fields(), fieldsOf(m));
    QVERIFY(w.photo->isEmpty());
    QCOMPARE(Module1::RecordPhoto, QString());
    QCOMPARE(bytesOf(m.zhaopian), ownBefore);
    QCOMPARE(bytesOf(defaultPhoto), defaultBefore);
    QCOMPARE(photoFiles(folder), before);
    QCOMPARE(storedPhoto(folder, 1), m.zhaopian);

    // Each selection tries and says it once more.
    w.select(0, 4);
    QCOMPARE(shown(dialogs.get()), expected + expected);
    QCOMPARE(bytesOf(m.zhaopian), ownBefore);
}

QTEST_MAIN(TestMembersBrowse)
#include "tst_members_browse.moc"
