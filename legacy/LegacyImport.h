#pragma once

#include "Result.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <atomic>
#include <functional>

// Moving in from the older register: its folder (hd.mdb, "照片", "模版照片\1.jpg") becomes a
// new program folder with a store of the same operators and members and their photos.
namespace LegacyImport {

struct SharedTelephone
{
    QString telephone;
    QList<qint64> ids; // the members who share it, in id order
};

struct Report
{
    qint64 operators = 0;
    qint64 members = 0;
    qint64 photosCopied = 0;  // files copied into "照片"
    qint64 photosMissing = 0; // members whose photo file is not in the older folder
    qint64 unnamedPhotos = 0; // files of the older "照片" that no member names, not copied
    bool defaultPhotoCopied = false;
    QList<SharedTelephone> sharedTelephones;

    // The report for the operator, line by line.
    QStringList lines() const;
};

struct Progress
{
    enum class Step { Operators, Members, Finishing };
    Step step;
    qint64 done;
    qint64 total;
};
using ProgressNotice = std::function<void(const Progress&)>;

// The progress as one line for the operator: "正在导入会员 120/4000（3%）".
QString describe(const Progress& progress);

// Imports `source` into `target`, which must not hold a store yet. All or nothing: a failure,
// or `cancel` turning true, leaves the target as it was. Progress is reported on the calling
// thread, every few members.
Result<Report> run(const QString& source, const QString& target,
                   const ProgressNotice& progress = {}, const std::atomic<bool>* cancel = nullptr);

} // namespace LegacyImport
