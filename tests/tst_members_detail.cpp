// The member window's detail view: selecting a row of the grid fills the fields and draws the
// member's photo, the record buttons step through the page, and a lost photo is repaired from the
// default photo.

#include "AppSetup.h"
#include "FitPhoto.h"
#include "Forms.h"
#include "MemberWindow.h"
#include "Module1.h"
#include "ProgramFolder.h"
#include "TestFolder.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTest>

using namespace MemberTests;
using Icon = Dialogs::Icon;

namespace {

// A generated member as the store holds it: in a fresh store member n gets id n.
Member generated(qint64 id)
{
    Member m = MemberGenerator::make(id);
    m.id = id;
    m.zhaopian = PhotoFiles::memberPhotoPath(m.xingming, m.dianhua);
    return m;
}

Member person(const QString& name, const QString& phone, const QString& photo)
{
    Member m;
    m.xingming = name;
    m.xingbie = QStringLiteral("女");
    m.nianling = QStringLiteral("31");
    m.dianhua = phone;
    m.qq = QStringLiteral("123456789");
    m.youxiang = QStringLiteral("member@example.com");
    m.dizhi = QStringLiteral("杭州市西湖区文化路8号");
    m.zhaopian = photo;
    return m;
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A JPEG with enough detail that cutting it short loses real picture data.
QByteArray detailedJpeg()
{
    QImage image(200, 150, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7) % 256, (y * 13) % 256, (x * y) % 256));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

QStringList photoFolderFiles(const TestFolder& folder)
{
    return QDir(folder.path(QStringLiteral("照片")))
        .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QString canonical(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}

// JPEG changes flat colours a little.
bool near(QColor pixel, QColor expected)
{
    return qAbs(pixel.red() - expected.red()) < 24 && qAbs(pixel.green() - expected.green()) < 24 &&
           qAbs(pixel.blue() - expected.blue()) < 24;
}

} // namespace

class TestMembersDetail : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        AppSetup::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        AppSetup::registerWindows();
    }
    void cleanup() { closeAllForms(); }

    void selectingRowFillsFieldsAsStored();
    void clicksAndKeysSelectRows();
    void largeIdsShowExactly();
    void recordButtonsStayOnThePage();
    void photoIsPlacedByFitRule_data();
    void photoIsPlacedByFitRule();
    void missingPhotoIsRepaired_data();
    void missingPhotoIsRepaired();
    void failedRepairIsReportedOnce_data();
    void failedRepairIsReportedOnce();
    void unreadablePhotoIsReportedNotReplaced_data();
    void unreadablePhotoIsReportedNotReplaced();
};

void TestMembersDetail::selectingRowFillsFieldsAsStored()
{
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    // Values are copied as stored: blanks kept, a gender outside the list, several address lines.
    Member odd = person(QStringLiteral("  李 四 "), QStringLiteral(" 13800000001"),
                        folder.makeJpeg(QStringLiteral("照片/odd.jpg")));
    odd.xingbie = QStringLiteral("未知");
    odd.nianling = QStringLiteral("二十");
    odd.qq = QString();
    odd.dizhi = QStringLiteral("北京市朝阳区\n人民路1号 3室");
    Member quoted = person(QStringLiteral("Tom O'Neil"), QStringLiteral("13800000002"),
                           folder.makeJpeg(QStringLiteral("照片/quoted.jpg")));
    quoted.xingbie = QStringLiteral("男");
    quoted.youxiang = QStringLiteral("o'neil;%@example.com");
    Member plain = person(QStringLiteral("王芳"), QStringLiteral("13800000003"),
                          folder.makeJpeg(QStringLiteral("照片/plain.jpg")));
    for (Member* m : {&odd, &quoted, &plain}) {
        addRow(folder, *m);
        m->id = storedIdsNewestFirst(folder).first();
    }

    const Window w = openWindow();
    QVERIFY(w.ok());
    // The page is left on its last row, but nothing is shown before a selection.
    QCOMPARE(w.currentRow(), 2);
    QCOMPARE(w.fields(), (QStringList{QString(), QString(), kPickGender, QString(), QString(),
                                      QString(), QString(), QString()}));
    QVERIFY(w.photo->isEmpty());
    QCOMPARE(Module1::RecordPhoto, QString());

    const QList<Member> newestFirst = {plain, quoted, odd};
    for (int row : {1, 2, 0}) {
        w.select(row);
        const Member& m = newestFirst.at(row);
        QCOMPARE(w.fields(), fieldsOf(m));
        QCOMPARE(Module1::RecordPhoto, m.zhaopian);
        QVERIFY(!w.photo->isEmpty());
    }
    QVERIFY(!w.t8->isVisible());
    QCOMPARE(w.lss->text(), QString());
    QCOMPARE(dialogs->calls.size(), 0);
}

void TestMembersDetail::clicksAndKeysSelectRows()
{
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    addMembers(folder, 12); // page 1 holds ids 12 down to 3

    const Window w = openWindow();
    QVERIFY(w.ok());
    QVERIFY(QTest::qWaitForWindowExposed(w.form));

    w.clickCell(4, 1);
    QCOMPARE(w.fields(), fieldsOf(generated(8)));
    QCOMPARE(Module1::RecordPhoto, generated(8).zhaopian);

    // Another cell of the same row loads the row again, undoing what was typed.
    w.t1->setText(QStringLiteral("改过的名字"));
    w.T7->setPlainText(QStringLiteral("改过的地址"));
    w.photo->clear();
    w.clickCell(4, 3);
    QCOMPARE(w.fields(), fieldsOf(generated(8)));
    QVERIFY(!w.photo->isEmpty());

    w.clickCell(9, 6);
    QCOMPARE(w.fields(), fieldsOf(generated(3)));

    w.grid->setFocus();
    QTest::keyClick(w.grid, Qt::Key_Up);
    QCOMPARE(w.currentRow(), 8);
    QCOMPARE(w.fields(), fieldsOf(generated(4)));
    QCOMPARE(Module1::RecordPhoto, generated(4).zhaopian);
    QCOMPARE(dialogs->calls.size(), 0);
}

void TestMembersDetail::largeIdsShowExactly()
{
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    const QString photo = folder.makeJpeg(QStringLiteral("照片/shared.jpg"));
    // Past 16 bits, past 32 bits, past what a double holds exactly, and the largest id there is.
    const QList<qint64> large = {
        32767, 32768, 2147483647, 2147483648LL, 9007199254740993LL, 9223372036854775807LL};
    QList<qint64> ids = large;
    for (qint64 small = 1; small <= 6; ++small)
        ids.append(small);
    for (qint64 id : ids) {
        Member m = person(QStringLiteral("会员%1").arg(id), QStringLiteral("1%1").arg(id), photo);
        m.id = id;
        addRow(folder, m);
    }
    std::sort(ids.begin(), ids.end(), std::greater<>());

    const Window w = openWindow();
    QVERIFY(w.ok());
    QCOMPARE(w.t9->text(), QStringLiteral("12"));
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/2"));
    for (int row = 0; row < 10; ++row) {
        QCOMPARE(w.cell(row, 0), QString::number(ids.at(row)));
        w.select(row);
        QCOMPARE(w.t8->text(), QString::number(ids.at(row)));
        QCOMPARE(w.t1->text(), QStringLiteral("会员%1").arg(ids.at(row)));
    }
    QCOMPARE(w.cell(0, 0), QStringLiteral("9223372036854775807"));
    QCOMPARE(w.cell(1, 0), QStringLiteral("9007199254740993"));

    // Paging goes on from the large ids to the small ones and back.
    w.click("Command8");
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("2/2"));
    QCOMPARE(w.shownIds(), ids.mid(10));
    w.click("Command7");
    QCOMPARE(w.shownIds(), ids.mid(0, 10));
    QCOMPARE(dialogs->calls.size(), 0);
}

void TestMembersDetail::recordButtonsStayOnThePage()
{
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    addMembers(folder, 25); // page 1: ids 25..16, page 3: ids 5..1

    const Window w = openWindow();
    QVERIFY(w.ok());
    // From the row the page was left on.
    QCOMPARE(w.currentRow(), 9);
    w.click("Command9");
    QCOMPARE(w.currentRow(), 8);
    QCOMPARE(w.fields(), fieldsOf(generated(17)));
    QCOMPARE(Module1::RecordPhoto, generated(17).zhaopian);

    w.select(0);
    w.click("Command9");
    QCOMPARE(w.currentRow(), 0);
    QCOMPARE(w.fields(), fieldsOf(generated(25)));
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/3"));
    w.click("Command10");
    QCOMPARE(w.currentRow(), 1);
    QCOMPARE(w.fields(), fieldsOf(generated(24)));
    QVERIFY(!w.photo->isEmpty());

    w.select(9);
    w.click("Command10");
    QCOMPARE(w.currentRow(), 9);
    QCOMPARE(w.fields(), fieldsOf(generated(16)));
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/3"));
    QCOMPARE(w.shownIds().first(), qint64(25));

    // The short last page.
    w.click("Command8");
    w.click("Command8");
    QCOMPARE(w.currentRow(), 4);
    w.click("Command10");
    QCOMPARE(w.currentRow(), 4);
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("3/3"));
    for (int step = 0; step < 6; ++step)
        w.click("Command9");
    QCOMPARE(w.currentRow(), 0);
    QCOMPARE(w.fields(), fieldsOf(generated(5)));
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("3/3"));
    QCOMPARE(w.shownIds(), (QList<qint64>{5, 4, 3, 2, 1}));
    QCOMPARE(dialogs->calls.size(), 0);
}

void TestMembersDetail::photoIsPlacedByFitRule_data()
{
    QTest::addColumn<QSize>("size"); // empty: the box's own proportions
    QTest::newRow("landscape 400 x 300") << QSize(400, 300);
    QTest::newRow("portrait 300 x 600") << QSize(300, 600);
    QTest::newRow("box proportions") << QSize();
}

void TestMembersDetail::photoIsPlacedByFitRule()
{
    QFETCH(QSize, size);
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    // The picture is written once the box's size is known.
    const QString file = QStringLiteral("照片/shape.jpg");
    addRow(folder,
           person(QStringLiteral("比例"), QStringLiteral("13900000000"), folder.path(file)));

    const Window w = openWindow();
    QVERIFY(w.ok());
    const QSize inner = w.photo->innerSize();
    QVERIFY(!inner.isEmpty());
    if (size.isEmpty())
        size = inner * 2;
    folder.makeJpeg(file, size, Qt::red);
    const QColor empty = w.photo->surface().pixelColor(0, 0);

    w.select(0);
    QCOMPARE(dialogs->calls.size(), 0);
    QVERIFY(!w.photo->isEmpty());
    const QRectF target = w.photo->lastTarget();
    QCOMPARE(target, FitPhoto(QSizeF(size), QSizeF(inner)));
    QVERIFY(near(w.photo->surface().pixelColor(target.center().toPoint()), Qt::red));

    const QImage& surface = w.photo->surface();
    if (size.width() * inner.height() > size.height() * inner.width()) {
        // Wider than the box: full width, equal empty bands above and below.
        QCOMPARE(target.left(), 0.0);
        QCOMPARE(target.width(), qreal(inner.width()));
        QVERIFY(target.top() > 1);
        QCOMPARE(target.top(), inner.height() - target.bottom());
        QCOMPARE(surface.pixelColor(inner.width() / 2, 0), empty);
        QCOMPARE(surface.pixelColor(inner.width() / 2, inner.height() - 1), empty);
    } else if (size.width() * inner.height() < size.height() * inner.width()) {
        QCOMPARE(target.top(), 0.0);
        QCOMPARE(target.height(), qreal(inner.height()));
        QVERIFY(target.left() > 1);
        QCOMPARE(target.left(), inner.width() - target.right());
        QCOMPARE(surface.pixelColor(0, inner.height() / 2), empty);
        QCOMPARE(surface.pixelColor(inner.width() - 1, inner.height() / 2), empty);
    } else {
        QCOMPARE(target, QRectF(QPointF(0, 0), QSizeF(inner)));
        QVERIFY(near(surface.pixelColor(0, 0), Qt::red));
        QVERIFY(near(surface.pixelColor(inner.width() - 1, inner.height() - 1), Qt::red));
    }
}

void TestMembersDetail::missingPhotoIsRepaired_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("stored");       // "" stands for the member's own photo path
    QTest::addColumn<QString>("expectedFile"); // in 照片; "" when only its folder is certain
    QTest::addColumn<bool>("repeats");         // a later selection repairs again

    QTest::newRow("photo file deleted")
        << QStringLiteral("张三") << QString() << QStringLiteral("张三-13800000001.jpg") << false;
    QTest::newRow("path from another computer")
        << QStringLiteral("李四") << QStringLiteral("C:\\Talvio\\照片\\李四-13800000001.jpg")
        << QStringLiteral("李四-13800000001.jpg") << true;
    QTest::newRow("name with quote and slash")
        << QStringLiteral("O'Neil/3") << QStringLiteral("照片/O'Neil/3-13800000001.jpg")
        << QStringLiteral("O'Neil_3-13800000001.jpg") << true;
    QTest::newRow("name climbing out of the folder")
        << QStringLiteral("../../逃") << QStringLiteral("照片/gone.jpg") << QString() << true;
}

void TestMembersDetail::missingPhotoIsRepaired()
{
    QFETCH(QString, name);
    QFETCH(QString, stored);
    QFETCH(QString, expectedFile);
    QFETCH(bool, repeats);

    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    const QString defaultPhoto = folder.makeDefaultPhoto(QSize(40, 30));
    const QString phone = QStringLiteral("13800000001");
    if (stored.isEmpty()) {
        stored = folder.makeJpeg(PhotoFiles::memberPhotoPath(name, phone));
        QVERIFY(QFile::remove(stored));
    } else if (!QFileInfo(stored).isAbsolute() && stored.startsWith(QStringLiteral("照片/"))) {
        stored = folder.path(stored);
    }
    addRow(folder, person(name, phone, stored));
    addRow(folder, person(QStringLiteral("王五"), QStringLiteral("13800000002"),
                          folder.makeJpeg(QStringLiteral("照片/王五-13800000002.jpg"))));
    const QStringList before = photoFolderFiles(folder);

    const Window w = openWindow();
    QVERIFY(w.ok());
    const QStringList topLevel =
        QDir(folder.root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    w.select(1);

    QCOMPARE(described(dialogs->messages()),
             (QStringList{notice(kRepairing, kRepairingTitle), notice(kRepaired, kRepairedTitle)}));
    QCOMPARE(w.t1->text(), name);
    QCOMPARE(w.T4->text(), phone);

    // Exactly one new file, directly inside 照片, holding the default photo.
    QStringList added = photoFolderFiles(folder);
    for (const QString& old : before)
        added.removeOne(old);
    QCOMPARE(added.size(), 1);
    if (!expectedFile.isEmpty())
        QCOMPARE(added.first(), expectedFile);
    const QString repaired = folder.path(QStringLiteral("照片/") + added.first());
    QCOMPARE(bytesOf(repaired), bytesOf(defaultPhoto));
    QCOMPARE(canonical(Module1::RecordPhoto), canonical(repaired));
    QCOMPARE(QDir(folder.root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), topLevel);

    QVERIFY(!w.photo->isEmpty());
    QCOMPARE(w.photo->lastTarget(), FitPhoto(QSizeF(40, 30), QSizeF(w.photo->innerSize())));
    // The store still names the old path; saving the repaired photo is the operator's choice.
    QCOMPARE(storedPhoto(folder, 1), stored);

    // Back to the row: the repaired file is found only under the path the row names.
    dialogs->clear();
    w.select(0);
    w.select(1);
    QCOMPARE(dialogs->messages().size(), repeats ? 2 : 0);
    QCOMPARE(canonical(Module1::RecordPhoto), canonical(repaired));
    QVERIFY(!w.photo->isEmpty());
    QCOMPARE(photoFolderFiles(folder).size(), before.size() + 1);
}

void TestMembersDetail::failedRepairIsReportedOnce_data()
{
    QTest::addColumn<QString>("broken");

    QTest::newRow("default photo missing too") << QStringLiteral("default missing");
    QTest::newRow("default photo is no picture") << QStringLiteral("default no picture");
    QTest::newRow("photo folder missing") << QStringLiteral("folder missing");
}

void TestMembersDetail::failedRepairIsReportedOnce()
{
    QFETCH(QString, broken);

    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    const QString defaultPhoto = folder.makeDefaultPhoto();
    const QString name = QStringLiteral("赵六");
    const QString phone = QStringLiteral("13700000000");
    const QString own = PhotoFiles::memberPhotoPath(name, phone);
    addRow(folder, person(name, phone, own));

    QString named; // what the error message must name
    if (broken == QLatin1String("default missing")) {
        QVERIFY(QFile::remove(defaultPhoto));
        named = defaultPhoto;
    } else if (broken == QLatin1String("default no picture")) {
        writeBytes(defaultPhoto, QByteArrayLiteral("not a picture at all\n"));
        named = defaultPhoto;
    } else {
        QVERIFY(QDir(folder.path(QStringLiteral("照片"))).removeRecursively());
        named = own;
    }
    const QByteArray defaultBytes = bytesOf(defaultPhoto);

    const Window w = openWindow();
    QVERIFY(w.ok());
    w.select(0);

    // The first notice, then one error naming what failed; no success, no second round.
    const QList<ScriptedDialogs::Call> shown = dialogs->messages();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(describe(shown.at(0)), notice(kRepairing, kRepairingTitle));
    QCOMPARE(shown.at(1).icon, Icon::Critical);
    QCOMPARE(shown.at(1).buttons, Dialogs::Buttons::Ok);
    QVERIFY2(shown.at(1).text.contains(QDir::toNativeSeparators(named)),
             qPrintable(shown.at(1).text));

    QVERIFY(w.photo->isEmpty());
    QCOMPARE(Module1::RecordPhoto, QString());
    QCOMPARE(w.t1->text(), name);
    QVERIFY(!QFileInfo::exists(own));
    QCOMPARE(bytesOf(defaultPhoto), defaultBytes);
    QCOMPARE(storedPhoto(folder, 1), own);
}

void TestMembersDetail::unreadablePhotoIsReportedNotReplaced_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("text") << QStringLiteral("这不是照片\r\n").toUtf8();
    QTest::newRow("empty file") << QByteArray();
    const QByteArray jpeg = detailedJpeg();
    QTest::newRow("truncated JPEG") << jpeg.left(jpeg.size() / 2);
    QTest::newRow("JPEG header only") << jpeg.left(200);
}

void TestMembersDetail::unreadablePhotoIsReportedNotReplaced()
{
    QFETCH(QByteArray, bytes);

    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    const QString name = QStringLiteral("孙七");
    const QString phone = QStringLiteral("13600000000");
    const QString own = folder.makeJpeg(PhotoFiles::memberPhotoPath(name, phone));
    writeBytes(own, bytes);
    addRow(folder, person(name, phone, own));
    const QStringList before = photoFolderFiles(folder);

    const Window w = openWindow();
    QVERIFY(w.ok());
    w.select(0);

    const QList<ScriptedDialogs::Call> shown = dialogs->messages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().icon, Icon::Critical);
    QCOMPARE(shown.first().buttons, Dialogs::Buttons::Ok);
    QVERIFY2(shown.first().text.contains(QDir::toNativeSeparators(own)),
             qPrintable(shown.first().text));
    QVERIFY(w.photo->isEmpty());
    QCOMPARE(Module1::RecordPhoto, QString());
    QCOMPARE(w.fields().mid(1, 2), (QStringList{name, QStringLiteral("女")}));
    // The file may be a photo worth rescuing: it is left exactly as it was.
    QCOMPARE(bytesOf(own), bytes);
    QCOMPARE(photoFolderFiles(folder), before);

    // Each selection says it once more and still repairs nothing.
    w.select(0, 4);
    QCOMPARE(dialogs->messages().size(), 2);
    QCOMPARE(bytesOf(own), bytes);
}

QTEST_MAIN(TestMembersDetail)
#include "tst_members_detail.moc"
