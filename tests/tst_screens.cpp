// Renders the sign-in, panel, password and default photo windows in their main states and checks
// their layout (ScreenChecks.h). The member, address and camera windows are in
// tst_screens_members.cpp.

#include "AppSetup.h"
#include "Form.h"
#include "Forms.h"
#include "PhotoBox.h"
#include "ScreenChecks.h"
#include "TestFolder.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadialGradient>
#include <QTest>

using ScreenChecks::Layout;

namespace {
// The sign-in window and the panel share their size and their red-captioned frame.
Layout signInLayout()
{
    return ScreenChecks::sized(7245, 4155, {QStringLiteral("Frame1")});
}
Layout tiantuLayout()
{
    return ScreenChecks::sized(5820, 3900, {QStringLiteral("Frame1")});
}
} // namespace

class TestScreens : public QObject
{
    Q_OBJECT

    Form* showWindow(const QString& name)
    {
        Form* window = Forms::instance().show(name);
        if (window && !QTest::qWaitForWindowExposed(window))
            return nullptr;
        return window;
    }
    Form* signInTyped()
    {
        folder->createStore(QStringLiteral("admin"), QStringLiteral("123456"));
        Form* window = showWindow(QStringLiteral("admin"));
        if (window) {
            QTest::keyClicks(window->findChild<QLineEdit*>(QStringLiteral("Text1")),
                             QStringLiteral("admin"));
            QTest::keyClicks(window->findChild<QLineEdit*>(QStringLiteral("Text2")),
                             QStringLiteral("123456"));
        }
        return window;
    }

    std::unique_ptr<DialogScript> dialogs;
    std::unique_ptr<TestFolder> folder;

private slots:
    void initTestCase()
    {
        AppSetup::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        AppSetup::registerWindows();
    }
    void init()
    {
        dialogs = std::make_unique<DialogScript>();
        folder = std::make_unique<TestFolder>();
        folder->makeDefaultPhoto();
    }
    void cleanup()
    {
        // No window may have complained on its way to the state shown.
        const QStringList texts = dialogs->get().messageTexts();
        folder.reset();
        dialogs.reset();
        QVERIFY2(texts.isEmpty(), qPrintable(texts.join(QLatin1Char('\n'))));
    }

    void signInWindow();
    void signedInWindow();
    void panelWindow();
    void passwordChangeWindow();
    void defaultPhotoWindowEmpty();
    void defaultPhotoWindowWithPicture();
};

void TestScreens::signInWindow()
{
    Form* window = signInTyped();
    QVERIFY(window);
    QVERIFY(window->findChild<QLabel*>(QStringLiteral("Label1"))->isVisible());
    ScreenChecks::inspect(window, signInLayout(), QStringLiteral("admin-signin.png"));
}

void TestScreens::signedInWindow()
{
    Form* window = signInTyped();
    QVERIFY(window);
    window->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    QVERIFY(window->findChild<QLabel*>(QStringLiteral("Label4"))->isVisible());
    QVERIFY(window->findChild<QPushButton*>(QStringLiteral("c1"))->isVisible());
    ScreenChecks::inspect(window, signInLayout(), QStringLiteral("admin-signedin.png"));
}

void TestScreens::panelWindow()
{
    Form* window = showWindow(QStringLiteral("admin1"));
    QVERIFY(window);
    ScreenChecks::inspect(window, signInLayout(), QStringLiteral("admin1.png"));
}

void TestScreens::passwordChangeWindow()
{
    Form* window = showWindow(QStringLiteral("mimaxiugai"));
    QVERIFY(window);
    QTest::keyClicks(window->findChild<QLineEdit*>(QStringLiteral("t1")), QStringLiteral("123456"));
    for (QLineEdit* box : window->findChildren<QLineEdit*>(QStringLiteral("txtNewPWD")))
        box->setText(QStringLiteral("新口令 Qg"));
    ScreenChecks::inspect(window, ScreenChecks::sized(4395, 3090),
                          QStringLiteral("mimaxiugai.png"));
}

void TestScreens::defaultPhotoWindowEmpty()
{
    Form* window = showWindow(QStringLiteral("tiantu"));
    QVERIFY(window);
    ScreenChecks::inspect(window, tiantuLayout(), QStringLiteral("tiantu-empty.png"));
}

void TestScreens::defaultPhotoWindowWithPicture()
{
    // A landscape picture with something to recognise, so a stretched or cut preview shows.
    QImage picture(400, 300, QImage::Format_RGB32);
    QPainter painter(&picture);
    QRadialGradient sky(200, 150, 220);
    sky.setColorAt(0, QColor(250, 220, 120));
    sky.setColorAt(1, QColor(40, 90, 160));
    painter.fillRect(picture.rect(), sky);
    painter.setBrush(QColor(30, 140, 60));
    painter.drawEllipse(QPoint(200, 150), 100, 100);
    painter.end();
    const QString file = folder->path(QStringLiteral("picture.jpg"));
    QVERIFY(picture.save(file, "JPEG"));

    Form* window = showWindow(QStringLiteral("tiantu"));
    QVERIFY(window);
    dialogs->get().files.append(file);
    window->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    QVERIFY(!window->findChild<PhotoBox*>(QStringLiteral("Picture1"))->isEmpty());
    ScreenChecks::inspect(window, tiantuLayout(), QStringLiteral("tiantu-picture.png"));
}

QTEST_MAIN(TestScreens)
#include "tst_screens.moc"
