#include "Restore.h"

#include "Database.h"
#include "ProgramFolder.h"
#include "ProgramLock.h"
#include "SnapshotFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

#include <cstdlib>

namespace Restore {

namespace {

const QString kBuildPrefix = QStringLiteral(".talvio-restore-");
const QString kOld = QStringLiteral("old-");

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// The store goes with its write-ahead files: a stale log left beside a new store would be read
// into it.
QStringList storeFiles()
{
    const QString db = ProgramFolder::kDatabaseName;
    return {db + QStringLiteral("-wal"), db + QStringLiteral("-shm"), db};
}

bool exists(const QString& path)
{
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}

// The restore's state lies in what the build folder still holds: while it holds the new store,
// the restore is not done and everything moved goes back.
bool putBack(const QString& root, const QString& build)
{
    const QDir place(root);
    const QDir aside(build);
    const QString photos = ProgramFolder::kPhotoFolderName;
    bool clean = true;
    if (!exists(aside.filePath(photos)) && exists(aside.filePath(kOld + photos)))
        clean = SnapshotFiles::renamePath(place.filePath(photos), aside.filePath(photos));
    QStringList names = storeFiles();
    names.prepend(photos);
    for (const QString& name : names)
        if (exists(aside.filePath(kOld + name)) && !exists(place.filePath(name)))
            clean = SnapshotFiles::renamePath(aside.filePath(kOld + name), place.filePath(name)) &&
                    clean;
    return clean;
}

// Builds the snapshot's store and photos in `build`.
Status buildAside(const Snapshots::Info& snapshot, const QString& build)
{
    const QDir from(snapshot.path);
    const QString store = from.filePath(ProgramFolder::kDatabaseName);
    if (!QFileInfo::exists(store))
        return Failure{QStringLiteral("备份 %1 中没有数据库，无法恢复").arg(snapshot.name)};
    QFile file(store);
    if (!file.copy(QDir(build).filePath(ProgramFolder::kDatabaseName)))
        return Failure{
            QStringLiteral("无法复制数据库 %1：%2").arg(shown(store), file.errorString())};
    const QString photos = from.filePath(ProgramFolder::kPhotoFolderName);
    return SnapshotFiles::linkOrCopy(photos, QDir(build).filePath(ProgramFolder::kPhotoFolderName),
                                     SnapshotFiles::filesBelow(photos));
}

// Moves the present store and photos into the build folder and the new ones into place.
Status moveIntoPlace(const QString& root, const QString& build)
{
    const QDir place(root);
    const QDir aside(build);
    const QString photos = ProgramFolder::kPhotoFolderName;
    // Write-ahead content goes into the store file first, so moving the store loses nothing.
    if (QFileInfo::exists(place.filePath(ProgramFolder::kDatabaseName)))
        if (Result<Database> db = Database::open(place.filePath(ProgramFolder::kDatabaseName)))
            (void)db->run(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    // "照片" is made first when missing, so that the build folder always tells old from new.
    if (!QDir(place.filePath(photos)).exists() && !place.mkdir(photos))
        return Failure{QStringLiteral("无法创建文件夹 %1").arg(shown(place.filePath(photos)))};
    QStringList moves = storeFiles();
    moves.prepend(photos);
    for (const QString& name : moves)
        if (exists(place.filePath(name)) &&
            !SnapshotFiles::renamePath(place.filePath(name), aside.filePath(kOld + name)))
            return Failure{QStringLiteral("无法移动 %1：%2")
                               .arg(shown(place.filePath(name)), SnapshotFiles::lastSystemError())};
    for (const QString& name : {photos, ProgramFolder::kDatabaseName})
        if (!SnapshotFiles::renamePath(aside.filePath(name), place.filePath(name)))
            return Failure{QStringLiteral("无法将恢复的 %1 移入 %2：%3")
                               .arg(name, shown(root), SnapshotFiles::lastSystemError())};
    return {};
}

} // namespace

Result<Outcome> run(const QString& root, const QString& name)
{
    if (!QFileInfo(root).isDir())
        return Failure{QStringLiteral("文件夹 %1 不存在").arg(shown(root))};
    // Held alone to the end: a program started meanwhile waits until the restore is done.
    const ProgramLock lock(root);
    if (!lock.isAlone())
        return Failure{QFileInfo(root).isWritable()
                           ? QStringLiteral("Talvio 正在使用文件夹 %1，请先退出程序再恢复备份")
                                 .arg(shown(root))
                           : QStringLiteral("文件夹 %1 不可写，无法恢复备份").arg(shown(root))};
    if (const QStringList left = tidyUp(root); !left.isEmpty())
        return Failure{left.join(QLatin1Char('\n'))};
    Result<Snapshots::Info> snapshot = Snapshots::find(root, name);
    if (!snapshot)
        return snapshot.failure();

    const QString build = QDir(root).filePath(kBuildPrefix + QStringLiteral("XXXXXX"));
    QByteArray pattern = QFile::encodeName(build);
    if (!::mkdtemp(pattern.data()))
        return Failure{QStringLiteral("无法在文件夹 %1 中写入：%2")
                           .arg(shown(root), SnapshotFiles::lastSystemError())};
    const QString buildPath = QFile::decodeName(pattern);
    const auto fail = [&](const Failure& failure) {
        putBack(root, buildPath);
        QDir(buildPath).removeRecursively();
        return failure;
    };
    if (Status built = buildAside(snapshot.value(), buildPath); !built)
        return fail(built.failure());
    // Taken after the build, so that its removal of expired snapshots cannot take the source.
    Result<Snapshots::Info> before = Snapshots::take(root, Snapshots::Reason::BeforeRestore);
    if (!before)
        return fail(Failure{QStringLiteral("恢复前无法备份当前数据，未作改动：") + before.error()});
    SnapshotFiles::syncFileSystem(buildPath);
    if (Status moved = moveIntoPlace(root, buildPath); !moved)
        return fail(moved.failure());
    QDir(buildPath).removeRecursively();
    return Outcome{snapshot.value(), before.value()};
}

QStringList tidyUp(const QString& root)
{
    QStringList left;
    const QDir place(root);
    for (const QString& name :
         place.entryList({kBuildPrefix + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden)) {
        const QString build = place.filePath(name);
        const bool done = !exists(QDir(build).filePath(ProgramFolder::kDatabaseName));
        if (done || putBack(root, build))
            QDir(build).removeRecursively();
        else
            left << QStringLiteral("中断的恢复未能还原，文件留在 %1").arg(shown(build));
    }
    Snapshots::removeUnfinished(root);
    return left;
}

} // namespace Restore
