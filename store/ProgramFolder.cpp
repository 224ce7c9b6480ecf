#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace ProgramFolder {

const QString kDatabaseName = QStringLiteral("hd.db");
const QString kPhotoFolderName = QStringLiteral("照片");
const QString kTemplateFolderName = QStringLiteral("模版照片");
const QString kDefaultPhotoName = QStringLiteral("1.jpg");

namespace {
QString& rootStorage()
{
    static QString folder;
    return folder;
}
} // namespace

void setRoot(const QString& folder)
{
    rootStorage() = QDir::cleanPath(QDir(folder).absolutePath());
}

QString root()
{
    if (rootStorage().isEmpty())
        setRoot(QCoreApplication::applicationDirPath());
    return QDir::toNativeSeparators(rootStorage());
}

QString defaultRoot(const QString& executableFolder, const QString& userFolder)
{
    // Anything under the store's name makes a portable folder; the sign-in says what is wrong.
    const QFileInfo store(QDir(executableFolder).filePath(kDatabaseName));
    return store.exists() || store.isSymLink() ? executableFolder : userFolder;
}

Status useFolder(const QString& named)
{
    if (!named.isEmpty()) {
        if (!QFileInfo(named).isDir())
            return Failure{QStringLiteral("文件夹 %1 不存在").arg(QDir::toNativeSeparators(named))};
        setRoot(named);
        return {};
    }
    const QString user = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const QString chosen = defaultRoot(QCoreApplication::applicationDirPath(), user);
    if (chosen.isEmpty())
        return Failure{QStringLiteral("找不到用户的数据文件夹，请用 --data-dir 指定文件夹")};
    if (!QDir().mkpath(chosen))
        return Failure{
            QStringLiteral("无法创建数据文件夹 %1").arg(QDir::toNativeSeparators(chosen))};
    setRoot(chosen);
    return {};
}

QString join(const QString& name)
{
    QString base = root();
    if (!base.endsWith(QDir::separator()))
        base += QDir::separator();
    return base + QDir::toNativeSeparators(name);
}

QString databaseFile()
{
    return join(kDatabaseName);
}
QString photoFolder()
{
    return join(kPhotoFolderName);
}
QString templateFolder()
{
    return join(kTemplateFolderName);
}
QString defaultPhoto()
{
    return join(kTemplateFolderName + QLatin1Char('/') + kDefaultPhotoName);
}

} // namespace ProgramFolder
