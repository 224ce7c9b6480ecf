// The default photo window: picking, previewing and saving the photo new members receive.

#include "AppSetup.h"
#include "FitPhoto.h"
#include "Forms.h"
#include "PhotoBox.h"
#include "ProgramFolder.h"
#include "TestFolder.h"
#include "WindowChecks.h"
#include "tiantu.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QScopeGuard>
#include <QTest>

#include <unistd.h>

using namespace WindowChecks;
using Icon = Dialogs::Icon;

namespace {
const QString kPickFirst = QStringLiteral("请先选择会员默认照片");
const QString kSaved = QStringLiteral("会员默认照片保存成功");
const QString kHint = QStringLiteral("系统提示");

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
}
} // namespace

class TestDefaultPhotoWindow : public QObject
{
    Q_OBJECT

    tiantu* openWindow()
    {
        auto* window = qobject_cast<tiantu*>(Forms::instance().show(QStringLiteral("tiantu")));
        if (window)
            box = window->findChild<PhotoBox*>(QStringLiteral("Picture1"));
        return window;
    }
    void pick(DialogScript& dialogs, tiantu* window, const QString& file)
    {
        dialogs->files.append(file);
        click(window, "Command1");
    }

    PhotoBox* box = nullptr;

private slots:
    void initTestCase()
    {
        AppSetup::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        AppSetup::registerWindows();
    }
    void cleanup() { closeAllForms(); }

    void pickAsksForJpegFiles();
    void pickPreviewsPicture_data();
    void pickPreviewsPicture();
    void pickIgnoresOtherExtensions_data();
    void pickIgnoresOtherExtensions();
    void cancelledPickRedrawsEarlierFile();
    void saveBeforePickRefuses();
    void saveCopiesPickedFileAndReturnsToSignIn();
    void pickRefusesFileThatIsNoPicture_data();
    void pickRefusesFileThatIsNoPicture();
    void failedSaveKeepsOldPhotoAndWindow_data();
    void failedSaveKeepsOldPhotoAndWindow();
};

void TestDefaultPhotoWindow::pickAsksForJpegFiles()
{
    DialogScript dialogs;
    TestFolder folder;
    folder.makeDefaultPhoto();
    tiantu* window = openWindow();
    QVERIFY(window);
    pick(dialogs, window, QString()); // cancelled

    QCOMPARE(dialogs->calls.size(), 1);
    const ScriptedDialogs::Call& call = dialogs->calls.first();
    QCOMPARE(call.kind, QStringLiteral("openFile"));
    QCOMPARE(call.title, QStringLiteral("选择图片文件"));
    QCOMPARE(call.filter, QStringLiteral("图片（*.jpg）|*.jpg"));
    QVERIFY(window->picPath().isEmpty());
    QVERIFY(box->isEmpty());
}

void TestDefaultPhotoWindow::pickPreviewsPicture_data()
{
    QTest::addColumn<QString>("shape");
    QTest::newRow("4:3 landscape") << QStringLiteral("landscape");
    QTest::newRow("portrait") << QStringLiteral("portrait");
    QTest::newRow("box proportions") << QStringLiteral("box");
}

void TestDefaultPhotoWindow::pickPreviewsPicture()
{
    QFETCH(QString, shape);
    DialogScript dialogs;
    TestFolder folder;
    folder.makeDefaultPhoto();
    tiantu* window = openWindow();
    QVERIFY(window);
    const QSize inner = box->innerSize();
    const QRgb empty = box->surface().pixel(0, 0);
    // A point of the box the picture must leave alone: middle of the top band or the left band.
    QPoint inBand(-1, -1);
    QSize size = inner * 2;
    if (shape == QLatin1String("landscape")) {
        size = QSize(400, 300);
        inBand = QPoint(inner.width() / 2, 2);
    } else if (shape == QLatin1String("portrait")) {
        size = QSize(300, 600);
        inBand = QPoint(2, inner.height() / 2);
    }
    const QString file = folder.makeJpeg(QStringLiteral("picked/photo.jpg"), size, Qt::red);

    pick(dialogs, window, file);
    QVERIFY(dialogs->messages().isEmpty());
    QCOMPARE(window->picPath(), file);
    QVERIFY(!box->isEmpty());
    const QRectF target = box->lastTarget();
    QCOMPARE(target, FitPhoto(size, inner));
    QVERIFY(near(box->surface().pixel(target.center().toPoint()), Qt::red));
    if (inBand.x() >= 0) {
        QVERIFY(!target.contains(inBand));
        QCOMPARE(box->surface().pixel(inBand), empty);
    } else {
        QCOMPARE(target, QRectF(QPointF(0, 0), inner));
        QVERIFY(near(box->surface().pixel(0, 0), Qt::red));
        QVERIFY(near(box->surface().pixel(inner.width() - 1, inner.height() - 1), Qt::red));
    }
}

void TestDefaultPhotoWindow::pickIgnoresOtherExtensions_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("upper case") << QStringLiteral("other.JPG");
    QTest::newRow("mixed case") << QStringLiteral("other.Jpg");
    QTest::newRow("jpeg") << QStringLiteral("other.jpeg");
    QTest::newRow("no extension") << QStringLiteral("otherjpg");
}

void TestDefaultPhotoWindow::pickIgnoresOtherExtensions()
{
    QFETCH(QString, name);
    DialogScript dialogs;
    TestFolder folder;
    folder.makeDefaultPhoto();
    const QString first = folder.makeJpeg(QStringLiteral("first.jpg"), QSize(400, 300), Qt::red);
    const QString other = folder.makeJpeg(name, QSize(300, 600), Qt::blue); // a real JPEG
    tiantu* window = openWindow();
    QVERIFY(window);
    pick(dialogs, window, first);
    const QImage preview = box->surface();

    pick(dialogs, window, other);
    QVERIFY(dialogs->messages().isEmpty());
    QCOMPARE(window->picPath(), first);
    QCOMPARE(box->surface(), preview);
}

void TestDefaultPhotoWindow::cancelledPickRedrawsEarlierFile()
{
    DialogScript dialogs;
    TestFolder folder;
    folder.makeDefaultPhoto();
    const QString file = folder.makeJpeg(QStringLiteral("first.jpg"), QSize(300, 600), Qt::red);
    tiantu* window = openWindow();
    QVERIFY(window);
    pick(dialogs, window, file);
    click(window, "Command2");
    QVERIFY(box->isEmpty());

    pick(dialogs, window, QString());
    QVERIFY(dialogs->messages().isEmpty());
    QCOMPARE(window->picPath(), file);
    QVERIFY(!box->isEmpty());
    QCOMPARE(box->lastTarget(), FitPhoto(QSizeF(300, 600), box->innerSize()));
}

void TestDefaultPhotoWindow::saveBeforePickRefuses()
{
    DialogScript dialogs;
    TestFolder folder;
    QDir().mkpath(folder.path(QStringLiteral("模版照片")));
    tiantu* window = openWindow();
    QVERIFY(window);
    pick(dialogs, window, QString()); // a cancelled dialog picks nothing either
    click(window, "Command3");

    QCOMPARE(dialogs->messages().size(), 1);
    QCOMPARE(described(dialogs->messages().first()), notice(kPickFirst, kHint));
    QVERIFY(!QFileInfo::exists(ProgramFolder::defaultPhoto()));
    QCOMPARE(entries(ProgramFolder::templateFolder()), QStringList());
    QCOMPARE(Forms::instance().find(QStringLiteral("tiantu")), window);
    QVERIFY(!Forms::instance().find(QStringLiteral("admin")));
}

void TestDefaultPhotoWindow::saveCopiesPickedFileAndReturnsToSignIn()
{
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto(QSize(40, 30));
    const QString file =
        folder.makeJpeg(QStringLiteral("new/portrait.jpg"), QSize(300, 600), Qt::yellow);
    QPointer<tiantu> window = openWindow();
    QVERIFY(window);
    pick(dialogs, window, file);
    click(window, "Command2");
    QVERIFY(box->isEmpty());
    click(window, "Command3");
    settle();

    QCOMPARE(bytesOf(ProgramFolder::defaultPhoto()), bytesOf(file));
    QCOMPARE(entries(ProgramFolder::templateFolder()), QStringList{QStringLiteral("1.jpg")});
    // One message: the sign-in window's load found the new photo and said nothing.
    QCOMPARE(dialogs->messages().size(), 1);
    QCOMPARE(described(dialogs->messages().first()), notice(kSaved, kHint));
    QVERIFY(!window);
    QVERIFY(!Forms::instance().find(QStringLiteral("tiantu")));
    Form* signIn = Forms::instance().find(QStringLiteral("admin"));
    QVERIFY(signIn);
    QVERIFY(signIn->isVisible());
}

void TestDefaultPhotoWindow::pickRefusesFileThatIsNoPicture_data()
{
    QTest::addColumn<QByteArray>("content");
    // Noise, so that most of the file is picture data and the cut falls inside it.
    QImage noise(300, 200, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * y) % 256, (x ^ y) % 256));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    noise.save(&buffer, "JPEG");
    QTest::newRow("text") << QByteArray("not a picture at all\n");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("header only") << jpeg.left(40);
    QTest::newRow("cut in the picture data") << jpeg.left(jpeg.size() * 2 / 3);
}

void TestDefaultPhotoWindow::pickRefusesFileThatIsNoPicture()
{
    QFETCH(QByteArray, content);
    DialogScript dialogs;
    TestFolder folder;
    folder.makeDefaultPhoto();
    const QString file = folder.path(QStringLiteral("x.jpg"));
    QVERIFY(writeBytes(file, content));
    tiantu* window = openWindow();
    QVERIFY(window);

    pick(dialogs, window, file);
    QCOMPARE(dialogs->messages().size(), 1);
    const ScriptedDialogs::Call message = dialogs->messages().first();
    QCOMPARE(message.icon, Icon::Critical);
    QVERIFY2(message.text.contains(QDir::toNativeSeparators(file)), qPrintable(message.text));
    QVERIFY(window->picPath().isEmpty());
    QVERIFY(box->isEmpty());

    const QByteArray before = bytesOf(ProgramFolder::defaultPhoto());
    click(window, "Command3");
    QCOMPARE(dialogs->messages().size(), 2);
    QCOMPARE(described(dialogs->messages().last()), notice(kPickFirst, kHint));
    QCOMPARE(bytesOf(ProgramFolder::defaultPhoto()), before);
}

void TestDefaultPhotoWindow::failedSaveKeepsOldPhotoAndWindow_data()
{
    QTest::addColumn<QString>("breakage");
    QTest::newRow("picked file deleted") << QStringLiteral("deleted");
    QTest::newRow("template folder is a file") << QStringLiteral("folder is file");
    QTest::newRow("template folder read-only") << QStringLiteral("read-only");
}

void TestDefaultPhotoWindow::failedSaveKeepsOldPhotoAndWindow()
{
    QFETCH(QString, breakage);
    if (breakage == QLatin1String("read-only") && geteuid() == 0)
        QSKIP("permissions do not bind root");
    DialogScript dialogs;
    TestFolder folder;
    const QString oldPhoto = folder.makeDefaultPhoto();
    const QByteArray oldBytes = bytesOf(oldPhoto);
    const QString file = folder.makeJpeg(QStringLiteral("new.jpg"), QSize(400, 300), Qt::green);
    const QString templates = ProgramFolder::templateFolder();
    tiantu* window = openWindow();
    QVERIFY(window);
    pick(dialogs, window, file);

    QString named; // the file the message has to name
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(templates, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    if (breakage == QLatin1String("deleted")) {
        QVERIFY(QFile::remove(file));
        named = file;
    } else if (breakage == QLatin1String("folder is file")) {
        QVERIFY(QDir(templates).removeRecursively());
        QVERIFY(writeBytes(templates, "in the way"));
        named = ProgramFolder::defaultPhoto();
    } else {
        QVERIFY(QFile::setPermissions(templates, QFile::ReadOwner | QFile::ExeOwner));
        named = ProgramFolder::defaultPhoto();
    }
    click(window, "Command3");
    settle();

    QCOMPARE(dialogs->messages().size(), 1);
    const ScriptedDialogs::Call message = dialogs->messages().first();
    QCOMPARE(message.icon, Icon::Critical);
    QVERIFY2(message.text.contains(QDir::toNativeSeparators(named)), qPrintable(message.text));
    QVERIFY(!message.text.contains(kSaved));
    if (breakage == QLatin1String("folder is file"))
        QCOMPARE(bytesOf(templates), QByteArray("in the way"));
    else
        QCOMPARE(bytesOf(oldPhoto), oldBytes);
    QCOMPARE(Forms::instance().find(QStringLiteral("tiantu")), window);
    QVERIFY(window->isVisible());
    QVERIFY(!Forms::instance().find(QStringLiteral("admin")));
}

QTEST_MAIN(TestDefaultPhotoWindow)
#include "tst_tiantu.moc"
