#include "AddressText.h"

#include "Database.h"

namespace AddressText {

Result<QString> build(const Database& db)
{
    // Table order: left alone, SQLite would read the covering e-mail index and sort the text.
    Result<QSqlQuery> rows = db.run(QStringLiteral("SELECT youxiang FROM user ORDER BY id"));
    if (!rows)
        return rows.failure();
    QString text;
    while (rows->next()) {
        text += rows->value(0).toString();
        text += QLatin1Char(';');
    }
    return text;
}

} // namespace AddressText
