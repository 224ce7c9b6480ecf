#include "CaptureFiles.h"

#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryFile>

namespace CaptureFiles {

namespace {

constexpr int kJpegQuality = 90;

QStringList& taken()
{
    static QStringList files;
    return files;
}

void releaseEverything()
{
    releaseAllBut(QString());
}

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

QString folder()
{
    return ProgramFolder::join(QStringLiteral(".talvio-camera"));
}

Result<QString> save(const QImage& photo)
{
    if (photo.isNull())
        return Failure{QStringLiteral("摄像头没有送来画面")};
    const QString dir = folder();
    if (!QDir().mkpath(dir))
        return Failure{
            QStringLiteral("无法创建文件夹 %1，请检查程序文件夹是否可写").arg(shown(dir))};
    QTemporaryFile file(dir + QStringLiteral("/photo-XXXXXX.jpg"));
    if (!file.open())
        return Failure{
            QStringLiteral("无法在文件夹 %1 中写入文件：%2").arg(shown(dir), file.errorString())};
    QImageWriter writer(&file, "jpg");
    writer.setQuality(kJpegQuality);
    // A file cut short (a full disk) stays a temporary file and goes with it.
    if (!writer.write(photo) || !file.flush())
        return Failure{QStringLiteral("无法写入照片文件 %1：%2")
                           .arg(shown(file.fileName()), writer.errorString())};
    file.setAutoRemove(false);
    static const bool atExit = (qAddPostRoutine(releaseEverything), true);
    Q_UNUSED(atExit);
    taken() << file.fileName();
    return file.fileName();
}

bool isHeld(const QString& path)
{
    return !path.isEmpty() && taken().contains(path);
}

void releaseAllBut(const QString& kept)
{
    taken().removeIf([&](const QString& file) {
        return file != kept && (QFile::remove(file) || !QFile::exists(file));
    });
}

QStringList removeLeftovers()
{
    QStringList problems;
    QDir dir(folder(), QString(), QDir::Name, QDir::Files | QDir::Hidden);
    for (const QFileInfo& info : dir.entryInfoList())
        if (!taken().contains(info.filePath()) && !QFile::remove(info.filePath()))
            problems << shown(info.filePath());
    return problems;
}

} // namespace CaptureFiles
