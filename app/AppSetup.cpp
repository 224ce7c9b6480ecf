#include "AppSetup.h"

#include "CaptureFiles.h"
#include "Database.h"
#include "Dialogs.h"
#include "FirstStart.h"
#include "Fonts.h"
#include "Forms.h"
#include "ProgramFolder.h"
#include "ProgramLock.h"
#include "Restore.h"
#include "SaveJournal.h"
#include "admin.h"
#include "admin1.h"
#include "mail.h"
#include "mimaxiugai.h"
#include "shipin.h"
#include "tiantu.h"
#include "xianshi.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <memory>

namespace AppSetup {

void prepareApplication(QApplication& app)
{
    QApplication::setApplicationName(QStringLiteral("Talvio"));
    QApplication::setApplicationDisplayName(QStringLiteral("Talvio"));
    Fonts::install();
    showBusyWhileWaiting();
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
}

void showBusyWhileWaiting()
{
    // The wait blocks the event loop; the cursor goes back once the loop runs again, which is
    // when the operation ends or its message box opens.
    Database::setWaitNotice([] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        QTimer::singleShot(0, [] { QApplication::restoreOverrideCursor(); });
    });
}

void registerWindows()
{
    Forms& forms = Forms::instance();
    forms.registerForm(QStringLiteral("admin"), [] { return new admin; });
    forms.registerForm(QStringLiteral("admin1"), [] { return new admin1; });
    forms.registerForm(QStringLiteral("mimaxiugai"), [] { return new mimaxiugai; });
    forms.registerForm(QStringLiteral("tiantu"), [] { return new tiantu; });
    forms.registerForm(QStringLiteral("xianshi"), [] { return new xianshi; });
    forms.registerForm(QStringLiteral("mail"), [] { return new mail; });
    forms.registerForm(QStringLiteral("shipin"), [] { return new shipin; });
    forms.registerForm(QStringLiteral("FirstStart"), [] { return new FirstStart; });
}

QString firstWindow()
{
    const QFileInfo store(ProgramFolder::databaseFile());
    // Anything under the store's name starts as before: the sign-in says what is wrong with it.
    return store.exists() || store.isSymLink() ? QStringLiteral("admin")
                                               : QStringLiteral("FirstStart");
}

namespace {
QCommandLineParser& parserFor(const QStringList& arguments, bool* parsed)
{
    static QCommandLineParser parser;
    static const bool once = [] {
        parser.addOption({QStringLiteral("data-dir"), QString(), QStringLiteral("folder")});
        parser.addOption({{QStringLiteral("v"), QStringLiteral("version")}, QString()});
        parser.addOption({{QStringLiteral("h"), QStringLiteral("help")}, QString()});
        return true;
    }();
    (void)once;
    *parsed = parser.parse(arguments);
    return parser;
}
} // namespace

Asked asked(const QStringList& arguments)
{
    bool parsed = false;
    QCommandLineParser& parser = parserFor(arguments, &parsed);
    if (parsed && parser.isSet(QStringLiteral("version")))
        return Asked::Version;
    return parsed && parser.isSet(QStringLiteral("help")) ? Asked::Help : Asked::Run;
}

QString versionText()
{
    return QStringLiteral("Talvio %1\n").arg(QStringLiteral(TALVIO_VERSION));
}

QString helpText()
{
    return QStringLiteral(
        "用法：talvio [--data-dir 文件夹]\n\n"
        "  --data-dir 文件夹  使用该文件夹中的数据库和照片；不指定时，程序所在的\n"
        "                     文件夹中有 hd.db 就用它，否则用用户的数据文件夹\n"
        "  -v, --version      显示版本\n"
        "  -h, --help         显示本说明\n");
}

bool applyArguments(const QStringList& arguments, QString* problem)
{
    bool parsed = false;
    QCommandLineParser& parser = parserFor(arguments, &parsed);
    if (!parsed) {
        *problem = arguments.constLast() == QLatin1String("--data-dir")
                       ? QStringLiteral("--data-dir 后面缺少文件夹")
                       : QStringLiteral("无法识别的参数：%1")
                             .arg(parser.unknownOptionNames().join(QStringLiteral("、")));
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *problem = QStringLiteral("无法识别的参数：%1")
                       .arg(parser.positionalArguments().join(QStringLiteral("、")));
        return false;
    }
    const Status used = ProgramFolder::useFolder(parser.value(QStringLiteral("data-dir")));
    if (!used)
        *problem = used.error();
    return bool(used);
}

void finishInterruptedSaves()
{
    static std::unique_ptr<ProgramLock> lock;
    lock.reset(); // a test may start the program over in another folder
    lock = std::make_unique<ProgramLock>(ProgramFolder::root());
    if (!lock->isAlone())
        return;
    // Photos the camera took for a program that did not live to store or drop them.
    if (const QStringList stuck = CaptureFiles::removeLeftovers(); !stuck.isEmpty())
        Dialogs::current().message(nullptr,
                                   QStringLiteral("上次程序留下的拍照临时文件未能删除：\n") +
                                       stuck.join(QLatin1Char('\n')),
                                   QStringLiteral("系统提示"), Dialogs::Icon::Exclamation);
    // A restore cut short may have taken the store away; it goes back before anything else.
    QStringList problems = Restore::tidyUp(ProgramFolder::root());
    // Without a store there is nothing to compare the notes with; the sign-in says why.
    if (Result<Database> db = Database::openProgramStore())
        problems << SaveJournal::recover(
                        db.value(), {ProgramFolder::photoFolder(), ProgramFolder::templateFolder()})
                        .problems;
    if (!problems.isEmpty())
        Dialogs::current().message(
            nullptr,
            QStringLiteral("上次程序意外退出，未完成的保存未能全部还原：\n") +
                problems.join(QLatin1Char('\n')),
            QStringLiteral("系统提示"), Dialogs::Icon::Exclamation);
    lock->share();
}

} // namespace AppSetup
