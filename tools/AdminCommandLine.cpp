#include "AdminCommandLine.h"

#include <QCommandLineParser>

#include <array>

namespace AdminCommandLine {

namespace {
struct Shape
{
    const char* name;
    int arguments;       // besides the folder
    bool folderLast;     // import-legacy names its source first
    QStringList options; // the options the command takes
};

const std::array<Shape, 8>& shapes()
{
    static const std::array<Shape, 8> all{{
        {"init", 0, false, {QStringLiteral("operator")}},
        {"demo", 0, false, {QStringLiteral("members")}},
        {"import-legacy", 1, true, {}},
        {"snapshots", 0, false, {}},
        {"backup", 0, false, {}},
        {"restore", 1, false, {}},
        {"check", 0, false, {QStringLiteral("repair")}},
        {"export", 1, false, {QStringLiteral("with-id"), QStringLiteral("with-photo")}},
    }};
    return all;
}

const QStringList& commandOptions()
{
    static const QStringList all{QStringLiteral("operator"), QStringLiteral("members"),
                                 QStringLiteral("repair"), QStringLiteral("with-id"),
                                 QStringLiteral("with-photo")};
    return all;
}
} // namespace

Asked parse(const QStringList& arguments, Command* command)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("operator"), QString(), QStringLiteral("name")});
    parser.addOption({QStringLiteral("members"), QString(), QStringLiteral("n")});
    parser.addOption({QStringLiteral("data-dir"), QString(), QStringLiteral("folder")});
    for (const char* flag : {"repair", "with-id", "with-photo"})
        parser.addOption({QString::fromLatin1(flag), QString()});
    parser.addOption({{QStringLiteral("h"), QStringLiteral("help")}, QString()});
    parser.addOption({{QStringLiteral("v"), QStringLiteral("version")}, QString()});
    if (!parser.parse(arguments))
        return Asked::Usage;
    if (parser.isSet(QStringLiteral("help")))
        return Asked::Help;
    if (parser.isSet(QStringLiteral("version")))
        return Asked::Version;

    QStringList words = parser.positionalArguments();
    if (words.isEmpty())
        return Asked::Usage;
    const QString name = words.takeFirst();
    const Shape* shape = nullptr;
    for (const Shape& s : shapes())
        if (name == QLatin1String(s.name))
            shape = &s;
    if (!shape)
        return Asked::Usage;
    for (const QString& option : commandOptions())
        if (parser.isSet(option) && !shape->options.contains(option))
            return Asked::Usage;

    Command c;
    c.name = name;
    const bool named = parser.isSet(QStringLiteral("data-dir"));
    if (words.size() == shape->arguments + 1 && !named)
        c.folder = shape->folderLast ? words.takeLast() : words.takeFirst();
    else if (words.size() == shape->arguments)
        c.folder = parser.value(QStringLiteral("data-dir"));
    else
        return Asked::Usage;
    if (named && c.folder.isEmpty())
        return Asked::Usage;
    c.arguments = words;
    c.operatorName = parser.value(QStringLiteral("operator"));
    c.members = parser.value(QStringLiteral("members"));
    c.withId = parser.isSet(QStringLiteral("with-id"));
    c.withPhoto = parser.isSet(QStringLiteral("with-photo"));
    c.repair = parser.isSet(QStringLiteral("repair"));
    *command = c;
    return Asked::Run;
}

QString usage()
{
    return QStringLiteral(
        "用法：\n"
        "  talvio-admin init [DIR] --operator 名称   在 DIR 中新建数据库 hd.db 和一名操作员；\n"
        "                                         口令从终端（不回显）或标准输入读取\n"
        "  talvio-admin demo [DIR] [--members N]     新建演示文件夹（默认 25 名会员）\n"
        "  talvio-admin import-legacy 旧文件夹 [DIR] 从旧系统的文件夹（hd.mdb、照片）导入到 DIR\n"
        "  talvio-admin snapshots [DIR]              列出 DIR/备份 中的备份\n"
        "  talvio-admin backup [DIR]                 备份数据库和照片\n"
        "  talvio-admin restore [DIR] 名称           先备份当前数据，再恢复名为“名称”的备份\n"
        "  talvio-admin check [DIR] [--repair]       检查数据库、记录和照片文件；\n"
        "                                         --repair 修复能修复的问题\n"
        "  talvio-admin export [DIR] 文件.xlsx|文件.csv [--with-id] [--with-photo]\n"
        "                                         把 DIR 中的全部会员（新的在前）导出为\n"
        "                                         Excel 或 CSV 文件\n"
        "  talvio-admin --help | --version\n"
        "\n"
        "不写 DIR 时：用 --data-dir 指定的文件夹；否则程序所在的文件夹中有 hd.db 就用它；\n"
        "否则用用户的数据文件夹（~/.local/share/Talvio）。\n");
}

} // namespace AdminCommandLine
