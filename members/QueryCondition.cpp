#include "QueryCondition.h"

#include <QRegularExpression>

namespace QueryCondition {

QString trimSpaces(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin);
}

bool trigramUsable(const QString& typed)
{
    static const QRegularExpression wildcards(QStringLiteral("[%_]"));
    const QStringList runs = typed.split(wildcards, Qt::SkipEmptyParts);
    if (runs.isEmpty())
        return false;
    // Characters, not UTF-16 units: a character outside the basic plane is one trigram letter.
    for (const QString& run : runs)
        if (run.toUcs4().size() < 3)
            return false;
    return true;
}

Listing listingFor(Field field, const QString& text)
{
    switch (field) {
    case Field::Name:
        return Listing::matching(QStringLiteral("xingming = ?"), {text});
    case Field::Phone:
        return Listing::matching(QStringLiteral("dianhua = ?"), {text});
    case Field::Id:
        return Listing::matching(QStringLiteral("id = ?"), {text});
    case Field::QQ:
        return Listing::matching(QStringLiteral("qq = ?"), {text});
    case Field::Age:
        return Listing::matching(QStringLiteral("nianling = ?"), {text});
    case Field::Mail:
        return Listing::matching(QStringLiteral("youxiang = ?"), {text});
    case Field::Gender:
        return Listing::matching(QStringLiteral("xingbie = ?"), {text});
    case Field::Address:
        break;
    }
    const QString pattern = QLatin1Char('%') + text + QLatin1Char('%');
    if (trigramUsable(text))
        // The index narrows the rows; the plain LIKE keeps the exact matching rules.
        return Listing::matching(
            QStringLiteral("id IN (SELECT rowid FROM user_dizhi WHERE dizhi LIKE ?) AND dizhi LIKE ?"),
            {pattern, pattern});
    return Listing::matching(QStringLiteral("dizhi LIKE ?"), {pattern});
}

} // namespace QueryCondition
