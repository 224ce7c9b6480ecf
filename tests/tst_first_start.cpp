// A first start in a program folder without a store: the window that makes a new store or
// imports an older register's folder (hd.mdb from the writer of older register files, photos
// made with QImage), and what opens after it.

#include "Accounts.h"
#include "AppSetup.h"
#include "FileChecks.h"
#include "Form.h"
#include "Forms.h"
#include "RecordFixture.h"
#include "WindowChecks.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QSignalSpy>

#include <optional>

using namespace Qt::StringLiterals;
using RecordTests::line, RecordTests::summaries;

// Presses the cancel button of a progress dialog as soon as it shows.
class CancelWhenShown : public QObject
{
public:
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

    std::optional<TestFolder> folder;
    DialogScript dialogs;
    QTemporaryDir tools;
    QString writer = tools.filePath(u"make_legacy_mdb.py"_s);

    static QStringList loadedNames()
    {
        QStringList names;
        for (Form* form : Forms::instance().loaded())
            names << form->objectName();
        names.sort();
        return names;
    }
    static Form* start()
    {
        Form* window = Forms::instance().show(AppSetup::firstWindow());
        WindowChecks::settle();
        return window;
    }
    // Types the name, the password and the password again.
    static void type(Form* window, const QStringList& typed)
    {
        for (int i = 0; i < 3; ++i)
            window->findChild<QLineEdit*>(QStringList{"name", "password", "again"}[i])
                ->insert(typed[i]);
    }
    // An older register's folder from the writer, with the default photo and no member's photo
    // (the import's own tests follow the photos); answers the writer's rows.
    QJsonObject makeOlderFolder(const QString& source, const QStringList& writerArgs)
    {
        QDir().mkpath(source + u"/照片"_s);
        folder->makeJpeg(source + u"/模版照片/1.jpg"_s);
        QProcess python;
        python.start(u"python3"_s, QStringList{writer, source + u"/hd.mdb"_s} + writerArgs);
        if (!python.waitForFinished(60000) || python.exitCode() != 0)
            qFatal("writer failed: %s", python.readAllStandardError().constData());
        const QJsonObject tables =
            QJsonDocument::fromJson(RecordTests::bytesOf(source + u"/hd.mdb.json"_s))
                .object()["tables"]
                .toObject();
        return tables;
    }

private slots:
    void initTestCase()
    {
        AppSetup::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        AppSetup::registerWindows();
        QVERIFY(QFile::copy(u":/make_legacy_mdb.py"_s, writer));
    }
    void init() { folder.emplace(); }
    void cleanup()
    {
        folder.reset();
        dialogs->clear();
        dialogs->folders.clear();
    }

    void showsOnlyWithoutStore_data()
    {
        QTest::addColumn<QString>("store");
        QTest::addColumn<QString>("shown");
        QTest::newRow("no store") << QString() << u"FirstStart"_s;
        QTest::newRow("a store") << u"made"_s << u"admin"_s;
        QTest::newRow("a broken store") << u"junk"_s << u"admin"_s;
    }
    void showsOnlyWithoutStore()
    {
        QFETCH(QString, store);
        QFETCH(QString, shown);
        folder->makeDefaultPhoto();
        if (store == "made"_L1)
            folder->createStore();
        else if (store == "junk"_L1)
            writeFile(folder->path(u"hd.db"_s), "not a database");
        start();
        QCOMPARE(loadedNames(), QStringList{shown});
        QVERIFY(dialogs->calls.isEmpty());
    }

    // Made without a default photo, the sign-in's load step asks for one as on any first start.
    void makeStoreThenSignIn_data()
    {
        QTest::addColumn<bool>("defaultPhoto");
        QTest::addColumn<QString>("next");
        QTest::newRow("default photo there") << true << u"admin"_s;
        QTest::newRow("no default photo") << false << u"tiantu"_s;
    }
    void makeStoreThenSignIn()
    {
        QFETCH(bool, defaultPhoto);
        QFETCH(QString, next);
        if (defaultPhoto)
            folder->makeDefaultPhoto();
        Form* window = start();
        type(window, {u" 张经理 "_s, u"Abc 123"_s, u"Abc 123"_s});
        WindowChecks::click(window, "make");
        WindowChecks::settle();
        QStringList expected{line(u"数据库已建立，请用操作员《张经理》登陆"_s, u"新建数据库"_s,
                                  Dialogs::Icon::Information)};
        if (!defaultPhoto)
            expected << line(u"您的操作系统中暂时没有默认图片，请添加会员默认照片"_s,
                             u"系统显示"_s);
        QCOMPARE(summaries(dialogs->messages()), expected);
        QCOMPARE(loadedNames(), QStringList{next});
        QCOMPARE(
            QDir(folder->root()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList({u"hd.db"_s, u"模版照片"_s, u"照片"_s}));
        const Database db = folder->open();
        QCOMPARE(Accounts::verify(db, u"张经理"_s, u"Abc 123"_s).value(), Accounts::Verdict::Match);
        QCOMPARE(Accounts::verify(db, u"张经理"_s, u"abc 123"_s).value(),
                 Accounts::Verdict::WrongPassword);
    }

    // The read-only folder runs again unprivileged, where the permission really refuses.
    void refusalsWriteNothing_data()
    {
        QTest::addColumn<QStringList>("typed"); // name, password, password again
        QTest::addColumn<QString>("says");
        QTest::addColumn<QString>("focus");
        const QString noName = u"用户名不能为空，请输入操作员的用户名！"_s;
        const QString noPassword = u"口令不能为空，请重新输入！"_s;
        const QString differ = u"两次输入的口令不同，请重新输入！"_s;
        QTest::newRow("no name") << QStringList{"", "abc", "abc"} << noName << "name";
        QTest::newRow("blank name") << QStringList{"  ", "abc", "abc"} << noName << "name";
        QTest::newRow("no password") << QStringList{"admin", "", ""} << noPassword << "password";
        QTest::newRow("blank password")
            << QStringList{"admin", "   ", "   "} << noPassword << "password";
        QTest::newRow("passwords differ")
            << QStringList{"admin", "abc", "abd"} << differ << "password";
        QTest::newRow("second password missing")
            << QStringList{"admin", "abc", ""} << differ << "password";
        QTest::newRow("read-only folder")
            << QStringList{"admin", "abc", "abc"} << u"无法在文件夹 %1 中写入："_s << "name";
    }
    void refusalsWriteNothing()
    {
        QFETCH(QStringList, typed);
        QFETCH(QString, says);
        QFETCH(QString, focus);
        const QString root = folder->root();
        const auto restore = qScopeGuard([&] {
            QFile::setPermissions(root, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        if (says.contains(u"%1"_s)) {
            QVERIFY(QFile::setPermissions(root, QFile::ReadOwner | QFile::ExeOwner));
            if (QFile file(folder->path(u"probe"_s)); file.open(QIODevice::WriteOnly))
                QSKIP("permissions do not bind this user");
        }
        Form* window = start();
        const Snapshot before = snapshot(root);
        type(window, typed);
        WindowChecks::click(window, "make");
        WindowChecks::settle();
        QCOMPARE(dialogs->messages().size(), 1);
        const ScriptedDialogs::Call said = dialogs->messages().first();
        QVERIFY2(said.text.startsWith(withPath(says, root)) &&
                     said.icon == Dialogs::Icon::Critical && said.title == u"新建数据库"_s,
                 qPrintable(said.text));
        QCOMPARE(snapshot(root), before);
        QCOMPARE(loadedNames(), QStringList{u"FirstStart"_s});
        QCOMPARE(window->focusWidget()->objectName(), focus);
    }

    void importThroughWindow_data()
    {
        QTest::addColumn<QString>("picked");
        QTest::addColumn<QString>("says"); // %1 is the older folder
        QTest::addColumn<QStringList>("writerArgs");
        const QStringList six{"--members", "6"};
        QTest::newRow("older folder") << u"older"_s << u"导入完成"_s << six;
        // The box would run off the screen with every shared telephone listed.
        QTest::newRow("many shared telephones")
            << u"older"_s << u"导入完成"_s
            << QStringList{"--members", "200", "--shared-phones", "150"};
        QTest::newRow("picker cancelled") << QString() << QString() << six;
        QTest::newRow("folder without hd.mdb")
            << u"empty"_s << u"文件夹 %1 中没有 hd.mdb，未作改动"_s << six;
        QTest::newRow("cancelled while it runs") << u"cancel"_s << u"导入已取消，未作改动"_s << six;
    }
    void importThroughWindow()
    {
        QFETCH(QString, picked);
        QFETCH(QString, says);
        QFETCH(QStringList, writerArgs);
        QTemporaryDir older;
        const QJsonObject tables = makeOlderFolder(older.path(), writerArgs);
        if (picked == "empty"_L1)
            QFile::remove(older.filePath(u"hd.mdb"_s));
        dialogs->folders << (picked.isEmpty() ? QString() : older.path());
        CancelWhenShown canceller;
        if (picked == "cancel"_L1)
            qApp->installEventFilter(&canceller);
        Form* window = start();
        const Snapshot before = snapshot(folder->root());
        WindowChecks::click(window, "importButton");
        WindowChecks::settle();
        qApp->removeEventFilter(&canceller);

        QCOMPARE(dialogs->calls.first().kind, u"openFolder"_s);
        const QList<ScriptedDialogs::Call> said = dialogs->messages();
        QCOMPARE(said.size(), says.isEmpty() ? 0 : 1);
        if (picked != "older"_L1) {
            if (!says.isEmpty())
                QCOMPARE(said.first().text, withPath(says, older.path()));
            QCOMPARE(snapshot(folder->root()), before);
            QCOMPARE(loadedNames(), QStringList{u"FirstStart"_s});
            return;
        }
        const QJsonArray operators = tables["admin"].toObject()["rows"].toArray();
        // Eight lines of counts, then the shared telephones, at most 20 of them listed.
        const QStringList lines = said.first().text.split(u'\n');
        QCOMPARE(lines.first(3),
                 QStringList(
                     {u"导入完成"_s, u"操作员：%1 个"_s.arg(operators.size()),
                      u"会员：%1 个"_s.arg(tables["user"].toObject()["rows"].toArray().size())}));
        const qsizetype total = 8 + lines.value(7).section(u'：', 1).chopped(2).toInt();
        QCOMPARE(lines.size(), qMin<qsizetype>(total, 29));
        QVERIFY(total > 29 || writerArgs.size() == 2);
        if (total > 29)
            QCOMPARE(lines.last(), u"  ……另有 %1 个"_s.arg(total - 28));
        QCOMPARE(loadedNames(), QStringList{u"admin"_s});
        const QJsonValue op = operators.first();
        QCOMPARE(Accounts::verify(folder->open(), op["user"].toString(), op["pasword"].toString())
                     .value(),
                 Accounts::Verdict::Match);
    }

    void quitEndsProgram()
    {
        Form* window = start();
        const Snapshot before = snapshot(folder->root());
        QSignalSpy ended(&Forms::instance(), &Forms::ended);
        WindowChecks::click(window, "quit");
        WindowChecks::settle();
        QCOMPARE(ended.size(), 1);
        QVERIFY(Forms::instance().loaded().isEmpty());
        QCOMPARE(snapshot(folder->root()), before);
    }
};

QTEST_MAIN(tst_first_start)
#include "tst_first_start.moc"
