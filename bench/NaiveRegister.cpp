#include "NaiveRegister.h"

#include <QAtomicInteger>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>
#include <cstdlib>

namespace {
QString nextName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("naive-%1").arg(counter.fetchAndAddRelaxed(1));
}

[[noreturn]] void fail(const QString& what)
{
    std::fprintf(stderr, "naive register: %s\n", qPrintable(what));
    std::exit(1);
}

QSqlQuery runOn(const QSqlDatabase& db, const QString& sql, const QVariantList& values)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        fail(query.lastError().text());
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        fail(query.lastError().text());
    return query;
}

QSqlDatabase openConnection(const QString& name, const QString& file)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(file);
    if (!db.open())
        fail(db.lastError().text());
    return db;
}
} // namespace

const QString NaiveRegister::kFullList = QStringLiteral("SELECT * FROM user ORDER BY id DESC");

NaiveRegister::NaiveRegister(QString file) : m_file(std::move(file)) {}

NaiveRegister::~NaiveRegister()
{
    close();
}

void NaiveRegister::close()
{
    rows.clear();
    if (m_name.isEmpty())
        return;
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
    m_name.clear();
}

void NaiveRegister::load(const QString& sql, const QVariantList& values)
{
    close();
    m_name = nextName();
    QSqlQuery query = runOn(openConnection(m_name, m_file), sql, values);
    while (query.next()) {
        Member m;
        m.id = query.value(0).toLongLong();
        m.xingming = query.value(1).toString();
        m.xingbie = query.value(2).toString();
        m.nianling = query.value(3).toString();
        m.dianhua = query.value(4).toString();
        m.qq = query.value(5).toString();
        m.youxiang = query.value(6).toString();
        m.dizhi = query.value(7).toString();
        m.zhaopian = query.value(8).toString();
        rows.append(std::move(m));
    }
}

QList<Member> NaiveRegister::page(qint64 n) const
{
    const qint64 first = (n - 1) * 10;
    if (first < 0 || first >= rows.size())
        return {};
    return rows.mid(first, 10);
}

void NaiveRegister::execute(const QString& sql, const QVariantList& values) const
{
    if (m_name.isEmpty())
        fail(QStringLiteral("no connection open"));
    runOn(QSqlDatabase::database(m_name, false), sql, values);
}

QStringList runOnOwnConnection(const QString& file, const QString& sql, const QVariantList& values)
{
    const QString name = nextName();
    QStringList first;
    {
        QSqlQuery query = runOn(openConnection(name, file), sql, values);
        while (query.next())
            first.append(query.value(0).toString());
    }
    QSqlDatabase::database(name, false).close();
    QSqlDatabase::removeDatabase(name);
    return first;
}
