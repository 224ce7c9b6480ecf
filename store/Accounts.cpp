#include "Accounts.h"

#include "Database.h"
#include "PasswordHash.h"

namespace Accounts {

Result<Verdict> verify(const Database& db, const QString& name, const QString& password)
{
    Result<QSqlQuery> row = db.run(
        QStringLiteral("SELECT pasword FROM admin WHERE user = ? ORDER BY rowid LIMIT 1"), {name});
    if (!row)
        return row.failure();
    if (!row->next())
        return Verdict::NoSuchUser;
    const QString stored = row->value(0).toString();
    return PasswordHash::matches(stored, password) ? Verdict::Match : Verdict::WrongPassword;
}

Result<qint64> changePassword(const Database& db, const QString& name, const QString& password)
{
    Result<QString> hashed = PasswordHash::hash(password);
    if (!hashed)
        return hashed.failure();
    Result<QSqlQuery> update = db.run(QStringLiteral("UPDATE admin SET pasword = ? WHERE user = ?"),
                                      {hashed.value(), name});
    if (!update)
        return update.failure();
    return static_cast<qint64>(update->numRowsAffected());
}

Status add(const Database& db, const QString& name, const QString& password)
{
    Result<QString> hashed = PasswordHash::hash(password);
    if (!hashed)
        return hashed.failure();
    if (Result<QSqlQuery> insert =
            db.run(QStringLiteral("INSERT INTO admin (user, pasword) VALUES (?, ?)"),
                   {name, hashed.value()});
        !insert)
        return insert.failure();
    return {};
}

} // namespace Accounts
