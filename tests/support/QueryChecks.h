#pragma once

// Shared by the condition query's test programs: what the table says a condition selects, the
// whole listing a query shows, and the state a refused or fruitless query leaves behind.

#include "MemberWindow.h"

#include <QTest>

namespace QueryTests {

using MemberTests::Window;

inline const QString kRefused = QStringLiteral("查询违规");
inline const QString kTooMany = QStringLiteral("条件过多请选择单一条件进行查询");
inline const QString kNoCondition = QStringLiteral("请输入一个查询条件进行查询");
inline const QString kNothing = QStringLiteral("没有相关信息");
inline const QString kFailed = QStringLiteral("查询失败");

// The detail fields after they were cleared, in Window::fields() order.
inline const QStringList kCleared = {QString(), QString(), MemberTests::kPickGender,
                                     QString(), QString(), QString(),
                                     QString(), QString()};

// Ids of the members the condition selects, read straight from the table, lowest first.
inline QList<qint64> idsWhere(const TestFolder& folder, const QString& where,
                              const QVariantList& values)
{
    Database db = folder.open();
    QList<qint64> ids;
    Result<QSqlQuery> q =
        db.run(QStringLiteral("SELECT id FROM user WHERE %1 ORDER BY id").arg(where), values);
    if (!q)
        qFatal("cannot read ids: %s", qPrintable(q.error()));
    while (q->next())
        ids.append(q->value(0).toLongLong());
    return ids;
}

// Every id of the listing shown, walking forward from page 1 with "下一页".
inline QList<qint64> walkPages(const Window& w)
{
    const auto page = [&w](int part) {
        return w.txtPageMsg->text().section(QLatin1Char('/'), part, part);
    };
    QList<qint64> ids = w.shownIds();
    for (int guard = 0; guard < 1000 && page(0) != page(1); ++guard) {
        w.click("Command8");
        ids += w.shownIds();
    }
    return ids;
}

// After a refused or fruitless query: the fields are empty and the full list is back on page 1.
inline void checkFullListBack(const Window& w, const TestFolder& folder)
{
    const QList<qint64> ids = MemberTests::storedIdsNewestFirst(folder);
    QCOMPARE(w.fields(), kCleared);
    QVERIFY(w.photo->isEmpty());
    QCOMPARE(w.t9->text(), QString::number(ids.size()));
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/%1").arg((ids.size() + 9) / 10));
    QCOMPARE(w.shownIds(), ids.mid(0, 10));
}

} // namespace QueryTests
