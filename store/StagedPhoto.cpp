#include "StagedPhoto.h"

#include "PhotoFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryFile>

#include <cstdio>

namespace {
QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// rename(2) replaces atomically; QFile::rename refuses an existing target.
bool renameOver(const QString& from, const QString& to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

Result<QString> temporaryBeside(const QString& target, const QString& tag)
{
    QTemporaryFile file(QFileInfo(target).absolutePath() + QStringLiteral("/.talvio-") + tag +
                        QStringLiteral("-XXXXXX"));
    file.setAutoRemove(false);
    if (!file.open())
        return Failure{QStringLiteral("无法在文件夹 %1 中写入文件：%2")
                           .arg(shown(QFileInfo(target).absolutePath()), file.errorString())};
    return file.fileName();
}
} // namespace

Result<StagedPhoto> StagedPhoto::stage(const QString& source, const QString& target)
{
    if (!QFileInfo(source).isFile())
        return Failure{QStringLiteral("找不到照片文件 %1").arg(shown(source))};
    QImageReader reader(source);
    if (!reader.canRead() || !reader.size().isValid())
        return Failure{QStringLiteral("文件 %1 不是可读取的图片").arg(shown(source))};

    Result<QString> staged = temporaryBeside(target, QStringLiteral("new"));
    if (!staged)
        return Failure{staged.error()};
    if (Status copied = PhotoFiles::copyAtomically(source, staged.value()); !copied) {
        QFile::remove(staged.value());
        return Failure{copied.error()};
    }
    return StagedPhoto(target, staged.value());
}

StagedPhoto::StagedPhoto(StagedPhoto&& other) noexcept
    : m_target(std::move(other.m_target)), m_staged(std::move(other.m_staged)),
      m_backup(std::move(other.m_backup)), m_installed(other.m_installed), m_done(other.m_done)
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
        Result<QString> backup = temporaryBeside(m_target, QStringLiteral("old"));
        if (!backup)
            return Failure{backup.error()};
        if (!renameOver(m_target, backup.value())) {
            QFile::remove(backup.value());
            return Failure{QStringLiteral("无法移动照片文件 %1").arg(shown(m_target))};
        }
        m_backup = backup.value();
    }
    if (!renameOver(m_staged, m_target)) {
        if (!m_backup.isEmpty() && renameOver(m_backup, m_target))
            m_backup.clear();
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
    if (!m_backup.isEmpty())
        renameOver(m_backup, m_target);
}

void StagedPhoto::keep()
{
    if (m_done)
        return;
    m_done = true;
    if (!m_backup.isEmpty())
        QFile::remove(m_backup);
}
