#include "RawSqlite.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>

namespace RawSqlite {

namespace {
[[noreturn]] void fail(sqlite3* db, const char* what)
{
    std::fprintf(stderr, "sqlite: %s: %s\n", what, db ? sqlite3_errmsg(db) : "no connection");
    std::exit(1);
}
} // namespace

Connection::Connection(const std::string& file)
{
    if (sqlite3_open_v2(file.c_str(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        fail(m_db, file.c_str());
    exec("PRAGMA busy_timeout = 5000");
    exec("PRAGMA journal_mode = WAL");
    exec("PRAGMA synchronous = NORMAL");
}

Connection::~Connection()
{
    sqlite3_close_v2(m_db);
}

void Connection::exec(const char* sql) const
{
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(m_db, sql);
}

Statement::Statement(const Connection& db, std::string_view sql)
{
    if (sqlite3_prepare_v3(db.handle(), sql.data(), int(sql.size()), SQLITE_PREPARE_PERSISTENT,
                           &m_stmt, nullptr) != SQLITE_OK)
        fail(db.handle(), std::string(sql).c_str());
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

Statement& Statement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
    return *this;
}

Statement& Statement::bind(int index, std::string_view text)
{
    sqlite3_bind_text(m_stmt, index, text.data(), int(text.size()), SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::bind(int index, std::int64_t value)
{
    sqlite3_bind_int64(m_stmt, index, value);
    return *this;
}

bool Statement::next()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        fail(sqlite3_db_handle(m_stmt), sqlite3_sql(m_stmt));
    return false;
}

void Statement::run()
{
    while (next()) {
    }
}

std::int64_t Statement::integer(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

std::string_view Statement::text(int column) const
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return bytes ? std::string_view(bytes, size_t(sqlite3_column_bytes(m_stmt, column)))
                 : std::string_view();
}

Row readRow(const Statement& statement)
{
    Row row;
    row.id = statement.integer(0);
    for (int column = 1; column <= 8; ++column)
        row.values[column - 1] = statement.text(column);
    return row;
}

} // namespace RawSqlite
