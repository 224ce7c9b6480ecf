#pragma once

#include "Result.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <functional>
#include <initializer_list>

// One SQLite connection to a member store. The program opens existing stores only; creating one
// is the admin tool's job. Queries made from a Database must be gone before it is destroyed.
class Database
{
public:
    // Opens an existing store and checks that it holds the two tables the program relies on.
    static Result<Database> open(const QString& file);
    // Opens the store in the program folder.
    static Result<Database> openProgramStore();
    // Opens the program's store for one piece of work; a store that cannot be opened is the
    // work's failure. The connection closes when the work is done.
    template <typename Work> static auto withProgramStore(Work&& work)
    {
        using Outcome = decltype(work(std::declval<const Database&>()));
        Result<Database> db = openProgramStore();
        if (!db)
            return Outcome(db.failure());
        return work(db.value());
    }
    // Creates a new store file with the schema; refuses a file that already exists.
    static Result<Database> create(const QString& file);

    Database(Database&& other) noexcept;
    Database& operator=(Database&& other) noexcept;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database();

    // How long a statement waits for another program's lock before it fails; about 2 s.
    static void setLockWait(int milliseconds);
    // Called each time a statement starts to wait for a lock.
    static void setWaitNotice(std::function<void()> notice);

    QSqlDatabase connection() const;
    const QString& file() const { return m_file; }

    // Prepares the statement and binds the values in order; never joins values into SQL.
    Result<QSqlQuery> run(const QString& sql, std::initializer_list<QVariant> values = {}) const;
    Result<QSqlQuery> run(const QString& sql, const QVariantList& values) const;
    // For a statement run many times: prepare once, then execute with fresh values each time.
    Result<QSqlQuery> prepare(const QString& sql) const;
    Status execute(QSqlQuery& query, const QVariantList& values) const;

    Status begin() const;
    Status commit() const;
    void rollback() const;

    // The operator-readable text of a failed query, naming the store.
    QString describe(const QString& engineText) const;

private:
    Database(QString connectionName, QString file);
    static Result<Database> connect(const QString& file, bool mayCreate);
    Status applyPragmas() const;
    void release();

    QString m_name;
    QString m_file;
};
