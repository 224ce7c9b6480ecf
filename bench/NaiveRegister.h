#pragma once

#include "Member.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

// The register as the old design builds it, for comparison: every list load, query and telephone
// check drops the window's connection, opens a new one and reads its whole statement into memory
// (a client-side copy); pages are then cut ten at a time from that copy. Values are bound here
// too, and the store keeps its indexes, so this is the old design at its best on our SQLite.
class NaiveRegister
{
public:
    explicit NaiveRegister(QString file);
    ~NaiveRegister();
    NaiveRegister(const NaiveRegister&) = delete;
    NaiveRegister& operator=(const NaiveRegister&) = delete;

    static const QString kFullList; // select * from user order by id desc

    // Discards the connection and the rows, opens a new connection, reads the statement whole.
    void load(const QString& sql, const QVariantList& values = {});
    void loadList() { load(kFullList); }

    qint64 count() const { return rows.size(); }
    qint64 pageCount() const { return (count() + 9) / 10; }
    QList<Member> page(qint64 n) const;

    // A statement that returns no rows, on the connection the last load left open.
    void execute(const QString& sql, const QVariantList& values) const;
    // Drops the connection and the rows.
    void close();

    QList<Member> rows;

private:
    QString m_file;
    QString m_name;
};

// A statement on a connection of its own, opened and released around it, as the insert and the
// sign-in lookup do. Returns the rows' first column as text.
QStringList runOnOwnConnection(const QString& file, const QString& sql, const QVariantList& values);
