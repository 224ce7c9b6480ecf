#pragma once

#include "Result.h"

#include <QByteArrayView>
#include <QString>
#include <QVariantList>

struct sqlite3_stmt;

class Database;

// The rows of one statement read straight from SQLite as UTF-8 text, forward only. For reading
// very many rows (an export) without turning every value into a QVariant and a QString, which
// costs more than the engine's own work. Values are bound like every other statement's.
class TextRows
{
public:
    static Result<TextRows> open(const Database& db, const QString& sql,
                                 const QVariantList& values);
    TextRows(TextRows&& other) noexcept;
    TextRows& operator=(TextRows&&) = delete;
    TextRows(const TextRows&) = delete;
    ~TextRows();

    // Steps to the next row; false at the end, or after a failure that status() then holds.
    bool next();
    // A column of the current row; valid until the next step.
    QByteArrayView text(int column) const;
    const Status& status() const { return m_status; }

private:
    TextRows(const Database& db, sqlite3_stmt* statement);

    const Database* m_db;
    sqlite3_stmt* m_statement;
    Status m_status;
};
