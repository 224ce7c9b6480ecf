#include "Database.h"

#include "EngineErrors.h"
#include "ProgramFolder.h"
#include "Schema.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>

#include <sqlite3.h>

#include <atomic>

namespace {

QString nextConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("talvio-%1").arg(counter.fetchAndAddRelaxed(1));
}

QString engineText(const QSqlError& error)
{
    return EngineErrors::describe(error);
}

constexpr int kWaitStepMs = 20;
std::atomic<int> lockWaitMs{2000};
std::function<void()> waitNotice;

// Waits for another program's lock in short steps, a bounded time in all. The window freezes
// meanwhile, so the notice lets it show that it is busy.
int waitForLock(void*, int attempt)
{
    if (attempt == 0 && waitNotice)
        waitNotice();
    if (attempt * kWaitStepMs >= lockWaitMs.load())
        return 0;
    sqlite3_sleep(kWaitStepMs);
    return 1;
}

void installLockWait(const QSqlDatabase& db)
{
    const QVariant handle = db.driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        if (sqlite3* engine = *static_cast<sqlite3* const*>(handle.constData()))
            sqlite3_busy_handler(engine, waitForLock, nullptr);
}

} // namespace

Database::Database(QString connectionName, QString file)
    : m_name(std::move(connectionName)), m_file(std::move(file))
{}

Database::Database(Database&& other) noexcept
    : m_name(std::exchange(other.m_name, {})), m_file(std::exchange(other.m_file, {}))
{}

Database& Database::operator=(Database&& other) noexcept
{
    if (this != &other) {
        release();
        m_name = std::exchange(other.m_name, {});
        m_file = std::exchange(other.m_file, {});
    }
    return *this;
}

Database::~Database()
{
    release();
}

void Database::setLockWait(int milliseconds)
{
    lockWaitMs.store(std::max(0, milliseconds));
}

void Database::setWaitNotice(std::function<void()> notice)
{
    waitNotice = std::move(notice);
}

void Database::release()
{
    if (m_name.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
    m_name.clear();
}

QSqlDatabase Database::connection() const
{
    return QSqlDatabase::database(m_name, false);
}

QString Database::describe(const QString& engine) const
{
    return QStringLiteral("数据库 %1 操作失败：%2").arg(QDir::toNativeSeparators(m_file), engine);
}

Result<Database> Database::openProgramStore()
{
    return open(ProgramFolder::databaseFile());
}

Result<Database> Database::open(const QString& file)
{
    const QString shown = QDir::toNativeSeparators(file);
    const QFileInfo info(file);
    if (!info.exists())
        return Failure{QStringLiteral("找不到数据库文件 %1").arg(shown)};
    if (!info.isFile())
        return Failure{QStringLiteral("%1 不是数据库文件").arg(shown)};

    Result<Database> db = connect(file, false);
    if (!db)
        return db;
    // Only reads until the file is known to be a store: switching a foreign or empty file to WAL
    // would rewrite it.
    {
        Result<QSqlQuery> tables =
            db->run(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                                   "name IN ('admin', 'user')"));
        if (!tables)
            return tables.failure();
        if (!tables->next() || tables->value(0).toInt() != 2)
            return Failure{QStringLiteral("数据库文件 %1 中缺少数据表 admin 或 user").arg(shown)};
    }
    if (Status pragmas = db->applyPragmas(); !pragmas)
        return Failure{QStringLiteral("数据库文件 %1 无法使用：%2").arg(shown, pragmas.error())};
    return db;
}

Result<Database> Database::create(const QString& file)
{
    if (QFileInfo::exists(file))
        return Failure{
            QStringLiteral("数据库文件 %1 已经存在，未作改动").arg(QDir::toNativeSeparators(file))};
    Result<Database> db = connect(file, true);
    if (!db)
        return db;
    if (Status pragmas = db->applyPragmas(); !pragmas)
        return Failure{QStringLiteral("数据库文件 %1 无法使用：%2")
                           .arg(QDir::toNativeSeparators(file), pragmas.error())};
    if (Status made = Schema::create(db.value()); !made)
        return made.failure();
    return db;
}

Result<Database> Database::connect(const QString& file, bool mayCreate)
{
    const QString name = nextConnectionName();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        // A URI with mode=rw keeps SQLite from creating a missing file behind our back.
        QUrl uri = QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath());
        uri.setQuery(mayCreate ? QStringLiteral("mode=rwc") : QStringLiteral("mode=rw"));
        db.setDatabaseName(uri.toString(QUrl::FullyEncoded));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
        if (!db.open()) {
            const QString engine = engineText(db.lastError());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            return Failure{QStringLiteral("无法打开数据库文件 %1：%2")
                               .arg(QDir::toNativeSeparators(file), engine)};
        }
        installLockWait(db);
    }
    return Database(name, file);
}

Status Database::applyPragmas() const
{
    static const char* const pragmas[] = {
        "PRAGMA journal_mode = WAL",
        "PRAGMA synchronous = NORMAL",
        "PRAGMA foreign_keys = ON",
    };
    for (const char* pragma : pragmas) {
        QSqlQuery query(connection());
        if (!query.exec(QString::fromLatin1(pragma)))
            return Failure{engineText(query.lastError())};
    }
    return {};
}

Result<QSqlQuery> Database::run(const QString& sql, std::initializer_list<QVariant> values) const
{
    return run(sql, QVariantList(values));
}

Result<QSqlQuery> Database::run(const QString& sql, const QVariantList& values) const
{
    Result<QSqlQuery> query = prepare(sql);
    if (!query)
        return query;
    if (Status done = execute(query.value(), values); !done)
        return done.failure();
    return query;
}

Result<QSqlQuery> Database::prepare(const QString& sql) const
{
    QSqlQuery query(connection());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        return Failure{describe(engineText(query.lastError()))};
    return query;
}

Status Database::execute(QSqlQuery& query, const QVariantList& values) const
{
    for (qsizetype i = 0; i < values.size(); ++i)
        query.bindValue(int(i), values.at(i));
    if (!query.exec())
        return Failure{describe(engineText(query.lastError()))};
    return {};
}

Status Database::begin() const
{
    if (Result<QSqlQuery> q = run(QStringLiteral("BEGIN IMMEDIATE")); !q)
        return q.failure();
    return {};
}

Status Database::commit() const
{
    if (Result<QSqlQuery> q = run(QStringLiteral("COMMIT")); !q)
        return q.failure();
    return {};
}

void Database::rollback() const
{
    // Called on a path that already failed; a failed rollback ends the transaction all the same.
    (void)run(QStringLiteral("ROLLBACK"));
}
