// The store on its own: opening and refusing files, engine failures in Chinese, waiting for a
// lock, accounts, the program folder's paths, photo files; rows and photo files that change
// together or not at all; pages over a listing.

#include "Accounts.h"
#include "FileChecks.h"
#include "Listing.h"
#include "MemberRecords.h"
#include "PhotoFiles.h"
#include "ProgramFolder.h"
#include "QueryCondition.h"
#include "RecordFixture.h"
#include "StagedPhoto.h"

#include <QRegularExpression>
#include <QScopeGuard>

#include <optional>

using namespace RecordTests;
using V = Accounts::Verdict;

namespace {

const char* const kLocked = "数据库 %1 操作失败：数据库正被其他程序使用，请稍后再试";
const char* const kNoCommit = "数据库 %1 操作失败：数据库错误：cannot commit";

struct Refusal
{
    QString op{}, says{}; // what the refusal starts with; %1 is the file given, or the target
                          // or its folder when those refuse
    QByteArray content{}; // of the file: none if null; "big", "jpeg", "half", "exif" are made
    // The target's folder, "read-only", or "folder" for a folder in the target's place; empty
    // when no file is given at all.
    QString folder = QStringLiteral("照片");
};

struct Save
{
    bool isInsert = false;
    QString who{}, fault{}, says{}; // the name and telephone saved; %1 is the store or the photo
    QStringList files{};            // the photo folder once saved; none when nothing may change
};

struct Pages
{
    QString where{}; // the plain condition the pages must agree with
    QVariantList values{};
    int field = -1;   // a query's own listing for that condition, if any
    QString change{}; // made to the store first
};

template <typename Case> void row(const char* tag, const Case& c)
{
    QTest::newRow(tag) << c;
}

} // namespace

Q_DECLARE_METATYPE(Refusal)
Q_DECLARE_METATYPE(Save)
Q_DECLARE_METATYPE(Pages)
Q_DECLARE_METATYPE(Accounts::Verdict)

class tst_store : public QObject
{
    Q_OBJECT

    std::optional<TestFolder> dir; // a fresh program folder for each test
    std::optional<Database> db;    // its store, for the tests that make one
    QString path(const QString& name) const { return dir->path(name); }
    // The store with the default photo and `members` generated members, open.
    Database& store(qint64 members = 0)
    {
        prepareStore(*dir, members);
        return db.emplace(dir->open());
    }
    // Notes of saves in hand, beside the store, that should be gone again.
    QStringList leftovers() const
    {
        return QDir(dir->root()).entryList({".talvio-*"}, QDir::Files | QDir::Hidden);
    }

private slots:
    void init() { dir.emplace(), Database::setLockWait(50); }
    void cleanup() { db.reset(), MemberRecords::testing::atStep = nullptr; }

    void refusalsNameTheFileAndTouchNothing_data()
    {
        QTest::addColumn<Refusal>("c");
        row<Refusal>("open, missing", {"open", "找不到数据库文件 %1"});
        row<Refusal>("open, junk", {"open", "数据库 %1 操作失败：文件不是数据库", "junk"});
        row<Refusal>("open, admin only",
                     {"open", "数据库文件 %1 中缺少数据表 admin 或 user", "admin"});
        row<Refusal>("open, folder of that name", {"open", "%1 不是数据库文件", "folder"});
        row<Refusal>("create over a file", {"create", "数据库文件 %1 已经存在，未作改动", ""});
        row<Refusal>("copy replaces", {"copy", {}, "big"});
        row<Refusal>("copy, missing source", {"copy", "无法读取文件 %1："});
        row<Refusal>("copy, read-only folder", {"copy", "无法写入文件 %1：", "big", "read-only"});
        row<Refusal>("copy onto a folder", {"copy", "保存文件 %1 失败：", "big", "folder"});
        row<Refusal>("stage text", {"stage", "文件 %1 不是可读取的图片", "not a picture"});
        row<Refusal>("stage missing file", {"stage", "找不到照片文件 %1"});
        row<Refusal>("stage, read-only folder",
                     {"stage", "无法在文件夹 %1 中写入文件：", "jpeg", "read-only"});
        row<Refusal>("read text named .jpg",
                     {"read", "照片文件 %1 不是可读取的图片：", "姓名,电话"});
        row<Refusal>("read truncated jpeg", {"read", "照片文件 %1 不完整或已损坏", "half"});
        row<Refusal>("read a phone photo, turned by EXIF", {"read", {}, "exif"});
        row<Refusal>("read missing file", {"read", "找不到照片文件 %1"});
        row<Refusal>("read empty path", {"read", "没有照片文件", {}, {}});
    }
    void refusalsNameTheFileAndTouchNothing()
    {
        QFETCH(Refusal, c);
        const QString source = c.folder.isEmpty() ? QString() : path(QStringLiteral("源.jpg"));
        const QString target = path(QStringLiteral("照片/目标.jpg"));
        QVERIFY(QDir().mkpath(c.folder == "folder" ? target : path(QStringLiteral("照片"))));
        if (c.folder != "folder")
            writeFile(target, "the photo that stood there");
        if (c.content == "admin") { // written by another program, its own journal
            QSqlDatabase foreign = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "foreign");
            foreign.setDatabaseName(source);
            QVERIFY(foreign.open() && QSqlQuery(foreign).exec("CREATE TABLE admin (x TEXT)"));
        } else if (c.content == "folder") {
            QVERIFY(QDir().mkpath(source));
        } else if (c.content == "jpeg" || c.content == "half" || c.content == "exif") {
            const bool exif = c.content == "exif"; // landscape, and "turn 90 degrees clockwise"
            QByteArray jpeg =
                bytesOf(dir->makeJpeg(source, exif ? QSize(80, 40) : QSize(320, 240)));
            if (exif)
                jpeg.insert(2, QByteArray::fromHex("ffe100224578696600004d4d002a000000080001011200"
                                                   "03000000010006000000000000"));
            writeFile(source, jpeg.chopped(c.content == "half" ? 600 : 0));
        } else if (!c.content.isNull()) { // a big copy takes more than one read
            writeFile(source, c.content == "big" ? randomBytes(3 * 1024 * 1024 + 17) : c.content);
        }
        QSqlDatabase::removeDatabase("foreign");
        auto expected = snapshot(dir->root());
        if (c.op == "copy" && c.says.isEmpty())
            expected["照片/目标.jpg"] = expected["源.jpg"];
        ReadOnlyFolder readOnly(path(c.folder == "read-only" ? "照片" : "none"));
        if (c.folder == "read-only" && !readOnly.effective())
            QSKIP("permission bits are not enforced for this user");
        const QString error = c.op == "open"     ? Database::open(source).error()
                              : c.op == "create" ? Database::create(source).error()
                              : c.op == "stage"  ? StagedPhoto::stage(source, target).error()
                              : c.op == "copy" ? PhotoFiles::copyAtomically(source, target).error()
                                               : PhotoFiles::readPicture(source).error();
        const bool byTarget = c.folder == "read-only" || c.folder == "folder";
        const QString named = !byTarget ? source : c.op == "copy" ? target : path("照片");
        QVERIFY2(c.says.isEmpty() ? error.isEmpty() : error.startsWith(withPath(c.says, named)),
                 qPrintable(error));
        QCOMPARE(snapshot(dir->root()), expected);
        if (c.content == "exif")
            QCOMPARE(PhotoFiles::readPicture(source)->size(), QSize(40, 80));
    }

    void hugePictureIsDecodedAtDrawingSize()
    {
        const QString huge = dir->makeJpeg(QStringLiteral("huge.jpg"), QSize(8000, 6250));
        const Result<QImage> drawn = PhotoFiles::readPicture(huge, QSize(145, 185));
        QVERIFY2(drawn, qPrintable(drawn.error()));
        QCOMPARE(drawn->width(), 145);
        QVERIFY(qAbs(drawn->height() - 113) <= 1);
        // A small picture keeps its own size, so it is drawn by its exact proportions.
        const QString small = dir->makeJpeg(QStringLiteral("small.jpg"), QSize(400, 300));
        QCOMPARE(PhotoFiles::readPicture(small, QSize(145, 185))->size(), QSize(400, 300));
    }

    void lockIsWaitedForThenRefusedInChinese_data()
    {
        QTest::addColumn<bool>("released"); // by the other program once the wait began
        QTest::newRow("released while waiting") << true;
        QTest::newRow("held past the wait") << false;
    }
    void lockIsWaitedForThenRefusedInChinese()
    {
        QFETCH(bool, released);
        const Database& mine = store();
        const Database holder = dir->open();
        int notices = 0;
        Database::setWaitNotice([&] {
            if (++notices == 1 && released)
                holder.rollback();
        });
        const auto restore = qScopeGuard([] { Database::setWaitNotice({}); });
        QVERIFY(holder.run(QStringLiteral("BEGIN EXCLUSIVE")));
        const QString error = mine.run("INSERT INTO user (xingming) VALUES ('x')").error();
        holder.rollback();
        QCOMPARE(error, released ? QString() : withPath(kLocked, mine.file()));
        QCOMPARE(notices, 1);
        // An engine failure without words of its own keeps the engine's.
        QVERIFY(mine.run(QStringLiteral("DROP TABLE admin")));
        QCOMPARE(Accounts::verify(mine, "admin", "x").error(),
                 withPath("数据库 %1 操作失败：数据库错误：no such table: admin", mine.file()));
    }

    void verifyAnswers_data()
    {
        // Columns: name, password, expected
        dataColumns<QString, QString, Accounts::Verdict>();
        const auto row = [](const char* tag, const char* name, const char* password, V expected) {
            QTest::newRow(tag) << QString(name) << QString(password) << expected;
        };
        row("name in other case", "ADMIN", "123456", V::Match);
        row("no such name", "nobody", "123456", V::NoSuchUser);
        row("legacy plain text", "legacy", "old pw", V::Match);
        row("legacy other case", "legacy", "OLD PW", V::WrongPassword);
        row("quotes in name and password", "O'Brien; --", "it's", V::Match);
        row("first of two rows", "twice", "first", V::Match);
        row("blanks around the password", "admin", " 123456  ", V::Match);
        row("changed password", "changed", "密码 it's new", V::Match);
        row("damaged hash", "damaged", "$argon2id$v=19$x", V::WrongPassword);
    }
    void verifyAnswers()
    {
        const auto [name, password, expected] = dataRow<QString, QString, Accounts::Verdict>();
        static QTemporaryDir accounts; // one store for every row: hashing is slow on purpose
        const QString file = accounts.filePath(QStringLiteral("hd.db"));
        if (!QFile::exists(file)) {
            Database db = std::move(Database::create(file)).value();
            QVERIFY(db.run("INSERT INTO admin VALUES ('legacy', '  old pw  '), ('twice', 'first'), "
                           "('O''Brien; --', 'it''s'), ('damaged', '$argon2id$v=19$x')"));
            QVERIFY(Accounts::add(db, "admin", "123456") && Accounts::add(db, "twice", "second"));
            QVERIFY(Accounts::add(db, "changed", "old"));
            QCOMPARE(Accounts::changePassword(db, "CHANGED", " 密码 it's new ").value(), qint64(1));
            Result<QSqlQuery> q =
                db.run("SELECT count(*) FROM admin WHERE pasword LIKE '$argon2id$%'");
            QVERIFY(q && q->next() && q->value(0).toInt() == 4); // hashed, never as typed
        }
        Result<V> verdict = Accounts::verify(Database::open(file).value(), name, password);
        QVERIFY2(verdict, qPrintable(verdict.error()));
        QCOMPARE(verdict.value(), expected);
    }

    void programFolderPaths()
    {
        ProgramFolder::setRoot(dir->root() + QStringLiteral("/sub/../")); // tidied away
        const QString root = shownPath(dir->root() + '/');
        QCOMPARE(ProgramFolder::root() + QDir::separator(), root);
        // Characters that would leave the folder or are not allowed in file names become '_'.
        QCOMPARE(PhotoFiles::memberPhotoPath("a/b\\c", "1:2"),
                 shownPath(root + "照片/a_b_c-1_2.jpg"));
        QCOMPARE(PhotoFiles::memberPhotoPath("..", "*?\"<>|\t"),
                 shownPath(root + "照片/__-_______.jpg"));
    }

    void savesChangeRowAndPhotoTogether_data()
    {
        QTest::addColumn<Save>("c");
        const QStringList three = {"张三-111.jpg", "李四-222.jpg", "王五-555.jpg"};
        row<Save>("insert over a file no row names", {true, "王五-555", {}, {}, three});
        const char* taken =
            "照片文件 %1 已是另一位会员的照片，为免覆盖，未作改动。请修改姓名或电话后再试";
        row<Save>("insert over another member's photo", {true, "张三-111", "taken", taken});
        row<Save>("insert, row cannot be committed", {true, "王五-555", "commit", kNoCommit});
        row<Save>(
            "update to a new name, another's photo retired",
            {false, "张三/丰-111", {}, {}, {"张三_丰-111.jpg", "李四-222.jpg", "王五-555.jpg"}});
        row<Save>("update of a row that is gone", {false, "张三-111", "gone"});
        row<Save>("update, photo cannot go in place",
                  {false, "张三-111", "install", "无法写入照片文件 %1"});
    }
    // The saved member's photo file stands there already, an orphan or the member's own: a save
    // that fails leaves it with its bytes.
    void savesChangeRowAndPhotoTogether()
    {
        QFETCH(Save, c);
        store();
        const Member a = addMember(*dir, "张三", "111"), b = addMember(*dir, "李四", "222");
        dir->makeJpeg(photoPath(*dir, "王五-555.jpg"), {12, 12}, Qt::green);
        const QString source = dir->makeJpeg(QStringLiteral("pick.jpg"), {30, 20}, Qt::blue);
        const auto before = snapshot(*dir);
        Member m = a;
        m.xingming = c.who.section('-', 0, 0);
        m.dianhua = c.who.section('-', 1);
        m.dizhi = QStringLiteral("x'); DROP TABLE user; -- \"路\" 100%_ C:\\照片");
        m.id = c.fault == "gone" ? 424242 : c.isInsert ? b.id + 1 : a.id;
        m.zhaopian = PhotoFiles::memberPhotoPath(m.xingming, m.dianhua);
        QString error;
        { // the staged photo goes with its save
            Result<StagedPhoto> staged = StagedPhoto::stage(source, m.zhaopian);
            QVERIFY2(staged, qPrintable(staged.error()));
            using Step = MemberRecords::testing::SaveStep;
            MemberRecords::testing::atStep = [&](Step step) {
                if (c.fault == "install" && step == Step::Noted)
                    QFile::remove(staged->staged());
                if (c.fault == "commit" && step == Step::PhotoInstalled)
                    db->rollback();
            };
            error = c.isInsert
                        ? MemberRecords::insert(*db, m, staged.value()).error()
                        : MemberRecords::update(*db, m, staged.value(), {a.zhaopian, b.zhaopian})
                              .error();
        }
        const QString named = c.fault == "commit" ? db->file() : m.zhaopian;
        QVERIFY2(c.says.isEmpty() ? error.isEmpty() : error.startsWith(withPath(c.says, named)),
                 qPrintable(error));
        QCOMPARE(leftovers(), QStringList());
        if (c.files.isEmpty()) {
            QCOMPARE(differences(before, snapshot(*dir)), QStringList());
        } else {
            QList<QStringList> rows = before.rows;
            c.isInsert ? rows.append(rowOf(m)) : rows.replace(0, rowOf(m));
            QCOMPARE(tableRows(*dir), rows);
            QCOMPARE(photoFiles(*dir), c.files);
            QCOMPARE(bytesOf(m.zhaopian), bytesOf(source));
        }
        QVERIFY(db->begin()); // no transaction is left open on the connection
        db->rollback();
    }

    void removeAndClearDeleteRowsAndTheirFiles()
    {
        store();
        const Member a = addMember(*dir, "张三", "111");
        const Member b = addMember(*dir, "李四", "222", "李四.JPG");
        // The default photo lies outside the photo folder; a missing file is no error.
        Result<MemberRecords::Removal> removed = MemberRecords::remove(
            *db, a.id, {a.zhaopian, defaultPhoto(*dir), photoPath(*dir, "gone.jpg")});
        QVERIFY2(removed && removed->rows == 1 && removed->leftFiles.isEmpty(),
                 qPrintable(removed.error()));
        // A row someone else deleted already: its files are not ours to judge.
        QCOMPARE(MemberRecords::remove(*db, a.id, {b.zhaopian})->rows, 0);
        QCOMPARE(tableRows(*dir), QList<QStringList>{rowOf(b)});
        QCOMPARE(photoFiles(*dir), QStringList{"李四.JPG"});
        // Clearing takes every row and every .jpg of the photo folder, in any letter case.
        dir->makeJpeg(QStringLiteral("照片/无法显示/keep.jpg"));
        writeFile(photoPath(*dir, "note.txt"), "");
        Result<MemberRecords::Removal> cleared = MemberRecords::clear(*db);
        QVERIFY2(cleared && cleared->rows == 1 && cleared->leftFiles.isEmpty(),
                 qPrintable(cleared.error()));
        QCOMPARE(tableRows(*dir), QList<QStringList>());
        QCOMPARE(photoFiles(*dir), (QStringList{"note.txt", "无法显示"}));
        QVERIFY(QFile::exists(defaultPhoto(*dir)));
    }

    void keysetPagesMatchOffsetPages_data()
    {
        QTest::addColumn<Pages>("c");
        row<Pages>("full list, newest first", {});
        row<Pages>("full list, kept total without its row", {{}, {}, -1, "DELETE FROM user_total"});
        // An OR must stay one condition when the pager adds its own.
        row<Pages>("either condition", {"xingbie = ? OR nianling = ?", {"女", "30"}});
        row<Pages>("no match", {"xingming = ?", {"无此人"}});
        const int gender = int(QueryCondition::Field::Gender);
        const char* noCounts = "DROP TRIGGER user_gender_add;DROP TRIGGER user_gender_remove;"
                               "DROP TRIGGER user_gender_change;DROP TABLE user_gender_total";
        row<Pages>("gender, counts not kept", {"xingbie = ?", {"女"}, gender, noCounts});
        for (const char* typed : {"男", "MALE", "male ", "", "无"})
            QTest::addRow("gender %s", typed)
                << Pages{"xingbie = ?", {QString::fromUtf8(typed)}, gender};
        // The address reads through the trigram index, which folds case more widely than LIKE.
        const int address = int(QueryCondition::Field::Address);
        for (const char* typed :
             {"中山北路", "号。", "kin", "KING", "stre", "１２３", "12_", "山北%号", "\"a\""})
            QTest::addRow("address %s", typed)
                << Pages{"dizhi LIKE ?", {"%" + QString::fromUtf8(typed) + "%"}, address};
    }
    void keysetPagesMatchOffsetPages()
    {
        QFETCH(Pages, c);
        // 140 members and some with odd genders and addresses, then edited.
        const Database& db = store(140);
        for (const QString& sql : c.change.split(';', Qt::SkipEmptyParts))
            QVERIFY(db.run(sql));
        QVERIFY(
            db.run("INSERT INTO user (xingming, xingbie, dizhi) VALUES ('m', 'Male', "
                   "'\u212Aing Road'), ('m', 'MALE', 'king road'), ('m', 'male ', 'KING RD'), "
                   "('m', NULL, '\u017Ftreet 1'), ('m', '', '１２３号'), ('m', 'Male', '１２3号'), "
                   "('m', 'MALE', 'ＫＩＮＧ'), ('m', 'male ', 'say \"a\" twice'), "
                   "('m', NULL, '南京市中山北路12号。'), ('m', '', NULL)"));
        QVERIFY(db.run(
            "UPDATE user SET xingbie = 'Female', dizhi = 'KING 中山北路1号' WHERE id % 9 = 0"));
        QVERIFY(db.run("UPDATE user SET xingbie = NULL, dizhi = NULL WHERE id % 11 = 0"));
        const QString typed = c.values.value(0).toString().remove(QRegularExpression("^%|%$"));
        Result<Pager> opened = Pager::open(
            db, c.field >= 0 ? QueryCondition::listingFor(QueryCondition::Field(c.field), typed)
                : c.where.isEmpty() ? Listing::everyone()
                                    : Listing::matching(c.where, c.values));
        QVERIFY2(opened, qPrintable(opened.error()));
        Pager pager = std::move(opened).value();
        // The whole list as the plain statement orders it: page n is its n-th ten, as by OFFSET.
        QList<QStringList> all;
        Result<QSqlQuery> q = db.run(
            QStringLiteral("SELECT id, xingming, xingbie, nianling, dianhua, qq, youxiang, dizhi, "
                           "zhaopian FROM user %1 ORDER BY id %2")
                .arg(c.where.isEmpty() ? "" : "WHERE " + c.where, c.where.isEmpty() ? "DESC" : ""),
            c.values);
        for (QStringList row; q && q->next(); all << row, row.clear())
            for (int column = 0; column < 9; ++column)
                row << q->value(column).toString();
        const qint64 last = (all.size() + 9) / 10;
        QCOMPARE(pager.count(), qint64(all.size()));
        QCOMPARE(pager.pageCount(), last);
        // Forward, back, the same again and on, then jumps, beyond the end and on from there.
        QList<qint64> walk;
        for (qint64 page = 1; page < 2 * last; ++page)
            walk << (page <= last ? page : 2 * last - page);
        walk << 1 << 2 << last / 2 + 1 << last / 2 + 2 << qMax(last / 2, 1LL) << last + 1 << last
             << 3;
        for (qint64 page : std::as_const(walk)) {
            Result<QList<Member>> rows = pager.fetch(db, page);
            QList<QStringList> got;
            for (const Member& m : rows ? rows.value() : QList<Member>())
                got << rowOf(m);
            QVERIFY2(rows && got == all.mid((page - 1) * 10, 10),
                     qPrintable(QStringLiteral("page %1 of %2").arg(page).arg(last)));
        }
    }
};

QTEST_GUILESS_MAIN(tst_store)
#include "tst_store.moc"
