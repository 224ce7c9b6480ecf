// The default photo window, the rule that fits a picture into a box and the photo box drawing by
// it, and the camera window on a machine without a camera.

#include "AppSetup.h"
#include "Driving.h"
#include "FitPhoto.h"
#include "MemberWindow.h"
#include "Module1.h"
#include "ProgramFolder.h"
#include "RecordFixture.h"
#include "WindowChecks.h"

#include <QBuffer>
#include <QCameraDevice>
#include <QDir>
#include <QMediaDevices>
#include <QPointer>

#include <optional>

using namespace Qt::StringLiterals;
using namespace WindowChecks;
using RecordTests::summaries;

namespace {

const QString kHint = u"系统提示"_s;
const QString kPickFirst = RecordTests::line(u"请先选择会员默认照片"_s, kHint);
const QString kSaved = RecordTests::line(u"会员默认照片保存成功"_s, kHint);
const QString kSaveFailed = RecordTests::critical(u"会员默认照片保存失败："_s, kHint);

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden);
}

// A message that names the file, as every refusal and failure here does.
void checkNames(const ScriptedDialogs::Call& call, const QString& file)
{
    QVERIFY2(call.text.contains(QDir::toNativeSeparators(file)), qPrintable(call.text));
}

// The window's refusal of a file that is no picture: it names the file and says it was not taken.
void checkRefusal(const ScriptedDialogs::Call& call, const QString& file)
{
    QCOMPARE(described(call),
             described(
                 {call.kind, call.text, kHint, Dialogs::Icon::Critical, Dialogs::Buttons::Ok, {}}));
    checkNames(call, file);
    QVERIFY2(call.text.endsWith(u"\n未选用此文件。"_s), qPrintable(call.text));
}

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

    void fitPhoto_data()
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
        row("larger than the box shrinks", {4000, 1000}, {200, 100}, {0, 25, 200, 50});
        row("thin strip stays in the box", {10000, 1}, {100, 100}, {0, 49.995, 100, 0.01});
        row("picture without width", {0, 300}, memberBox);
        row("picture without height", {400, 0}, memberBox);
        row("negative picture", {-400, -300}, memberBox);
        row("box without width", {400, 300}, {0, 2775});
        row("box without height", {400, 300}, {2175, 0});
    }
    void fitPhoto()
    {
        QFETCH(QSizeF, picture);
        QFETCH(QSizeF, box);
        QFETCH(QRectF, expected);
        QCOMPARE(FitPhoto(picture, box), expected);
    }

    void photoBoxDrawsOverWhatItShows()
    {
        QWidget holder;
        auto* box = new PhotoBox(&holder);
        box->setGeometry(10, 10, 204, 164); // 200 x 160 inside the 2-pixel frame
        const QRgb empty = box->surface().pixel(0, 0);
        // Drawn before the box was ever shown: a band 200 x 50 across the middle.
        box->drawFitted(flat(QSize(400, 100), Qt::red));
        holder.show();
        QVERIFY(QTest::qWaitForWindowExposed(&holder));
        QCOMPARE(box->lastTarget(), QRectF(0, 55, 200, 50));
        // What the operator sees, not only what the box holds.
        QCOMPARE(box->grab().toImage().pixel(box->contentsRect().center()), qRgb(255, 0, 0));

        box->drawFitted(flat(QSize(100, 400), Qt::blue)); // a column 40 x 160 in the middle
        QCOMPARE(box->lastTarget(), QRectF(80, 0, 40, 160));
        // The wide picture still shows either side of the narrow one; elsewhere the box is empty.
        const QImage& s = box->surface();
        QCOMPARE(
            (QList<QRgb>{s.pixel(100, 80), s.pixel(10, 80), s.pixel(190, 80), s.pixel(10, 10)}),
            (QList<QRgb>{qRgb(0, 0, 255), qRgb(255, 0, 0), qRgb(255, 0, 0), empty}));
        box->clear();
        QVERIFY(box->isEmpty() && box->lastTarget().isEmpty());
        QCOMPARE(box->surface(), flat(QSize(200, 160), QColor(empty)));
    }

    void pickAndSave_data()
    {
        QTest::addColumn<QString>("name"); // empty: the dialog is cancelled
        QTest::addColumn<QSize>("size");   // of a real JPEG; invalid: the bytes below
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("outcome"); // of picking, or what breaks before the save
        // Noise, so that most of the file is picture data and the cut falls inside it.
        QImage noise(300, 200, QImage::Format_RGB32);
        for (int y = 0; y < noise.height(); ++y)
            for (int x = 0; x < noise.width(); ++x)
                noise.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * y) % 256, (x ^ y) % 256));
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        noise.save(&buffer, "JPEG");
        const auto row = [](const char* tag, const char* name, QSize size, const char* outcome,
                            const QByteArray& bytes = {}) {
            QTest::newRow(tag) << QString(name) << size << bytes << QString(outcome);
        };
        row("cancelled", "", {}, "ignored");
        row("4:3 landscape", "photo.jpg", {400, 300}, "taken");
        row("portrait", "photo.jpg", {300, 600}, "taken");
        row("box proportions", "photo.jpg", {0, 0}, "taken"); // twice the box, set below
        row("upper case extension", "other.JPG", {400, 300}, "ignored");
        row("mixed case extension", "other.Jpg", {400, 300}, "ignored");
        row("jpeg extension", "other.jpeg", {400, 300}, "ignored");
        row("no extension", "otherjpg", {400, 300}, "ignored");
        row("text", "x.jpg", {}, "refused", "not a picture at all\n");
        row("empty file", "x.jpg", {}, "refused");
        row("header only", "x.jpg", {}, "refused", jpeg.left(40));
        row("cut in the picture data", "x.jpg", {}, "refused", jpeg.left(jpeg.size() * 2 / 3));
        row("picked file deleted", "photo.jpg", {400, 300}, "deleted");
        row("template folder is a file", "photo.jpg", {400, 300}, "in the way");
        row("template folder read-only", "photo.jpg", {400, 300}, "read-only");
    }
    void pickAndSave()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, outcome);
        DialogScript dialogs;
        TestFolder folder;
        const QString templates = ProgramFolder::templateFolder();
        const QByteArray oldBytes = bytesOf(folder.makeDefaultPhoto());
        PhotoWindow w;
        const QSize inner = w.box->innerSize();
        size = size.isEmpty() && size.isValid() ? inner * 2 : size;
        QString file;
        if (size.isValid())
            file = folder.makeJpeg(u"picked/"_s + name, size, Qt::red);
        else if (!name.isEmpty())
            QVERIFY(writeBytes(file = folder.path(name), bytes));

        w.pick(dialogs, file);

        QCOMPARE(dialogs->calls.size(), outcome == "refused"_L1 ? 2 : 1);
        const ScriptedDialogs::Call asked = dialogs->calls.first();
        QCOMPARE(asked.kind + u'|' + asked.title + u'|' + asked.filter,
                 u"openFile|选择图片文件|图片（*.jpg）|*.jpg"_s);
        if (outcome == "refused"_L1)
            checkRefusal(dialogs->calls.last(), file);
        const bool taken = outcome != "ignored"_L1 && outcome != "refused"_L1;
        QCOMPARE(w.box->isEmpty(), !taken);
        if (taken) {
            const QRectF target = w.box->lastTarget();
            QCOMPARE(target, FitPhoto(size, inner));
            QVERIFY(near(w.box->surface().pixel(target.center().toPoint()), Qt::red));
        }
        QString named = ProgramFolder::defaultPhoto(); // the file a failure has to name
        std::optional<RecordTests::ReadOnlyFolder> readOnly;
        if (outcome == "deleted"_L1)
            QVERIFY(QFile::remove(named = file));
        if (outcome == "in the way"_L1)
            QVERIFY(QDir(templates).removeRecursively() && writeBytes(templates, "in the way"));
        if (outcome == "read-only"_L1 && !readOnly.emplace(templates).effective())
            QSKIP("permissions do not bind this user");
        dialogs->clear();

        press(w.form, "Command3");
        settle();

        const bool saves = outcome == "taken"_L1;
        QCOMPARE(summaries(dialogs->calls), QStringList{saves   ? kSaved
                                                        : taken ? kSaveFailed
                                                                : kPickFirst});
        if (taken && !saves)
            checkNames(dialogs->calls.first(), named);
        if (outcome == "in the way"_L1) {
            QCOMPARE(bytesOf(templates), "in the way");
        } else {
            QCOMPARE(bytesOf(ProgramFolder::defaultPhoto()), saves ? bytesOf(file) : oldBytes);
            QCOMPARE(entries(templates), QStringList{u"1.jpg"_s});
        }
        // Saving leads back to the sign-in window, ready for a name; otherwise the window stays.
        QCOMPARE(loadedNames(), QStringList{saves ? u"admin"_s : u"tiantu"_s});
        QVERIFY(!saves || signInState(loadedForm(u"admin"_s)).startsWith(u"signing in|"_s));
    }

    void laterPicksKeepTheTakenPicture()
    {
        DialogScript dialogs;
        TestFolder folder;
        folder.makeDefaultPhoto();
        const QString first = folder.makeJpeg(u"first.jpg"_s, {300, 600}, Qt::red);
        const QString other = folder.makeJpeg(u"other.JPG"_s, {400, 300}, Qt::blue);
        const QString junk = folder.path(u"junk.jpg"_s);
        PhotoWindow w;
        QVERIFY(writeBytes(junk, "not a picture"));
        w.pick(dialogs, first);
        press(w.form, "Command2");
        QVERIFY(w.box->isEmpty());
        // The dialog still holds the earlier file, so a cancel draws it again.
        w.pick(dialogs, QString());
        QCOMPARE(w.box->lastTarget(), FitPhoto(QSizeF(300, 600), w.box->innerSize()));
        const QImage preview = w.box->surface();
        w.pick(dialogs, other);
        QCOMPARE(dialogs->messages().size(), 0);
        w.pick(dialogs, junk);
        QCOMPARE(dialogs->messages().size(), 1);
        checkRefusal(dialogs->messages().first(), junk);
        QCOMPARE(w.box->surface(), preview);

        dialogs->clear();
        press(w.form, "Command3");
        QCOMPARE(summaries(dialogs->calls), QStringList{kSaved});
        QCOMPARE(bytesOf(ProgramFolder::defaultPhoto()), bytesOf(first));
    }

    void cameraWindowWithoutVideoInput()
    {
        if (!QMediaDevices::videoInputs().isEmpty())
            QSKIP("this machine has a video input; this test is about a machine without one");
        DialogScript dialogs;
        TestFolder folder;
        folder.createStore();
        folder.makeDefaultPhoto();
        MemberTests::addMembers(folder, 3);
        Form* members = Forms::instance().show(u"xianshi"_s);
        // Left over from an earlier load; every load decides afresh.
        int stale = 0;
        Module1::hCapWnd = &stale;

        press(members, "Command15");

        // Beside the member window, empty and silent: no preview rather than a test picture.
        const QPointer<Form> camera = loadedForm(u"shipin"_s);
        QCOMPARE(loadedNames(), (QStringList{u"shipin"_s, u"xianshi"_s}));
        QCOMPARE(camera->windowTitle(), u"视频监控"_s);
        for (QWidget* child : camera->findChildren<QWidget*>())
            QVERIFY2(!child->inherits("QVideoWidget"), qPrintable(child->objectName()));
        QVERIFY(findIn<QWidget>(camera, "Pic")->geometry().contains(camera->rect()));
        QCOMPARE(Module1::hCapWnd, nullptr);
        // Asked for again, the one window stays; closed, only it goes, to be loaded afresh.
        press(members, "Command15");
        QCOMPARE(loadedForm(u"shipin"_s), camera.data());
        camera->close();
        settle();
        QCOMPARE(loadedNames(), QStringList{u"xianshi"_s});
        QVERIFY(camera.isNull() && !Module1::hCapWnd);
        press(members, "Command15");
        QCOMPARE(loadedNames(), (QStringList{u"shipin"_s, u"xianshi"_s}));
        QCOMPARE(dialogs->calls.size(), 0);
    }
};

QTEST_MAIN(tst_photo_windows)
#include "tst_photo_windows.moc"
