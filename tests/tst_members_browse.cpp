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
    const QStringList v =
        QStringLiteral("  Tom O'Neil |未知|二十|o'neil;%@a.cn|朝阳区\n人民路1号 3室").split(u'|');
    if (odd)
        m = Member{id, v[0], v[1], v[2], ' ' + m.dianhua, {}, v[3], v[4], {}};
    m.zhaopian = folder.makeJpeg(PhotoFiles::memberPhotoPath(m.xingming, m.dianhua));
    addRow(folder, m);
    return m;
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
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
        const QList<qint64> large = {
            32767, 32768, 2147483647, 2147483648LL, 9007199254740993LL, 9223372036854775807LL};
        QTest::newRow("large ids") << ids.mid(0, 6) + large << 2;
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

        const Window w = openWindow();
        QVERIFY(w.ok());
        QVERIFY(QTest::qWaitForWindowExposed(w.form));
        QCOMPARE(w.t9->text(), QString::number(ids.size()));
        // To the last page and once more: a page stands on its last row but selects no record.
        for (int page = 1; page <= pages + 1; ++page) {
            QCOMPARE(w.txtPageMsg->text(),
                     QStringLiteral("%1/%2").arg(qMin(page, pages)).arg(pages));
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
            QCOMPARE(w.txtPageMsg->text(), QStringLiteral("%1/%2").arg(page).arg(pages));
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
        QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/%1").arg(pages));

        // A click into a row, then into another cell of it: the row comes back, undoing typing.
        w.clickCell(1, 1);
        QCOMPARE(w.fields(), fieldsOf(members.value(ids.at(1))));
        w.clickCell(0, 1);
        w.t1->setText(QStringLiteral("改过的名字"));
        w.clickCell(0, 6);
        QCOMPARE(w.fields(), fieldsOf(members.value(ids.first())));

        // "会员列表" reads the store again from page 1 and clears the record in hand; a photo
        // chosen for an add stays marked.
        removeRows(folder, {ids.first()});
        Module1::PhotoChosen = QStringLiteral("1");
        Module1::PhotoSource = folder.path(QStringLiteral("picked.jpg"));
        w.click("Command11");
        QCOMPARE(w.t9->text(), QString::number(ids.size() - 1));
        QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/%1").arg((ids.size() + 8) / 10));
        QCOMPARE(w.shownIds(), ids.mid(1, 10));
        QCOMPARE(w.fields(), kCleared);
        QVERIFY(w.photo->isEmpty());
        QCOMPARE(Module1::RecordPhoto, QString());
        QCOMPARE(Module1::PhotoSource, QString());
        QCOMPARE(Module1::PhotoChosen, QStringLiteral("1"));
        QCOMPARE(shown(dialogs.get()), QList<Shown>());
    }

    void emptyStoreAndLeaving()
    {
        DialogScript dialogs;
        TestFolder folder;
        folder.createStore();
        folder.makeDefaultPhoto();
        Window w = openWindow();
        QVERIFY(w.ok());
        QCOMPARE(Module1::PhoneTaken, QStringLiteral("1"));
        // No page is shown, and the page and record buttons leave it so.
        for (const char* button : {"", "Command7", "Command8", "Command9", "Command10"}) {
            if (*button)
                w.click(button);
            QCOMPARE(w.lss->text(), kEmptyStore);
            QCOMPARE(w.t9->text(), QStringLiteral("0"));
            QCOMPARE(w.txtPageMsg->text(), QString());
            QCOMPARE(w.fields(), kCleared);
        }

        // Members added meanwhile show with "会员列表", which clears the status line.
        addMembers(folder, 3);
        w.click("Command11");
        QCOMPARE(w.lss->text(), QString());
        QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/1"));
        QCOMPARE(w.shownIds(), (QList<qint64>{3, 2, 1}));
        w.click("Command10");
        QCOMPARE(w.t8->text(), QStringLiteral("1"));

        // "返回" shows the panel without ending the program; back through its "c1", the close box
        // of the last window ends it.
        QSignalSpy ended(&Forms::instance(), &Forms::lastFormUnloaded);
        w.click("Command14");
        Form* panel = Forms::instance().find(QStringLiteral("admin1"));
        QVERIFY(panel && panel->isVisible() && !Forms::instance().find(QStringLiteral("xianshi")));
        QCOMPARE(Module1::RecordPhoto, QString());
        QCoreApplication::processEvents();
        QCOMPARE(ended.count(), 0);
        QTest::mouseClick(panel->findChild<QWidget*>(QStringLiteral("c1")), Qt::LeftButton);
        w = findWindow(Forms::instance().find(QStringLiteral("xianshi")));
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
        QTest::addColumn<QString>("broken"); // "own" and "default" hold the bytes below
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("repaired"); // the name of the copy made in 照片
        const auto add = [](const char* row, const QString& name, const QString& photo,
                            const QString& broken, const QByteArray& bytes = {},
                            const QString& repaired = {}) {
            QTest::newRow(row) << name << photo << broken << bytes << repaired;
        };
        add("photo file missing", "张三", "", "", {}, "张三-13800000001.jpg");
        add("path from another computer", "李四", "C:\\Talvio\\照片\\李四-13800000001.jpg", "", {},
            "李四-13800000001.jpg");
        add("name with quote and slash", "O'Neil/3", "照片/O'Neil/3-13800000001.jpg", "", {},
            "O'Neil_3-13800000001.jpg");
        add("name climbing out of the folder", "../../逃", "照片/gone.jpg", "");
        // A repair that cannot be made says why and claims no success.
        add("default photo missing too", "赵六", "", "default missing");
        add("default photo is no picture", "赵六", "", "default", "not a picture\n");
        add("photo folder missing", "赵六", "", "folder missing");
        // A photo that cannot be read may be worth rescuing: it is reported, not replaced.
        QImage red(64, 48, QImage::Format_RGB32);
        red.fill(Qt::red);
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        QVERIFY(buffer.open(QIODevice::WriteOnly) && red.save(&buffer, "JPEG"));
        add("text", "孙七", "", "own", QStringLiteral("这不是照片\r\n").toUtf8());
        add("empty file", "孙七", "", "own", "");
        add("JPEG without its end", "孙七", "", "own", jpeg.chopped(2));
        add("JPEG header only", "孙七", "", "own", jpeg.left(200));
    }

    void photoOfTheRecord()
    {
        QFETCH(QString, name);
        QFETCH(QString, photo);
        QFETCH(QString, broken);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, repaired);
        DialogScript dialogs;
        TestFolder folder;
        folder.createStore();
        const QString defaultPhoto = folder.makeDefaultPhoto(QSize(60, 30));
        const QString phone = QStringLiteral("13800000001");
        const QString path = photo.isEmpty() ? PhotoFiles::memberPhotoPath(name, phone)
                             : photo.startsWith(QStringLiteral("照片/")) ? folder.path(photo)
                                                                         : photo;
        const Member m{1, name, "女", "30", phone, {}, {}, {}, path};
        addRow(folder, m);
        if (!bytes.isNull()) {
            QFile file(broken == QLatin1String("own") ? m.zhaopian : defaultPhoto);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        }
        if (broken == QLatin1String("default missing"))
            QVERIFY(QFile::remove(defaultPhoto));
        if (broken == QLatin1String("folder missing"))
            QVERIFY(QDir(folder.path(QStringLiteral("照片"))).removeRecursively());
        const QByteArray ownBytes = bytesOf(m.zhaopian), defaultBytes = bytesOf(defaultPhoto);
        const QStringList before = photoFiles(folder);
        const Window w = openWindow();
        QVERIFY(w.ok());

        w.select(0);
        const QList<Shown> messages = shown(dialogs.get());
        QList<Shown> expected;
        if (broken != QLatin1String("own"))
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
        // A repair is one new file directly inside 照片, a copy of the default photo, drawn by its
        // shape. The store keeps the old path: saving the repaired photo is the operator's choice.
        QStringList added = photoFiles(folder);
        for (const QString& old : before)
            added.removeOne(old);
        QCOMPARE(added.size(), broken.isEmpty() ? 1 : 0);
        if (!repaired.isEmpty())
            QCOMPARE(added.first(), repaired);
        const QString file = added.isEmpty() ? QString() : folder.path("照片/" + added.first());
        QCOMPARE(QFileInfo(Module1::RecordPhoto).canonicalFilePath(),
                 QFileInfo(file).canonicalFilePath());
        QCOMPARE(w.photo->isEmpty(), file.isEmpty());
        if (!file.isEmpty()) {
            QCOMPARE(bytesOf(file), defaultBytes);
            QCOMPARE(w.photo->lastTarget(), FitPhoto(QSizeF(60, 30), QSizeF(w.photo->innerSize())));
        }
        QCOMPARE(storedPhoto(folder, 1), m.zhaopian);

        // Another cell of the row: the repaired file is found only under the path the row names.
        dialogs->clear();
        w.select(0, 4);
        const bool found = !file.isEmpty() && QFileInfo(file) == QFileInfo(m.zhaopian);
        QCOMPARE(shown(dialogs.get()), found ? QList<Shown>() : expected);
        QCOMPARE(photoFiles(folder).size(), before.size() + added.size());
        if (file.isEmpty())
            QCOMPARE(bytesOf(m.zhaopian), ownBytes);
        QCOMPARE(bytesOf(defaultPhoto), defaultBytes);
    }
};

QTEST_MAIN(TestMembersBrowse)
#include "tst_members_browse.moc"
