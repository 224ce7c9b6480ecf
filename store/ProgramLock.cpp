#include "ProgramLock.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

ProgramLock::ProgramLock(const QString& folder)
{
    const QByteArray path =
        QFile::encodeName(QDir(folder).filePath(QStringLiteral(".talvio-lock")));
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_fd < 0)
        return;
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
        m_alone = true;
        return;
    }
    if (::flock(m_fd, LOCK_SH) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

ProgramLock::~ProgramLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void ProgramLock::share()
{
    if (m_fd >= 0 && m_alone && ::flock(m_fd, LOCK_SH) == 0)
        m_alone = false;
}
