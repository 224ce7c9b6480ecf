#include "QueryCondition.h"

#include <QRegularExpression>

#include <algorithm>

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

namespace {
QStringList literalRuns(const QString& typed)
{
    static const QRegularExpression wildcards(QStringLiteral("[%_]"));
    return typed.split(wildcards, Qt::SkipEmptyParts);
}

// Characters the trigram index compares exactly as LIKE does: they have no case, and no other
// character folds onto them (as the Kelvin sign folds onto "k").
bool comparesAsLikeDoes(char32_t c)
{
    if (c < 0x80)
        return !((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'));
    return (c >= 0x3000 && c <= 0x303F) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF);
}

// The index's own query: every literal run as a quoted phrase, all of them required.
QString trigramQuery(const QString& typed)
{
    QStringList phrases;
    for (QString run : literalRuns(typed))
        phrases << QLatin1Char('"') + run.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                       QLatin1Char('"');
    return phrases.join(QStringLiteral(" AND "));
}

// One run without wildcards, of characters the index compares as LIKE does: then the rows the
// index finds are exactly the rows LIKE finds, and the index alone can count them.
bool indexCountIsExact(const QString& typed)
{
    if (typed.contains(QLatin1Char('%')) || typed.contains(QLatin1Char('_')))
        return false;
    const QList<uint> characters = typed.toUcs4();
    return std::all_of(characters.begin(), characters.end(),
                       [](uint c) { return comparesAsLikeDoes(char32_t(c)); });
}
} // namespace

bool trigramUsable(const QString& typed)
{
    const QStringList runs = literalRuns(typed);
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
    case Field::Gender: {
        // Half the members share a gender: their count is kept by the store, not counted.
        Listing listing = Listing::matching(QStringLiteral("xingbie = ?"), {text});
        listing.countStatement =
            QStringLiteral("SELECT n FROM user_gender_total WHERE xingbie = ?");
        listing.countValues = {text};
        return listing;
    }
    case Field::Address:
        break;
    }
    const QString pattern = QLatin1Char('%') + text + QLatin1Char('%');
    if (!trigramUsable(text))
        return Listing::matching(QStringLiteral("dizhi LIKE ?"), {pattern});
    // The index hands out its candidates in id order, so a page reads a few of them however
    // common the text; the plain LIKE keeps the exact matching rules.
    const QString query = trigramQuery(text);
    Listing listing = Listing::matching(QStringLiteral("user_dizhi MATCH ? AND user.dizhi LIKE ?"),
                                        {query, pattern});
    listing.from = QStringLiteral("user_dizhi CROSS JOIN user ON user.id = user_dizhi.rowid");
    listing.key = QStringLiteral("user_dizhi.rowid");
    if (indexCountIsExact(text)) {
        listing.countStatement =
            QStringLiteral("SELECT count(*) FROM user_dizhi WHERE user_dizhi MATCH ?");
        listing.countValues = {query};
    }
    return listing;
}

} // namespace QueryCondition
