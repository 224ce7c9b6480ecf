// The photo rule, the photo box, and the first start without a default photo.

#include "AppSetup.h"
#include "FitPhoto.h"
#include "Forms.h"
#include "PhotoBox.h"
#include "ProgramFolder.h"
#include "TestFolder.h"
#include "WindowChecks.h"
#include "tiantu.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>

#include <unistd.h>

using namespace WindowChecks;
using Icon = Dialogs::Icon;

namespace {
const QString kNoDefault = QStringLiteral("您的操作系统中暂时没有默认图片，请添加会员默认照片");
const QString kSaved = QStringLiteral("会员默认照片保存成功");

bool isDirectory(const QString& path)
{
    return QFileInfo(path).isDir();
}

void pick(DialogScript& dialogs, QWidget* window, const QString& file)
{
    dialogs->files.append(file);
    click(window, "Command1");
}
} // namespace

class TestPhotos : public QObject
{
    Q_OBJECT

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
    QTest::newRow("landscape fills the width")
        << QSizeF(400, 300) << memberBox << QRectF(0, 571.875, 2175, 1631.25);
    // 2775 / 600 = 4.625; 300 * 4.625 = 1387.5; (2175 - 1387.5) / 2 = 393.75
    QTest::newRow("portrait fills the height")
        << QSizeF(300, 600) << memberBox << QRectF(393.75, 0, 1387.5, 2775);
    // 87 x 111 is 2175 x 2775 divided by 25.
    QTest::newRow("box proportions fill the box")
        << QSizeF(87, 111) << memberBox << QRectF(0, 0, 2175, 2775);
    QTest::newRow("tiny landscape is enlarged")
        << QSizeF(4, 3) << memberBox << QRectF(0, 571.875, 2175, 1631.25);
    QTest::newRow("single pixel is enlarged")
        << QSizeF(1, 1) << QSizeF(100, 50) << QRectF(25, 0, 50, 50);
    QTest::newRow("larger than the box shrinks")
        << QSizeF(4000, 1000) << QSizeF(200, 100) << QRectF(0, 25, 200, 50);
    QTest::newRow("thin strip stays in the box")
        << QSizeF(10000, 1) << QSizeF(100, 100) << QRectF(0, 49.995, 100, 0.01);
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

    box.drawFitted(flat(QSize(400, 100), Qt::red));  // a band 200 x 50 across the middle
    box.drawFitted(flat(QSize(100, 400), Qt::blue)); // a column 40 x 160 in the middle
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
    QCOMPARE(described(dialogs->messages().first()),
             notice(kNoDefault, QStringLiteral("系统显示")));
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
        QFile::setPermissions(folder.root(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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
