#include "EngineErrors.h"

#include <QSqlError>

#include <sqlite3.h>

namespace EngineErrors {

QString describe(int resultCode, const QString& engineText)
{
    // Extended codes carry the primary code in their low byte.
    switch (resultCode & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("数据库正被其他程序使用，请稍后再试");
    case SQLITE_FULL:
        return QStringLiteral("数据库或磁盘已满");
    case SQLITE_IOERR:
        return QStringLiteral("读写数据库文件时发生磁盘错误");
    case SQLITE_CANTOPEN:
        return QStringLiteral("无法打开数据库文件");
    case SQLITE_NOTADB:
        return QStringLiteral("文件不是数据库");
    case SQLITE_CORRUPT:
        return QStringLiteral("数据库文件已损坏");
    case SQLITE_READONLY:
        return QStringLiteral("数据库文件只读，无法写入");
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("没有访问数据库文件的权限");
    case SQLITE_NOMEM:
        return QStringLiteral("内存不足");
    case SQLITE_TOOBIG:
        return QStringLiteral("数据过长，数据库无法保存");
    case SQLITE_PROTOCOL:
        return QStringLiteral("数据库锁定失败，请稍后再试");
    default:
        break;
    }
    return engineText.isEmpty() ? QStringLiteral("数据库错误（代码 %1）").arg(resultCode)
                                : QStringLiteral("数据库错误：%1").arg(engineText);
}

QString describe(const QSqlError& error)
{
    const QString db = error.databaseText().trimmed();
    const QString text = db.isEmpty() ? error.text().trimmed() : db;
    bool known = false;
    const int code = error.nativeErrorCode().toInt(&known);
    return known ? describe(code, text) : text;
}

} // namespace EngineErrors
