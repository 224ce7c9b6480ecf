// Rows and photo files change together, or not at all; and keyset pages over a listing are the
// pages a plain OFFSET query gives, whichever way they are walked.

#include "FileChecks.h"
#include "Listing.h"
#include "MemberGenerator.h"
#include "MemberRecords.h"
#include "PhotoFiles.h"
#include "QueryCondition.h"
#include "RecordFixture.h"
#include "StagedPhoto.h"

#include <QScopeGuard>

#include <optional>

using namespace RecordTests;
using Step = MemberRecords::testing::SaveStep;

class tst_records : public QObject
{
    Q_OBJECT

    std::optional<TestFolder> folder; // a fresh one with a store and the default photo per test
    std::optional<Database> db;
    void exec(const QString& sql, const QVariantList& values = {})
    {
        QVERIFY2(db->run(sql, values), qPrintable(sql));
    }
    qint64 countOf(const QString& where, const QVariantList& values)
    {
        Result<QSqlQuery> q = db->run("SELECT count(*) FROM user WHERE " + where, values);
        return q && q->next() ? q->value(0).toLongLong() : -1;
    }
    // Files the program made beside the store or a photo and should have removed again.
    QStringList leftovers() const
    {
        return QDir(folder->root()).entryList({".talvio-*"}, QDir::Files | QDir::Hidden) +
               QDir(folder->path("照片")).entryList({".talvio-*"}, QDir::Files | QDir::Hidden);
    }
    // One row in one line, so a mismatch shows which member differs.
    static QStringList lines(const QList<Member>& rows)
    {
        QStringList out;
        for (const Member& m : rows)
            out << rowOf(m).join('|');
        return out;
    }
    // The page as the plain statement gives it: the whole filtered, ordered list cut with OFFSET.
    QStringList offsetPage(const Listing& listing, qint64 page)
    {
        Result<QSqlQuery> q =
            db->run(QStringLiteral("SELECT id, xingming, xingbie, nianling, dianhua, qq, youxiang, "
                                   "dizhi, zhaopian FROM user %1 ORDER BY id %2 LIMIT 10 OFFSET %3")
                        .arg(listing.where.isEmpty() ? "" : "WHERE " + listing.where,
                             listing.newestFirst ? "DESC" : "")
                        .arg((page - 1) * 10),
                    listing.values);
        QStringList out;
        for (QStringList row; q && q->next(); out << row.join('|'), row.clear())
            for (int c = 0; c < 9; ++c)
                row << q->value(c).toString();
        return out;
    }
    Result<qint64> save(const Member& m, const QString& source, bool isInsert,
                        const QStringList& retired = {})
    {
        Result<StagedPhoto> staged =
            StagedPhoto::stage(source, PhotoFiles::memberPhotoPath(m.xingming, m.dianhua));
        if (!staged)
            return Failure{staged.error()};
        MemberRecords::testing::atStep = [this, &staged](Step step) {
            if (fault == "install" && step == Step::Noted)
                QFile::remove(staged->staged());
            if (fault == "commit" && step == Step::PhotoInstalled)
                db->run(QStringLiteral("ROLLBACK"));
        };
        const auto done = qScopeGuard([] { MemberRecords::testing::atStep = nullptr; });
        if (isInsert)
            return MemberRecords::insert(*db, m, staged.value());
        Result<MemberRecords::Removal> changed =
            MemberRecords::update(*db, m, staged.value(), retired);
        return changed ? Result<qint64>(changed->rows) : Failure{changed.error()};
    }
    QString fault;

private slots:
    void init()
    {
        folder.emplace();
        prepareStore(*folder);
        db.emplace(folder->open());
        fault.clear();
    }
    void cleanup() { db.reset(); }

    void insertPutsRowAndPhotoInPlace_data()
    {
        QTest::addColumn<bool>("orphan");
        QTest::newRow("new file") << false;
        QTest::newRow("replaces a file no row names") << true;
    }
    void insertPutsRowAndPhotoInPlace()
    {
        QFETCH(bool, orphan);
        const QString target = PhotoFiles::memberPhotoPath("张三", "123");
        if (orphan)
            folder->makeJpeg(target, {10, 10}, Qt::green);
        const QString source = folder->makeJpeg(QStringLiteral("pick.jpg"), {50, 40});
        Member m = person("张三", "123");
        Result<qint64> id = save(m, source, true);
        QVERIFY2(id && id.value() > 0, qPrintable(id.error()));
        m.id = id.value();
        m.zhaopian = target;
        QCOMPARE(tableRows(*folder), QList<QStringList>{rowOf(m)});
        QCOMPARE(MemberRecords::storedPhoto(*db, m.id).value(), target);
        QCOMPARE(photoFiles(*folder), QStringList{"张三-123.jpg"});
        QCOMPARE(bytesOf(target), bytesOf(source));
        QCOMPARE(leftovers(), QStringList());
    }

    void anotherMembersPhotoIsNeverOverwritten()
    {
        // "a" with "1-2" and "a-1" with "2" both give the file "a-1-2.jpg".
        addMember(*folder, "a", "1-2");
        const QString source = folder->makeJpeg(QStringLiteral("second.jpg"), {40, 60}, Qt::blue);
        const auto before = snapshot(*folder);
        QCOMPARE(
            save(person("a-1", "2"), source, true).error(),
            withPath("照片文件 %1 已是另一位会员的照片，为免覆盖，未作改动。请修改姓名或电话后再试",
                     photoPath(*folder, "a-1-2.jpg")));
        QCOMPARE(differences(before, snapshot(*folder)), QStringList());
    }

    void updateWritesRowAndRetiresOldPhoto()
    {
        Member a = addMember(*folder, "张三", "111");
        const Member b = addMember(*folder, "李四", "222");
        const QString source = folder->makeJpeg(QStringLiteral("pick.jpg"), {30, 20}, Qt::red);
        const QString old = a.zhaopian;
        a.xingming = QStringLiteral("张三丰");
        a.dizhi = QStringLiteral("O'Brien \"路\"");
        // Another member's photo among the retired ones stays.
        QCOMPARE(save(a, source, false, {old, b.zhaopian}).value(), qint64(1));
        a.zhaopian = PhotoFiles::memberPhotoPath(a.xingming, a.dianhua);
        QCOMPARE(tableRows(*folder), (QList<QStringList>{rowOf(a), rowOf(b)}));
        QCOMPARE(photoFiles(*folder), (QStringList{"张三丰-111.jpg", "李四-222.jpg"}));
        QCOMPARE(bytesOf(a.zhaopian), bytesOf(source));
        QCOMPARE(leftovers(), QStringList());
        // A row that is gone moves no file.
        const auto before = snapshot(*folder);
        a.id = 424242;
        a.xingming = QStringLiteral("ghost");
        QCOMPARE(save(a, source, false, {b.zhaopian}).value(), qint64(0));
        QCOMPARE(differences(before, snapshot(*folder)), QStringList());
        QCOMPARE(leftovers(), QStringList());
    }

    void failedSavePutsEverythingBack_data()
    {
        QTest::addColumn<bool>("isInsert");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("says"); // %1 is the store or the photo file
        const QString noWrite = QStringLiteral("无法写入照片文件 %1");
        const QString noCommit = QStringLiteral("数据库 %1 操作失败：数据库错误：cannot commit");
        const QString locked =
            QStringLiteral("数据库 %1 操作失败：数据库正被其他程序使用，请稍后再试");
        for (bool isInsert : {true, false}) {
            const QString what = isInsert ? "insert" : "update";
            QTest::addRow("%s, photo cannot go in place", qPrintable(what))
                << isInsert << "install" << noWrite;
            QTest::addRow("%s, row cannot be committed", qPrintable(what))
                << isInsert << "commit" << noCommit;
            QTest::addRow("%s, store locked", qPrintable(what)) << isInsert << "locked" << locked;
        }
    }
    // A photo file of that name stands there already (an orphan for an insert, the member's own
    // for an update): it must be back, with its bytes.
    void failedSavePutsEverythingBack()
    {
        QFETCH(bool, isInsert);
        QFETCH(QString, says);
        QFETCH(QString, fault);
        Member m = addMember(*folder, "张三", "111");
        folder->makeJpeg(photoPath(*folder, "王五-555.jpg"), {12, 12}, Qt::green);
        const QString source = folder->makeJpeg(QStringLiteral("pick.jpg"), {30, 20}, Qt::blue);
        const auto before = snapshot(*folder);
        if (isInsert)
            m = person("王五", "555");
        m.nianling = QStringLiteral("31");
        this->fault = fault;
        Database::setLockWait(50);
        QString error;
        {
            std::optional<StoreLock> lock;
            if (fault == "locked")
                lock.emplace(*folder);
            error = save(m, source, isInsert, {m.zhaopian}).error();
        }
        Database::setLockWait(2000);
        const QString named =
            fault == "install" ? PhotoFiles::memberPhotoPath(m.xingming, m.dianhua) : db->file();
        QVERIFY2(error.startsWith(withPath(says, named)), qPrintable(error));
        QCOMPARE(differences(before, snapshot(*folder)), QStringList());
        QCOMPARE(leftovers(), QStringList());
        QVERIFY(db->begin()); // no transaction is left open on the connection
        db->rollback();
    }

    void removeAndClearDeleteRowsAndTheirFiles()
    {
        const Member a = addMember(*folder, "张三", "111");
        const Member b = addMember(*folder, "李四", "222", "李四.JPG");
        const Member c = addMember(*folder, "王五", "333");
        // The default photo lies outside the photo folder; a missing file is no error.
        Result<MemberRecords::Removal> removed = MemberRecords::remove(
            *db, a.id, {a.zhaopian, defaultPhoto(*folder), photoPath(*folder, "gone.jpg")});
        QVERIFY2(removed && removed->rows == 1 && removed->leftFiles.isEmpty(),
                 qPrintable(removed.error()));
        QCOMPARE(tableRows(*folder), (QList<QStringList>{rowOf(b), rowOf(c)}));
        QCOMPARE(photoFiles(*folder), (QStringList{"李四.JPG", "王五-333.jpg"}));
        // A row someone else deleted already: its files are not ours to judge.
        Result<MemberRecords::Removal> again = MemberRecords::remove(*db, a.id, {b.zhaopian});
        QVERIFY(again && again->rows == 0);
        QCOMPARE(photoFiles(*folder), (QStringList{"李四.JPG", "王五-333.jpg"}));
        // Clearing takes every row and every .jpg of the photo folder, in any letter case.
        for (const char* name : {"照片/x.Jpg", "照片/note.txt", "照片/无法显示/keep.jpg"})
            folder->makeJpeg(QString::fromUtf8(name));
        Result<MemberRecords::Removal> cleared = MemberRecords::clear(*db);
        QVERIFY2(cleared && cleared->rows == 2 && cleared->leftFiles.isEmpty(),
                 qPrintable(cleared.error()));
        QCOMPARE(tableRows(*folder), QList<QStringList>());
        QCOMPARE(photoFiles(*folder), (QStringList{"note.txt", "无法显示"}));
        QVERIFY(QFile::exists(photoPath(*folder, "无法显示/keep.jpg")) &&
                QFile::exists(defaultPhoto(*folder)));
        QCOMPARE(Pager::open(*db, Listing::everyone())->count(), 0);
    }

    void keysetPagesMatchOffsetPages_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<QString>("change"); // made to the store before it is filled
        QTest::newRow("full list, newest first") << QString() << QVariantList() << QString();
        QTest::newRow("full list, store without the kept total")
            << QString() << QVariantList()
            << "DROP TRIGGER user_total_add;DROP TRIGGER user_total_remove;DROP TABLE user_total";
        QTest::newRow("full list, kept total without its row")
            << QString() << QVariantList() << "DELETE FROM user_total";
        QTest::newRow("men, ascending") << "xingbie = ?" << QVariantList{"男"} << QString();
        // An OR must stay one condition when the pager adds its own.
        QTest::newRow("either condition")
            << "xingbie = ? OR nianling = ?" << QVariantList{"女", "30"} << QString();
        QTest::newRow("at most one page") << "nianling = ?" << QVariantList{"30"} << QString();
        QTest::newRow("no match") << "xingming = ?" << QVariantList{"无此人"} << QString();
    }
    void keysetPagesMatchOffsetPages()
    {
        QFETCH(QString, where);
        QFETCH(QVariantList, values);
        QFETCH(QString, change);
        for (const QString& sql : change.split(';', Qt::SkipEmptyParts))
            exec(sql);
        // 140 members with gaps where some were deleted, and a few with ids far past 32 bits.
        QVERIFY(MemberGenerator::insert(*db, 140, [](const Member& m) {
            return Result<QString>("/photos/" + m.dianhua + ".jpg");
        }));
        exec("DELETE FROM user WHERE id IN (1, 2, 15, 16, 17, 18, 19, 20, 21, 50, 99, 100, 101, "
             "140)");
        for (qint64 id : {2147483648LL, 2147483649LL, 4294967296LL, 9007199254740993LL,
                          9223372036854775806LL}) {
            const Member m = MemberGenerator::make(id % 1000);
            exec("INSERT INTO user (id, xingming, xingbie, nianling, dianhua, qq, youxiang, dizhi) "
                 "VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                 {id, m.xingming, m.xingbie, m.nianling, QString::number(id), m.qq, m.youxiang,
                  m.dizhi});
        }
        const Listing what =
            where.isEmpty() ? Listing::everyone() : Listing::matching(where, values);
        Result<Pager> opened = Pager::open(*db, what);
        QVERIFY2(opened, qPrintable(opened.error()));
        Pager pager = std::move(opened).value();
        const qint64 count = countOf(where.isEmpty() ? "1" : "(" + where + ")", values);
        QCOMPARE(pager.count(), count);
        QCOMPARE(pager.pageCount(), (count + 9) / 10);
        QCOMPARE(pager.isEmpty(), count == 0);
        // Forward, back, forward again, then jumps, a page beyond the end and on from there.
        const qint64 last = pager.pageCount();
        QList<qint64> walk;
        for (qint64 page = 1; page <= 3 * last; ++page)
            walk << (page <= last ? page : page < 2 * last ? 2 * last - page : page - 2 * last + 1);
        walk << last / 2 + 1 << last / 2 + 2 << last / 2 << last / 2 << 1 << last + 1 << last
             << last - 1 << 3 << 1 << last;
        for (qint64 page : std::as_const(walk)) {
            if (page < 1)
                continue;
            Result<QList<Member>> rows = pager.fetch(*db, page);
            QVERIFY2(rows && lines(rows.value()) == offsetPage(what, page),
                     qPrintable(QStringLiteral("page %1 of %2").arg(page).arg(last)));
        }
    }

    void queryCountsAndPagesAgreeWithPlainOnes_data()
    {
        QTest::addColumn<bool>("gender");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("kept"); // the store keeps the gender counts
        for (bool kept : {true, false})
            for (const char* typed : {"男", "女", "male", "MALE", "male ", "", "无"})
                QTest::addRow("gender %s%s", typed, kept ? "" : ", counts not kept")
                    << true << QString::fromUtf8(typed) << kept;
        // The address reads through the trigram index, which folds case more widely than LIKE.
        for (const char* typed : {"中山北路", "北路1", "号。", "kin", "KING", "stre", "１２３",
                                  "12_", "山北%号", "\"a\""})
            QTest::addRow("address %s", typed) << false << QString::fromUtf8(typed) << true;
    }
    // Counts come from tables the triggers keep; through inserts, edits and deletes, with case
    // variants, blanks and missing values, they must equal a plain count.
    void queryCountsAndPagesAgreeWithPlainOnes()
    {
        QFETCH(bool, gender);
        QFETCH(QString, typed);
        QFETCH(bool, kept);
        if (!kept) // as a store made before the counts were kept
            for (const char* sql :
                 {"DROP TRIGGER user_gender_add", "DROP TRIGGER user_gender_remove",
                  "DROP TRIGGER user_gender_change", "DROP TABLE user_gender_total"})
                exec(sql);
        const QVariantList genders = {"男", "女", "Male", "MALE", "male ", QVariant(), QString()};
        const QVariantList addresses = {"中山北路1号",     "南京市中山北路12号。",
                                        "\u212Aing Road",  "king road",
                                        "KING RD",         "\u017Ftreet 1",
                                        "street 2",        "１２３号",
                                        "１２3号",         "ＫＩＮＧ",
                                        "say \"a\" twice", QVariant()};
        for (int i = 0; i < 48; ++i)
            exec("INSERT INTO user (xingming, xingbie, dizhi) VALUES (?, ?, ?)",
                 {QStringLiteral("m%1").arg(i), genders.at(i % 7), addresses.at(i % 12)});
        exec("UPDATE user SET xingbie = '女', dizhi = 'KING 中山北路1号' WHERE id % 5 = 0");
        exec("UPDATE user SET xingming = 'x' WHERE id % 3 = 0");
        exec("UPDATE user SET xingbie = NULL, dizhi = NULL WHERE id % 11 = 0");
        exec("DELETE FROM user WHERE id % 7 = 0");
        const QString where = gender ? "xingbie = ?" : "dizhi LIKE ?";
        const QVariant value = gender ? typed : "%" + typed + "%";
        using F = QueryCondition::Field;
        Result<Pager> pager =
            Pager::open(*db, QueryCondition::listingFor(gender ? F::Gender : F::Address, typed));
        QVERIFY2(pager, qPrintable(pager.error()));
        QCOMPARE(pager->count(), countOf(where, {value}));
        for (qint64 page = 1; page <= pager->pageCount() + 1; ++page)
            QCOMPARE(lines(pager->fetch(*db, page).value()),
                     offsetPage(Listing::matching(where, {value}), page));
    }
};

QTEST_GUILESS_MAIN(tst_records)
#include "tst_records.moc"
