#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

// The floor of every measurement: SQLite's own C interface with prepared statements, no Qt.
namespace RawSqlite {

class Statement;

class Connection
{
public:
    // Opens an existing store with the program's settings (WAL, synchronous=NORMAL).
    explicit Connection(const std::string& file);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* handle() const { return m_db; }
    void exec(const char* sql) const;

private:
    sqlite3* m_db = nullptr;
};

class Statement
{
public:
    Statement(const Connection& db, std::string_view sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Resets the statement and clears its bindings, ready for new values.
    Statement& reset();
    Statement& bind(int index, std::string_view text);
    Statement& bind(int index, std::int64_t value);
    // Steps to the next row; false when done.
    bool next();
    // Runs a statement that returns no rows, or steps through and ignores them.
    void run();

    std::int64_t integer(int column) const;
    std::string_view text(int column) const;

private:
    sqlite3_stmt* m_stmt = nullptr;
};

// One member row copied out of SQLite, as the cheapest program that shows it would keep it.
struct Row
{
    std::int64_t id = 0;
    std::string values[8];
};

// Copies the current row of a statement that selects id and the eight member columns.
Row readRow(const Statement& statement);

// The member columns in table order, as the program selects them.
inline constexpr const char* kColumns =
    "id, xingming, xingbie, nianling, dianhua, qq, youxiang, dizhi, zhaopian";

} // namespace RawSqlite
