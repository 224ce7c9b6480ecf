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

#include <optional>

using namespace RecordTests;
using Step = MemberRecords::testing::SaveStep;

class tst_records : public QObject
{
    Q_OBJECT

    std::optional<TestFolder> folder; // a fresh one with a store and the default photo per test
    std::optional<Database> db;
    // Notes of saves in hand, beside the store, that should be gone again.
    QStringList leftovers() const
    {
        return QDir(folder->root()).entryList({".talvio-*"}, QDir::Files | QDir::Hidden);
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
                db->rollback();
        };
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
        Database::setLockWait(50); // for the locked store; no other test meets a lock
        prepareStore(*folder);
        db.emplace(folder->open());
        fault.clear();
    }
    void cleanup() { db.reset(), MemberRecords::testing::atStep = nullptr; }

    void insertAndUpdatePutRowAndPhotoInPlace()
    {
        const Member b = addMember(*folder, "李四", "222");
        Member a = person("张三", "111");
        const QString orphan = folder->makeJpeg(PhotoFiles::memberPhotoPath("张三", "111"), {9, 9});
        const QString source = folder->makeJpeg(QStringLiteral("pick.jpg"), {50, 40}, Qt::red);
        Result<qint64> id = save(a, source, true); // over a file that no row names
        QVERIFY2(id && id.value() > b.id, qPrintable(id.error()));
        a.id = id.value();
        a.zhaopian = orphan;
        QCOMPARE(tableRows(*folder), (QList<QStringList>{rowOf(b), rowOf(a)}));
        QCOMPARE(bytesOf(orphan), bytesOf(source));
        a.xingming = QStringLiteral("张三/丰"); // no folder of that name
        a.dizhi = QStringLiteral("x'); DROP TABLE user; -- \"路\" 100%_ C:\\照片");
        const QString other = folder->makeJpeg(QStringLiteral("other.jpg"), {30, 20}, Qt::blue);
        // Another member's photo among the retired ones stays.
        QCOMPARE(save(a, other, false, {orphan, b.zhaopian}).value(), qint64(1));
        a.zhaopian = PhotoFiles::memberPhotoPath(a.xingming, a.dianhua);
        QCOMPARE(tableRows(*folder), (QList<QStringList>{rowOf(b), rowOf(a)}));
        QCOMPARE(photoFiles(*folder), (QStringList{"张三_丰-111.jpg", "李四-222.jpg"}));
        QCOMPARE(bytesOf(a.zhaopian), bytesOf(other));
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
        const char* noWrite = "无法写入照片文件 %1";
        const char* noCommit = "数据库 %1 操作失败：数据库错误：cannot commit";
        const char* locked = "数据库 %1 操作失败：数据库正被其他程序使用，请稍后再试";
        const struct
        {
            const char* tag;
            bool isInsert;
            const char *fault, *says;
        } rows[] = {
            {"insert, photo cannot go in place", true, "install", noWrite},
            {"insert, row cannot be committed", true, "commit", noCommit},
            {"insert, store locked", true, "locked", locked},
            {"insert over another member's photo", true, "taken",
             "照片文件 %1 已是另一位会员的照片，为免覆盖，未作改动。请修改姓名或电话后再试"},
            {"update, photo cannot go in place", false, "install", noWrite},
            {"update, row cannot be committed", false, "commit", noCommit},
        };
        for (const auto& row : rows)
            QTest::newRow(row.tag) << row.isInsert << QString(row.fault) << QString(row.says);
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
        if (isInsert) // a member of the same name and telephone has that photo file already
            m = fault == "taken" ? person("张三", "111") : person("王五", "555");
        m.nianling = QStringLiteral("31");
        this->fault = fault;
        std::optional<StoreLock> lock;
        if (fault == "locked")
            lock.emplace(*folder);
        const QString error = save(m, source, isInsert, {m.zhaopian}).error();
        lock.reset();
        const QString named = fault == "locked" || fault == "commit"
                                  ? db->file()
                                  : PhotoFiles::memberPhotoPath(m.xingming, m.dianhua);
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
        // The default photo lies outside the photo folder; a missing file is no error.
        Result<MemberRecords::Removal> removed = MemberRecords::remove(
            *db, a.id, {a.zhaopian, defaultPhoto(*folder), photoPath(*folder, "gone.jpg")});
        QVERIFY2(removed && removed->rows == 1 && removed->leftFiles.isEmpty(),
                 qPrintable(removed.error()));
        QCOMPARE(tableRows(*folder), QList<QStringList>{rowOf(b)});
        // A row someone else deleted already: its files are not ours to judge.
        QCOMPARE(MemberRecords::remove(*db, a.id, {b.zhaopian})->rows, 0);
        QCOMPARE(photoFiles(*folder), QStringList{"李四.JPG"});
        // Clearing takes every row and every .jpg of the photo folder, in any letter case.
        for (const char* name : {"照片/x.Jpg", "照片/note.txt", "照片/无法显示/keep.jpg"})
            folder->makeJpeg(QString::fromUtf8(name));
        Result<MemberRecords::Removal> cleared = MemberRecords::clear(*db);
        QVERIFY2(cleared && cleared->rows == 1 && cleared->leftFiles.isEmpty(),
                 qPrintable(cleared.error()));
        QCOMPARE(tableRows(*folder), QList<QStringList>());
        QCOMPARE(photoFiles(*folder), (QStringList{"note.txt", "无法显示"}));
        QVERIFY(QFile::exists(defaultPhoto(*folder)));
    }

    void keysetPagesMatchOffsetPages_data()
    {
        QTest::addColumn<QString>("where"); // the plain condition the pages must agree with
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<QString>("change"); // made to the store before it is filled
        QTest::addColumn<int>("field");      // a query's own listing for that condition, if any
        QTest::newRow("full list, newest first") << QString() << QVariantList() << QString() << -1;
        QTest::newRow("full list, store without the kept total")
            << QString() << QVariantList()
            << "DROP TRIGGER user_total_add;DROP TRIGGER user_total_remove;DROP TABLE user_total"
            << -1;
        QTest::newRow("full list, kept total without its row")
            << QString() << QVariantList() << "DELETE FROM user_total" << -1;
        QTest::newRow("men, ascending") << "xingbie = ?" << QVariantList{"男"} << QString() << -1;
        // An OR must stay one condition when the pager adds its own.
        QTest::newRow("either condition")
            << "xingbie = ? OR nianling = ?" << QVariantList{"女", "30"} << QString() << -1;
        QTest::newRow("no match") << "xingming = ?" << QVariantList{"无此人"} << QString() << -1;
        using F = QueryCondition::Field;
        for (const char* typed : {"男", "MALE", "male ", "", "无"})
            QTest::addRow("gender %s", typed)
                << "xingbie = ?" << QVariantList{QString::fromUtf8(typed)} << QString()
                << int(F::Gender);
        QTest::newRow("gender, counts not kept")
            << "xingbie = ?" << QVariantList{"女"}
            << "DROP TRIGGER user_gender_add;DROP TRIGGER user_gender_remove;DROP TRIGGER "
               "user_gender_change;DROP TABLE user_gender_total"
            << int(F::Gender);
        // The address reads through the trigram index, which folds case more widely than LIKE.
        for (const char* typed :
             {"中山北路", "号。", "kin", "KING", "stre", "１２３", "12_", "山北%号", "\"a\""})
            QTest::addRow("address %s", typed)
                << "dizhi LIKE ?" << QVariantList{"%" + QString::fromUtf8(typed) + "%"} << QString()
                << int(F::Address);
    }
    void keysetPagesMatchOffsetPages()
    {
        QFETCH(QString, where);
        QFETCH(QVariantList, values);
        QFETCH(QString, change);
        QFETCH(int, field);
        for (const QString& sql : change.split(';', Qt::SkipEmptyParts))
            QVERIFY(db->run(sql));
        // 140 members and some odd genders and addresses, edited, with gaps where some were
        // deleted, and a few with ids far past 32 bits.
        QVERIFY(MemberGenerator::insert(*db, 140, [](const Member& m) {
            return Result<QString>("/photos/" + m.dianhua + ".jpg");
        }));
        const QVariantList genders = {"Male", "MALE", "male ", QVariant(), QString()};
        const QVariantList odd = {
            "\u212Aing Road", "king road", "KING RD",         "\u017Ftreet 1",        "１２３号",
            "１２3号",        "ＫＩＮＧ",  "say \"a\" twice", "南京市中山北路12号。", QVariant()};
        for (int i = 0; i < 30; ++i)
            QVERIFY(db->run("INSERT INTO user (xingming, xingbie, dizhi) VALUES ('m', ?, ?)",
                            {genders.at(i % 5), odd.at(i % 10)}));
        QVERIFY(db->run(
            "UPDATE user SET xingbie = 'Female', dizhi = 'KING 中山北路1号' WHERE id % 9 = 0"));
        QVERIFY(db->run("UPDATE user SET xingbie = NULL, dizhi = NULL WHERE id % 11 = 0"));
        QVERIFY(db->run("DELETE FROM user WHERE id IN (1, 2, 15, 16, 17, 18, 19, 20, 21, 50, 99, "
                        "100, 101, 140, 150)"));
        QVERIFY(db->run("INSERT INTO user (id, xingming, xingbie, dizhi) VALUES (2147483648, 'a', "
                        "'男', 'KING'), (4294967296, 'b', '女', NULL), (9007199254740993, 'c', "
                        "'男', '中山北路'), (9007199254740994, 'e', '男', 'king'), "
                        "(9223372036854775806, 'd', 'MALE', 'x')"));
        const Listing plain =
            where.isEmpty() ? Listing::everyone() : Listing::matching(where, values);
        const QString typed = values.value(0).toString().remove(QRegularExpression("^%|%$"));
        const Listing what =
            field < 0 ? plain : QueryCondition::listingFor(QueryCondition::Field(field), typed);
        Result<Pager> opened = Pager::open(*db, what);
        QVERIFY2(opened, qPrintable(opened.error()));
        Pager pager = std::move(opened).value();
        Result<QSqlQuery> counted =
            db->run("SELECT count(*) FROM user WHERE " + (where.isEmpty() ? "1" : where), values);
        const qint64 count = counted && counted->next() ? counted->value(0).toLongLong() : -1;
        QCOMPARE(pager.count(), count);
        QCOMPARE(pager.pageCount(), (count + 9) / 10);
        // Forward, back, forward again, then jumps, a page beyond the end and on from there.
        const qint64 last = pager.pageCount();
        QList<qint64> walk;
        for (qint64 page = 1; page <= 3 * last; ++page)
            walk << (page <= last ? page : page < 2 * last ? 2 * last - page : page - 2 * last + 1);
        walk << last / 2 + 1 << last / 2 + 2 << qMax(last / 2, 1LL) << 1 << last + 1 << last << 3
             << 1;
        for (qint64 page : std::as_const(walk)) {
            Result<QList<Member>> rows = pager.fetch(*db, page);
            QStringList got;
            for (const Member& m : rows ? rows.value() : QList<Member>())
                got << rowOf(m).join('|');
            QVERIFY2(rows && got == offsetPage(plain, page),
                     qPrintable(QStringLiteral("page %1 of %2").arg(page).arg(last)));
        }
    }
};

QTEST_GUILESS_MAIN(tst_records)
#include "tst_records.moc"
