// Command-line companion of the register: creates stores and demo folders, imports the older
// register's folder.

#include "DemoFolder.h"
#include "LegacyImport.h"
#include "NewStore.h"
#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
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
             "                                         register's folder SOURCE (hd.mdb, 照片)\n";
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

int importLegacy(const QString& source, const QString& target)
{
    // Ctrl-C stops the import at the next member and leaves DEST as it was; a second one ends
    // the program at once.
    struct sigaction action
    {};
    action.sa_handler = onInterrupt;
    // The copy in hand finishes rather than failing with EINTR; the import stops after it.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
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
    else
        status = usage();
    err().flush();
    return status;
}
