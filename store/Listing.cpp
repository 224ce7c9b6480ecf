#include "Listing.h"

#include "Database.h"
#include "MemberTable.h"

#include <algorithm>

namespace {

// The full list's count is kept by triggers; a store made elsewhere may lack that table.
Result<qint64> countEveryone(const Database& db)
{
    if (Result<QSqlQuery> kept = db.run(QStringLiteral("SELECT n FROM user_total LIMIT 1"));
        kept && kept->next())
        return kept->value(0).toLongLong();
    Result<QSqlQuery> counted = db.run(QStringLiteral("SELECT count(*) FROM user"));
    if (!counted)
        return counted.failure();
    return counted->next() ? counted->value(0).toLongLong() : 0;
}

} // namespace

Listing Listing::everyone()
{
    return {};
}

Listing Listing::matching(QString where, QVariantList values)
{
    Listing listing;
    listing.where = std::move(where);
    listing.values = std::move(values);
    listing.newestFirst = false;
    return listing;
}

Result<Pager> Pager::open(const Database& db, Listing listing)
{
    if (listing.where.isEmpty()) {
        Result<qint64> count = countEveryone(db);
        if (!count)
            return count.failure();
        return Pager(std::move(listing), count.value());
    }
    if (!listing.countStatement.isEmpty()) {
        if (Result<QSqlQuery> kept = db.run(listing.countStatement, listing.countValues); kept) {
            const qint64 count = kept->next() ? kept->value(0).toLongLong() : 0;
            return Pager(std::move(listing), count);
        }
    }
    Result<QSqlQuery> counted =
        db.run(QStringLiteral("SELECT count(*) FROM %1 WHERE %2").arg(listing.from, listing.where),
               listing.values);
    if (!counted)
        return counted.failure();
    const qint64 count = counted->next() ? counted->value(0).toLongLong() : 0;
    return Pager(std::move(listing), count);
}

Result<QList<Member>> Pager::fetch(const Database& db, qint64 page)
{
    Result<QList<Member>> rows = QList<Member>();
    if (m_page > 0 && page == m_page + 1)
        rows = select(db, Step::Next, m_lastId, 0);
    else if (m_page > 0 && page == m_page - 1)
        rows = select(db, Step::Previous, m_firstId, 0);
    else if (m_page > 0 && page == m_page)
        rows = select(db, Step::Same, m_firstId, 0);
    else
        rows = select(db, Step::Jump, 0, (page - 1) * kPageSize); // only a jump costs more
    if (!rows)
        return rows;
    if (!rows->isEmpty()) {
        m_page = page;
        m_firstId = rows->first().id;
        m_lastId = rows->last().id;
    }
    return rows;
}

QString Pager::statementFor(Step step) const
{
    const bool desc = m_listing.newestFirst;
    const QString& key = m_listing.key;
    QStringList conditions;
    if (!m_listing.where.isEmpty())
        conditions << QLatin1Char('(') + m_listing.where + QLatin1Char(')');
    switch (step) {
    case Step::Next:
        conditions << key + (desc ? QStringLiteral(" < ?") : QStringLiteral(" > ?"));
        break;
    case Step::Previous:
        conditions << key + (desc ? QStringLiteral(" > ?") : QStringLiteral(" < ?"));
        break;
    case Step::Same:
        conditions << key + (desc ? QStringLiteral(" <= ?") : QStringLiteral(" >= ?"));
        break;
    case Step::Jump:
        break;
    }
    const bool descending = desc != (step == Step::Previous);
    QString sql = QStringLiteral("SELECT ") + MemberTable::allColumns(QStringLiteral("user")) +
                  QStringLiteral(" FROM ") + m_listing.from;
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY ") + key + (descending ? QStringLiteral(" DESC") : QString());
    return sql + QStringLiteral(" LIMIT %1 OFFSET ?").arg(kPageSize);
}

Result<QList<Member>> Pager::select(const Database& db, Step step, qint64 keyValue, qint64 offset)
{
    const QString connectionName = db.connection().connectionName();
    if (connectionName != m_statementsConnection) {
        m_statements.clear();
        m_statementsConnection = connectionName;
    }
    auto statement = m_statements.find(int(step));
    if (statement == m_statements.end()) {
        Result<QSqlQuery> prepared = db.prepare(statementFor(step));
        if (!prepared)
            return prepared.failure();
        statement = m_statements.insert(int(step), std::move(prepared).value());
    }
    QSqlQuery& query = statement.value();
    QVariantList values = m_listing.values;
    if (step != Step::Jump)
        values.append(keyValue);
    values.append(std::max<qint64>(offset, 0));
    if (Status done = db.execute(query, values); !done)
        return done.failure();
    QList<Member> rows;
    rows.reserve(kPageSize);
    while (query.next())
        rows.append(MemberTable::read(query));
    query.finish(); // no read transaction stays open between page steps
    if (step == Step::Previous)
        std::reverse(rows.begin(), rows.end());
    return rows;
}
