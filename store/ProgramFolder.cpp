#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>

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
