// A first start in a program folder without a store: the window that makes a new store or
// imports an older register's folder (hd.mdb from the writer of older register files), and what
// opens after it.

#include "Accounts.h"
#include "AdminTool.h"
#include "AppSetup.h"
#include "FileChecks.h"
#include "Form.h"
#include "Forms.h"
#include "ProgramFolder.h"
#include "RecordFixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>

#include <optional>

using namespace Qt::StringLiterals;

// Presses the cancel button of a progress dialog as it shows, before the import starts.
struct CancelWhenShown : QObject
{
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (qobject_cast<QProgressDialog*>(watched) && event->type() == QEvent::Show)
            watched->findChild<QPushButton*>()->click();
        return false;
    }
};

class tst_first_start : public QObject
{
    Q_OBJECT

    QTemporaryDir older; // an older register's folder with its default photo, no member's photo

private slots:
    void initTestCase()
    {
        AppSetup::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        AppSetup::registerWindows();
        TestFolder().makeJpeg(older.filePath(u"模版照片/1.jpg"_s));
        QProcess python;
        python.start("python3", {"-c", RecordTests::bytesOf(u":/make_legacy_mdb.py"_s),
                                 older.filePath("hd.mdb"), "--members=200", "--shared-phones=150"});
        QVERIFY(python.waitForFinished(60000) && python.exitCode() == 0);
    }

    // Whatever holds the store's name starts as before: the sign-in says what is wrong with it.
    void brokenStoreStartsSignIn()
    {
        const TestFolder folder;
        writeFile(folder.path(u"hd.db"_s), "not a database");
        QCOMPARE(AppSetup::firstWindow(), u"admin"_s);
    }

    // A button pressed after typing the operator (name, password, again) or with the folder the
    // picker answers (%1 the program folder); how the one message that follows starts; the window
    // left, or the box that takes the focus when the store is refused. The read-only folder runs
    // again unprivileged, where the permission really refuses.
    void press_data()
    {
        // Columns: acts, says, left
        dataColumns<QStringList, QString, QString>();
        const QString import = u"importButton"_s;
        QTest::newRow("made") << QStringList{"make", " 张经理 ", "Abc 123", "Abc 123"}
                              << u"数据库已建立，请用操作员《张经理》登陆"_s << "admin";
        QTest::newRow("blank name") << QStringList{"make", " ", "a", "a"}
                                    << u"用户名不能为空，请输入操作员的用户名！"_s << "name";
        QTest::newRow("blank password") << QStringList{"make", "admin", "  ", "  "}
                                        << u"口令不能为空，请重新输入！"_s << "password";
        QTest::newRow("passwords differ") << QStringList{"make", "admin", "a", "b"}
                                          << u"两次输入的口令不同，请重新输入！"_s << "password";
        QTest::newRow("read-only folder")
            << QStringList{"make", "admin", "a", "a"} << u"无法在文件夹 %1 中写入："_s << "name";
        QTest::newRow("imported") << QStringList{import, older.path()} << u"导入完成"_s << "admin";
        QTest::newRow("picker cancelled") << QStringList{import, ""} << QString() << "FirstStart";
        QTest::newRow("folder without hd.mdb")
            << QStringList{import, "%1"} << u"文件夹 %1 中没有 hd.mdb，未作改动"_s << "FirstStart";
        QTest::newRow("cancelled while it runs") << QStringList{import, older.path(), "cancel"}
                                                 << u"导入已取消，未作改动"_s << "FirstStart";
        QTest::newRow("quit") << QStringList{"quit"} << QString() << QString();
    }
    void press()
    {
        const auto [acts, says, left] = dataRow<QStringList, QString, QString>();
        DialogScript dialogs;
        TestFolder folder;
        // An import needs its photo folders empty; the sign-in after a made store, a default photo.
        const bool making = acts[0] == "make"_L1;
        if (making)
            folder.makeDefaultPhoto();
        std::optional<RecordTests::ReadOnlyFolder> readOnly;
        if (says.contains(u"写入"_s) && !readOnly.emplace(folder.root()).effective())
            QSKIP("permissions do not bind this user");
        Form* window = Forms::instance().show(AppSetup::firstWindow());
        for (qsizetype i = 1; making && i < acts.size(); ++i)
            window->findChildren<QLineEdit*>()[i - 1]->insert(acts[i]);
        dialogs->folders << withPath(acts.value(1), folder.root());
        CancelWhenShown canceller;
        if (acts.contains(u"cancel"_s))
            qApp->installEventFilter(&canceller);
        const Snapshot before = snapshot(folder.root());
        window->findChild<QPushButton*>(acts[0])->click();

        const QList<ScriptedDialogs::Call> said = dialogs->messages();
        QCOMPARE(said.size(), says.isEmpty() ? 0 : 1);
        QVERIFY(said.value(0).text.startsWith(withPath(says, folder.root())));
        QStringList windows;
        for (Form* form : Forms::instance().loaded())
            windows << (form == window && making ? window->focusWidget() : form)->objectName();
        QCOMPARE(windows.join(u' '), left);
        // Only what opens the sign-in writes: a made store is all that is new, an import brings
        // its photo folders too.
        Snapshot after = snapshot(folder.root());
        QCOMPARE(after.take(u"hd.db"_s).isEmpty(), left != "admin"_L1);
        QCOMPARE(after == before, left != "admin"_L1 || making);
        if (making && left == "admin"_L1)
            QCOMPARE(Accounts::verify(folder.open(), u"张经理"_s, acts[2]).value(),
                     Accounts::Verdict::Match);
        // Eight lines of counts, then one for each shared telephone: 20 listed, the rest counted.
        const QStringList report = said.value(0).text.split(u'\n');
        if (report.size() > 1)
            QCOMPARE(report.mid(28), QStringList{u"  ……另有 %1 个"_s.arg(
                                         report[7].section(u'：', 1).chopped(2).toInt() - 20)});
    }

    // Which program folder a start uses; a malformed command line says why and starts nothing.
    void folderOfTheStart_data()
    {
        // Columns: arguments, problem (%1 the folder named, %2 the user's data folder)
        dataColumns<QStringList, QString>();
        QTest::newRow("named") << QStringList{u"--data-dir"_s, u"%1"_s} << QString();
        QTest::newRow("none named") << QStringList() << QString();
        QTest::newRow("named, missing")
            << QStringList{u"--data-dir"_s, u"%1/无"_s} << u"文件夹 %1/无 不存在"_s;
        QTest::newRow("no folder after")
            << QStringList{u"--data-dir"_s} << u"--data-dir 后面缺少文件夹"_s;
        QTest::newRow("unknown") << QStringList{u"--datadir"_s, u"x"_s}
                                 << u"无法识别的参数：datadir"_s;
    }
    void folderOfTheStart()
    {
        auto [arguments, problem] = dataRow<QStringList, QString>();
        const TestFolder named, home;
        qputenv("XDG_DATA_HOME", home.root().toLocal8Bit());
        const QString user = home.path(u"Talvio"_s);
        for (QString& a : arguments)
            a = a.arg(named.root());
        QString said;
        QCOMPARE(AppSetup::applyArguments(QStringList{u"talvio"_s} + arguments, &said),
                 problem.isEmpty());
        QCOMPARE(said, problem.arg(named.root()));
        // The user's data folder is made only when it is the one chosen.
        QCOMPARE(QFileInfo(user).isDir(), arguments.isEmpty());
        if (problem.isEmpty())
            QCOMPARE(ProgramFolder::root(), arguments.isEmpty() ? user : named.root());
        // A folder beside the program that holds a store is a portable one and comes first.
        writeFile(named.path(u"hd.db"_s), "");
        QCOMPARE(ProgramFolder::defaultRoot(named.root(), user), named.root());
        QCOMPARE(ProgramFolder::defaultRoot(home.root(), user), user);
    }

    // talvio-admin's folder may be left out: then --data-dir or the same rule names it.
    void adminFolderLeftOut()
    {
        const TestFolder home;
        const QString user = home.path(u"Talvio"_s);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_DATA_HOME"_s, home.root());
        const auto admin = [&](const QStringList& arguments, int exitCode, const QString& text) {
            runAdmin(arguments, exitCode, text, env);
        };
        admin({u"--version"_s}, 0, u"talvio-admin " TALVIO_VERSION "\n"_s);
        admin({u"--help"_s}, 0, u"不写 DIR 时"_s);
        admin({u"demo"_s, u"--members"_s, u"2"_s}, 0, u"已创建演示文件夹 "_s + user);
        admin({u"check"_s}, 0, u"未发现问题"_s);
        admin({u"backup"_s, u"--data-dir"_s, user}, 0, u"已备份："_s);
        admin({u"snapshots"_s, user}, 0, u"\t手动\t会员 2\t"_s);
        // Two folders, an option of another command, a missing argument.
        admin({u"snapshots"_s, user, u"--data-dir"_s, user}, 2, u"用法："_s);
        admin({u"check"_s, u"--members"_s, u"3"_s}, 2, u"用法："_s);
        admin({u"restore"_s}, 2, u"用法："_s);
    }
};

QTEST_MAIN(tst_first_start)
#include "tst_first_start.moc"
