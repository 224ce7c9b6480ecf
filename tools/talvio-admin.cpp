// Command-line companion of the register: creates stores and demo folders, imports the older
// register's folder, exports the member list.

#include "Accounts.h"
#include "ConsistencyCheck.h"
#include "Database.h"
#include "DemoFolder.h"
#include "LegacyImport.h"
#include "MemberExport.h"
#include "NewStore.h"
#include "ProgramFolder.h"
#include "Restore.h"
#include "Snapshots.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTextStream>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

int usage()
{
    err() << "usage:\n"
             "  talvio-admin init DIR --operator NAME   create DIR/hd.db with one operator;\n"
             "                                         the password is read from the terminal\n"
             "                                         (without echo) or from standard input\n"
             "  talvio-admin demo DIR [--members N]     create a demo program folder (default 25)\n"
             "  talvio-admin import-legacy SOURCE DEST  make DEST a program folder from the older\n"
             "                                         register's folder SOURCE (hd.mdb, 照片)\n"
             "  talvio-admin snapshots DIR              list the snapshots in DIR/备份\n"
             "  talvio-admin backup DIR                 take a snapshot of the store and 照片\n"
             "  talvio-admin restore DIR NAME           put snapshot NAME back, after taking a\n"
             "                                         snapshot of the present state\n"
             "  talvio-admin check DIR [--repair]       check store, rows and photo files;\n"
             "                                         --repair mends what can be mended\n"
             "  talvio-admin export DIR FILE.xlsx|FILE.csv [--with-id] [--with-photo]\n"
             "                                         write every member of DIR's store,\n"
             "                                         newest first, to an Excel or CSV file\n";
    err().flush();
    return 2;
}

std::string readLine(const char* prompt, bool terminal)
{
    std::string line;
    if (!terminal) {
        std::getline(std::cin, line);
        return line;
    }
    termios saved{};
    tcgetattr(STDIN_FILENO, &saved);
    termios quiet = saved;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    std::fputs(prompt, stderr);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    std::getline(std::cin, line);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputs("\n", stderr);
    return line;
}

QString option(const QStringList& args, const QString& name)
{
    const qsizetype at = args.indexOf(name);
    return (at >= 0 && at + 1 < args.size()) ? args.at(at + 1) : QString();
}

int init(const QString& folder, const QString& name)
{
    if (name.trimmed().isEmpty())
        return usage();
    const bool terminal = isatty(STDIN_FILENO);
    QString password = QString::fromStdString(readLine("口令：", terminal));
    if (password.endsWith(u'\r'))
        password.chop(1);
    // Piped in, the password comes once.
    const QString again =
        terminal ? QString::fromStdString(readLine("再次输入口令：", true)) : password;
    Status made = NewStore::checkOperator(name, password, again);
    if (made && !QDir().mkpath(folder))
        made = Failure{QStringLiteral("无法创建文件夹 %1").arg(QDir::toNativeSeparators(folder))};
    if (made)
        made = NewStore::create(folder, name, password);
    if (!made) {
        err() << made.error() << "，未创建数据库\n";
        return 1;
    }
    ProgramFolder::setRoot(folder);
    err() << "已创建 " << ProgramFolder::databaseFile() << "\n";
    return 0;
}

int demo(const QString& folder, const QString& count)
{
    bool ok = true;
    const qint64 members = count.isEmpty() ? 25 : count.toLongLong(&ok);
    if (!ok || members < 0)
        return usage();
    if (QFileInfo::exists(QDir(folder).filePath(ProgramFolder::kDatabaseName))) {
        err() << "文件夹 " << QDir::toNativeSeparators(folder) << " 中已有数据库，未作改动\n";
        return 1;
    }
    if (Status made = DemoFolder::create(folder, members); !made) {
        err() << made.error() << "\n";
        return 1;
    }
    err() << "已创建演示文件夹 " << ProgramFolder::root() << "（操作员 " << DemoFolder::kOperator
          << "，口令 " << DemoFolder::kPassword << "）\n";
    return 0;
}

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int)
{
    interrupted = true;
}

// The first Ctrl-C asks the work to stop at its next step; a second one ends the program at
// once. The copy in hand finishes rather than failing with EINTR.
void stopOnInterrupt()
{
    struct sigaction action
    {};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int importLegacy(const QString& source, const QString& target)
{
    // Ctrl-C stops the import at the next member and leaves DEST as it was.
    stopOnInterrupt();
    const bool terminal = isatty(STDERR_FILENO);
    LegacyImport::ProgressNotice progress;
    if (terminal)
        progress = [](const LegacyImport::Progress& p) {
            err() << "\r" << LegacyImport::describe(p) << "\033[K";
            err().flush();
        };
    const Result<LegacyImport::Report> report =
        LegacyImport::run(source, target, progress, &interrupted);
    if (terminal)
        err() << "\r\033[K";
    if (!report) {
        err() << report.error() << "\n";
        return 1;
    }
    for (const QString& line : report->lines())
        err() << line << "\n";
    return 0;
}

// The folder of a snapshot command: it must exist, and hold a store where `needsStore`.
bool useFolder(const QString& folder, bool needsStore)
{
    if (!QFileInfo(folder).isDir()) {
        err() << "文件夹 " << QDir::toNativeSeparators(folder) << " 不存在\n";
        return false;
    }
    ProgramFolder::setRoot(folder);
    if (needsStore && !QFileInfo::exists(ProgramFolder::databaseFile())) {
        err() << "文件夹 " << ProgramFolder::root() << " 中没有数据库 "
              << ProgramFolder::kDatabaseName << "\n";
        return false;
    }
    return true;
}

QString describe(const Snapshots::Info& s)
{
    const QString members =
        s.members < 0 ? QStringLiteral("无数据库") : QStringLiteral("会员 %1").arg(s.members);
    return QStringLiteral("%1\t%2\t%3\t%4\t照片 %5\t%6")
        .arg(s.name, s.taken.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
             Snapshots::reasonText(s.reason), members)
        .arg(s.photos)
        .arg(QLocale::c().formattedDataSize(s.bytes, 1, QLocale::DataSizeTraditionalFormat));
}

int listSnapshots(const QString& folder)
{
    if (!useFolder(folder, false))
        return 1;
    const Result<QList<Snapshots::Info>> all = Snapshots::list(ProgramFolder::root());
    if (!all) {
        err() << all.error() << "\n";
        return 1;
    }
    if (all->isEmpty()) {
        err() << "文件夹 " << ProgramFolder::root() << " 中还没有备份\n";
        return 0;
    }
    QTextStream out(stdout);
    out << "名称\t时间\t原因\t会员\t照片\t大小\n";
    for (const Snapshots::Info& s : all.value())
        out << describe(s) << "\n";
    return 0;
}

int backup(const QString& folder)
{
    if (!useFolder(folder, true))
        return 1;
    const Result<Snapshots::Info> taken =
        Snapshots::take(ProgramFolder::root(), Snapshots::Reason::ByHand);
    if (!taken) {
        err() << "备份失败：" << taken.error() << "\n";
        return 1;
    }
    err() << "已备份：" << describe(taken.value()) << "\n";
    return 0;
}

int restore(const QString& folder, const QString& name)
{
    if (!useFolder(folder, false))
        return 1;
    const Result<Restore::Outcome> done = Restore::run(ProgramFolder::root(), name);
    if (!done) {
        err() << "恢复失败，未作改动：" << done.error() << "\n";
        return 1;
    }
    err() << "已恢复备份 " << done->restored.name << "（会员 " << done->restored.members
          << "，照片 " << done->restored.photos << "）\n"
          << "恢复前的数据已备份为 " << done->before.name << "\n";
    return 0;
}

int check(const QString& folder, bool repair)
{
    if (!useFolder(folder, true))
        return 1;
    const Result<ConsistencyCheck::Report> report = ConsistencyCheck::run(repair);
    if (!report) {
        err() << (repair ? "修复失败：" : "检查失败：") << report.error() << "\n";
        return 1;
    }
    QTextStream out(stdout);
    for (const QString& line : report->lines())
        out << line << "\n";
    return report->problems.isEmpty() ? 0 : 1;
}

int exportMembers(const QString& folder, const QStringList& args)
{
    const QString file = args.at(3);
    MemberExport::Options options;
    for (const QString& flag : args.mid(4)) {
        if (flag == QLatin1String("--with-id"))
            options.withId = true;
        else if (flag == QLatin1String("--with-photo"))
            options.withPhoto = true;
        else
            return usage();
    }
    const std::optional<MemberExport::Format> format = MemberExport::formatFor(file);
    if (!format) {
        err() << "无法导出到 " << QDir::toNativeSeparators(file)
              << "：只能导出为 Excel 文件（.xlsx）或 CSV 文件（.csv）\n";
        return 1;
    }
    ProgramFolder::setRoot(folder);
    Result<Database> db = Database::openProgramStore();
    if (!db) {
        err() << db.error() << "\n";
        return 1;
    }
    // As with the import, Ctrl-C stops at the next few members and leaves FILE as it was.
    stopOnInterrupt();
    const bool terminal = isatty(STDERR_FILENO);
    MemberExport::ProgressNotice progress;
    if (terminal)
        progress = [](qint64 done, qint64 total) {
            err() << "\r" << QStringLiteral("正在导出会员 %1/%2").arg(done).arg(total) << "\033[K";
            err().flush();
        };
    const Result<qint64> written = MemberExport::run(db.value(), Listing::everyone(), file, *format,
                                                     options, progress, &interrupted);
    if (terminal)
        err() << "\r\033[K";
    if (!written) {
        err() << written.error() << "\n";
        return 1;
    }
    err() << "已导出 " << written.value() << " 名会员到 " << QDir::toNativeSeparators(file) << "\n";
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3)
        return usage();
    const QString command = args.at(1);
    const QString folder = args.at(2);
    int status = 2;
    if (command == QLatin1String("init"))
        status = init(folder, option(args, QStringLiteral("--operator")));
    else if (command == QLatin1String("demo"))
        status = demo(folder, option(args, QStringLiteral("--members")));
    else if (command == QLatin1String("import-legacy") && args.size() == 4)
        status = importLegacy(folder, args.at(3));
    else if (command == QLatin1String("snapshots") && args.size() == 3)
        status = listSnapshots(folder);
    else if (command == QLatin1String("backup") && args.size() == 3)
        status = backup(folder);
    else if (command == QLatin1String("restore") && args.size() == 4)
        status = restore(folder, args.at(3));
    else if (command == QLatin1String("check") &&
             (args.size() == 3 || (args.size() == 4 && args.at(3) == QLatin1String("--repair"))))
        status = check(folder, args.size() == 4);
    else if (command == QLatin1String("export") && args.size() >= 4)
        status = exportMembers(folder, args);
    else
        status = usage();
    err().flush();
    return status;
}
