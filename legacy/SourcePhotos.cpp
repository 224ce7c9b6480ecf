#include "SourcePhotos.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <filesystem>
#include <system_error>

Result<SourcePhotos> SourcePhotos::list(const QString& folder)
{
    SourcePhotos photos;
    photos.m_folder = folder;
    if (!QFileInfo(folder).isDir())
        return photos;
    // QDir lists an unreadable folder as empty; the file system says why it cannot be read.
    std::error_code error;
    const std::filesystem::path path(QFile::encodeName(folder).toStdString());
    QStringList names;
    for (std::filesystem::directory_iterator it(path, error), end; !error && it != end;
         it.increment(error))
        if (it->is_regular_file(error))
            names << QFile::decodeName(QByteArray::fromStdString(it->path().filename()));
    if (error)
        return Failure{
            QStringLiteral("无法读取文件夹 %1：%2")
                .arg(QDir::toNativeSeparators(folder), QString::fromLocal8Bit(error.message()))};
    names.sort();
    for (const QString& name : names) {
        photos.m_names.insert(name);
        const QString folded = name.toCaseFolded();
        if (!photos.m_byFoldedName.contains(folded))
            photos.m_byFoldedName.insert(folded, name);
    }
    return photos;
}

QString SourcePhotos::find(const QString& name)
{
    QString found = m_names.contains(name) ? name : m_byFoldedName.value(name.toCaseFolded());
    if (found.isEmpty())
        return {};
    m_used.insert(found);
    return m_folder + QLatin1Char('/') + found;
}

QString findIgnoringCase(const QString& folder, const QString& name)
{
    if (QFileInfo::exists(folder + QLatin1Char('/') + name))
        return folder + QLatin1Char('/') + name;
    const QStringList entries = QDir(folder).entryList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return folder + QLatin1Char('/') + entry;
    return {};
}
