// Taking a member's photo with the camera window: how a frame becomes the photo, how the member
// window holds it like a picked file, and how its temporary file goes once stored or dropped.
// Frames come from a stand-in source; the machine's camera is used only where there is one.

#include "CaptureFiles.h"
#include "CapturedPhoto.h"
#include "FrameSource.h"
#include "MemberWorld.h"
#include "ProgramFolder.h"
#include "ProgramLock.h"
#include "Twips.h"
#include "WindowChecks.h"

#include <QCameraDevice>
#include <QMediaDevices>
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
    const QRect keep = CapturedPhoto::cropOf(size);
    for (int y = keep.top(); y <= keep.bottom(); ++y)
        for (int x = keep.left(); x <= keep.right(); ++x)
            image.setPixelColor(x, y, kKept);
    return image;
}

bool keptOnly(const QImage& photo)
{
    const int r = photo.width() - 1, b = photo.height() - 1;
    for (const QPoint p : {QPoint(0, 0), QPoint(r, 0), QPoint(0, b), QPoint(r, b)})
        if (!near(photo.pixel(p), kKept))
            return false;
    return true;
}

void put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
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

    Form* openCamera(bool withCamera = true)
    {
        FrameSource::setFactory([this, withCamera] {
            auto made = std::make_unique<StandInSource>();
            made->camera = withCamera;
            made->frame = frameOf({640, 480});
            source = made.get();
            return made;
        });
        camera = Forms::instance().show(u"shipin"_s);
        return camera;
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
        // 2175:2775 of the height 1080 is 846.49 wide; 1276 of the width 1000 is 1275.86 high.
        QTest::newRow("wide") << QSize(1920, 1080) << QRect(537, 0, 846, 1080) << QSize(846, 1080);
        QTest::newRow("tall, scaled down")
            << QSize(1000, 3000) << QRect(0, 862, 1000, 1276) << QSize(940, 1200);
        QTest::newRow("wide, scaled down")
            << QSize(4000, 3000) << QRect(824, 0, 2351, 3000) << QSize(940, 1200);
        QTest::newRow("small, not enlarged")
            << QSize(640, 480) << QRect(132, 0, 376, 480) << QSize(376, 480);
        QTest::newRow("exact proportions")
            << QSize(2175, 2775) << QRect(0, 0, 2175, 2775) << QSize(941, 1200);
        QTest::newRow("exact, small")
            << QSize(435, 555) << QRect(0, 0, 435, 555) << QSize(435, 555);
        QTest::newRow("exactly 1200 high")
            << QSize(1600, 1200) << QRect(329, 0, 941, 1200) << QSize(941, 1200);
        QTest::newRow("one pixel") << QSize(1, 1) << QRect(0, 0, 1, 1) << QSize(1, 1);
        QTest::newRow("no picture") << QSize(0, 0) << QRect() << QSize(0, 0);
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

    void takenPhotoIsStoredAsPicked_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::newRow("add") << false;
        QTest::newRow("edit") << true;
    }
    void takenPhotoIsStoredAsPicked()
    {
        QFETCH(bool, edit);
        const Window w = start(3);
        openCamera();
        QVERIFY(shutter()->isEnabled() && source->shown);
        takePhoto();

        const QString held = Module1::PhotoSource;
        QCOMPARE(QFileInfo(held).absolutePath(), CaptureFiles::folder());
        QCOMPARE(captureFiles(), QStringList{QFileInfo(held).fileName()});
        QCOMPARE(Module1::PhotoChosen, u"1"_s);
        QVERIFY(keptOnly(QImage(held)));
        // Drawn into the photo box by the fitting rule: the kept part reaches its edges.
        const QImage& box = w.photo->surface();
        QVERIFY(near(box.pixel(1, box.height() / 2), kKept));

        const Snapshot before = snapshot(*folder);
        QString file = u"赵六-600.jpg"_s;
        if (edit) {
            w.select(1);
            file = u"李四-222.jpg"_s;
            w.click("Command5");
        } else {
            w.fill(person(u"赵六"_s, u"600"_s));
            w.click("Command1");
        }
        QCOMPARE(said(), (edit ? QStringList{kSelfUpdate, kUpdated} : QStringList{kAdded}));
        const QStringList row = tableRows(*folder).at(edit ? 4 : 6);
        QCOMPARE(row.at(8), photo(file));
        QCOMPARE(photoFiles(*folder), swapped(before.files, edit ? file : QString(), file));
        const QImage stored(photo(file));
        QCOMPARE(stored.size(), QSize(376, 480));
        QVERIFY(keptOnly(stored));
        QCOMPARE(photoMismatches(*folder), QStringList());
        QCOMPARE(captureFiles(), QStringList());
        QCOMPARE(Module1::PhotoSource, QString());
    }

    void droppedPhotoGoes_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("heldAfter"); // "", "first", "another" photo taken, "file"
        QTest::newRow("清空") << "Command4"
                              << "";
        QTest::newRow("pick cancelled") << "cancel"
                                        << "";
        QTest::newRow("file picked") << "pick"
                                     << "file";
        QTest::newRow("photo taken again") << "again"
                                           << "another";
        QTest::newRow("edit refused") << "Command5"
                                      << "";
        QTest::newRow("add refused keeps it") << "Command1"
                                              << "first";
    }
    void droppedPhotoGoes()
    {
        QFETCH(QString, how);
        QFETCH(QString, heldAfter);
        const Window w = start();
        openCamera();
        takePhoto();
        const QString first = Module1::PhotoSource;
        const QString file = folder->makeJpeg(u"pick/a.jpg"_s);
        if (how == "cancel"_L1 || how == "pick"_L1) {
            dialogs->files << (how == "pick"_L1 ? file : QString());
            w.click("Command3");
        } else if (how == "again"_L1) {
            takePhoto();
        } else if (how != "Command4"_L1) {
            w.select(how == "Command5"_L1 ? 1 : 2); // 李四 for the edit, 张三 for the add
            w.T4->setText(u"111"_s);                // 张三's number
        }
        if (how.startsWith("Command"_L1))
            w.click(how.toLatin1().constData());

        const QString held = Module1::PhotoSource;
        QCOMPARE(held == first, heldAfter == "first"_L1);
        QCOMPARE(held == file, heldAfter == "file"_L1);
        QCOMPARE(held.isEmpty(), heldAfter.isEmpty());
        QCOMPARE(QFile::exists(first), heldAfter == "first"_L1);
        QCOMPARE(captureFiles(), heldAfter == "first"_L1 || heldAfter == "another"_L1
                                     ? QStringList{QFileInfo(held).fileName()}
                                     : QStringList());
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
            put(CaptureFiles::folder(), "in the way");
        const Snapshot before = snapshot(*folder);
        takePhoto();

        QCOMPARE(summaries(dialogs->messages()), QStringList{message});
        QCOMPARE(Module1::PhotoSource + Module1::PhotoChosen, picked + u"1"_s);
        QVERIFY(w.photo->surface() == shown);
        QCOMPARE(changes(before), QStringList());
        QCOMPARE(captureFiles(), QStringList());
        QVERIFY(shutter()->isEnabled()); // the operator can try again
    }

    void photoWithoutMemberWindowIsRefused()
    {
        fill();
        openCamera();
        takePhoto();
        QCOMPARE(said(), QStringList{critical(u"拍照失败："_s)});
        QCOMPARE(Module1::PhotoSource, QString());
        QCOMPARE(captureFiles(), QStringList());
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
        // The window as before, one button's height taller; the button right below the picture.
        QCOMPARE(camera->size(), Twips::rect(0, 0, 4080, 3015 + 375).size());
        const QRect pic = camera->findChild<QWidget*>(u"Pic"_s)->geometry();
        QCOMPARE(pic, Twips::rect(0, 0, 4095, 3015));
        QCOMPARE(shutter()->geometry().top(), pic.bottom() + 1);
        QCOMPARE(shutter()->text(), u"拍照"_s);
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
        const QImage taken(Module1::PhotoSource);
        QVERIFY(!taken.isNull() && taken.height() <= CapturedPhoto::kMaxHeight);
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
