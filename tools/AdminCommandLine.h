#pragma once

#include <QString>
#include <QStringList>

// talvio-admin's command line: a command, its arguments, and the program folder, which may be
// left out (then --data-dir names it, or the program folder rule chooses it).
namespace AdminCommandLine {

struct Command
{
    QString name;
    QString folder;        // empty: the default folder
    QStringList arguments; // the command's own, without the folder
    QString operatorName;
    QString members;
    bool withId = false;
    bool withPhoto = false;
    bool repair = false;
};

enum class Asked { Run, Help, Version, Usage };

Asked parse(const QStringList& arguments, Command* command);
QString usage();

} // namespace AdminCommandLine
