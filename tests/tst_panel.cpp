// What the sign-in window and the panel window share, the load step and the panel buttons, and
// the panel's own "重新登陆" and "安全退出".

#include "AppSetup.h"
#include "Database.h"
#include "Driving.h"
#include "Form.h"
#include "Forms.h"
#include "Maker.h"
#include "Module1.h"
#include "TestFolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString kNoDefaultPhoto =
    QStringLiteral("您的操作系统中暂时没有默认图片，请添加会员默认照片");

class StandIn : public Form
{};

} // namespace

class tst_panel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void loadStep_data();
    void loadStep();
    void makerButtons_data();
    void makerButtons();
    void passwordWindowOpensOnce_data();
    void passwordWindowOpensOnce();
    void mainWindowButtonsReplaceTheWindow_data();
    void mainWindowButtonsReplaceTheWindow();
    void signInAgainFromPanel();
    void endingTheProgram_data();
    void endingTheProgram();

private:
    // A store with operator admin / Abc123 and the default photo, signed in on the sign-in window;
    // returns the window with the panel buttons that the test asks for.
    static Form* openPanel(TestFolder& folder, const QString& form);
};

void tst_panel::initTestCase()
{
    AppSetup::registerWindows();
    // The member and address windows are not under test here; stand-ins show where c1 and c2 lead.
    Forms::instance().registerForm(QStringLiteral("xianshi"), [] { return new StandIn; });
    Forms::instance().registerForm(QStringLiteral("mail"), [] { return new StandIn; });
}

Form* tst_panel::openPanel(TestFolder& folder, const QString& form)
{
    folder.createStore(QStringLiteral("admin"), QStringLiteral("Abc123"));
    folder.makeDefaultPhoto();
    Form* window = Forms::instance().show(QStringLiteral("admin"));
    signInThrough(window, QStringLiteral("admin"), QStringLiteral("Abc123"));
    if (form == QLatin1String("admin"))
        return window;
    // To the member window and back, as its "回主 界面" does.
    QTest::mouseClick(findIn<QWidget>(window, "c1"), Qt::LeftButton);
    Forms::instance().unload(Forms::instance().find(QStringLiteral("xianshi")));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return Forms::instance().show(QStringLiteral("admin1"));
}

void tst_panel::loadStep_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("situation");
    QTest::addColumn<bool>("opens");
    for (const char* form : {"admin", "admin1"}) {
        const QString f = QString::fromLatin1(form);
        QTest::addRow("%s, first start", form) << f << "empty" << false;
        QTest::addRow("%s, default photo deleted", form) << f << "photoDeleted" << false;
        QTest::addRow("%s, photo folder missing", form) << f << "noPhotoFolder" << true;
        QTest::addRow("%s, file named 照片", form) << f << "photoFolderIsFile" << true;
    }
}

void tst_panel::loadStep()
{
    QFETCH(QString, form);
    QFETCH(QString, situation);
    QFETCH(bool, opens);
    TestFolder folder;
    folder.createStore();
    if (situation != QLatin1String("empty"))
        folder.makeDefaultPhoto();
    const QString photos = folder.path(QStringLiteral("照片"));
    if (situation == QLatin1String("photoDeleted"))
        QVERIFY(QFile::remove(folder.path(QStringLiteral("模版照片/1.jpg"))));
    if (situation == QLatin1String("noPhotoFolder") ||
        situation == QLatin1String("photoFolderIsFile"))
        QVERIFY(QDir(photos).removeRecursively());
    if (situation == QLatin1String("photoFolderIsFile")) {
        QFile file(photos);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    Module1::varLoginUser = QStringLiteral("admin");
    Module1::varLoginPwd = QStringLiteral("Abc123");
    Module1::RecordPhoto = QStringLiteral("x.jpg");
    DialogScript dialogs;

    Form* window = Forms::instance().show(form);

    QVERIFY(QFileInfo(folder.path(QStringLiteral("模版照片"))).isDir());
    if (situation == QLatin1String("photoFolderIsFile"))
        QVERIFY(QFileInfo(photos).isFile());
    else
        QVERIFY(QFileInfo(photos).isDir());
    if (opens) {
        QVERIFY(window && window->isVisible());
        QCOMPARE(shown(dialogs.get()), QList<Shown>());
        QCOMPARE(Forms::instance().find(QStringLiteral("tiantu")), nullptr);
    } else {
        QCOMPARE(window, nullptr);
        QCOMPARE(shown(dialogs.get()),
                 QList<Shown>{messageBox(kNoDefaultPhoto, QStringLiteral("系统显示"))});
        QCOMPARE(Forms::instance().find(form), nullptr);
        Form* photoWindow = Forms::instance().find(QStringLiteral("tiantu"));
        QVERIFY(photoWindow && photoWindow->isVisible());
    }
    // The sign-in window forgets the operator; the panel keeps them for "修改口令".
    const bool keeps = form == QLatin1String("admin1");
    QCOMPARE(Module1::varLoginUser, keeps ? QStringLiteral("admin") : QString());
    QCOMPARE(Module1::varLoginPwd, keeps ? QStringLiteral("Abc123") : QString());
    if (!keeps)
        QCOMPARE(Module1::RecordPhoto, QString());
}

void tst_panel::makerButtons_data()
{
    QTest::addColumn<QString>("form");
    QTest::newRow("sign-in window") << "admin";
    QTest::newRow("panel") << "admin1";
}

void tst_panel::makerButtons()
{
    QFETCH(QString, form);
    TestFolder folder;
    Form* window = openPanel(folder, form);
    QVERIFY(window);
    DialogScript dialogs;

    QTest::mouseClick(findIn<QPushButton>(window, "c3"), Qt::LeftButton);
    QTest::mouseClick(findIn<QPushButton>(window, "c4"), Qt::LeftButton);

    QVERIFY(Maker::kContactMail.contains(QLatin1Char('@')));
    QVERIFY(Maker::kWebPage.isValid() && !Maker::kWebPage.host().isEmpty());
    const QList<Shown> expected{
        messageBox(QStringLiteral("定做细则请写邮件发送至") + Maker::kContactMail,
                   QStringLiteral("软件开发")),
        {QStringLiteral("openUrl"), Maker::kWebPage.toString(), QString()}};
    QCOMPARE(shown(dialogs.get()), expected);
    QCOMPARE(Forms::instance().find(form), window);
    QVERIFY(window->isVisible());
}

void tst_panel::passwordWindowOpensOnce_data()
{
    makerButtons_data();
}

void tst_panel::passwordWindowOpensOnce()
{
    QFETCH(QString, form);
    TestFolder folder;
    Form* window = openPanel(folder, form);
    QVERIFY(window);
    auto* c5 = findIn<QPushButton>(window, "c5");

    QTest::mouseClick(c5, Qt::LeftButton);
    Form* change = Forms::instance().find(QStringLiteral("mimaxiugai"));
    QVERIFY(change && change->isVisible());
    QTest::keyClicks(findIn<QLineEdit>(change, "t1"), QStringLiteral("typed"));
    QTest::mouseClick(c5, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QCOMPARE(Forms::instance().find(QStringLiteral("mimaxiugai")), change);
    QCOMPARE(findIn<QLineEdit>(change, "t1")->text(), QStringLiteral("typed"));
    int open = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        open += w->objectName() == QLatin1String("mimaxiugai");
    QCOMPARE(open, 1);
    QCOMPARE(Forms::instance().find(form), window);
    QVERIFY(window->isVisible());
}

void tst_panel::mainWindowButtonsReplaceTheWindow_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("next");
    for (const char* form : {"admin", "admin1"}) {
        QTest::addRow("%s c1", form) << QString::fromLatin1(form) << "c1"
                                     << "xianshi";
        QTest::addRow("%s c2", form) << QString::fromLatin1(form) << "c2"
                                     << "mail";
    }
}

void tst_panel::mainWindowButtonsReplaceTheWindow()
{
    QFETCH(QString, form);
    QFETCH(QString, button);
    QFETCH(QString, next);
    TestFolder folder;
    Form* window = openPanel(folder, form);
    QVERIFY(window);
    const QPointer<Form> caller = window;

    QTest::mouseClick(window->findChild<QPushButton*>(button), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QVERIFY(!caller);
    QCOMPARE(Forms::instance().find(form), nullptr);
    Form* opened = Forms::instance().find(next);
    QVERIFY(opened && opened->isVisible());
}

void tst_panel::signInAgainFromPanel()
{
    TestFolder folder;
    DialogScript dialogs;
    Form* panel = openPanel(folder, QStringLiteral("admin1"));
    QVERIFY(panel);
    QCOMPARE(Forms::instance().find(QStringLiteral("admin")), nullptr);
    // The panel's load keeps the operator, so "修改口令" still knows who is signed in.
    QCOMPARE(Module1::varLoginUser, QStringLiteral("admin"));
    QCOMPARE(Module1::varLoginPwd, QStringLiteral("Abc123"));
    QTest::mouseClick(findIn<QPushButton>(panel, "c5"), Qt::LeftButton);
    QVERIFY(Forms::instance().find(QStringLiteral("mimaxiugai")));

    for (int round = 0; round < 2; ++round) {
        QTest::mouseClick(findIn<QPushButton>(panel, "Command2"), Qt::LeftButton);
        QCOMPARE(Forms::instance().find(QStringLiteral("admin1")), nullptr);
        Form* again = Forms::instance().find(QStringLiteral("admin"));
        QVERIFY(again && again->isVisible());
        QCOMPARE(signInStateMismatches(again, false), QStringList());
        QCOMPARE(findIn<QLineEdit>(again, "Text1")->text(), QString());
        QCOMPARE(findIn<QLineEdit>(again, "Text2")->text(), QString());
        QCOMPARE(Module1::varLoginUser, QString());
        QCOMPARE(Module1::varLoginPwd, QString());

        signInThrough(again, QStringLiteral("admin"), QStringLiteral("Abc123"));
        QCOMPARE(signInStateMismatches(again, true), QStringList());
        QTest::mouseClick(findIn<QPushButton>(again, "c1"), Qt::LeftButton);
        Forms::instance().unload(Forms::instance().find(QStringLiteral("xianshi")));
        panel = Forms::instance().show(QStringLiteral("admin1"));
        QVERIFY(panel);
    }
    QCOMPARE(shown(dialogs.get()), QList<Shown>());
}

void tst_panel::endingTheProgram_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("button");
    QTest::newRow("退出 on the sign-in window") << "admin"
                                                << "Command2";
    QTest::newRow("安全退出 on the panel") << "admin1"
                                           << "Command1";
}

void tst_panel::endingTheProgram()
{
    QFETCH(QString, form);
    QFETCH(QString, button);
    TestFolder folder;
    Form* window = openPanel(folder, form);
    QVERIFY(window);
    QTest::mouseClick(findIn<QPushButton>(window, "c5"), Qt::LeftButton);
    QVERIFY(Forms::instance().find(QStringLiteral("mimaxiugai")));
    QSignalSpy ended(&Forms::instance(), &Forms::ended);
    DialogScript dialogs;

    QTest::mouseClick(window->findChild<QPushButton*>(button), Qt::LeftButton);

    QCOMPARE(ended.size(), 1);
    QCOMPARE(Forms::instance().loaded(), QList<Form*>());
    QCOMPARE(shown(dialogs.get()), QList<Shown>());
}

QTEST_MAIN(tst_panel)
#include "tst_panel.moc"
