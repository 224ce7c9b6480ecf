// The camera window on a machine without a video input: it opens beside the member window,
// empty and silent, once however often it is asked for, and goes when it is closed.

#include "AppSetup.h"
#include "MemberWindow.h"
#include "Module1.h"
#include "TestFolder.h"
#include "Twips.h"
#include "WindowChecks.h"
#include "shipin.h"

#include <QApplication>
#include <QCameraDevice>
#include <QMediaDevices>
#include <QPointer>
#include <QTest>

using namespace MemberTests;

namespace {

shipin* cameraWindow()
{
    return qobject_cast<shipin*>(Forms::instance().find(QStringLiteral("shipin")));
}

int cameraWindowsOnScreen()
{
    int count = 0;
    for (QWidget* window : QApplication::topLevelWidgets())
        count += qobject_cast<shipin*>(window) && window->isVisible() ? 1 : 0;
    return count;
}

} // namespace

class TestCamera : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!QMediaDevices::videoInputs().isEmpty())
            QSKIP("this machine has a video input; these tests are about a machine without one");
        AppSetup::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        AppSetup::registerWindows();
    }
    void init()
    {
        folder = std::make_unique<TestFolder>();
        folder->createStore();
        folder->makeDefaultPhoto();
        addMembers(*folder, 25);
    }
    void cleanup()
    {
        closeAllForms();
        folder.reset();
    }

    void opensWithoutPreviewOrMessage();
    void layoutInTwips();
    void secondPressKeepsOneWindow();
    void closingUnloadsOnlyTheCameraWindow();

private:
    std::unique_ptr<TestFolder> folder;
};

void TestCamera::opensWithoutPreviewOrMessage()
{
    DialogScript dialogs;
    const Window w = openWindow();
    QVERIFY(w.ok());
    // Left over from an earlier load; every load decides afresh.
    int stale = 0;
    Module1::hCapWnd = &stale;

    w.click("Command15");

    shipin* camera = cameraWindow();
    QVERIFY(camera);
    QVERIFY(camera->isVisible());
    QCOMPARE(camera->windowTitle(), QStringLiteral("视频监控"));
    QVERIFY(!camera->isPreviewing());
    for (QWidget* child : camera->findChildren<QWidget*>())
        QVERIFY2(!child->inherits("QVideoWidget"), qPrintable(child->objectName()));
    QCOMPARE(Module1::hCapWnd, nullptr);
    QCOMPARE(dialogs->calls.size(), 0);
}

void TestCamera::layoutInTwips()
{
    DialogScript dialogs;
    openWindow().click("Command15");
    shipin* camera = cameraWindow();
    QVERIFY(camera);
    QCOMPARE(camera->size(), QSize(Twips::toPixels(4080), Twips::toPixels(3015)));
    QWidget* pic = camera->findChild<QWidget*>(QStringLiteral("Pic"));
    QVERIFY(pic);
    QCOMPARE(pic->parentWidget(), camera);
    QCOMPARE(pic->geometry(), Twips::rect(0, 0, 4095, 3015));
}

void TestCamera::secondPressKeepsOneWindow()
{
    DialogScript dialogs;
    const Window w = openWindow();
    w.click("Command15");
    const QPointer<shipin> first = cameraWindow();
    QVERIFY(first);

    w.click("Command15");
    WindowChecks::settle();

    QCOMPARE(cameraWindow(), first.data());
    QCOMPARE(cameraWindowsOnScreen(), 1);
    QCOMPARE(Forms::instance().loaded().size(), 2);
    QCOMPARE(dialogs->calls.size(), 0);

    // The member window stays loaded and keeps working beside it.
    QCOMPARE(Forms::instance().find(QStringLiteral("xianshi")), w.form);
    QVERIFY(w.form->isVisible());
    w.click("Command8");
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("2/3"));
    w.select(0);
    QCOMPARE(w.t8->text(), QString::number(storedIdsNewestFirst(*folder).at(10)));
    QCOMPARE(dialogs->calls.size(), 0);
}

void TestCamera::closingUnloadsOnlyTheCameraWindow()
{
    DialogScript dialogs;
    const Window w = openWindow();
    w.click("Command15");
    const QPointer<shipin> first = cameraWindow();
    QVERIFY(first);

    first->close();
    WindowChecks::settle();

    QVERIFY(!first);
    QCOMPARE(cameraWindow(), nullptr);
    QCOMPARE(Forms::instance().find(QStringLiteral("xianshi")), w.form);
    QCOMPARE(Module1::hCapWnd, nullptr);

    // Asked for again, it is loaded afresh.
    w.click("Command15");
    QVERIFY(cameraWindow());
    QVERIFY(!cameraWindow()->isPreviewing());
    QCOMPARE(cameraWindowsOnScreen(), 1);
    QCOMPARE(dialogs->calls.size(), 0);
}

QTEST_MAIN(TestCamera)
#include "tst_camera.moc"
