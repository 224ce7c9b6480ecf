#include "MemberTable.h"

#include <QSqlQuery>
#include <QStringList>

namespace MemberTable {

namespace {

const QStringList kTextColumns = {QStringLiteral("xingming"), QStringLiteral("xingbie"),
                                  QStringLiteral("nianling"), QStringLiteral("dianhua"),
                                  QStringLiteral("qq"),       QStringLiteral("youxiang"),
                                  QStringLiteral("dizhi"),    QStringLiteral("zhaopian")};

QString listed(QStringList columns, const QString& table)
{
    if (!table.isEmpty()) {
        for (QString& column : columns)
            column.prepend(table + QLatin1Char('.'));
    }
    return columns.join(QStringLiteral(", "));
}

QString placeholders(qsizetype count)
{
    return QStringList(count, QStringLiteral("?")).join(QStringLiteral(", "));
}

} // namespace

QString textColumns(const QString& table)
{
    return listed(kTextColumns, table);
}

QString allColumns(const QString& table)
{
    return listed(QStringList{QStringLiteral("id")} + kTextColumns, table);
}

QString insertStatement(bool withId)
{
    const qsizetype count = kTextColumns.size() + (withId ? 1 : 0);
    return QStringLiteral("INSERT INTO user (%1) VALUES (%2)")
        .arg(withId ? allColumns() : textColumns(), placeholders(count));
}

QString updateStatement()
{
    return QStringLiteral("UPDATE user SET %1 = ? WHERE id = ?")
        .arg(kTextColumns.join(QStringLiteral(" = ?, ")));
}

QVariantList textValues(const Member& m)
{
    return {m.xingming, m.xingbie, m.nianling, m.dianhua, m.qq, m.youxiang, m.dizhi, m.zhaopian};
}

Member read(const QSqlQuery& row)
{
    Member m;
    m.id = row.value(0).toLongLong();
    QString* fields[] = {&m.xingming, &m.xingbie,  &m.nianling, &m.dianhua,
                         &m.qq,       &m.youxiang, &m.dizhi,    &m.zhaopian};
    for (int i = 0; i < 8; ++i)
        *fields[i] = row.value(i + 1).toString();
    return m;
}

} // namespace MemberTable
