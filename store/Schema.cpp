#include "Schema.h"

#include "Database.h"

namespace Schema {

namespace {

// Text compares as the register always did: ASCII letters without regard to case.
const char* const kStatements[] = {
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
    "CREATE INDEX user_xingming ON user(xingming)",
    "CREATE INDEX user_xingbie ON user(xingbie)",
    "CREATE INDEX user_nianling ON user(nianling)",
    "CREATE INDEX user_dianhua ON user(dianhua)",
    "CREATE INDEX user_qq ON user(qq)",
    "CREATE INDEX user_youxiang ON user(youxiang)",
    // The member count is kept by triggers so that opening the list never scans the table.
    "CREATE TABLE user_total (n INTEGER NOT NULL)",
    "INSERT INTO user_total (n) VALUES (0)",
    "CREATE TRIGGER user_total_add AFTER INSERT ON user BEGIN UPDATE user_total SET n = n + 1; END",
    "CREATE TRIGGER user_total_remove AFTER DELETE ON user BEGIN UPDATE user_total SET n = n - 1; "
    "END",
    // Trigram index for address substring searches.
    "CREATE VIRTUAL TABLE user_dizhi USING fts5(dizhi, content='user', content_rowid='id', "
    "tokenize='trigram')",
    "CREATE TRIGGER user_dizhi_add AFTER INSERT ON user BEGIN "
    "INSERT INTO user_dizhi (rowid, dizhi) VALUES (new.id, new.dizhi); END",
    "CREATE TRIGGER user_dizhi_remove AFTER DELETE ON user BEGIN "
    "INSERT INTO user_dizhi (user_dizhi, rowid, dizhi) VALUES ('delete', old.id, old.dizhi); END",
    "CREATE TRIGGER user_dizhi_change AFTER UPDATE OF dizhi ON user BEGIN "
    "INSERT INTO user_dizhi (user_dizhi, rowid, dizhi) VALUES ('delete', old.id, old.dizhi); "
    "INSERT INTO user_dizhi (rowid, dizhi) VALUES (new.id, new.dizhi); END",
};

} // namespace

Status create(const Database& db)
{
    if (Status begun = db.begin(); !begun)
        return begun;
    for (const char* statement : kStatements) {
        if (Result<QSqlQuery> q = db.run(QString::fromUtf8(statement)); !q) {
            db.rollback();
            return Failure{q.error()};
        }
    }
    if (Result<QSqlQuery> q = db.run(QStringLiteral("PRAGMA user_version = %1").arg(kVersion)); !q) {
        db.rollback();
        return Failure{q.error()};
    }
    return db.commit();
}

} // namespace Schema
