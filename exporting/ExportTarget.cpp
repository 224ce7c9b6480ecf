#include "ExportTarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool syncPath(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// The temporary file is private while it is written; the result gets the replaced file's
// permissions, or those a newly created file gets.
mode_t targetMode(const QString& target)
{
    struct stat existing
    {};
    if (::stat(QFile::encodeName(target).constData(), &existing) == 0)
        return existing.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}
} // namespace

ExportTarget::ExportTarget(QString target) : m_target(std::move(target)) {}

ExportTarget::~ExportTarget()
{
    if (!m_committed && !m_part.isEmpty())
        QFile::remove(m_part);
}

Failure ExportTarget::failure(const QString& what) const
{
    return Failure{QStringLiteral("无法写入 %1：%2").arg(QDir::toNativeSeparators(m_target), what)};
}

Status ExportTarget::open()
{
    const QFileInfo target(m_target);
    if (target.isDir())
        return failure(QStringLiteral("这是一个文件夹"));
    QTemporaryFile part(target.absolutePath() + QLatin1Char('/') + target.fileName() +
                        QStringLiteral(".XXXXXX.part"));
    part.setAutoRemove(false);
    if (!part.open())
        return failure(part.errorString());
    m_part = part.fileName();
    return {};
}

Status ExportTarget::commit()
{
    const QByteArray part = QFile::encodeName(m_part);
    if (::chmod(part.constData(), targetMode(m_target)) != 0 || !syncPath(m_part))
        return failure(QString::fromLocal8Bit(std::strerror(errno)));
    if (std::rename(part.constData(), QFile::encodeName(m_target).constData()) != 0)
        return failure(QString::fromLocal8Bit(std::strerror(errno)));
    m_committed = true;
    // The new name itself reaches the disk with its folder.
    syncPath(QFileInfo(m_target).absolutePath());
    return {};
}
