#pragma once

#include "Result.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

struct LegacyHandle; // libmdb's handle, whose type cannot be declared ahead
struct S_MdbTableDef;

class LegacyTable;

// The older register's Access file (Jet), read through libmdb and never written. Opening checks
// what libmdb itself does not: that the file is a Jet database, whole, and without a password.
class LegacyDatabase
{
public:
    static Result<std::unique_ptr<LegacyDatabase>> open(const QString& file);
    ~LegacyDatabase();
    LegacyDatabase(const LegacyDatabase&) = delete;
    LegacyDatabase& operator=(const LegacyDatabase&) = delete;

    // The table of that name with the given columns, in the order asked for; names compare
    // without regard to case, as Jet compares them. Columns not asked for are ignored.
    Result<std::unique_ptr<LegacyTable>> table(const QString& name,
                                               const QStringList& columns) const;

private:
    LegacyDatabase(std::unique_ptr<LegacyHandle> mdb, QString file);
    std::unique_ptr<LegacyHandle> m_mdb;
    QString m_file;
};

// The rows of one table, read once from the first to the last; lives no longer than its file.
class LegacyTable
{
public:
    ~LegacyTable();
    LegacyTable(const LegacyTable&) = delete;
    LegacyTable& operator=(const LegacyTable&) = delete;

    // How many rows the table says it holds.
    qint64 rowCount() const;
    // The next row's values; false after the last. libmdb gives NULL as empty text.
    bool next(QStringList& values);
    // After the last row: fails when fewer rows came than the table holds (a cut-off file).
    Status finished() const;

private:
    friend class LegacyDatabase;
    LegacyTable(S_MdbTableDef* table, QString file) : m_table(table), m_file(std::move(file)) {}

    S_MdbTableDef* m_table;
    QString m_file;
    std::vector<int> m_columns; // libmdb's column numbers, in the order asked for
    std::vector<std::vector<char>> m_values;
    std::vector<int> m_lengths;
    qint64 m_read = 0;
};

namespace LegacyMessages {
// The message for a file that is not whole; also used where libmdb fails to read a page.
QString damaged(const QString& file);
} // namespace LegacyMessages
