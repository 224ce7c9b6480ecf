#pragma once

#include "Result.h"

#include <QString>
#include <QStringList>

#include <functional>

// The file work of snapshots and restores.
namespace SnapshotFiles {

// A file below a folder, found before the work starts so progress can be told.
struct Entry
{
    QString relative;
    qint64 bytes = 0;
};
// Every file below `folder`, subfolders included, without the program's temporary files.
QList<Entry> filesBelow(const QString& folder);

// Hard-links each entry of `from` into `to`, copying where the file system refuses links;
// makes `to` and its subfolders. `step` gets each entry's bytes once it is done.
Status linkOrCopy(const QString& from, const QString& to, const QList<Entry>& entries,
                  const std::function<void(qint64)>& step = {});

// Writes a consistent copy of the open store `sourceFile` to `target` with SQLite's online
// backup, a few pages at a time. Answers the member count the copy holds.
Result<qint64> copyStore(const QString& sourceFile, const QString& target,
                         const std::function<void(double)>& step = {});

// Holds an exclusive lock on a folder while it lives; ok() is false when another holds it.
class FolderLock
{
public:
    explicit FolderLock(const QString& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool ok() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// Flushes the file system holding `folder`, so what is renamed into place next has its bytes.
void syncFileSystem(const QString& folder);
bool renamePath(const QString& from, const QString& to);
QString lastSystemError();

} // namespace SnapshotFiles
