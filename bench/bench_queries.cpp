// The telephone check and every kind of condition query over a large store, in three rows each:
// through the member window, the old read-everything design, and SQLite alone.

#include "BenchSupport.h"
#include "Database.h"
#include "Forms.h"
#include "MemberGenerator.h"
#include "MemberRecords.h"
#include "NaiveRegister.h"
#include "PageModel.h"
#include "ProgramFolder.h"
#include "QueryCondition.h"
#include "RawSqlite.h"
#include "xianshi.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <vector>

using namespace BenchSupport;
using QueryCondition::Field;

namespace {

struct QueryCase
{
    QString name;
    Field field;
    QString text;
};

// A member from the middle of the store, whose values the exact queries look for.
Member middleMember()
{
    for (qint64 n = storeSize() / 2;; ++n) {
        Member m = MemberGenerator::make(n);
        if (!m.youxiang.isEmpty()) {
            m.id = n;
            return m;
        }
    }
}

QList<QueryCase> queryCases()
{
    const Member m = middleMember();
    return {
        {QStringLiteral("Query_name"), Field::Name, QStringLiteral("王伟")},
        {QStringLiteral("Query_phone"), Field::Phone, m.dianhua},
        {QStringLiteral("Query_id"), Field::Id, QString::number(m.id)},
        {QStringLiteral("Query_qq"), Field::QQ, m.qq},
        {QStringLiteral("Query_age"), Field::Age, QStringLiteral("30")},
        {QStringLiteral("Query_mail"), Field::Mail, m.youxiang},
        {QStringLiteral("Query_gender"), Field::Gender, QStringLiteral("男")},
        {QStringLiteral("Query_address1"), Field::Address, QStringLiteral("北")},
        {QStringLiteral("Query_address2"), Field::Address, QStringLiteral("海淀")},
        {QStringLiteral("Query_address3_rare"), Field::Address, QStringLiteral("12栋3单元")},
        {QStringLiteral("Query_address3_common"), Field::Address, QStringLiteral("中山北路")},
        {QStringLiteral("Query_address3_wildcard"), Field::Address,
         QStringLiteral("中山北路%3单元")},
    };
}

// The column the old design compares, with its statement.
QString naiveStatement(Field field)
{
    switch (field) {
    case Field::Name:
        return QStringLiteral("SELECT * FROM user WHERE xingming = ? ORDER BY id");
    case Field::Phone:
        return QStringLiteral("SELECT * FROM user WHERE dianhua = ? ORDER BY id");
    case Field::Id:
        return QStringLiteral("SELECT * FROM user WHERE id = ? ORDER BY id");
    case Field::QQ:
        return QStringLiteral("SELECT * FROM user WHERE qq = ? ORDER BY id");
    case Field::Age:
        return QStringLiteral("SELECT * FROM user WHERE nianling = ? ORDER BY id");
    case Field::Mail:
        return QStringLiteral("SELECT * FROM user WHERE youxiang = ? ORDER BY id");
    case Field::Gender:
        return QStringLiteral("SELECT * FROM user WHERE xingbie = ? ORDER BY id");
    case Field::Address:
        break;
    }
    return QStringLiteral("SELECT * FROM user WHERE dizhi LIKE ? ORDER BY id");
}

void typeCondition(xianshi* window, const QueryCase& query)
{
    for (const char* name : {"t1", "t3", "T4", "T5", "T6", "t8"})
        field<QLineEdit>(window, name)->clear();
    field<QPlainTextEdit>(window, "T7")->clear();
    field<QComboBox>(window, "Combo1")->setEditText(QStringLiteral("请选择性别"));
    switch (query.field) {
    case Field::Name:
        return field<QLineEdit>(window, "t1")->setText(query.text);
    case Field::Phone:
        return field<QLineEdit>(window, "T4")->setText(query.text);
    case Field::Id:
        // The id field never counts; a filled QQ field makes the count one and the id the pick.
        field<QLineEdit>(window, "t8")->setText(query.text);
        return field<QLineEdit>(window, "T5")->setText(QStringLiteral("x"));
    case Field::QQ:
        return field<QLineEdit>(window, "T5")->setText(query.text);
    case Field::Age:
        return field<QLineEdit>(window, "t3")->setText(query.text);
    case Field::Mail:
        return field<QLineEdit>(window, "T6")->setText(query.text);
    case Field::Gender:
        return field<QComboBox>(window, "Combo1")->setEditText(query.text);
    case Field::Address:
        return field<QPlainTextEdit>(window, "T7")->setPlainText(query.text);
    }
}

xianshi* openWindow()
{
    return static_cast<xianshi*>(Forms::instance().show(QStringLiteral("xianshi")));
}

void closeWindow(xianshi* window)
{
    Forms::instance().unload(window);
    destroyUnloaded();
}

void queryTalvio(benchmark::State& state, const QueryCase& query)
{
    xianshi* window = openWindow();
    typeCondition(window, query);
    qint64 found = 0;
    for (auto _ : state) {
        press(window, "Command6");
        state.PauseTiming();
        found = field<QLineEdit>(window, "t9")->text().toLongLong();
        if (!dialogs().calls.isEmpty())
            state.SkipWithError(qPrintable(dialogs().messageTexts().join(u' ')));
        state.ResumeTiming();
    }
    state.counters["matches"] = double(found);
    closeWindow(window);
}

void queryNaive(benchmark::State& state, const QueryCase& query)
{
    NaiveRegister naive(ProgramFolder::databaseFile());
    const QVariant value = query.field == Field::Address
                               ? QVariant(QLatin1Char('%') + query.text + QLatin1Char('%'))
                               : QVariant(query.text);
    PageModel page;
    for (auto _ : state) {
        naive.load(naiveStatement(query.field), {value});
        page.setRows(naive.page(1));
    }
    state.counters["matches"] = double(naive.count());
}

std::vector<std::string> utf8Values(const QVariantList& values)
{
    std::vector<std::string> out;
    for (const QVariant& value : values)
        out.push_back(value.toString().toStdString());
    return out;
}

// The program's statements for the query: its count (kept or counted) and its first page,
// prepared once.
void queryFloor(benchmark::State& state, const QueryCase& query)
{
    const Listing listing = QueryCondition::listingFor(query.field, query.text);
    RawSqlite::Connection db(ProgramFolder::databaseFile().toStdString());
    const std::string from = listing.from.toStdString();
    const std::string where = listing.where.toStdString();
    const bool kept = !listing.countStatement.isEmpty();
    RawSqlite::Statement count(db, kept ? listing.countStatement.toStdString()
                                        : "SELECT count(*) FROM " + from + " WHERE " + where);
    const std::vector<std::string> countValues =
        utf8Values(kept ? listing.countValues : listing.values);
    const std::vector<std::string> values = utf8Values(listing.values);
    std::string columns;
    for (const char* column : {"id", "xingming", "xingbie", "nianling", "dianhua", "qq", "youxiang",
                               "dizhi", "zhaopian"})
        columns += std::string(columns.empty() ? "" : ", ") + "user." + column;
    RawSqlite::Statement first(db, "SELECT " + columns + " FROM " + from + " WHERE (" + where +
                                       ") ORDER BY " + listing.key.toStdString() +
                                       " LIMIT 10 OFFSET 0");
    std::int64_t found = 0;
    for (auto _ : state) {
        count.reset();
        for (size_t i = 0; i < countValues.size(); ++i)
            count.bind(int(i + 1), countValues[i]);
        found = count.next() ? count.integer(0) : 0;
        first.reset();
        for (size_t i = 0; i < values.size(); ++i)
            first.bind(int(i + 1), values[i]);
        std::vector<RawSqlite::Row> rows;
        while (first.next())
            rows.push_back(RawSqlite::readRow(first));
        benchmark::DoNotOptimize(rows.data());
    }
    state.counters["matches"] = double(found);
}

// A number nobody has: the check an add makes before it stores a new member.
const QString kFreePhone = QStringLiteral("19999999999");

void phoneTalvio(benchmark::State& state)
{
    xianshi* window = openWindow();
    field<QLineEdit>(window, "T4")->setText(kFreePhone);
    // The check an add makes, as the store answers it; the window only reads the count.
    Result<Database> db = Database::openProgramStore();
    for (auto _ : state)
        benchmark::DoNotOptimize(MemberRecords::countWithPhone(db.value(), kFreePhone).value());
    closeWindow(window);
}

void phoneNaive(benchmark::State& state)
{
    NaiveRegister naive(ProgramFolder::databaseFile());
    for (auto _ : state) {
        naive.load(QStringLiteral("SELECT * FROM user WHERE dianhua = ?"), {kFreePhone});
        benchmark::DoNotOptimize(naive.count());
    }
}

void phoneFloor(benchmark::State& state)
{
    RawSqlite::Connection db(ProgramFolder::databaseFile().toStdString());
    RawSqlite::Statement count(db, "SELECT count(*) FROM user WHERE dianhua = ?");
    const std::string phone = kFreePhone.toStdString();
    for (auto _ : state) {
        count.reset().bind(1, phone);
        count.next();
        benchmark::DoNotOptimize(count.integer(0));
    }
}

void registerAll()
{
    const QString phone = QStringLiteral("PhoneCheck");
    addRow(phone, "talvio", phoneTalvio)->Unit(benchmark::kMicrosecond);
    addRow(phone, "naive", phoneNaive)->Unit(benchmark::kMicrosecond);
    addRow(phone, "floor", phoneFloor)->Unit(benchmark::kMicrosecond);
    for (const QueryCase& query : queryCases()) {
        addRow(query.name, "talvio", queryTalvio, query)->Unit(benchmark::kMillisecond);
        addRow(query.name, "naive", queryNaive, query)->Unit(benchmark::kMillisecond);
        addRow(query.name, "floor", queryFloor, query)->Unit(benchmark::kMillisecond);
    }
}

} // namespace

int main(int argc, char** argv)
{
    return BenchSupport::run(argc, argv, registerAll);
}
