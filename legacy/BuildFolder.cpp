#include "BuildFolder.h"

#include "ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QString kBuildPrefix = QStringLiteral(".talvio-import-");

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

QString lastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A lock held on a build folder for as long as its import runs; -1 when another holds it.
int lockFolder(const QString& folder)
{
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

const QStringList& photoFolders()
{
    static const QStringList names = {ProgramFolder::kTemplateFolderName,
                                      ProgramFolder::kPhotoFolderName};
    return names;
}

} // namespace

Result<std::unique_ptr<BuildFolder>> BuildFolder::create(const QString& target)
{
    std::unique_ptr<BuildFolder> folder(new BuildFolder(QDir::cleanPath(target)));
    if (Status prepared = folder->prepare(); !prepared)
        return prepared.failure();
    return folder;
}

Status BuildFolder::prepare()
{
    const QDir target(m_target);
    const QFileInfo info(m_target);
    if (info.exists() && !info.isDir())
        return Failure{QStringLiteral("%1 不是文件夹").arg(shown(m_target))};
    const QFileInfo store(target.filePath(ProgramFolder::kDatabaseName));
    if (store.exists() || store.isSymLink())
        return Failure{QStringLiteral("文件夹 %1 中已有数据库 %2")
                           .arg(shown(m_target), ProgramFolder::kDatabaseName)};
    for (const QString& name : photoFolders()) {
        const QString path = target.filePath(name);
        if (!QFileInfo(path).exists() && !QFileInfo(path).isSymLink())
            continue;
        if (!QFileInfo(path).isDir() || QFileInfo(path).isSymLink())
            return Failure{QStringLiteral("%1 不是文件夹").arg(shown(path))};
        if (!QDir(path).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                                QDir::System))
            return Failure{QStringLiteral("文件夹 %1 不是空的").arg(shown(path))};
        m_emptyFolders << name;
    }

    for (QString up = m_target; !QFileInfo::exists(up); up = QFileInfo(up).path())
        m_madeFolders << up;
    if (!QDir().mkpath(m_target))
        return Failure{QStringLiteral("无法创建文件夹 %1").arg(shown(m_target))};

    // Leftovers of a killed import are unlocked; a locked one belongs to a running import.
    const QStringList builds =
        target.entryList({kBuildPrefix + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden);
    for (const QString& name : builds) {
        const int lock = lockFolder(target.filePath(name));
        if (lock < 0)
            return Failure{QStringLiteral("文件夹 %1 中正在进行另一次导入").arg(shown(m_target))};
        QDir(target.filePath(name)).removeRecursively();
        ::close(lock);
    }

    m_build = std::make_unique<QTemporaryDir>(target.filePath(kBuildPrefix + "XXXXXX"));
    if (!m_build->isValid())
        return Failure{QStringLiteral("无法在文件夹 %1 中写入：%2")
                           .arg(shown(m_target), m_build->errorString())};
    m_lock = lockFolder(m_build->path());
    for (const QString& name : photoFolders())
        if (!QDir(m_build->path()).mkdir(name))
            return Failure{QStringLiteral("无法在文件夹 %1 中写入").arg(shown(m_target))};
    return {};
}

BuildFolder::~BuildFolder()
{
    m_build.reset();
    if (m_lock >= 0)
        ::close(m_lock);
    if (!m_moved)
        for (const QString& made : m_madeFolders)
            QDir().rmdir(made);
}

QString BuildFolder::path(const QString& name) const
{
    return m_build->filePath(name);
}

Status BuildFolder::moveIntoPlace()
{
    const QDir target(m_target);
    // The copies are written without a sync each; one sync of the file system before they
    // appear in the target keeps a power cut from showing empty photos.
    if (const int fd = ::open(native(m_build->path()).constData(), O_RDONLY | O_CLOEXEC); fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
    QStringList moved;
    const auto undo = [&](const QString& what) {
        const QString why = lastError();
        for (const QString& name : moved) {
            ::rename(native(target.filePath(name)).constData(), native(path(name)).constData());
            if (m_emptyFolders.contains(name))
                target.mkdir(name);
        }
        return Status(
            Failure{QStringLiteral("无法将 %1 移入文件夹 %2：%3").arg(what, shown(m_target), why)});
    };
    // rename() puts a folder over an empty one in one step.
    for (const QString& name : photoFolders()) {
        if (::rename(native(path(name)).constData(), native(target.filePath(name)).constData()))
            return undo(name);
        moved << name;
    }
    // The store goes last and never over a store that appeared meanwhile: link() refuses.
    const QString store = ProgramFolder::kDatabaseName;
    if (::link(native(path(store)).constData(), native(target.filePath(store)).constData()))
        return undo(store);
    ::unlink(native(path(store)).constData());
    if (const int fd = ::open(native(m_target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    m_moved = true;
    return {};
}
