#pragma once

#include "Member.h"

#include <QString>
#include <QVariantList>

class QSqlQuery;

// The one description of table user: its columns, and how a Member is read from and bound to a
// statement. Every statement that lists the columns takes them from here.
namespace MemberTable {

// "xingming, xingbie, nianling, dianhua, qq, youxiang, dizhi, zhaopian", each column prefixed
// with `table` and a dot when it is given.
QString textColumns(const QString& table = {});
// The id, then the text columns: the order read() expects.
QString allColumns(const QString& table = {});

// INSERT of the eight text columns, or of the id and them.
QString insertStatement(bool withId = false);
// UPDATE of the eight text columns of the row whose id is bound last.
QString updateStatement();

// The eight text values in column order.
QVariantList textValues(const Member& member);

// A member from a row selected with allColumns().
Member read(const QSqlQuery& row);

} // namespace MemberTable
