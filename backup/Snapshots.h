#pragma once

#include "Result.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// Copies of the store and of "照片" in the program folder's "备份", one folder per copy named by
// its time and reason, e.g. "2026-12-06_14-30-05_清数据库".
namespace Snapshots {

enum class Reason { Daily, BeforeClear, BeforeRestore, ByHand };

struct Info
{
    QString name; // the folder's name inside "备份"
    QString path;
    QDateTime taken;
    Reason reason = Reason::ByHand;
    qint64 members = -1; // -1: the folder had no store when the copy was taken
    qint64 photos = 0;
    qint64 bytes = 0; // of the store and the photo files, as if each were a copy of its own
};

extern const QString kFolderName;
QString folder(const QString& root);
QString reasonText(Reason reason);

// Called now and then with the share of the work done, 0 to 1.
using Progress = std::function<void(double done)>;

// Copies the store of program folder `root` with SQLite's online backup and links (or, where
// links are refused, copies) the photo files. The copy is built in a hidden folder and gets its
// name only when complete. Expired snapshots are removed afterwards.
Result<Info> take(const QString& root, Reason reason, const Progress& progress = {},
                  const QDateTime& now = QDateTime::currentDateTime());

// Complete snapshots, oldest first; other folders in "备份" are left out.
Result<QList<Info>> list(const QString& root);
Result<Info> find(const QString& root, const QString& name);

// The names the keeping rules let go: all but the 10 newest daily snapshots, and those taken
// before a clear or a restore more than 90 days before `now`. Snapshots taken by hand stay.
QStringList expired(const QList<Info>& snapshots, const QDateTime& now);
bool dailyIsDue(const QList<Info>& snapshots, const QDate& today);

// Removes the hidden folders of snapshots whose taking was cut short; a snapshot that is still
// being taken is locked and stays.
void removeUnfinished(const QString& root);

} // namespace Snapshots
