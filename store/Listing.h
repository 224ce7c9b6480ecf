#pragma once

#include "Member.h"
#include "Result.h"

#include <QHash>
#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <QtGlobal>

class Database;

// What the member grid shows: a filter and an order over table user, never a copy in memory.
// The full list is every member newest first; a query result is a filter in ascending id order.
struct Listing
{
    QString where;       // SQL condition with '?' placeholders; empty for every member
    QVariantList values; // bound to the placeholders in order
    bool newestFirst = true;
    // Where the rows come from, and the key (equal to the member's id) that pages follow. A
    // listing may read through an index table joined to user; the columns are always user's.
    QString from = QStringLiteral("user");
    QString key = QStringLiteral("user.id");
    // A cheaper statement with the same count, kept by the store; when the store lacks what it
    // reads, the rows are counted instead.
    QString countStatement;
    QVariantList countValues;

    static Listing everyone();
    static Listing matching(QString where, QVariantList values);
};

// Pages of ten over a listing. Neighbouring pages are reached by keyset (the ids at the page's
// edges), so a step costs the same on page 1 and on page 100,000; the count is taken once.
class Pager
{
public:
    static constexpr int kPageSize = 10;

    // Counts the listing; the pager starts before the first page.
    static Result<Pager> open(const Database& db, Listing listing);

    qint64 count() const { return m_count; }
    qint64 pageCount() const { return (m_count + kPageSize - 1) / kPageSize; }
    bool isEmpty() const { return m_count == 0; }
    const Listing& listing() const { return m_listing; }

    // The rows of page n (counted from 1), in the listing's order.
    Result<QList<Member>> fetch(const Database& db, qint64 page);

private:
    // From the page last fetched: the next or previous ten by key, the same page again, or a
    // jump by offset from the start.
    enum class Step { Jump, Next, Previous, Same };

    Pager(Listing listing, qint64 count) : m_listing(std::move(listing)), m_count(count) {}
    QString statementFor(Step step) const;
    Result<QList<Member>> select(const Database& db, Step step, qint64 keyValue, qint64 offset);

    Listing m_listing;
    // A page step runs one of a few statements again and again: each is prepared once. They
    // belong to one connection, so a pager must go before the Database it reads.
    QHash<int, QSqlQuery> m_statements; // by Step
    QString m_statementsConnection;
    qint64 m_count = 0;
    qint64 m_page = 0; // page last fetched; 0 before the first
    qint64 m_firstId = 0;
    qint64 m_lastId = 0;
};
