// Taking a member's photo with the camera window: how a frame becomes the photo, how the member
// window holds it like a picked file, and how its temporary file goes once stored or dropped.

#include "CaptureFiles.h"
#include "CapturedPhoto.h"
#include "FrameSource.h"
#include "MemberWorld.h"
#include "ProgramFolder.h"
#include "WindowChecks.h"

#include <QPainter>
#include <QProcess>

using namespace MemberTests;

// A frame whose part the photo keeps is green and the rest red.
QImage frameOf(QSize size)
{
    QImage image = WindowChecks::flat(size, Qt::red);
    QPainter(&image).fillRect(CapturedPhoto::cropOf(size), Qt::green);
    return image;
}

// The camera window's source: answers every capture at once with `frame`, or with `failure`.
struct StandIn : FrameSource
{
    bool camera = true;
    QImage frame = frameOf({640, 480});
    QString failure;
    QVideoWidget* shown = nullptr; // the preview the camera window shows
    bool hasCamera() const override { return camera; }
    void setPreview(QVideoWidget* preview) override { shown = preview; }
    void capture() override { failure.isEmpty() ? emit taken(frame) : emit failed(failure); }
};

class TestCamera : public QObject, MemberWorld
{
    Q_OBJECT

    StandIn* source = nullptr; // the camera window's, once it is open

    // "拍照", the camera window's only button; the window opens on first use.
    auto* shutter() { return Forms::instance().show(u"shipin"_s)->findChild<QPushButton*>(); }
    void takePhoto() { QTest::mouseClick(shutter(), Qt::LeftButton); }
    QStringList captureFiles() const { return QDir(CaptureFiles::folder()).entryList(QDir::Files); }

private slots:
    void initTestCase()
    {
        prepareApplication();
        FrameSource::setFactory([&] { return std::unique_ptr<FrameSource>(source = new StandIn); });
    }
    void init() { begin(); }
    void cleanup() { end(); }

    void cropAndScale_data()
    {
        // Columns: frame, crop, stored
        dataColumns<QSize, QRect, QSize>();
        // The width 1000 at 2175:2775 is 1275.86 high; the height 480 is 376.2 wide.
        QTest::newRow("tall") << QSize(1000, 3000) << QRect(0, 862, 1000, 1276) << QSize(940, 1200);
        QTest::newRow("wide") << QSize(640, 480) << QRect(132, 0, 376, 480) << QSize(376, 480);
    }
    void cropAndScale()
    {
        const auto [frame, crop, stored] = dataRow<QSize, QRect, QSize>();
        QCOMPARE(CapturedPhoto::cropOf(frame), crop);
        // All green: no red of the rest.
        QCOMPARE(CapturedPhoto::fromFrame(frameOf(frame)), WindowChecks::flat(stored, Qt::green));
    }

    void takenPhotoIsHeldUntilStoredOrDropped_data()
    {
        // A button of the member window, after which no photo is held, or none: "拍照" again,
        // after which one photo is held, the new one or the first.
        // Columns: button, said
        dataColumns<QString, QString>();
        QTest::newRow("add") << u"Command1"_s << kAdded;
        QTest::newRow("清空") << u"Command4"_s << QString();
        QTest::newRow("edit of a row gone meanwhile") << u"Command5"_s << kNotUpdated;
        QTest::newRow("taken again") << QString() << QString();
        QTest::newRow("camera unplugged") << QString() << QString();
        QTest::newRow("no picture") << QString() << critical(u"拍照失败："_s);
        QTest::newRow("capture fails") << QString() << critical(u"拍照失败："_s);
        QTest::newRow("save fails") << QString() << critical(u"拍照失败，照片无法保存："_s);
    }
    void takenPhotoIsHeldUntilStoredOrDropped()
    {
        const auto [button, said] = dataRow<QString, QString>();
        const QByteArray then = QTest::currentDataTag();
        const Window w = start();
        w.select(1); // 李四
        takePhoto();
        // Held as a picked file is, and drawn in the box by the fitting rule.
        QCOMPARE(Module1::PhotoChosen, u"1"_s);
        QVERIFY(WindowChecks::near(w.photo->surface().pixel(1, 50), Qt::green));
        if (then == "add")
            w.fill(person(u"赵六"_s, u"600"_s));
        if (then.contains("gone"))
            removeRows(*folder, {2}); // 李四 goes before the edit is saved
        source->camera = then != "camera unplugged";
        emit source->camerasChanged();
        source->frame = then == "no picture" ? QImage() : source->frame;
        source->failure = then == "capture fails" ? u"拍照失败：摄像头已断开"_s : QString();
        if (then == "save fails") { // a file where the photos' folder would be
            ProgramFolder::setRoot(folder->path(u"elsewhere"_s));
            folder->makeJpeg(CaptureFiles::folder());
        }
        button.isEmpty() ? takePhoto() : w.click(qPrintable(button));
        ProgramFolder::setRoot(folder->root());

        QCOMPARE(summaries(dialogs->messages()).join(u'\n'), said);
        const int kept = button.isEmpty();
        QCOMPARE(captureFiles(), QStringList(kept, QFileInfo(Module1::PhotoSource).fileName()));
        QCOMPARE(shutter()->isEnabled(), source->camera); // so the operator can try again
        QCOMPARE(shutter()->toolTip(), source->camera ? QString() : u"未找到摄像头"_s);
        QCOMPARE(bool(source->shown), source->camera);
        if (then == "add")
            QCOMPARE(QImage(tableRow(*folder, 4).at(8)).size(), QSize(376, 480));
    }

    // A run that ended took its photos along; a crashed run's go at the next start unless another
    // copy runs, but never those this run holds.
    void photosOfEndedRunsGo()
    {
        const QString held = CaptureFiles::save(frameOf({60, 80})).value();
        AppSetup::finishInterruptedSaves(); // this run's start: from now on it holds the lock
        folder->makeJpeg(CaptureFiles::folder() + u"/photo-crashed.jpg"_s);
        // Another copy starts meanwhile, takes a photo and ends.
        QVERIFY(!QProcess::execute(qApp->applicationFilePath(), {u"--start-in"_s, folder->root()}));
        QCOMPARE(captureFiles().size(), 2);
        AppSetup::finishInterruptedSaves(); // the next start, alone
        QCOMPARE(captureFiles(), QStringList{QFileInfo(held).fileName()});
    }

    // The machine's own camera, where there is one: a photo taken through it reaches the window.
    void realCamera()
    {
        FrameSource::setFactory({});
        const auto back = qScopeGuard([&] {
            FrameSource::setFactory(
                [&] { return std::unique_ptr<FrameSource>(source = new StandIn); });
        });
        if (!FrameSource::make()->hasCamera())
            QSKIP("这台机器没有摄像头，真实摄像头的拍照未测试");
        start();
        QTRY_VERIFY_WITH_TIMEOUT(shutter()->isEnabled(), 10000);
        takePhoto();
        QTRY_COMPARE_WITH_TIMEOUT(Module1::PhotoChosen, u"1"_s, 10000);
        QCOMPARE(captureFiles().size(), 1);
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--start-in") == 0) { // another copy of the program
        ProgramFolder::setRoot(QString::fromLocal8Bit(argv[2]));
        AppSetup::finishInterruptedSaves();
        return CaptureFiles::save(frameOf({60, 80})) ? 0 : 3;
    }
    TestCamera test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_camera.moc"
