// The member window's list and detail view: ten members a page newest first, the page and record
// buttons, the empty store, and a lost photo repaired from the default photo.

#include "AppSetup.h"
#include "Driving.h"
#include "FitPhoto.h"
#include "MemberWindow.h"
#include "Module1.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>

using namespace MemberTests;

namespace {

const QStringList kCleared = {{}, {}, kPickGender, {}, {}, {}, {}, {}};

// Member n with a photo of its own, stored under id n. An odd one holds values the way an
// imported store may: blanks kept, a gender outside the list, quotes, several address lines.
Member stored(const TestFolder& folder, qint64 id, bool odd = false)
{
    Member m = MemberGenerator::make(id);
    m.id = id;
    if (odd)
        m = {id,
             QStringLiteral("  Tom O'Neil "),
             QStringLiteral("未知"),
             QStringLiteral("二十"),
             QLatin1Char(' ') + m.dianhua,
             {},
             QStringLiteral("o'neil;%@example.com"),
             QStringLiteral("北京市朝阳区\n人民路1号 3室")};
    m.zhaopian = folder.makeJpeg(PhotoFiles::memberPhotoPath(m.xingming, m.dianhua));
    addRow(folder, m);
    return m;
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QStringList photoFiles(const TestFolder& folder)
{
    return QDir(folder.path(QStringLiteral("照片"))).entryList(QDir::Files | QDir::Hidden);
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

    void pagesAndRecords_data()
    {
        QTest::addColumn<QList<qint64>>("ids");
        QTest::addColumn<int>("pages");
        QList<qint64> ids;
        for (qint64 id = 1; id <= 31; ++id)
            ids << id;
        QTest::newRow("25 members") << ids.mid(0, 25) << 3;
        QTest::newRow("exactly 10") << ids.mid(0, 10) << 1;
        QTest::newRow("11") << ids.mid(0, 11) << 2;
        QTest::newRow("20 fill two pages") << ids.mid(0, 20) << 2;
        // Deleted rows leave gaps in the ids, so a page is not simply a range of ids.
        QTest::newRow("25 left of 31")
            << QList<qint64>{1} + ids.mid(2, 6) + ids.mid(11, 8) + ids.mid(20, 10) << 3;
        // Past 16 and 32 bits, past what a double holds exactly, and the largest id there is.
        QTest::newRow("large ids") << ids.mid(0, 6) + QList<qint64>{32767,
                                                                    32768,
                                                                    2147483647,
                                                                    2147483648LL,
                                                                    9007199254740993LL,
                                                                    9223372036854775807LL}
                                   << 2;
    }

    void pagesAndRecords()
    {
        QFETCH(QList<qint64>, ids);
        QFETCH(int, pages);
        DialogScript dialogs;
        TestFolder folder;
        folder.createStore();
        folder.makeDefaultPhoto();
        std::sort(ids.begin(), ids.end(), std::greater<>());
        QMap<qint64, Member> members;
        for (qint64 id : ids)
            members.insert(id, stored(folder, id, id == ids.first()));
        const auto pageText = [pages](int page) {
            return QStringLiteral("%1/%2").arg(page).arg(pages);
        };

        const Window w = openWindow();
        QVERIFY(w.ok());
        QVERIFY(QTest::qWaitForWindowExposed(w.form));
        QCOMPARE(w.t9->text(), QString::number(ids.size()));
        QCOMPARE(w.lss->text(), QString());
        // To the last page and once more: a page stands on its last row but selects no record.
        for (int page = 1; page <= pages + 1; ++page) {
            QCOMPARE(w.txtPageMsg->text(), pageText(qMin(page, pages)));
            QCOMPARE(w.shownIds(), ids.mid((qMin(page, pages) - 1) * 10, 10));
            QCOMPARE(w.currentRow(), w.model()->rowCount() - 1);
            w.click("Command8");
        }
        QCOMPARE(w.fields(), kCleared);
        QVERIFY(w.photo->isEmpty());
        QCOMPARE(Module1::RecordPhoto, QString());

        // Back page by page. The record buttons stay on the page, and a press that stays on the
        // last row still brings it in; the record in hand outlasts the paging.
        for (int page = pages; page >= 1; --page) {
            QCOMPARE(w.txtPageMsg->text(), pageText(page));
            QCOMPARE(w.shownIds(), ids.mid((page - 1) * 10, 10));
            w.click("Command10");
            for (int step = 0; step < (page - 1) * 4; ++step)
                w.click("Command9");
            const int row = qMax(w.model()->rowCount() - 1 - (page - 1) * 4, 0);
            QCOMPARE(w.currentRow(), row);
            const Member m = members.value(ids.at((page - 1) * 10 + row));
            QCOMPARE(w.fields(), fieldsOf(m));
            QCOMPARE(Module1::RecordPhoto, m.zhaopian);
            QCOMPARE(w.photo->lastTarget(), FitPhoto(QSizeF(40, 30), QSizeF(w.photo->innerSize())));
            w.click("Command7");
            QCOMPARE(w.fields(), fieldsOf(m));
        }
        QCOMPARE(w.txtPageMsg->text(), pageText(1));

        // A click, another cell of the same row (undoing what was typed), a key.
        w.clickCell(0, 1);
        QCOMPARE(w.fields(), fieldsOf(members.value(ids.first())));
        w.t1->setText(QStringLiteral("改过的名字"));
        w.T7->setPlainText(QStringLiteral("改过的地址"));
        w.photo->clear();
        w.clickCell(0, 6);
        QCOMPARE(w.fields(), fieldsOf(members.value(ids.first())));
        QVERIFY(!w.photo->isEmpty());
        w.grid->setFocus();
        QTest::keyClick(w.grid, Qt::Key_Down);
        QCOMPARE(w.fields(), fieldsOf(members.value(ids.at(1))));
        QVERIFY(!w.t8->isVisible());
        QCOMPARE(shown(dialogs.get()), QList<Shown>());
    }

    void emptyStoreReloadAndLeaving()
    {
        DialogScript dialogs;
        TestFolder folder;
        folder.createStore();
        folder.makeDefaultPhoto();
        Module1::intCondCount = 4;
        Window w = openWindow();
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

        // "会员列表" shows members added meanwhile from page 1, with the fields, the status line
        // and the photo in hand cleared; a photo chosen for an add stays marked.
        addMembers(folder, 25);
        w.click("Command11");
        QCOMPARE(w.lss->text(), QString());
        w.click("Command8");
        w.click("Command8");
        w.select(2);
        QVERIFY(!w.photo->isEmpty());
        Module1::PhotoChosen = QStringLiteral("1");
        Module1::PhotoSource = folder.path(QStringLiteral("picked.jpg"));
        stored(folder, 26);
        w.click("Command11");
        QCOMPARE(w.t9->text(), QStringLiteral("26"));
        QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/3"));
        QCOMPARE(w.shownIds(), storedIdsNewestFirst(folder).mid(0, 10));
        QCOMPARE(w.fields(), kCleared);
        QVERIFY(w.photo->isEmpty());
        QCOMPARE(Module1::RecordPhoto, QString());
        QCOMPARE(Module1::PhotoSource, QString());
        QCOMPARE(Module1::PhotoChosen, QStringLiteral("1"));
        w.click("Command8");
        QCOMPARE(w.shownIds(), storedIdsNewestFirst(folder).mid(10, 10));

        // "返回" shows the panel without ending the program; its "c1" opens a fresh window, whose
        // close box ends the program.
        QSignalSpy ended(&Forms::instance(), &Forms::lastFormUnloaded);
        w.click("Command14");
        Form* panel = Forms::instance().find(QStringLiteral("admin1"));
        QVERIFY(panel && panel->isVisible() && !Forms::instance().find(QStringLiteral("xianshi")));
        QCOMPARE(Module1::RecordPhoto, QString());
        QCoreApplication::processEvents();
        QCOMPARE(ended.count(), 0);
        QTest::mouseClick(panel->findChild<QWidget*>(QStringLiteral("c1")), Qt::LeftButton);
        w = findWindow(Forms::instance().find(QStringLiteral("xianshi")));
        QVERIFY(w.ok() && w.form->isVisible());
        QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/3"));
        w.select(0);
        QVERIFY(!Module1::RecordPhoto.isEmpty());
        QCoreApplication::processEvents();
        w.form->close();
        QTRY_COMPARE(ended.count(), 1);
        QCOMPARE(Module1::RecordPhoto, QString());
        QCOMPARE(shown(dialogs.get()), QList<Shown>());
    }

    void photoOfTheRecord_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("photo");  // as stored; "" for the member's own path
        QTest::addColumn<QString>("broken"); // "unreadable": the photo holds the bytes below
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("repaired"); // the copy made in 照片: "*" any name, "" none
        QTest::addColumn<bool>("again");       // the next selection says it all once more
        const auto add = [](const char* row, const QString& name, const QString& photo,
                            const QString& broken, const QByteArray& bytes, const QString& repaired,
                            bool again) {
            QTest::newRow(row) << name << photo << broken << bytes << repaired << again;
        };
        add("photo file missing", "张三", "", "", {}, "张三-13800000001.jpg", false);
        add("path from another computer", "李四", "C:\\Talvio\\照片\\李四-13800000001.jpg", "", {},
            "李四-13800000001.jpg", true);
        add("name with quote and slash", "O'Neil/3", "照片/O'Neil/3-13800000001.jpg", "", {},
            "O'Neil_3-13800000001.jpg", true);
        add("name climbing out of the folder", "../../逃", "照片/gone.jpg", "", {}, "*", true);
        // A repair that cannot be made says why and claims no success.
        add("default photo missing too", "赵六", "", "default missing", {}, "", true);
        add("default photo is no picture", "赵六", "", "default no picture", {}, "", true);
        add("photo folder missing", "赵六", "", "folder missing", {}, "", true);
        // A photo that cannot be read may be worth rescuing: it is reported, not replaced.
        QImage detailed(200, 150, QImage::Format_RGB32);
        for (int y = 0; y < detailed.height(); ++y)
            for (int x = 0; x < detailed.width(); ++x)
                detailed.setPixel(x, y, qRgb((x * 7) % 256, (y * 13) % 256, (x * y) % 256));
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        detailed.save(&buffer, "JPEG", 90);
        add("text", "孙七", "", "unreadable", QStringLiteral("这不是照片\r\n").toUtf8(), "", true);
        add("empty file", "孙七", "", "unreadable", "", "", true);
        add("truncated JPEG", "孙七", "", "unreadable", jpeg.left(jpeg.size() / 2), "", true);
        add("JPEG header only", "孙七", "", "unreadable", jpeg.left(200), "", true);
    }

    void photoOfTheRecord()
    {
        QFETCH(QString, name);
        QFETCH(QString, photo);
        QFETCH(QString, broken);
        QFETCH(QByteArray, bytes);
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
        folder.makeJpeg(QStringLiteral("照片/someone-else.jpg"));
        if (broken == QLatin1String("unreadable"))
            QVERIFY(write(m.zhaopian, bytes));
        if (broken == QLatin1String("default missing"))
            QVERIFY(QFile::remove(defaultPhoto));
        if (broken == QLatin1String("default no picture"))
            QVERIFY(write(defaultPhoto, "not a picture\n"));
        if (broken == QLatin1String("folder missing"))
            QVERIFY(QDir(folder.path(QStringLiteral("照片"))).removeRecursively());
        const QByteArray ownBytes = bytesOf(m.zhaopian), defaultBytes = bytesOf(defaultPhoto);
        const QStringList before = photoFiles(folder);
        const Window w = openWindow();
        QVERIFY(w.ok());
        const QStringList topLevel =
            QDir(folder.root()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);

        w.select(0);
        const QList<Shown> messages = shown(dialogs.get());
        QList<Shown> expected;
        if (broken != QLatin1String("unreadable"))
            expected << messageBox(kRepairing, kRepairingTitle);
        if (broken.isEmpty())
            expected << messageBox(kRepaired, kRepairedTitle);
        else if (!messages.isEmpty()) // the failure names the file it could not use
            expected << messageBox(messages.last().text, kRepairingTitle, Dialogs::Icon::Critical);
        QCOMPARE(messages, expected);
        const QString named =
            broken.startsWith(QLatin1String("default")) ? defaultPhoto : m.zhaopian;
        QVERIFY(broken.isEmpty() || messages.last().text.contains(QDir::toNativeSeparators(named)));
        QCOMPARE(w.fields(), fieldsOf(m));
        // One new file directly inside 照片, a copy of the default photo, drawn by its shape.
        QStringList added = photoFiles(folder);
        for (const QString& old : before)
            added.removeOne(old);
        QCOMPARE(added.size(), repaired.isEmpty() ? 0 : 1);
        if (repaired != QLatin1String("*"))
            QCOMPARE(added.value(0), repaired);
        const QString file = added.isEmpty() ? QString() : folder.path("照片/" + added.first());
        QCOMPARE(QFileInfo(Module1::RecordPhoto).canonicalFilePath(),
                 QFileInfo(file).canonicalFilePath());
        QCOMPARE(w.photo->isEmpty(), file.isEmpty());
        if (!file.isEmpty()) {
            QCOMPARE(bytesOf(file), defaultBytes);
            QCOMPARE(w.photo->lastTarget(), FitPhoto(QSizeF(60, 30), QSizeF(w.photo->innerSize())));
        }

        // Another cell of the row: the repaired file is found only under the path the row names.
        dialogs->clear();
        w.select(0, 4);
        QCOMPARE(shown(dialogs.get()), again ? expected : QList<Shown>());
        QCOMPARE(QFileInfo(Module1::RecordPhoto).canonicalFilePath(),
                 QFileInfo(file).canonicalFilePath());
        QCOMPARE(photoFiles(folder).size(), before.size() + added.size());
        if (file.isEmpty())
            QCOMPARE(bytesOf(m.zhaopian), ownBytes);
        QCOMPARE(bytesOf(defaultPhoto), defaultBytes);
        QCOMPARE(QDir(folder.root()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), topLevel);
        // The store keeps the old path; saving the repaired photo is the operator's choice.
        QCOMPARE(storedPhoto(folder, 1), m.zhaopian);
    }
};

QTEST_MAIN(TestMembersBrowse)
#include "tst_members_browse.moc"
