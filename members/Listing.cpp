#include "Listing.h"

#include "Database.h"

#include <algorithm>

namespace {

const QString kColumns =
    QStringLiteral("id, xingming, xingbie, nianling, dianhua, qq, youxiang, dizhi, zhaopian");

Member readMember(const QSqlQuery& row)
{
    Member m;
    m.id = row.value(0).toLongLong();
    m.xingming = row.value(1).toString();
    m.xingbie = row.value(2).toString();
    m.nianling = row.value(3).toString();
    m.dianhua = row.value(4).toString();
    m.qq = row.value(5).toString();
    m.youxiang = row.value(6).toString();
    m.dizhi = row.value(7).toString();
    m.zhaopian = row.value(8).toString();
    return m;
}

// The full list's count is kept by triggers; a store made elsewhere may lack that table.
Result<qint64> countEveryone(const Database& db)
{
    if (Result<QSqlQuery> kept = db.run(QStringLiteral("SELECT n FROM user_total LIMIT 1"));
        kept && kept->next())
        return kept->value(0).toLongLong();
    Result<QSqlQuery> counted = db.run(QStringLiteral("SELECT count(*) FROM user"));
    if (!counted)
        return Failure{counted.error()};
    return counted->next() ? counted->value(0).toLongLong() : 0;
}

} // namespace

Listing Listing::everyone() { return {}; }

Listing Listing::matching(QString where, QVariantList values)
{
    return {std::move(where), std::move(values), false};
}

Result<Pager> Pager::open(const Database& db, Listing listing)
{
    if (listing.where.isEmpty()) {
        Result<qint64> count = countEveryone(db);
        if (!count)
            return Failure{count.error()};
        return Pager(std::move(listing), count.value());
    }
    Result<QSqlQuery> counted =
        db.run(QStringLiteral("SELECT count(*) FROM user WHERE ") + listing.where, listing.values);
    if (!counted)
        return Failure{counted.error()};
    const qint64 count = counted->next() ? counted->value(0).toLongLong() : 0;
    return Pager(std::move(listing), count);
}

Result<QList<Member>> Pager::fetch(const Database& db, qint64 page)
{
    const bool desc = m_listing.newestFirst;
    const QString after = desc ? QStringLiteral("id < ?") : QStringLiteral("id > ?");
    const QString before = desc ? QStringLiteral("id > ?") : QStringLiteral("id < ?");
    const QString from = desc ? QStringLiteral("id <= ?") : QStringLiteral("id >= ?");
    Result<QList<Member>> rows = QList<Member>();
    if (m_page > 0 && page == m_page + 1)
        rows = select(db, after, {m_lastId}, false, 0);
    else if (m_page > 0 && page == m_page - 1)
        rows = select(db, before, {m_firstId}, true, 0);
    else if (m_page > 0 && page == m_page)
        rows = select(db, from, {m_firstId}, false, 0);
    else
        rows = select(db, {}, {}, false, (page - 1) * kPageSize); // a jump: only here is cost linear
    if (!rows)
        return rows;
    if (!rows->isEmpty()) {
        m_page = page;
        m_firstId = rows->first().id;
        m_lastId = rows->last().id;
    }
    return rows;
}

Result<QList<Member>> Pager::select(const Database& db, const QString& keyCondition,
                                    const QVariantList& keyValues, bool reversed,
                                    qint64 offset) const
{
    QStringList conditions;
    if (!m_listing.where.isEmpty())
        conditions << QLatin1Char('(') + m_listing.where + QLatin1Char(')');
    if (!keyCondition.isEmpty())
        conditions << keyCondition;
    const bool descending = m_listing.newestFirst != reversed;
    QString sql = QStringLiteral("SELECT ") + kColumns + QStringLiteral(" FROM user");
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    sql += descending ? QStringLiteral(" ORDER BY id DESC") : QStringLiteral(" ORDER BY id");
    sql += QStringLiteral(" LIMIT %1 OFFSET %2").arg(kPageSize).arg(std::max<qint64>(offset, 0));

    Result<QSqlQuery> query = db.run(sql, m_listing.values + keyValues);
    if (!query)
        return Failure{query.error()};
    QList<Member> rows;
    rows.reserve(kPageSize);
    while (query->next())
        rows.append(readMember(query.value()));
    if (reversed)
        std::reverse(rows.begin(), rows.end());
    return rows;
}
