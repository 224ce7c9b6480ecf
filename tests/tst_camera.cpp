// Taking a member's photo with the camera window: how a frame becomes the photo, how the member
// window holds it like a picked file, and how its temporary file goes once stored or dropped.
// Frames come from a stand-in source; the machine's camera is used only where there is one.

#include "CaptureFiles.h"
#include "CapturedPhoto.h"
#include "FrameSource.h"
#include "MemberWorld.h"
#include "ProgramFolder.h"
#include "ProgramLock.h"
#include "WindowChecks.h"

#include <QCameraDevice>
#include <QMediaDevices>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QVideoWidget>

#include <cstdlib>
#include <optional>

using namespace MemberTests;
using WindowChecks::near;

namespace {

const QColor kOutside(220, 30, 30), kKept(30, 200, 60);

// Answers every capture at once with `frame`, or with `failure` when one is set.
class StandInSource : public FrameSource
{
public:
    bool camera = true;
    QImage frame;
    QString failure;
    QVideoWidget* shown = nullptr;

    bool hasCamera() const override { return camera; }
    void setPreview(QVideoWidget* preview) override { shown = preview; }
    void capture() override { failure.isEmpty() ? emit taken(frame) : emit failed(failure); }
};

// A frame whose part the photo keeps is green and the rest red.
QImage frameOf(QSize size)
{
    QImage image = WindowChecks::flat(size, kOutside);
    QPainter(&image).fillRect(CapturedPhoto::cropOf(size), kKept);
    return image;
}

bool keptOnly(const QImage& photo)
{
    const QRect r = photo.rect();
    for (const QPoint corner : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()})
        if (!near(photo.pixel(corner), kKept))
            return false;
    return true;
}

QStringList captureFiles()
{
    return QDir(CaptureFiles::folder()).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

class TestCamera : public QObject, MemberWorld
{
    Q_OBJECT

    QPointer<StandInSource> source;
    Form* camera = nullptr;

    void openCamera(bool withCamera = true)
    {
        FrameSource::setFactory([this, withCamera] {
            auto made = std::make_unique<StandInSource>();
            made->camera = withCamera;
            made->frame = frameOf({640, 480});
            source = made.get();
            return made;
        });
        camera = Forms::instance().show(u"shipin"_s);
    }
    QPushButton* shutter() const { return camera->findChild<QPushButton*>(u"Command1"_s); }
    void takePhoto() const { QTest::mouseClick(shutter(), Qt::LeftButton); }

private slots:
    void initTestCase() { prepareApplication(); }
    void init() { begin(); }
    void cleanup()
    {
        end();
        FrameSource::setFactory({});
        CaptureFiles::releaseAllBut({});
    }

    void cropAndScale_data()
    {
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<QRect>("crop");
        QTest::addColumn<QSize>("stored");
        const auto row = [](const char* tag, QSize frame, QRect crop, QSize stored) {
            QTest::newRow(tag) << frame << crop << stored;
        };
        // The height 1080 at 2175:2775 is 846.49 wide; the width 1000 is 1275.86 high.
        row("wide", {1920, 1080}, {537, 0, 846, 1080}, {846, 1080});
        row("tall, scaled down", {1000, 3000}, {0, 862, 1000, 1276}, {940, 1200});
        row("wide, scaled down", {4000, 3000}, {824, 0, 2351, 3000}, {940, 1200});
        row("small, not enlarged", {640, 480}, {132, 0, 376, 480}, {376, 480});
        row("exact proportions", {2175, 2775}, {0, 0, 2175, 2775}, {941, 1200});
        row("exact, small", {435, 555}, {0, 0, 435, 555}, {435, 555});
        row("exactly 1200 high", {1600, 1200}, {329, 0, 941, 1200}, {941, 1200});
        row("one pixel", {1, 1}, {0, 0, 1, 1}, {1, 1});
        row("no picture", {0, 0}, {}, {0, 0});
    }
    void cropAndScale()
    {
        QFETCH(QSize, frame);
        QFETCH(QRect, crop);
        QFETCH(QSize, stored);
        QCOMPARE(CapturedPhoto::cropOf(frame), crop);
        const QImage photo = CapturedPhoto::fromFrame(frame.isEmpty() ? QImage() : frameOf(frame));
        QCOMPARE(photo.size(), stored);
        QVERIFY(photo.isNull() || keptOnly(photo));
    }

    void takenPhotoIsHeldUntilStoredOrDropped_data()
    {
        QTest::addColumn<QString>("then");
        QTest::addColumn<QString>("heldAfter"); // "", the "first" photo, "another" one, a "file"
        QTest::addColumn<QString>("storedAs");
        const auto row = [](const char* then, const char* held, const char* stored = "") {
            QTest::newRow(then) << QString(then) << QString(held) << QString(stored);
        };
        row("add", "", "赵六-600.jpg");
        row("edit", "", "李四-222.jpg");
        row("清空", "");
        row("pick cancelled", "");
        row("file picked", "file");
        row("taken again", "another");
        row("refused edit", "");
        row("edit of a row gone meanwhile", "");
        row("refused add", "first"); // kept for another try
    }
    void takenPhotoIsHeldUntilStoredOrDropped()
    {
        QFETCH(QString, then);
        QFETCH(QString, heldAfter);
        QFETCH(QString, storedAs);
        const Window w = start();
        openCamera();
        takePhoto();
        // Held as a picked file is, and drawn by the fitting rule: the kept part fills the box.
        const QString first = Module1::PhotoSource;
        QCOMPARE(first, CaptureFiles::folder() + u'/' + captureFiles().value(0));
        QCOMPARE(Module1::PhotoChosen, u"1"_s);
        QVERIFY(keptOnly(QImage(first)));
        const QImage& box = w.photo->surface();
        QVERIFY(near(box.pixel(1, box.height() / 2), kKept));

        if (then == u"清空"_s) {
            w.click("Command4");
        } else if (then == "file picked"_L1 || then == "pick cancelled"_L1) {
            dialogs->files << (then == "file picked"_L1 ? folder->makeJpeg(u"a.jpg"_s) : QString());
            w.click("Command3");
        } else if (then == "taken again"_L1) {
            takePhoto();
        } else {
            const bool edit = then.contains("edit"_L1);
            then == "add"_L1 ? w.fill(person(u"赵六"_s, u"600"_s)) : w.select(edit ? 1 : 2);
            if (then.startsWith("refused"_L1))
                w.T4->setText(u"111"_s); // 张三's number, and 张三 is row 2
            if (then.contains("gone"_L1)) {
                removeRows(*folder, {2});
                QVERIFY(QFile::remove(photo(u"李四-222.jpg"_s)));
            }
            w.click(edit ? "Command5" : "Command1");
        }
        QCOMPARE(Module1::PhotoSource.isEmpty(), heldAfter.isEmpty());
        QCOMPARE(QFile::exists(first), heldAfter == "first"_L1);
        QCOMPARE(captureFiles().size(), int(heldAfter == "first"_L1 || heldAfter == "another"_L1));
        QCOMPARE(photoMismatches(*folder), QStringList());
        if (!storedAs.isEmpty()) {
            QCOMPARE(tableRow(*folder, then == "add"_L1 ? 4 : 2).at(8), photo(storedAs));
            const QImage stored(photo(storedAs));
            QVERIFY(stored.size() == QSize(376, 480) && keptOnly(stored));
        }
    }

    void failedCaptureKeepsWhatWasHeld_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("camera gone") << "unplugged" << critical(u"拍照失败："_s);
        QTest::newRow("no picture") << "empty" << critical(u"拍照失败："_s);
        QTest::newRow("folder not writable")
            << "blocked" << critical(u"拍照失败，照片无法保存："_s);
    }
    void failedCaptureKeepsWhatWasHeld()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        const Window w = start();
        const QString picked = folder->makeJpeg(u"pick/a.jpg"_s, {30, 40}, Qt::blue);
        dialogs->files << picked;
        w.click("Command3");
        const QImage shown = w.photo->surface();
        openCamera();
        if (fault == "unplugged"_L1)
            source->failure = u"拍照失败：摄像头已断开"_s;
        else if (fault == "empty"_L1)
            source->frame = QImage();
        else
            folder->makeJpeg(CaptureFiles::folder()); // a file where the folder would be
        takePhoto();

        QCOMPARE(summaries(dialogs->messages()), QStringList{message});
        QCOMPARE(Module1::PhotoSource + Module1::PhotoChosen, picked + u"1"_s);
        QVERIFY(w.photo->surface() == shown);
        QCOMPARE(captureFiles(), QStringList());
        QVERIFY(shutter()->isEnabled()); // the operator can try again
    }

    void photosOfEndedRunsGo_data()
    {
        QTest::addColumn<QString>("run");
        QTest::addColumn<int>("leftAtStart"); // photo files of the other run the start leaves
        QTest::newRow("run ended") << "end" << 0;
        QTest::newRow("run crashed") << "crash" << 0;
        QTest::newRow("copy still running") << "running" << 1;
    }
    void photosOfEndedRunsGo()
    {
        QFETCH(QString, run);
        QFETCH(int, leftAtStart);
        start();
        openCamera();
        takePhoto();
        const QString held = Module1::PhotoSource;
        QProcess other;
        other.start(QCoreApplication::applicationFilePath(),
                    {u"--take-photo-and"_s, folder->root(), run});
        QVERIFY(other.waitForFinished() && other.exitCode() == (run == "end"_L1 ? 0 : 9));
        QCOMPARE(captureFiles().size(), run == "end"_L1 ? 1 : 2);
        {
            std::optional<ProgramLock> running;
            if (run == "running"_L1)
                running.emplace(folder->root()).share();
            AppSetup::finishInterruptedSaves(); // the next start, while this run goes on
        }
        QCOMPARE(captureFiles().size(), 1 + leftAtStart);
        QVERIFY(QFile::exists(held));
        QCOMPARE(said(), QStringList());
    }

    void cameraComesAndGoes()
    {
        fill();
        openWindow();
        openCamera(false);
        const auto expect = [&](bool plugged) {
            QCOMPARE(shutter()->isEnabled(), plugged);
            QCOMPARE(shutter()->toolTip(), plugged ? QString() : u"未找到摄像头"_s);
            QCOMPARE(bool(source->shown), plugged);
            QCOMPARE(bool(camera->findChild<QVideoWidget*>()), plugged);
        };
        expect(false);
        for (const bool in : {true, false}) {
            source->camera = in;
            emit source->camerasChanged();
            expect(in);
        }
        QCOMPARE(said(), QStringList());
    }

    void machineCamera()
    {
        fill();
        const Window w = openWindow();
        camera = Forms::instance().show(u"shipin"_s);
        if (QMediaDevices::videoInputs().isEmpty()) {
            QVERIFY(!shutter()->isEnabled() && shutter()->toolTip() == u"未找到摄像头"_s);
            QSKIP("no camera on this machine: the real capture was not tried");
        }
        QTRY_VERIFY_WITH_TIMEOUT(shutter()->isEnabled(), 10000);
        QTest::qWait(2000); // let the camera settle before the picture
        takePhoto();
        QTRY_VERIFY_WITH_TIMEOUT(!Module1::PhotoSource.isEmpty() || !said().isEmpty(), 10000);
        QCOMPARE(said(), QStringList());
        QVERIFY(QImage(Module1::PhotoSource).height() <= CapturedPhoto::kMaxHeight);
        QVERIFY(!w.photo->isEmpty());
    }
};

// Takes a photo in the program folder `root` as the camera window does, then ends, or dies as in
// a crash ("crash", or "running": a copy that goes on running).
int takePhotoAndEnd(const QString& root, const QString& how)
{
    ProgramFolder::setRoot(root);
    if (!CaptureFiles::save(WindowChecks::flat({60, 80}, kKept)))
        return 3;
    if (how != "end"_L1)
        std::_Exit(9);
    return 0;
}

int main(int argc, char* argv[])
{
    if (argc == 4 && qstrcmp(argv[1], "--take-photo-and") == 0) {
        QGuiApplication app(argc, argv);
        return takePhotoAndEnd(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestCamera test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_camera.moc"
