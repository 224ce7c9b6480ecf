#include "Schema.h"

#include "Database.h"

namespace Schema {

namespace {

// Text compares as the register always did: ASCII letters without regard to case.
const char* const kTables[] = {
    R"(CREATE TABLE admin (
           user    TEXT COLLATE NOCASE,
           pasword TEXT))",
    "CREATE INDEX admin_user ON admin(user)",
    R"(CREATE TABLE user (
           id       INTEGER PRIMARY KEY AUTOINCREMENT,
           xingming TEXT COLLATE NOCASE,
           xingbie  TEXT COLLATE NOCASE,
           nianling TEXT COLLATE NOCASE,
           dianhua  TEXT COLLATE NOCASE,
           qq       TEXT COLLATE NOCASE,
           youxiang TEXT COLLATE NOCASE,
           dizhi    TEXT COLLATE NOCASE,
           zhaopian TEXT COLLATE NOCASE))",
    // The member count is kept by triggers so that opening the list never scans the table.
    "CREATE TABLE user_total (n INTEGER NOT NULL)",
    "INSERT INTO user_total (n) VALUES (0)",
    // Members per gender, compared as the column compares, so that a gender query need not
    // count half the table.
    "CREATE TABLE user_gender_total (xingbie TEXT COLLATE NOCASE PRIMARY KEY, n INTEGER NOT NULL)",
    // Trigram index for address substring searches.
    "CREATE VIRTUAL TABLE user_dizhi USING fts5(dizhi, content='user', content_rowid='id', "
    "tokenize='trigram')",
};

// Everything that follows each member row: dropped during a bulk load and made again after it.
const char* const kMemberIndexes[] = {
    "CREATE INDEX user_xingming ON user(xingming)",
    "CREATE INDEX user_xingbie ON user(xingbie)",
    "CREATE INDEX user_nianling ON user(nianling)",
    "CREATE INDEX user_dianhua ON user(dianhua)",
    "CREATE INDEX user_qq ON user(qq)",
    "CREATE INDEX user_youxiang ON user(youxiang)",
    "CREATE TRIGGER user_total_add AFTER INSERT ON user BEGIN UPDATE user_total SET n = n + 1; END",
    "CREATE TRIGGER user_total_remove AFTER DELETE ON user BEGIN UPDATE user_total SET n = n - 1; "
    "END",
    "CREATE TRIGGER user_gender_add AFTER INSERT ON user WHEN new.xingbie IS NOT NULL BEGIN "
    "INSERT INTO user_gender_total (xingbie, n) VALUES (new.xingbie, 1) "
    "ON CONFLICT (xingbie) DO UPDATE SET n = n + 1; END",
    "CREATE TRIGGER user_gender_remove AFTER DELETE ON user BEGIN "
    "UPDATE user_gender_total SET n = n - 1 WHERE xingbie = old.xingbie; END",
    "CREATE TRIGGER user_gender_change AFTER UPDATE OF xingbie ON user BEGIN "
    "UPDATE user_gender_total SET n = n - 1 WHERE xingbie = old.xingbie; "
    "INSERT INTO user_gender_total (xingbie, n) SELECT new.xingbie, 1 WHERE new.xingbie IS NOT "
    "NULL "
    "ON CONFLICT (xingbie) DO UPDATE SET n = n + 1; END",
    "CREATE TRIGGER user_dizhi_add AFTER INSERT ON user BEGIN "
    "INSERT INTO user_dizhi (rowid, dizhi) VALUES (new.id, new.dizhi); END",
    "CREATE TRIGGER user_dizhi_remove AFTER DELETE ON user BEGIN "
    "INSERT INTO user_dizhi (user_dizhi, rowid, dizhi) VALUES ('delete', old.id, old.dizhi); END",
    "CREATE TRIGGER user_dizhi_change AFTER UPDATE OF dizhi ON user BEGIN "
    "INSERT INTO user_dizhi (user_dizhi, rowid, dizhi) VALUES ('delete', old.id, old.dizhi); "
    "INSERT INTO user_dizhi (rowid, dizhi) VALUES (new.id, new.dizhi); END",
};

const char* const kDropMemberIndexes[] = {
    "DROP INDEX user_xingming",
    "DROP INDEX user_xingbie",
    "DROP INDEX user_nianling",
    "DROP INDEX user_dianhua",
    "DROP INDEX user_qq",
    "DROP INDEX user_youxiang",
    "DROP TRIGGER user_total_add",
    "DROP TRIGGER user_total_remove",
    "DROP TRIGGER user_gender_add",
    "DROP TRIGGER user_gender_remove",
    "DROP TRIGGER user_gender_change",
    "DROP TRIGGER user_dizhi_add",
    "DROP TRIGGER user_dizhi_remove",
    "DROP TRIGGER user_dizhi_change",
};

// Made again from the rows once the indexes are back.
const char* const kRebuildDerived[] = {
    "UPDATE user_total SET n = (SELECT count(*) FROM user)",
    "DELETE FROM user_gender_total",
    "INSERT INTO user_gender_total (xingbie, n) "
    "SELECT xingbie, count(*) FROM user WHERE xingbie IS NOT NULL GROUP BY xingbie",
    "INSERT INTO user_dizhi (user_dizhi) VALUES ('rebuild')",
};

template <size_t N> Status runAll(const Database& db, const char* const (&statements)[N])
{
    for (const char* statement : statements)
        if (Result<QSqlQuery> q = db.run(QString::fromUtf8(statement)); !q)
            return q.failure();
    return {};
}

template <typename Step> Status inTransaction(const Database& db, Step step)
{
    if (Status begun = db.begin(); !begun)
        return begun;
    if (Status done = step(); !done) {
        db.rollback();
        return done;
    }
    return db.commit();
}

} // namespace

Status create(const Database& db)
{
    return inTransaction(db, [&]() -> Status {
        if (Status made = runAll(db, kTables); !made)
            return made;
        if (Status made = runAll(db, kMemberIndexes); !made)
            return made;
        if (Result<QSqlQuery> q = db.run(QStringLiteral("PRAGMA user_version = %1").arg(kVersion));
            !q)
            return q.failure();
        return {};
    });
}

Status suspendMemberIndexes(const Database& db)
{
    return inTransaction(db, [&] { return runAll(db, kDropMemberIndexes); });
}

Status restoreMemberIndexes(const Database& db)
{
    return inTransaction(db, [&]() -> Status {
        if (Status made = runAll(db, kMemberIndexes); !made)
            return made;
        return runAll(db, kRebuildDerived);
    });
}

} // namespace Schema
