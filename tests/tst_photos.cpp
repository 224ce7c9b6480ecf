// The photo rule, the photo box, the default photo window and the first start without a default
// photo.

#include "AppSetup.h"
#include "FitPhoto.h"
#include "Forms.h"
#include "PhotoBox.h"
#include "ProgramFolder.h"
#include "TestFolder.h"
#include "tiantu.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>

#include <unistd.h>

using Icon = Dialogs::Icon;
using Buttons = Dialogs::Buttons;

namespace {

const QString kNoDefault = QStringLiteral("您的操作系统中暂时没有默认图片，请添加会员默认照片");
const QString kPickFirst = QStringLiteral("请先选择会员默认照片");
const QString kSaved = QStringLiteral("会员默认照片保存成功");
const QString kHint = QStringLiteral("系统提示");

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

// JPEG changes flat colours a little.
bool near(QRgb pixel, QColor expected)
{
    return qAbs(qRed(pixel) - expected.red()) < 24 && qAbs(qGreen(pixel) - expected.green()) < 24 &&
           qAbs(qBlue(pixel) - expected.blue()) < 24;
}

QImage flat(QSize size, QColor color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// A recorded message in one line, so a mismatch shows every part at once.
QString described(const ScriptedDialogs::Call& call)
{
    return QStringLiteral("%1 | %2 | %3 | icon %4 | buttons %5")
        .arg(call.kind, call.text, call.title)
        .arg(int(call.icon))
        .arg(int(call.buttons));
}

// A plain notice: OK button only, no icon.
QString notice(const QString& text, const QString& title)
{
    return described({QStringLiteral("message"), text, title, Icon::None, Buttons::Ok, {}});
}

void click(QWidget* window, const char* name)
{
    auto* button = window->findChild<QPushButton*>(QLatin1String(name));
    QVERIFY2(button, name);
    button->click();
}

// Runs deferred deletes, so an unloaded window is really gone.
void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

bool isDirectory(const QString& path) { return QFileInfo(path).isDir(); }

} // namespace

class TestPhotos : public QObject
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

    void fitPhotoKeepsProportions_data();
    void fitPhotoKeepsProportions();
    void fitPhotoRefusesDegenerateSizes_data();
    void fitPhotoRefusesDegenerateSizes();

    void boxKeepsEarlierDrawing();
    void boxClearEmptiesIt();
    void boxDrawnWhileHiddenSurvivesShowing();

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

    void firstStartAsksForDefaultPhoto_data();
    void firstStartAsksForDefaultPhoto();
    void readOnlyProgramFolderIsReported();
};

void TestPhotos::fitPhotoKeepsProportions_data()
{
    QTest::addColumn<QSizeF>("picture");
    QTest::addColumn<QSizeF>("box");
    QTest::addColumn<QRectF>("expected");

    const QSizeF memberBox(2175, 2775);
    // 2175 / 400 = 5.4375; 300 * 5.4375 = 1631.25; (2775 - 1631.25) / 2 = 571.875
    QTest::newRow("landscape fills the width") << QSizeF(400, 300) << memberBox
                                               << QRectF(0, 571.875, 2175, 1631.25);
    // 2775 / 600 = 4.625; 300 * 4.625 = 1387.5; (2175 - 1387.5) / 2 = 393.75
    QTest::newRow("portrait fills the height") << QSizeF(300, 600) << memberBox
                                               << QRectF(393.75, 0, 1387.5, 2775);
    // 87 x 111 is 2175 x 2775 divided by 25.
    QTest::newRow("box proportions fill the box") << QSizeF(87, 111) << memberBox
                                                  << QRectF(0, 0, 2175, 2775);
    QTest::newRow("tiny landscape is enlarged") << QSizeF(4, 3) << memberBox
                                                << QRectF(0, 571.875, 2175, 1631.25);
    QTest::newRow("single pixel is enlarged") << QSizeF(1, 1) << QSizeF(100, 50)
                                              << QRectF(25, 0, 50, 50);
    QTest::newRow("larger than the box shrinks") << QSizeF(4000, 1000) << QSizeF(200, 100)
                                                 << QRectF(0, 25, 200, 50);
    QTest::newRow("thin strip stays in the box") << QSizeF(10000, 1) << QSizeF(100, 100)
                                                 << QRectF(0, 49.995, 100, 0.01);
}

void TestPhotos::fitPhotoKeepsProportions()
{
    QFETCH(QSizeF, picture);
    QFETCH(QSizeF, box);
    QFETCH(QRectF, expected);

    const QRectF target = FitPhoto(picture, box);
    QVERIFY2(qAbs(target.left() - expected.left()) < 1e-9 &&
                 qAbs(target.top() - expected.top()) < 1e-9 &&
                 qAbs(target.width() - expected.width()) < 1e-9 &&
                 qAbs(target.height() - expected.height()) < 1e-9,
             qPrintable(QStringLiteral("got %1,%2 %3x%4")
                            .arg(target.left())
                            .arg(target.top())
                            .arg(target.width())
                            .arg(target.height())));
    // Nothing is cut off, the bands on both sides are equal and the picture is not distorted.
    QVERIFY(QRectF(QPointF(0, 0), box).adjusted(-1e-9, -1e-9, 1e-9, 1e-9).contains(target));
    QCOMPARE(target.left() * 2 + target.width(), box.width());
    QCOMPARE(target.top() * 2 + target.height(), box.height());
    QCOMPARE(target.width() / target.height(), picture.width() / picture.height());
}

void TestPhotos::fitPhotoRefusesDegenerateSizes_data()
{
    QTest::addColumn<QSizeF>("picture");
    QTest::addColumn<QSizeF>("box");
    QTest::newRow("picture without width") << QSizeF(0, 300) << QSizeF(2175, 2775);
    QTest::newRow("picture without height") << QSizeF(400, 0) << QSizeF(2175, 2775);
    QTest::newRow("null picture") << QSizeF() << QSizeF(2175, 2775);
    QTest::newRow("negative picture") << QSizeF(-400, -300) << QSizeF(2175, 2775);
    QTest::newRow("box without width") << QSizeF(400, 300) << QSizeF(0, 2775);
    QTest::newRow("box without height") << QSizeF(400, 300) << QSizeF(2175, 0);
}

void TestPhotos::fitPhotoRefusesDegenerateSizes()
{
    QFETCH(QSizeF, picture);
    QFETCH(QSizeF, box);
    QVERIFY(FitPhoto(picture, box).isEmpty());
}

void TestPhotos::boxKeepsEarlierDrawing()
{
    PhotoBox box;
    box.resize(204, 164); // 200 x 160 inside the 2-pixel frame
    QCOMPARE(box.innerSize(), QSize(200, 160));
    const QRgb empty = box.surface().pixel(0, 0);

    box.drawFitted(flat(QSize(400, 100), Qt::red));   // a band 200 x 50 across the middle
    box.drawFitted(flat(QSize(100, 400), Qt::blue));  // a column 40 x 160 in the middle
    QCOMPARE(box.lastTarget(), QRectF(80, 0, 40, 160));
    QVERIFY(!box.isEmpty());

    const QImage& surface = box.surface();
    QCOMPARE(surface.pixel(100, 80), QColor(Qt::blue).rgb());
    // The wide picture still shows either side of the narrow one.
    QCOMPARE(surface.pixel(10, 80), QColor(Qt::red).rgb());
    QCOMPARE(surface.pixel(190, 80), QColor(Qt::red).rgb());
    // Where neither was drawn the box is as empty as before.
    QCOMPARE(surface.pixel(10, 10), empty);
    QCOMPARE(surface.pixel(190, 150), empty);
}

void TestPhotos::boxClearEmptiesIt()
{
    PhotoBox box;
    box.resize(104, 104);
    const QColor empty = box.surface().pixelColor(0, 0);
    box.drawFitted(flat(QSize(30, 30), Qt::green));
    QVERIFY(!box.isEmpty());

    box.clear();
    QVERIFY(box.isEmpty());
    QVERIFY(box.lastTarget().isEmpty());
    QCOMPARE(box.surface(), flat(QSize(100, 100), empty));
}

void TestPhotos::boxDrawnWhileHiddenSurvivesShowing()
{
    QWidget holder;
    holder.resize(300, 300);
    auto* box = new PhotoBox(&holder);
    box->setGeometry(10, 10, 124, 104);
    box->drawFitted(flat(QSize(60, 50), Qt::darkGreen));

    holder.show();
    QVERIFY(QTest::qWaitForWindowExposed(&holder));
    QVERIFY(!box->isEmpty());
    QCOMPARE(box->lastTarget(), QRectF(0, 0, 120, 100));
    // What the operator sees, not only what the box holds.
    const QImage shown = box->grab().toImage();
    const QPoint middle = box->contentsRect().center();
    QCOMPARE(shown.pixelColor(middle).rgb(), QColor(Qt::darkGreen).rgb());
}

void TestPhotos::pickAsksForJpegFiles()
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

void TestPhotos::pickPreviewsPicture_data()
{
    QTest::addColumn<QString>("shape");
    QTest::newRow("4:3 landscape") << QStringLiteral("landscape");
    QTest::newRow("portrait") << QStringLiteral("portrait");
    QTest::newRow("box proportions") << QStringLiteral("box");
}

void TestPhotos::pickPreviewsPicture()
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

void TestPhotos::pickIgnoresOtherExtensions_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("upper case") << QStringLiteral("other.JPG");
    QTest::newRow("mixed case") << QStringLiteral("other.Jpg");
    QTest::newRow("jpeg") << QStringLiteral("other.jpeg");
    QTest::newRow("no extension") << QStringLiteral("otherjpg");
}

void TestPhotos::pickIgnoresOtherExtensions()
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

void TestPhotos::cancelledPickRedrawsEarlierFile()
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

void TestPhotos::saveBeforePickRefuses()
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
    QCOMPARE(QDir(folder.path(QStringLiteral("模版照片"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList());
    QCOMPARE(Forms::instance().find(QStringLiteral("tiantu")), window);
    QVERIFY(!Forms::instance().find(QStringLiteral("admin")));
}

void TestPhotos::saveCopiesPickedFileAndReturnsToSignIn()
{
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto(QSize(40, 30));
    const QString file = folder.makeJpeg(QStringLiteral("new/portrait.jpg"), QSize(300, 600), Qt::yellow);
    QPointer<tiantu> window = openWindow();
    QVERIFY(window);
    pick(dialogs, window, file);
    click(window, "Command2");
    QVERIFY(box->isEmpty());
    click(window, "Command3");
    settle();

    QCOMPARE(bytesOf(ProgramFolder::defaultPhoto()), bytesOf(file));
    QCOMPARE(QDir(folder.path(QStringLiteral("模版照片"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList{QStringLiteral("1.jpg")});
    // One message: the sign-in window's load found the new photo and said nothing.
    QCOMPARE(dialogs->messages().size(), 1);
    QCOMPARE(described(dialogs->messages().first()), notice(kSaved, kHint));
    QVERIFY(!window);
    QVERIFY(!Forms::instance().find(QStringLiteral("tiantu")));
    Form* signIn = Forms::instance().find(QStringLiteral("admin"));
    QVERIFY(signIn);
    QVERIFY(signIn->isVisible());
}

void TestPhotos::pickRefusesFileThatIsNoPicture_data()
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

void TestPhotos::pickRefusesFileThatIsNoPicture()
{
    QFETCH(QByteArray, content);
    DialogScript dialogs;
    TestFolder folder;
    folder.makeDefaultPhoto();
    const QString file = folder.path(QStringLiteral("x.jpg"));
    writeBytes(file, content);
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

void TestPhotos::failedSaveKeepsOldPhotoAndWindow_data()
{
    QTest::addColumn<QString>("breakage");
    QTest::newRow("picked file deleted") << QStringLiteral("deleted");
    QTest::newRow("template folder is a file") << QStringLiteral("folder is file");
    QTest::newRow("template folder read-only") << QStringLiteral("read-only");
}

void TestPhotos::failedSaveKeepsOldPhotoAndWindow()
{
    QFETCH(QString, breakage);
    if (breakage == QLatin1String("read-only") && geteuid() == 0)
        QSKIP("permissions do not bind root");
    DialogScript dialogs;
    TestFolder folder;
    const QString oldPhoto = folder.makeDefaultPhoto();
    const QByteArray oldBytes = bytesOf(oldPhoto);
    const QString file = folder.makeJpeg(QStringLiteral("new.jpg"), QSize(400, 300), Qt::green);
    const QString templates = folder.path(QStringLiteral("模版照片"));
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
        writeBytes(templates, "in the way");
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

void TestPhotos::firstStartAsksForDefaultPhoto_data()
{
    QTest::addColumn<QString>("startWindow");
    QTest::newRow("sign-in window") << QStringLiteral("admin");
    QTest::newRow("panel") << QStringLiteral("admin1");
}

void TestPhotos::firstStartAsksForDefaultPhoto()
{
    QFETCH(QString, startWindow);
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    const QString file = folder.makeJpeg(QStringLiteral("chosen.jpg"), QSize(300, 400), Qt::cyan);

    QVERIFY(!Forms::instance().show(startWindow));
    QVERIFY(isDirectory(ProgramFolder::templateFolder()));
    QVERIFY(isDirectory(ProgramFolder::photoFolder()));
    QCOMPARE(dialogs->messages().size(), 1);
    QCOMPARE(described(dialogs->messages().first()), notice(kNoDefault, QStringLiteral("系统显示")));
    settle();
    QVERIFY(!Forms::instance().find(startWindow));
    for (QWidget* top : QApplication::topLevelWidgets())
        QVERIFY2(!(top->objectName() == startWindow && top->isVisible()), qPrintable(startWindow));
    tiantu* window = qobject_cast<tiantu*>(Forms::instance().find(QStringLiteral("tiantu")));
    QVERIFY(window);
    QVERIFY(window->isVisible());

    pick(dialogs, window, file);
    click(window, "Command3");
    settle();
    QCOMPARE(dialogs->messageTexts(), (QStringList{kNoDefault, kSaved}));
    QCOMPARE(bytesOf(ProgramFolder::defaultPhoto()), bytesOf(file));
    // Saving always leads to the sign-in window, ready for a name and password.
    QVERIFY(!Forms::instance().find(QStringLiteral("tiantu")));
    QVERIFY(!Forms::instance().find(QStringLiteral("admin1")));
    Form* signIn = Forms::instance().find(QStringLiteral("admin"));
    QVERIFY(signIn);
    QVERIFY(signIn->isVisible());
    QVERIFY(signIn->findChild<QLineEdit*>(QStringLiteral("Text1"))->isVisible());
    QVERIFY(signIn->findChild<QLineEdit*>(QStringLiteral("Text2"))->isVisible());
    QVERIFY(!signIn->findChild<QLabel*>(QStringLiteral("Label4"))->isVisible());
    for (const char* name : {"c1", "c2", "c3", "c4", "c5"})
        QVERIFY2(!signIn->findChild<QPushButton*>(QLatin1String(name))->isVisible(), name);
}

void TestPhotos::readOnlyProgramFolderIsReported()
{
    if (geteuid() == 0)
        QSKIP("permissions do not bind root");
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    const QString file = folder.makeJpeg(QStringLiteral("chosen.jpg"), QSize(300, 400), Qt::cyan);
    QVERIFY(QFile::setPermissions(folder.root(), QFile::ReadOwner | QFile::ExeOwner));
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(folder.root(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });

    QVERIFY(!Forms::instance().show(QStringLiteral("admin")));
    QCOMPARE(dialogs->messages().size(), 2);
    const ScriptedDialogs::Call failure = dialogs->messages().first();
    QCOMPARE(failure.icon, Icon::Critical);
    QVERIFY2(failure.text.contains(ProgramFolder::templateFolder()), qPrintable(failure.text));
    QCOMPARE(described(dialogs->messages().last()), notice(kNoDefault, QStringLiteral("系统显示")));
    settle();

    // The default photo window stays usable and says why it cannot save.
    tiantu* window = qobject_cast<tiantu*>(Forms::instance().find(QStringLiteral("tiantu")));
    QVERIFY(window);
    pick(dialogs, window, file);
    click(window, "Command3");
    settle();
    QCOMPARE(dialogs->messages().size(), 3);
    QCOMPARE(dialogs->messages().last().icon, Icon::Critical);
    QVERIFY(!QFileInfo::exists(ProgramFolder::defaultPhoto()));
    QCOMPARE(Forms::instance().find(QStringLiteral("tiantu")), window);
    QVERIFY(!Forms::instance().find(QStringLiteral("admin")));
}

QTEST_MAIN(TestPhotos)
#include "tst_photos.moc"
