#include "StagedPhoto.h"

#include "PhotoFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace {
QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

Result<StagedPhoto> StagedPhoto::stage(const QString& source, const QString& target)
{
    if (!QFileInfo(source).isFile())
        return Failure{QStringLiteral("找不到照片文件 %1").arg(shown(source))};
    QImageReader reader(source);
    if (!reader.canRead() || !reader.size().isValid())
        return Failure{QStringLiteral("文件 %1 不是可读取的图片").arg(shown(source))};

    Result<QString> staged = PhotoFiles::temporaryBeside(target, QStringLiteral("new"));
    if (!staged)
        return staged.failure();
    if (Status copied = PhotoFiles::copyAtomically(source, staged.value()); !copied) {
        QFile::remove(staged.value());
        return copied.failure();
    }
    // The name the old target will be moved to is fixed now, so that a note of the save can name
    // it before anything is moved.
    QString backup = staged.value();
    backup.replace(backup.lastIndexOf(QStringLiteral("-new-")), 5, QStringLiteral("-old-"));
    return StagedPhoto(target, staged.value(), backup);
}

StagedPhoto::StagedPhoto(StagedPhoto&& other) noexcept
    : m_target(std::move(other.m_target)), m_staged(std::move(other.m_staged)),
      m_backup(std::move(other.m_backup)), m_movedAside(other.m_movedAside),
      m_installed(other.m_installed), m_done(other.m_done)
{
    other.m_done = true;
}

StagedPhoto::~StagedPhoto()
{
    if (!m_done)
        undo();
}

Status StagedPhoto::install()
{
    if (QFileInfo::exists(m_target)) {
        if (!PhotoFiles::renameOver(m_target, m_backup))
            return Failure{QStringLiteral("无法移动照片文件 %1").arg(shown(m_target))};
        m_movedAside = true;
    }
    if (!PhotoFiles::renameOver(m_staged, m_target)) {
        if (m_movedAside && PhotoFiles::renameOver(m_backup, m_target))
            m_movedAside = false;
        return Failure{QStringLiteral("无法写入照片文件 %1").arg(shown(m_target))};
    }
    m_installed = true;
    return {};
}

void StagedPhoto::undo()
{
    if (m_done)
        return;
    m_done = true;
    if (m_installed)
        QFile::remove(m_target);
    else
        QFile::remove(m_staged);
    if (m_movedAside)
        PhotoFiles::renameOver(m_backup, m_target);
}

void StagedPhoto::keep()
{
    if (m_done)
        return;
    m_done = true;
    if (m_movedAside)
        QFile::remove(m_backup);
}
