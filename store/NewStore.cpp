#include "NewStore.h"

#include "Accounts.h"
#include "Database.h"
#include "ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace NewStore {

namespace {

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// Flushes a file or folder to the disk, so that a power cut cannot show the store half there.
void flush(const QString& path)
{
    if (const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC); fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

Status checkOperator(const QString& name, const QString& password, const QString& again)
{
    if (name.trimmed().isEmpty())
        return Failure{QStringLiteral("用户名不能为空")};
    if (password.trimmed().isEmpty())
        return Failure{QStringLiteral("口令不能为空")};
    if (password != again)
        return Failure{QStringLiteral("两次输入的口令不同")};
    return {};
}

Status create(const QString& folder, const QString& name, const QString& password)
{
    const QString target = QDir(folder).filePath(ProgramFolder::kDatabaseName);
    if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
        return Failure{QStringLiteral("文件夹 %1 中已有数据库 %2")
                           .arg(shown(folder), ProgramFolder::kDatabaseName)};
    // Built in a hidden folder beside the target, so that moving it in is one link.
    QTemporaryDir aside(QDir(folder).filePath(QStringLiteral(".talvio-new-XXXXXX")));
    if (!aside.isValid())
        return Failure{
            QStringLiteral("无法在文件夹 %1 中写入：%2").arg(shown(folder), aside.errorString())};
    const QString built = aside.filePath(ProgramFolder::kDatabaseName);
    {
        Result<Database> db = Database::create(built);
        if (!db)
            return db.failure();
        if (Status added = Accounts::add(db.value(), name.trimmed(), password); !added)
            return added;
    }
    // Closing the last connection folds the write-ahead log into the file; what is still in a
    // log would be lost with the hidden folder.
    if (QFileInfo(built + QStringLiteral("-wal")).size() > 0)
        return Failure{QStringLiteral("数据库文件 %1 未能写完").arg(shown(target))};
    flush(built);
    // link() never replaces a store that appeared meanwhile.
    if (::link(QFile::encodeName(built).constData(), QFile::encodeName(target).constData()) != 0)
        return Failure{QStringLiteral("无法写入数据库文件 %1：%2")
                           .arg(shown(target), QString::fromLocal8Bit(std::strerror(errno)))};
    flush(folder);
    return {};
}

} // namespace NewStore
