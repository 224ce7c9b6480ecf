// The default photo window, the rule that fits a picture into a box, the photo box drawing by
// it, the first start without a default photo, and the camera window on a machine without one.

#include "AppSetup.h"
#include "Driving.h"
#include "FitPhoto.h"
#include "MemberWindow.h"
#include "Module1.h"
#include "PhotoBox.h"
#include "ProgramFolder.h"
#include "RecordFixture.h"
#include "TestFolder.h"
#include "WindowChecks.h"

#include <QBuffer>
#include <QCameraDevice>
#include <QDir>
#include <QFileInfo>
#include <QMediaDevices>
#include <QPointer>

#include <optional>

using namespace WindowChecks;
using Icon = Dialogs::Icon;

namespace {

const QString kHint = QStringLiteral("系统提示");
const Shown kPickFirst = messageBox(QStringLiteral("请先选择会员默认照片"), kHint);
const Shown kSaved = messageBox(QStringLiteral("会员默认照片保存成功"), kHint);
const Shown kNoDefault =
    messageBox(QStringLiteral("您的操作系统中暂时没有默认图片，请添加会员默认照片"),
               QStringLiteral("系统显示"));

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden);
}

// The window's refusal of a file: it names the file and says it was not taken.
void checkRefusal(const Shown& shownCall, const QString& file)
{
    QCOMPARE(shownCall, messageBox(shownCall.text, kHint, Icon::Critical));
    QVERIFY2(shownCall.text.contains(QDir::toNativeSeparators(file)), qPrintable(shownCall.text));
    QVERIFY2(shownCall.text.endsWith(QStringLiteral("\n未选用此文件。")),
             qPrintable(shownCall.text));
}

// The default photo window with its picture box.
struct PhotoWindow
{
    QPointer<Form> form = Forms::instance().show(QStringLiteral("tiantu"));
    PhotoBox* box = findIn<PhotoBox>(form, "Picture1");

    void pick(DialogScript& dialogs, const QString& file) const
    {
        dialogs->files.append(file); // an empty name cancels
        press(form, "Command1");
    }
};

} // namespace

class tst_photo_windows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        AppSetup::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        AppSetup::registerWindows();
    }
    void cleanup() { closeAllForms(); }

    void fitPhoto_data();
    void fitPhoto();
    void photoBoxDrawsOverWhatItShows();
    void pickAndSave_data();
    void pickAndSave();
    void laterPicksKeepTheTakenPicture();
    void failedSaveKeepsOldPhotoAndWindow_data();
    void failedSaveKeepsOldPhotoAndWindow();
    void startWithoutDefaultPhoto_data();
    void startWithoutDefaultPhoto();
    void cameraWindowWithoutVideoInput();
};

void tst_photo_windows::fitPhoto_data()
{
    QTest::addColumn<QSizeF>("picture");
    QTest::addColumn<QSizeF>("box");
    QTest::addColumn<QRectF>("expected"); // null: nothing to draw
    const auto row = [](const char* tag, QSizeF picture, QSizeF box, QRectF expected = {}) {
        QTest::newRow(tag) << picture << box << expected;
    };
    const QSizeF memberBox(2175, 2775);
    // 2175 / 400 = 5.4375; 300 * 5.4375 = 1631.25; (2775 - 1631.25) / 2 = 571.875
    row("landscape fills the width", {400, 300}, memberBox, {0, 571.875, 2175, 1631.25});
    // 2775 / 600 = 4.625; 300 * 4.625 = 1387.5; (2175 - 1387.5) / 2 = 393.75
    row("portrait fills the height", {300, 600}, memberBox, {393.75, 0, 1387.5, 2775});
    // 87 x 111 is 2175 x 2775 divided by 25.
    row("box proportions fill the box", {87, 111}, memberBox, {0, 0, 2175, 2775});
    row("tiny landscape is enlarged", {4, 3}, memberBox, {0, 571.875, 2175, 1631.25});
    row("single pixel is enlarged", {1, 1}, {100, 50}, {25, 0, 50, 50});
    row("larger than the box shrinks", {4000, 1000}, {200, 100}, {0, 25, 200, 50});
    row("thin strip stays in the box", {10000, 1}, {100, 100}, {0, 49.995, 100, 0.01});
    row("picture without width", {0, 300}, memberBox);
    row("picture without height", {400, 0}, memberBox);
    row("null picture", QSizeF(), memberBox);
    row("negative picture", {-400, -300}, memberBox);
    row("box without width", {400, 300}, {0, 2775});
    row("box without height", {400, 300}, {2175, 0});
}

void tst_photo_windows::fitPhoto()
{
    QFETCH(QSizeF, picture);
    QFETCH(QSizeF, box);
    QFETCH(QRectF, expected);

    const QRectF target = FitPhoto(picture, box);

    if (expected.isNull()) {
        QVERIFY(target.isEmpty());
        return;
    }
    QCOMPARE(target, expected);
    // Nothing is cut off, the bands on both sides are equal and the picture is not distorted.
    QVERIFY(QRectF(QPointF(0, 0), box).adjusted(-1e-9, -1e-9, 1e-9, 1e-9).contains(target));
    QCOMPARE(target.left() * 2 + target.width(), box.width());
    QCOMPARE(target.top() * 2 + target.height(), box.height());
    QCOMPARE(target.width() / target.height(), picture.width() / picture.height());
}

void tst_photo_windows::photoBoxDrawsOverWhatItShows()
{
    QWidget holder;
    holder.resize(300, 300);
    auto* box = new PhotoBox(&holder);
    box->setGeometry(10, 10, 204, 164); // 200 x 160 inside the 2-pixel frame
    QCOMPARE(box->innerSize(), QSize(200, 160));
    const QRgb empty = box->surface().pixel(0, 0);

    // Drawn before the box was ever shown: a band 200 x 50 across the middle.
    box->drawFitted(flat(QSize(400, 100), Qt::red));
    holder.show();
    QVERIFY(QTest::qWaitForWindowExposed(&holder));
    QCOMPARE(box->lastTarget(), QRectF(0, 55, 200, 50));
    // What the operator sees, not only what the box holds.
    QCOMPARE(box->grab().toImage().pixelColor(box->contentsRect().center()).rgb(),
             QColor(Qt::red).rgb());

    box->drawFitted(flat(QSize(100, 400), Qt::blue)); // a column 40 x 160 in the middle
    QCOMPARE(box->lastTarget(), QRectF(80, 0, 40, 160));
    const QImage& surface = box->surface();
    QCOMPARE(surface.pixel(100, 80), QColor(Qt::blue).rgb());
    // The wide picture still shows either side of the narrow one; elsewhere the box stays empty.
    QCOMPARE(surface.pixel(10, 80), QColor(Qt::red).rgb());
    QCOMPARE(surface.pixel(190, 80), QColor(Qt::red).rgb());
    QCOMPARE(surface.pixel(10, 10), empty);
    QCOMPARE(surface.pixel(190, 150), empty);
    QVERIFY(!box->isEmpty());

    box->clear();
    QVERIFY(box->isEmpty());
    QVERIFY(box->lastTarget().isEmpty());
    QCOMPARE(box->surface(), flat(QSize(200, 160), QColor(empty)));
}

void tst_photo_windows::pickAndSave_data()
{
    QTest::addColumn<QString>("name"); // empty: the dialog is cancelled
    QTest::addColumn<QSize>("size");   // of a real JPEG; invalid: the bytes below
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("outcome");
    // Noise, so that most of the file is picture data and the cut falls inside it.
    QImage noise(300, 200, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * y) % 256, (x ^ y) % 256));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    noise.save(&buffer, "JPEG");
    const auto row = [](const char* tag, const char* name, QSize size, const QByteArray& bytes,
                        const char* outcome) {
        QTest::newRow(tag) << QString(name) << size << bytes << QString(outcome);
    };
    row("cancelled", "", {}, {}, "ignored");
    row("4:3 landscape", "photo.jpg", {400, 300}, {}, "taken");
    row("portrait", "photo.jpg", {300, 600}, {}, "taken");
    row("box proportions", "photo.jpg", {0, 0}, {}, "taken"); // twice the box, set below
    row("upper case extension", "other.JPG", {400, 300}, {}, "ignored");
    row("mixed case extension", "other.Jpg", {400, 300}, {}, "ignored");
    row("jpeg extension", "other.jpeg", {400, 300}, {}, "ignored");
    row("no extension", "otherjpg", {400, 300}, {}, "ignored");
    row("text", "x.jpg", {}, "not a picture at all\n", "refused");
    row("empty file", "x.jpg", {}, {}, "refused");
    row("header only", "x.jpg", {}, jpeg.left(40), "refused");
    row("cut in the picture data", "x.jpg", {}, jpeg.left(jpeg.size() * 2 / 3), "refused");
}

void tst_photo_windows::pickAndSave()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, outcome);
    DialogScript dialogs;
    TestFolder folder;
    const QByteArray oldBytes = bytesOf(folder.makeDefaultPhoto());
    PhotoWindow w;
    QVERIFY(w.box);
    const QSize inner = w.box->innerSize();
    if (size == QSize(0, 0))
        size = inner * 2;
    QString file;
    if (!name.isEmpty() && size.isValid())
        file = folder.makeJpeg(QStringLiteral("picked/") + name, size, Qt::red);
    else if (!name.isEmpty())
        QVERIFY(writeBytes(file = folder.path(name), bytes));
    const QRgb empty = w.box->surface().pixel(0, 0);

    w.pick(dialogs, file);

    const QList<Shown> calls = shown(dialogs.get());
    QCOMPARE(calls.size(), outcome == QLatin1String("refused") ? 2 : 1);
    QCOMPARE(calls.first(), (Shown{"openFile", QString(), "选择图片文件"}));
    QCOMPARE(dialogs->calls.first().filter, QStringLiteral("图片（*.jpg）|*.jpg"));
    if (calls.size() > 1)
        checkRefusal(calls.last(), file);
    QCOMPARE(w.box->isEmpty(), outcome != QLatin1String("taken"));
    if (outcome == QLatin1String("taken")) {
        const QRectF target = w.box->lastTarget();
        QCOMPARE(target, FitPhoto(size, inner));
        QVERIFY(near(w.box->surface().pixel(target.center().toPoint()), Qt::red));
        // The corner lies in a band unless the picture has the box's proportions.
        const bool filled = target == QRectF(QPointF(0, 0), inner);
        QVERIFY(filled ? near(w.box->surface().pixel(0, 0), Qt::red)
                       : w.box->surface().pixel(0, 0) == empty);
    }
    dialogs->clear();

    press(w.form, "Command3");
    settle();

    const bool taken = outcome == QLatin1String("taken");
    QCOMPARE(shown(dialogs.get()), QList<Shown>{taken ? kSaved : kPickFirst});
    QCOMPARE(bytesOf(ProgramFolder::defaultPhoto()), taken ? bytesOf(file) : oldBytes);
    QCOMPARE(entries(ProgramFolder::templateFolder()), QStringList{QStringLiteral("1.jpg")});
    // Saving leads back to the sign-in window; a refusal keeps the window open.
    QCOMPARE(w.form.isNull(), taken);
    Form* signIn = loadedForm(QStringLiteral("admin"));
    QCOMPARE(signIn && signIn->isVisible(), taken);
}

void tst_photo_windows::laterPicksKeepTheTakenPicture()
{
    DialogScript dialogs;
    TestFolder folder;
    folder.makeDefaultPhoto();
    const QString first = folder.makeJpeg(QStringLiteral("first.jpg"), QSize(300, 600), Qt::red);
    const QString other = folder.makeJpeg(QStringLiteral("other.JPG"), {400, 300}, Qt::blue);
    const QString junk = folder.path(QStringLiteral("junk.jpg"));
    QVERIFY(writeBytes(junk, "not a picture"));
    PhotoWindow w;
    QVERIFY(w.box);
    w.pick(dialogs, first);
    press(w.form, "Command2");
    QVERIFY(w.box->isEmpty());

    // The dialog still holds the earlier file, so a cancel draws it again.
    w.pick(dialogs, QString());
    QVERIFY(!w.box->isEmpty());
    QCOMPARE(w.box->lastTarget(), FitPhoto(QSizeF(300, 600), w.box->innerSize()));
    const QImage preview = w.box->surface();
    w.pick(dialogs, other);
    QCOMPARE(dialogs->messages().size(), 0);
    w.pick(dialogs, junk);
    QCOMPARE(dialogs->messages().size(), 1);
    checkRefusal(shown(dialogs.get()).last(), junk);
    QCOMPARE(w.box->surface(), preview);

    dialogs->clear();
    press(w.form, "Command3");
    QCOMPARE(shown(dialogs.get()), QList<Shown>{kSaved});
    QCOMPARE(bytesOf(ProgramFolder::defaultPhoto()), bytesOf(first));
}

void tst_photo_windows::failedSaveKeepsOldPhotoAndWindow_data()
{
    QTest::addColumn<QString>("breakage");
    QTest::newRow("picked file deleted") << QStringLiteral("deleted");
    QTest::newRow("template folder is a file") << QStringLiteral("folder is file");
    QTest::newRow("template folder read-only") << QStringLiteral("read-only");
}

void tst_photo_windows::failedSaveKeepsOldPhotoAndWindow()
{
    QFETCH(QString, breakage);
    DialogScript dialogs;
    TestFolder folder;
    const QString oldPhoto = folder.makeDefaultPhoto();
    const QByteArray oldBytes = bytesOf(oldPhoto);
    const QString file = folder.makeJpeg(QStringLiteral("new.jpg"), QSize(400, 300), Qt::green);
    const QString templates = ProgramFolder::templateFolder();
    PhotoWindow w;
    w.pick(dialogs, file);
    QString named = ProgramFolder::defaultPhoto(); // the file the message has to name
    std::optional<RecordTests::ReadOnlyFolder> readOnly;
    if (breakage == QLatin1String("deleted")) {
        QVERIFY(QFile::remove(file));
        named = file;
    } else if (breakage == QLatin1String("folder is file")) {
        QVERIFY(QDir(templates).removeRecursively());
        QVERIFY(writeBytes(templates, "in the way"));
    } else if (!readOnly.emplace(templates).effective()) {
        QSKIP("permissions do not bind this user");
    }
    dialogs->clear();

    press(w.form, "Command3");
    settle();

    const QList<Shown> calls = shown(dialogs.get());
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0], messageBox(calls[0].text, kHint, Icon::Critical));
    QVERIFY2(calls[0].text.startsWith(QStringLiteral("会员默认照片保存失败：")),
             qPrintable(calls[0].text));
    QVERIFY2(calls[0].text.contains(QDir::toNativeSeparators(named)), qPrintable(calls[0].text));
    const bool blocked = breakage == QLatin1String("folder is file");
    QCOMPARE(bytesOf(blocked ? templates : oldPhoto),
             blocked ? QByteArray("in the way") : oldBytes);
    if (!blocked)
        QCOMPARE(entries(templates), QStringList{QStringLiteral("1.jpg")});
    QVERIFY(w.form && w.form->isVisible());
    QCOMPARE(loadedForm(QStringLiteral("admin")), nullptr);
}

void tst_photo_windows::startWithoutDefaultPhoto_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("sign-in window, read-only program folder") << "admin" << true;
    QTest::newRow("panel, first start") << "admin1" << false;
}

void tst_photo_windows::startWithoutDefaultPhoto()
{
    QFETCH(QString, start);
    QFETCH(bool, readOnly);
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    const QString file = folder.makeJpeg(QStringLiteral("chosen.jpg"), QSize(300, 400), Qt::cyan);
    std::optional<RecordTests::ReadOnlyFolder> locked;
    if (readOnly && !locked.emplace(folder.root()).effective())
        QSKIP("permissions do not bind this user");

    QCOMPARE(Forms::instance().show(start), nullptr);
    settle();

    QList<Shown> calls = shown(dialogs.get());
    QCOMPARE(calls.size(), readOnly ? 2 : 1);
    QCOMPARE(calls.last(), kNoDefault);
    if (readOnly) {
        QCOMPARE(calls.first().icon, Icon::Critical);
        QVERIFY2(calls.first().text.contains(ProgramFolder::templateFolder()),
                 qPrintable(calls.first().text));
    }
    QCOMPARE(QFileInfo(ProgramFolder::templateFolder()).isDir(), !readOnly);
    QCOMPARE(QFileInfo(ProgramFolder::photoFolder()).isDir(), !readOnly);
    QCOMPARE(loadedForm(start), nullptr);
    for (QWidget* top : QApplication::topLevelWidgets())
        QVERIFY2(!(top->objectName() == start && top->isVisible()), qPrintable(start));
    PhotoWindow w;
    QVERIFY(w.form && w.form->isVisible());
    dialogs->clear();

    w.pick(dialogs, file);
    press(w.form, "Command3");
    settle();

    // Saving always leads to the sign-in window, ready for a name and password.
    calls = shown(dialogs.get()).mid(1);
    if (readOnly) {
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().icon, Icon::Critical);
        QVERIFY(!QFileInfo::exists(ProgramFolder::defaultPhoto()));
        QVERIFY(w.form && w.form->isVisible());
        QCOMPARE(loadedForm(QStringLiteral("admin")), nullptr);
        return;
    }
    QCOMPARE(calls, QList<Shown>{kSaved});
    QCOMPARE(bytesOf(ProgramFolder::defaultPhoto()), bytesOf(file));
    QVERIFY(w.form.isNull());
    QCOMPARE(loadedForm(QStringLiteral("admin1")), nullptr);
    Form* signIn = loadedForm(QStringLiteral("admin"));
    QVERIFY(signIn && signIn->isVisible());
    QCOMPARE(signInStateMismatches(signIn, false), QStringList());
}

void tst_photo_windows::cameraWindowWithoutVideoInput()
{
    if (!QMediaDevices::videoInputs().isEmpty())
        QSKIP("this machine has a video input; this test is about a machine without one");
    DialogScript dialogs;
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    MemberTests::addMembers(folder, 25);
    const MemberTests::Window w = MemberTests::openWindow();
    QVERIFY(w.ok());
    const auto cameraWindows = [] {
        int count = 0;
        for (QWidget* top : QApplication::topLevelWidgets())
            count += top->objectName() == QLatin1String("shipin") && top->isVisible();
        return count;
    };
    // Left over from an earlier load; every load decides afresh.
    int stale = 0;
    Module1::hCapWnd = &stale;

    w.click("Command15");

    const QPointer<Form> camera = loadedForm(QStringLiteral("shipin"));
    QVERIFY(camera && camera->isVisible());
    QCOMPARE(camera->windowTitle(), QStringLiteral("视频监控"));
    // Empty and silent: no preview at all, rather than a back end's test picture.
    for (QWidget* child : camera->findChildren<QWidget*>())
        QVERIFY2(!child->inherits("QVideoWidget"), qPrintable(child->objectName()));
    QWidget* picture = findIn<QWidget>(camera, "Pic");
    QVERIFY(picture && picture->geometry().contains(camera->rect()));
    QCOMPARE(Module1::hCapWnd, nullptr);

    // Asked for again, the one window stays; the member window keeps working beside it.
    w.click("Command15");
    settle();
    QCOMPARE(loadedForm(QStringLiteral("shipin")), camera.data());
    QCOMPARE(cameraWindows(), 1);
    QCOMPARE(Forms::instance().loaded().size(), 2);
    w.click("Command8");
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("2/3"));
    w.select(0);
    QCOMPARE(w.t8->text(), QString::number(MemberTests::storedIdsNewestFirst(folder).at(10)));

    // Closing unloads only the camera window; asked for again, it is loaded afresh.
    camera->close();
    settle();
    QVERIFY(camera.isNull());
    QCOMPARE(loadedForm(QStringLiteral("shipin")), nullptr);
    QCOMPARE(loadedForm(QStringLiteral("xianshi")), w.form);
    QCOMPARE(Module1::hCapWnd, nullptr);
    w.click("Command15");
    QVERIFY(loadedForm(QStringLiteral("shipin")));
    QCOMPARE(cameraWindows(), 1);
    QCOMPARE(dialogs->calls.size(), 0);
}

QTEST_MAIN(tst_photo_windows)
#include "tst_photo_windows.moc"
