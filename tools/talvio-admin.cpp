// Command-line companion of the register: creates stores and demo folders, imports the older
// register's folder, exports the member list.

#include "Accounts.h"
#include "AdminCommandLine.h"
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
    err() << AdminCommandLine::usage();
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

int exportMembers(const QString& folder, const QString& file, const MemberExport::Options& options)
{
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
    // The user's data folder is the one the program itself uses.
    QCoreApplication::setApplicationName(QStringLiteral("Talvio"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TALVIO_VERSION));
    AdminCommandLine::Command c;
    switch (AdminCommandLine::parse(QCoreApplication::arguments(), &c)) {
    case AdminCommandLine::Asked::Help:
        QTextStream(stdout) << AdminCommandLine::usage();
        return 0;
    case AdminCommandLine::Asked::Version:
        QTextStream(stdout) << "talvio-admin " << TALVIO_VERSION << "\n";
        return 0;
    case AdminCommandLine::Asked::Usage:
        return usage();
    case AdminCommandLine::Asked::Run:
        break;
    }
    QString folder = c.folder;
    if (folder.isEmpty()) {
        if (Status chosen = ProgramFolder::useFolder(QString()); !chosen) {
            err() << chosen.error() << "\n";
            return 1;
        }
        folder = ProgramFolder::root();
    }
    int status = 2;
    if (c.name == QLatin1String("init"))
        status = init(folder, c.operatorName);
    else if (c.name == QLatin1String("demo"))
        status = demo(folder, c.members);
    else if (c.name == QLatin1String("import-legacy"))
        status = importLegacy(c.arguments.at(0), folder);
    else if (c.name == QLatin1String("snapshots"))
        status = listSnapshots(folder);
    else if (c.name == QLatin1String("backup"))
        status = backup(folder);
    else if (c.name == QLatin1String("restore"))
        status = restore(folder, c.arguments.at(0));
    else if (c.name == QLatin1String("check"))
        status = check(folder, c.repair);
    else if (c.name == QLatin1String("export"))
        status = exportMembers(folder, c.arguments.at(0), {c.withId, c.withPhoto});
    err().flush();
    return status;
}
