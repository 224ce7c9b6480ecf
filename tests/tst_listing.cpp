// Paging over a listing by keyset must give the rows a plain OFFSET query gives, whichever way
// the pages are walked, over gaps in the ids and over ids far past 32 bits.

#include "Database.h"
#include "Listing.h"
#include "MemberGenerator.h"
#include "QueryCondition.h"
#include "TestFolder.h"

#include <QTest>

namespace {

// One row in one line, so a mismatch shows which member differs.
QStringList lines(const QList<Member>& rows)
{
    QStringList out;
    for (const Member& m : rows)
        out << QStringList{QString::number(m.id),
                           m.xingming,
                           m.xingbie,
                           m.nianling,
                           m.dianhua,
                           m.qq,
                           m.youxiang,
                           m.dizhi,
                           m.zhaopian}
                   .join(QLatin1Char('|'));
    return out;
}

// The page as the plain statement gives it: the whole filtered, ordered list cut with OFFSET.
QStringList offsetPage(const Database& db, const Listing& listing, qint64 page)
{
    QString sql = QStringLiteral("SELECT id, xingming, xingbie, nianling, dianhua, qq, youxiang, "
                                 "dizhi, zhaopian FROM user");
    if (!listing.where.isEmpty())
        sql += QStringLiteral(" WHERE ") + listing.where;
    sql +=
        listing.newestFirst ? QStringLiteral(" ORDER BY id DESC") : QStringLiteral(" ORDER BY id");
    sql += QStringLiteral(" LIMIT 10 OFFSET %1").arg((page - 1) * 10);
    Result<QSqlQuery> q = db.run(sql, listing.values);
    if (!q)
        qFatal("reference query failed: %s", qPrintable(q.error()));
    QList<Member> rows;
    while (q->next()) {
        Member m;
        m.id = q->value(0).toLongLong();
        m.xingming = q->value(1).toString();
        m.xingbie = q->value(2).toString();
        m.nianling = q->value(3).toString();
        m.dianhua = q->value(4).toString();
        m.qq = q->value(5).toString();
        m.youxiang = q->value(6).toString();
        m.dizhi = q->value(7).toString();
        m.zhaopian = q->value(8).toString();
        rows.append(m);
    }
    return lines(rows);
}

qint64 referenceCount(const Database& db, const Listing& listing)
{
    qint64 rows = 0;
    for (qint64 page = 1;; ++page) {
        const qsizetype n = offsetPage(db, listing, page).size();
        rows += n;
        if (n < 10)
            return rows;
    }
}

void exec(const Database& db, const QString& sql, const QVariantList& values = {})
{
    if (Result<QSqlQuery> q = db.run(sql, values); !q)
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.error()));
}

// 140 members with gaps where some were deleted, and a few with ids far past 32 bits.
void fill(const TestFolder& folder)
{
    Database db = folder.open();
    const Status added = MemberGenerator::insert(db, 140, [](const Member& m) {
        return Result<QString>(QStringLiteral("/photos/") + m.dianhua + QStringLiteral(".jpg"));
    });
    if (!added)
        qFatal("cannot add members: %s", qPrintable(added.error()));
    for (qint64 id : {1, 2, 15, 16, 17, 18, 19, 20, 21, 50, 99, 100, 101, 140})
        exec(db, QStringLiteral("DELETE FROM user WHERE id = ?"), {id});
    const QList<qint64> large = {2147483648LL,       2147483649LL,       4294967296LL,
                                 9007199254740993LL, 9007199254740994LL, 9223372036854775806LL};
    for (qint64 id : large) {
        Member m = MemberGenerator::make(id % 1000);
        exec(db,
             QStringLiteral("INSERT INTO user (id, xingming, xingbie, nianling, dianhua, qq, "
                            "youxiang, dizhi, zhaopian) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
             {id, m.xingming, m.xingbie, m.nianling, QStringLiteral("9%1").arg(id), m.qq,
              m.youxiang, m.dizhi, QString()});
    }
}

Listing listingNamed(const QString& name)
{
    if (name == QLatin1String("everyone"))
        return Listing::everyone();
    if (name == QLatin1String("men"))
        return Listing::matching(QStringLiteral("xingbie = ?"), {QStringLiteral("男")});
    // An OR must stay one condition when the pager adds its own.
    if (name == QLatin1String("women or 30"))
        return Listing::matching(QStringLiteral("xingbie = ? OR nianling = ?"),
                                 {QStringLiteral("女"), QStringLiteral("30")});
    if (name == QLatin1String("one page"))
        return Listing::matching(QStringLiteral("nianling = ?"), {QStringLiteral("30")});
    return Listing::matching(QStringLiteral("xingming = ?"), {QStringLiteral("无此人")});
}

} // namespace

class TestListing : public QObject
{
    Q_OBJECT

private slots:
    void keysetPagesMatchOffsetPages_data();
    void keysetPagesMatchOffsetPages();
    void jumpsLandOnTheRightPage_data();
    void jumpsLandOnTheRightPage();
    void pageBeyondTheEndIsEmptyAndHarmless();
    void fullListCountWithAndWithoutKeptTotal_data();
    void fullListCountWithAndWithoutKeptTotal();
    void genderCountKeptThroughChanges_data();
    void genderCountKeptThroughChanges();
    void addressListingsAgreeWithPlainLike_data();
    void addressListingsAgreeWithPlainLike();
};

void TestListing::keysetPagesMatchOffsetPages_data()
{
    QTest::addColumn<QString>("listing");
    QTest::newRow("full list, newest first") << QStringLiteral("everyone");
    QTest::newRow("men, ascending") << QStringLiteral("men");
    QTest::newRow("either condition, ascending") << QStringLiteral("women or 30");
    QTest::newRow("at most one page") << QStringLiteral("one page");
    QTest::newRow("no match") << QStringLiteral("nobody");
}

void TestListing::keysetPagesMatchOffsetPages()
{
    QFETCH(QString, listing);
    TestFolder folder;
    folder.createStore();
    fill(folder);
    Database db = folder.open();
    const Listing what = listingNamed(listing);

    Result<Pager> opened = Pager::open(db, what);
    QVERIFY2(opened, qPrintable(opened.error()));
    Pager pager = std::move(opened).value();
    const qint64 count = referenceCount(db, what);
    QCOMPARE(pager.count(), count);
    QCOMPARE(pager.pageCount(), (count + 9) / 10);
    QCOMPARE(pager.isEmpty(), count == 0);
    if (listing == QLatin1String("men") || listing == QLatin1String("everyone"))
        QVERIFY(pager.pageCount() > 5); // the walk must cross many page edges

    const auto check = [&](qint64 page) {
        Result<QList<Member>> rows = pager.fetch(db, page);
        QVERIFY2(rows, qPrintable(rows.error()));
        QCOMPARE(lines(rows.value()), offsetPage(db, what, page));
    };
    for (qint64 page = 1; page <= pager.pageCount(); ++page) {
        check(page);
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(QStringLiteral("forward, page %1").arg(page)));
    }
    for (qint64 page = pager.pageCount() - 1; page >= 1; --page) {
        check(page);
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(QStringLiteral("backward, page %1").arg(page)));
    }
    for (qint64 page = 2; page <= pager.pageCount(); ++page) {
        check(page);
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(QStringLiteral("forward again, page %1").arg(page)));
    }
}

void TestListing::jumpsLandOnTheRightPage_data()
{
    QTest::addColumn<QString>("listing");
    QTest::addColumn<QList<qint64>>("walk");
    QTest::newRow("full list") << QStringLiteral("everyone")
                               << QList<qint64>{7, 8, 6, 6, 3, 2, 13, 12, 1, 13, 1};
    QTest::newRow("men") << QStringLiteral("men") << QList<qint64>{5, 2, 3, 3, 1, 4};
}

void TestListing::jumpsLandOnTheRightPage()
{
    QFETCH(QString, listing);
    QFETCH(QList<qint64>, walk);
    TestFolder folder;
    folder.createStore();
    fill(folder);
    Database db = folder.open();
    const Listing what = listingNamed(listing);
    Result<Pager> opened = Pager::open(db, what);
    QVERIFY(opened);
    Pager pager = std::move(opened).value();

    for (qint64 page : walk) {
        QVERIFY2(page <= pager.pageCount(), "walk leaves the listing");
        Result<QList<Member>> rows = pager.fetch(db, page);
        QVERIFY(rows);
        QVERIFY2(lines(rows.value()) == offsetPage(db, what, page),
                 qPrintable(QStringLiteral("page %1").arg(page)));
    }
}

void TestListing::pageBeyondTheEndIsEmptyAndHarmless()
{
    TestFolder folder;
    folder.createStore();
    fill(folder);
    Database db = folder.open();
    const Listing what = Listing::everyone();
    Result<Pager> opened = Pager::open(db, what);
    QVERIFY(opened);
    Pager pager = std::move(opened).value();
    const qint64 last = pager.pageCount();

    QVERIFY(pager.fetch(db, 1));
    Result<QList<Member>> beyond = pager.fetch(db, last + 1);
    QVERIFY(beyond);
    QVERIFY(beyond->isEmpty());
    // The pager still knows where it was and goes on from there.
    for (qint64 page : {last, last - 1, qint64(1), qint64(2)}) {
        Result<QList<Member>> rows = pager.fetch(db, page);
        QVERIFY(rows);
        QCOMPARE(lines(rows.value()), offsetPage(db, what, page));
    }
}

void TestListing::fullListCountWithAndWithoutKeptTotal_data()
{
    QTest::addColumn<QString>("store");
    QTest::newRow("kept total") << QStringLiteral("kept");
    QTest::newRow("imported store without the total table") << QStringLiteral("dropped");
    QTest::newRow("total table without its row") << QStringLiteral("emptied");
}

void TestListing::fullListCountWithAndWithoutKeptTotal()
{
    QFETCH(QString, store);
    TestFolder folder;
    folder.createStore();
    fill(folder);
    Database db = folder.open();
    if (store == QLatin1String("dropped")) {
        exec(db, QStringLiteral("DROP TRIGGER user_total_add"));
        exec(db, QStringLiteral("DROP TRIGGER user_total_remove"));
        exec(db, QStringLiteral("DROP TABLE user_total"));
    } else if (store == QLatin1String("emptied")) {
        exec(db, QStringLiteral("DELETE FROM user_total"));
    }
    // Rows added and removed after the change still count.
    exec(db, QStringLiteral("DELETE FROM user WHERE id IN (3, 4, 5)"));
    exec(db, QStringLiteral("INSERT INTO user (xingming, dianhua) VALUES (?, ?)"),
         {QStringLiteral("新会员"), QStringLiteral("13000000000")});

    const qint64 expected = referenceCount(db, Listing::everyone());
    QCOMPARE(expected, qint64(140 - 14 + 6 - 3 + 1));
    Result<Pager> opened = Pager::open(db, Listing::everyone());
    QVERIFY2(opened, qPrintable(opened.error()));
    QCOMPARE(opened->count(), expected);
    QCOMPARE(opened->pageCount(), (expected + 9) / 10);

    // Filtered listings count their own matches either way.
    const Listing men = listingNamed(QStringLiteral("men"));
    Result<Pager> filtered = Pager::open(db, men);
    QVERIFY(filtered);
    QCOMPARE(filtered->count(), referenceCount(db, men));
}

qint64 plainCount(const Database& db, const QString& where, const QVariantList& values)
{
    Result<QSqlQuery> q =
        db.run(QStringLiteral("SELECT count(*) FROM user WHERE ") + where, values);
    if (!q || !q->next())
        qFatal("reference count failed");
    return q->value(0).toLongLong();
}

// Every row of a listing, walked page by page forwards.
QList<qint64> walkedIds(const Database& db, Pager& pager)
{
    QList<qint64> ids;
    for (qint64 page = 1; page <= pager.pageCount(); ++page) {
        Result<QList<Member>> rows = pager.fetch(db, page);
        if (!rows)
            qFatal("%s", qPrintable(rows.error()));
        for (const Member& m : rows.value())
            ids.append(m.id);
    }
    return ids;
}

void TestListing::genderCountKeptThroughChanges_data()
{
    QTest::addColumn<bool>("kept");
    QTest::newRow("kept by the store") << true;
    QTest::newRow("store without the kept counts") << false;
}

// The gender query's count comes from a table the triggers keep; it must equal a plain count
// through inserts, edits, deletes, case variants, blanks and missing values.
void TestListing::genderCountKeptThroughChanges()
{
    QFETCH(bool, kept);
    TestFolder folder;
    folder.createStore();
    Database db = folder.open();
    if (!kept) { // as a store made before the counts were kept
        for (const char* trigger : {"user_gender_add", "user_gender_remove", "user_gender_change"})
            exec(db, QStringLiteral("DROP TRIGGER %1").arg(QLatin1String(trigger)));
        exec(db, QStringLiteral("DROP TABLE user_gender_total"));
    }
    const QVariantList genders = {QStringLiteral("男"),
                                  QStringLiteral("女"),
                                  QStringLiteral("Male"),
                                  QStringLiteral("MALE"),
                                  QStringLiteral("male "),
                                  QVariant(),
                                  QString()};
    for (int i = 0; i < 40; ++i)
        exec(db, QStringLiteral("INSERT INTO user (xingming, xingbie) VALUES (?, ?)"),
             {QStringLiteral("m%1").arg(i), genders.at(i % genders.size())});
    exec(db, QStringLiteral("UPDATE user SET xingbie = ? WHERE id % 5 = 0"),
         {QStringLiteral("女")});
    exec(db, QStringLiteral("UPDATE user SET xingming = 'x' WHERE id % 3 = 0"));
    exec(db, QStringLiteral("UPDATE user SET xingbie = NULL WHERE id % 11 = 0"));
    exec(db, QStringLiteral("DELETE FROM user WHERE id % 7 = 0"));

    for (const QString& typed :
         {QStringLiteral("男"), QStringLiteral("女"), QStringLiteral("male"),
          QStringLiteral("MALE"), QStringLiteral("male "), QString(), QStringLiteral("无")}) {
        Result<Pager> pager =
            Pager::open(db, QueryCondition::listingFor(QueryCondition::Field::Gender, typed));
        QVERIFY2(pager, qPrintable(pager.error()));
        QCOMPARE(pager->count(), plainCount(db, QStringLiteral("xingbie = ?"), {typed}));
    }
    exec(db, QStringLiteral("DELETE FROM user"));
    Result<Pager> none = Pager::open(
        db, QueryCondition::listingFor(QueryCondition::Field::Gender, QStringLiteral("男")));
    QVERIFY(none);
    QCOMPARE(none->count(), 0);
}

void TestListing::addressListingsAgreeWithPlainLike_data()
{
    QTest::addColumn<QString>("typed");
    for (const char* typed :
         {"中山北路", "北路1", "号。", "kin", "KING", "stre", "１２３", "12_", "山北%号", "\"a\""})
        QTest::newRow(typed) << QString::fromUtf8(typed);
}

// The address listing reads through the trigram index and may count with it alone; either way
// the count and the rows are the plain LIKE's, also where the index folds case more widely
// (the Kelvin sign, the long s, full-width letters).
void TestListing::addressListingsAgreeWithPlainLike()
{
    QFETCH(QString, typed);
    TestFolder folder;
    folder.createStore();
    Database db = folder.open();
    const QStringList addresses = {
        QStringLiteral("中山北路1号"),     QStringLiteral("南京市中山北路12号。"),
        QStringLiteral("\u212Aing Road"),  QStringLiteral("king road"),
        QStringLiteral("KING RD"),         QStringLiteral("\u017Ftreet 1"),
        QStringLiteral("street 2"),        QStringLiteral("１２３号"),
        QStringLiteral("１２3号"),         QStringLiteral("ＫＩＮＧ"),
        QStringLiteral("say \"a\" twice"), QString()};
    for (int round = 0; round < 3; ++round)
        for (const QString& address : addresses)
            exec(db, QStringLiteral("INSERT INTO user (xingming, dizhi) VALUES ('m', ?)"),
                 {address.isNull() ? QVariant() : QVariant(address)});

    const QString pattern = QLatin1Char('%') + typed + QLatin1Char('%');
    Result<Pager> pager =
        Pager::open(db, QueryCondition::listingFor(QueryCondition::Field::Address, typed));
    QVERIFY2(pager, qPrintable(pager.error()));
    QCOMPARE(pager->count(), plainCount(db, QStringLiteral("dizhi LIKE ?"), {pattern}));
    Result<QSqlQuery> ids =
        db.run(QStringLiteral("SELECT id FROM user WHERE dizhi LIKE ? ORDER BY id"), {pattern});
    QVERIFY(ids);
    QList<qint64> expected;
    while (ids->next())
        expected.append(ids->value(0).toLongLong());
    QCOMPARE(walkedIds(db, pager.value()), expected);
}

QTEST_GUILESS_MAIN(TestListing)
#include "tst_listing.moc"
