#include "TextRows.h"

#include "Database.h"
#include "EngineErrors.h"

#include <QSqlDriver>

#include <sqlite3.h>

namespace {
sqlite3* engineOf(const Database& db)
{
    const QVariant handle = db.connection().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

Failure engineFailure(const Database& db, sqlite3* engine, int code)
{
    return Failure{
        db.describe(EngineErrors::describe(code, QString::fromUtf8(sqlite3_errmsg(engine))))};
}

int bind(sqlite3_stmt* statement, int index, const QVariant& value)
{
    if (value.isNull())
        return sqlite3_bind_null(statement, index);
    if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int)
        return sqlite3_bind_int64(statement, index, value.toLongLong());
    const QByteArray text = value.toString().toUtf8();
    return sqlite3_bind_text(statement, index, text.constData(), int(text.size()),
                             SQLITE_TRANSIENT);
}
} // namespace

Result<TextRows> TextRows::open(const Database& db, const QString& sql, const QVariantList& values)
{
    sqlite3* engine = engineOf(db);
    if (!engine)
        return Failure{db.describe(QStringLiteral("数据库连接不可用"))};
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* statement = nullptr;
    if (const int prepared =
            sqlite3_prepare_v2(engine, text.constData(), int(text.size()), &statement, nullptr);
        prepared != SQLITE_OK)
        return engineFailure(db, engine, prepared);
    TextRows rows(db, statement);
    for (qsizetype i = 0; i < values.size(); ++i)
        if (const int bound = bind(statement, int(i + 1), values.at(i)); bound != SQLITE_OK)
            return engineFailure(db, engine, bound);
    return rows;
}

TextRows::TextRows(const Database& db, sqlite3_stmt* statement) : m_db(&db), m_statement(statement)
{}

TextRows::TextRows(TextRows&& other) noexcept
    : m_db(other.m_db), m_statement(std::exchange(other.m_statement, nullptr)),
      m_status(std::move(other.m_status))
{}

TextRows::~TextRows()
{
    sqlite3_finalize(m_statement);
}

bool TextRows::next()
{
    if (!m_status)
        return false;
    const int stepped = sqlite3_step(m_statement);
    if (stepped == SQLITE_ROW)
        return true;
    if (stepped != SQLITE_DONE)
        m_status = engineFailure(*m_db, sqlite3_db_handle(m_statement), stepped);
    return false;
}

QByteArrayView TextRows::text(int column) const
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    return QByteArrayView(bytes, sqlite3_column_bytes(m_statement, column));
}
