#include "SnapshotFiles.h"

#include "Database.h"
#include "EngineErrors.h"
#include "PhotoFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlQuery>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace SnapshotFiles {

namespace {

constexpr int kPagesPerStep = 4096;

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

sqlite3* engineOf(const Database& db)
{
    const QVariant handle = db.connection().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

} // namespace

QString lastSystemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool renamePath(const QString& from, const QString& to)
{
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

QList<Entry> filesBelow(const QString& folder)
{
    QList<Entry> entries;
    const QDir base(folder);
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (info.fileName().startsWith(PhotoFiles::kTemporaryPrefix) || info.isSymLink())
            continue;
        entries.append({base.relativeFilePath(info.filePath()), info.size()});
    }
    return entries;
}

Status linkOrCopy(const QString& from, const QString& to, const QList<Entry>& entries,
                  const std::function<void(qint64)>& step)
{
    if (!QDir().mkpath(to))
        return Failure{QStringLiteral("无法创建文件夹 %1").arg(shown(to))};
    QDirIterator folders(from, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (folders.hasNext())
        if (!QDir(to).mkpath(QDir(from).relativeFilePath(folders.next())))
            return Failure{QStringLiteral("无法在 %1 中创建文件夹").arg(shown(to))};
    for (const Entry& entry : entries) {
        const QString source = from + QLatin1Char('/') + entry.relative;
        const QString target = to + QLatin1Char('/') + entry.relative;
        // The program replaces a photo by renaming a new file over it, never by writing into it,
        // so a linked copy keeps the bytes it had.
        if (::link(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) !=
            0) {
            if (errno != EXDEV && errno != EPERM && errno != EMLINK && errno != ENOTSUP)
                return Failure{QStringLiteral("无法复制照片文件 %1：%2")
                                   .arg(shown(source), lastSystemError())};
            QFile file(source);
            if (!file.copy(target))
                return Failure{QStringLiteral("无法复制照片文件 %1：%2")
                                   .arg(shown(source), file.errorString())};
        }
        if (step)
            step(entry.bytes);
    }
    return {};
}

Result<qint64> copyStore(const QString& sourceFile, const QString& target,
                         const std::function<void(double)>& step)
{
    Result<Database> db = Database::open(sourceFile);
    if (!db)
        return db.failure();
    sqlite3* source = engineOf(db.value());
    if (!source)
        return Failure{QStringLiteral("无法备份数据库 %1").arg(shown(sourceFile))};
    // One read transaction for the count and every page: the copy is the store at one moment,
    // whatever other connections write meanwhile.
    qint64 members = 0;
    {
        Result<QSqlQuery> begun = db->run(QStringLiteral("BEGIN"));
        if (!begun)
            return begun.failure();
        Result<QSqlQuery> count = db->run(QStringLiteral("SELECT count(*) FROM user"));
        if (!count)
            return count.failure();
        members = count->next() ? count->value(0).toLongLong() : 0;
    }
    sqlite3* copy = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(target).constData(), &copy,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_backup* backup = sqlite3_backup_init(copy, "main", source, "main");
        if (!backup) {
            rc = sqlite3_errcode(copy);
        } else {
            do {
                rc = sqlite3_backup_step(backup, kPagesPerStep);
                const int total = sqlite3_backup_pagecount(backup);
                if (step && total > 0)
                    step(1.0 - double(sqlite3_backup_remaining(backup)) / total);
            } while (rc == SQLITE_OK);
            rc = sqlite3_backup_finish(backup);
        }
    }
    const QString why = EngineErrors::describe(
        rc, QString::fromUtf8(copy ? sqlite3_errmsg(copy) : sqlite3_errstr(rc)));
    sqlite3_close(copy);
    db->rollback();
    if (rc != SQLITE_OK)
        return Failure{QStringLiteral("无法将数据库备份到 %1：%2").arg(shown(target), why)};
    return members;
}

FolderLock::FolderLock(const QString& folder)
{
    m_fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

FolderLock::~FolderLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void syncFileSystem(const QString& folder)
{
    if (const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_CLOEXEC);
        fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
}

} // namespace SnapshotFiles
