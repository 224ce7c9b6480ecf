#include "PhotoFiles.h"

#include "ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace PhotoFiles {

namespace {

constexpr qint64 kWholeDecodePixels = 16'000'000;

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

Status makeFolderIfMissing(const QString& path)
{
    if (exists(path))
        return {};
    if (!QDir().mkdir(path))
        return Failure{
            QStringLiteral("无法创建文件夹 %1，请检查程序文件夹是否可写").arg(shown(path))};
    return {};
}

// Qt decodes a JPEG cut off in mid-picture without complaint and fills the rest with grey. Walks
// the markers and the coded data and answers whether the picture ends with its end marker.
bool jpegIsComplete(const QByteArray& data)
{
    const auto at = [&data](qsizetype i) {
        return static_cast<unsigned char>(data.at(i));
    };
    const qsizetype size = data.size();
    if (size < 4 || at(0) != 0xFF || at(1) != 0xD8)
        return false;
    qsizetype pos = 2;
    while (pos + 1 < size) {
        if (at(pos) != 0xFF)
            return false;
        while (pos + 1 < size && at(pos + 1) == 0xFF) // fill bytes
            ++pos;
        if (pos + 1 >= size)
            return false;
        const unsigned char marker = at(pos + 1);
        pos += 2;
        if (marker == 0xD9)
            return true;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue;
        if (pos + 1 >= size)
            return false;
        pos += (at(pos) << 8) | at(pos + 1);
        if (marker != 0xDA)
            continue;
        // Coded data runs to the next marker; FF 00 is a data byte and FF D0..D7 restart markers.
        while (pos + 1 < size && !(at(pos) == 0xFF && at(pos + 1) != 0x00 &&
                                   (at(pos + 1) < 0xD0 || at(pos + 1) > 0xD7)))
            ++pos;
    }
    return false;
}

} // namespace

bool exists(const QString& path)
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

Status prepareFolders()
{
    if (Status made = makeFolderIfMissing(ProgramFolder::templateFolder()); !made)
        return made;
    return makeFolderIfMissing(ProgramFolder::photoFolder());
}

bool defaultPhotoExists()
{
    return exists(ProgramFolder::defaultPhoto());
}

QString safeFileName(const QString& name)
{
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    QString safe;
    safe.reserve(name.size());
    for (const QChar c : name)
        safe +=
            (c.unicode() < 0x20 || c.unicode() == 0x7f || forbidden.contains(c)) ? QChar(u'_') : c;
    // "." and ".." would name a folder, not a file inside "照片".
    if (safe.startsWith(QLatin1String("..")))
        safe.replace(0, 2, QStringLiteral("__"));
    return safe;
}

QString memberPhotoPath(const QString& name, const QString& telephone)
{
    return ProgramFolder::join(
        ProgramFolder::kPhotoFolderName + QLatin1Char('/') +
        safeFileName(name + QLatin1Char('-') + telephone + QStringLiteral(".jpg")));
}

const QString kTemporaryPrefix = QStringLiteral(".talvio-");

Result<QString> temporaryBeside(const QString& target, const QString& tag)
{
    const QString folder = QFileInfo(target).absolutePath();
    QTemporaryFile file(folder + QLatin1Char('/') + kTemporaryPrefix + tag +
                        QStringLiteral("-XXXXXX"));
    file.setAutoRemove(false);
    if (!file.open())
        return Failure{QStringLiteral("无法在文件夹 %1 中写入文件：%2")
                           .arg(shown(folder), file.errorString())};
    // A temporary file is the owner's alone; the photo it becomes is an ordinary file.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    return file.fileName();
}

bool renameOver(const QString& from, const QString& to)
{
    // rename(2) replaces atomically; QFile::rename refuses an existing target.
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

Status copyAtomically(const QString& from, const QString& to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return Failure{
            QStringLiteral("无法读取文件 %1：%2").arg(shown(from), source.errorString())};
    // Our own temporary name rather than QSaveFile's, so that start-up knows it for a leftover.
    Result<QString> temporary = temporaryBeside(to, QStringLiteral("copy"));
    if (!temporary)
        return Failure{QStringLiteral("无法写入文件 %1：%2").arg(shown(to), temporary.error())};
    QFile target(temporary.value());
    const auto fail = [&](const QString& message) {
        target.close();
        QFile::remove(temporary.value());
        return Status(Failure{message});
    };
    if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(QStringLiteral("无法写入文件 %1：%2").arg(shown(to), target.errorString()));
    QByteArray chunk;
    while (!(chunk = source.read(1 << 20)).isEmpty()) {
        if (target.write(chunk) != chunk.size())
            return fail(
                QStringLiteral("写入文件 %1 失败：%2").arg(shown(to), target.errorString()));
    }
    if (source.error() != QFileDevice::NoError)
        return fail(QStringLiteral("读取文件 %1 失败：%2").arg(shown(from), source.errorString()));
    if (!target.flush())
        return fail(QStringLiteral("写入文件 %1 失败：%2").arg(shown(to), target.errorString()));
    target.close();
    if (!renameOver(temporary.value(), to))
        return fail(QStringLiteral("保存文件 %1 失败：%2")
                        .arg(shown(to), QString::fromLocal8Bit(std::strerror(errno))));
    return {};
}

Result<QImage> readPicture(const QString& path, QSize fitInto)
{
    if (path.isEmpty())
        return Failure{QStringLiteral("没有照片文件")};
    if (!QFileInfo(path).isFile())
        return Failure{QStringLiteral("找不到照片文件 %1").arg(shown(path))};
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QByteArray format = reader.format();
    // Pictures of a few megapixels are decoded whole, so that they are drawn by their own exact
    // proportions; a larger one, beyond what the allocation limit lets through, is decoded
    // straight at the size it is drawn. The scaled size applies before the EXIF rotation.
    const QSize stored = reader.size();
    if (fitInto.isValid() && !fitInto.isEmpty() && stored.isValid() &&
        qint64(stored.width()) * stored.height() > kWholeDecodePixels) {
        const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
        const QSize upright = turned ? stored.transposed() : stored;
        if (upright.width() > fitInto.width() || upright.height() > fitInto.height()) {
            const QSize fitted = upright.scaled(fitInto, Qt::KeepAspectRatio).expandedTo({1, 1});
            reader.setScaledSize(turned ? fitted.transposed() : fitted);
        }
    }
    QImage image = reader.read();
    if (image.isNull())
        return Failure{QStringLiteral("照片文件 %1 不是可读取的图片：%2")
                           .arg(shown(path), reader.errorString())};
    if (format == "jpeg") {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || !jpegIsComplete(file.readAll()))
            return Failure{QStringLiteral("照片文件 %1 不完整或已损坏").arg(shown(path))};
    }
    return image;
}

bool isInPhotoFolder(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QString folder =
        QDir::cleanPath(QFileInfo(ProgramFolder::photoFolder()).absoluteFilePath());
    const QString file = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return QFileInfo(file).absolutePath() == folder;
}

bool isUnreadablePhoto(const QString& path)
{
    return isInPhotoFolder(path) && QFileInfo(path).isFile() && !readPicture(path, {64, 64});
}

QString setAsideFolder()
{
    return ProgramFolder::join(ProgramFolder::kPhotoFolderName + QStringLiteral("/无法显示"));
}

Result<QString> setAside(const QString& path)
{
    const QString folder = setAsideFolder();
    if (!QDir().mkpath(folder))
        return Failure{QStringLiteral("无法创建文件夹 %1").arg(shown(folder))};
    const QFileInfo original(path);
    QString target = folder + QLatin1Char('/') + original.fileName();
    for (int n = 1; QFileInfo::exists(target); ++n)
        target = QStringLiteral("%1/%2-%3.%4")
                     .arg(folder, original.completeBaseName())
                     .arg(n)
                     .arg(original.suffix());
    if (!QFile::rename(path, target))
        return Failure{QStringLiteral("无法将照片文件 %1 移到 %2").arg(shown(path), shown(folder))};
    return target;
}

bool moveBack(const QString& setAsidePath, const QString& originalPath)
{
    return !QFileInfo::exists(originalPath) && QFile::rename(setAsidePath, originalPath);
}

} // namespace PhotoFiles
