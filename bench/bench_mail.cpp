// The address summary: every member's e-mail address joined into one text, and that text shown
// in the summary window's box. Three rows each.

#include "AddressBox.h"
#include "AddressText.h"
#include "BenchSupport.h"
#include "Database.h"
#include "Forms.h"
#include "NaiveRegister.h"
#include "ProgramFolder.h"
#include "RawSqlite.h"
#include "mail.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QSqlQuery>

#include <string>

using namespace BenchSupport;

namespace {

// The summary window's load: its own connection and the joined text.
void textTalvio(benchmark::State& state)
{
    qsizetype size = 0;
    for (auto _ : state) {
        Result<Database> db = Database::openProgramStore();
        Result<QString> text = AddressText::build(db.value());
        size = text->size();
    }
    state.counters["characters"] = double(size);
}

// The old design: "select youxiang from user" read whole, then joined row by row.
void textNaive(benchmark::State& state)
{
    qsizetype size = 0;
    for (auto _ : state) {
        const QStringList addresses = runOnOwnConnection(
            ProgramFolder::databaseFile(), QStringLiteral("SELECT youxiang FROM user"), {});
        QString text;
        for (const QString& address : addresses) {
            text += address;
            text += QLatin1Char(';');
        }
        size = text.size();
    }
    state.counters["characters"] = double(size);
}

void textFloor(benchmark::State& state)
{
    const std::string file = ProgramFolder::databaseFile().toStdString();
    for (auto _ : state) {
        RawSqlite::Connection db(file);
        RawSqlite::Statement rows(db, "SELECT youxiang FROM user ORDER BY id");
        std::string text;
        while (rows.next()) {
            text += rows.text(0);
            text += ';';
        }
        benchmark::DoNotOptimize(text.data());
    }
}

QString summaryText()
{
    static const QString text = [] {
        Result<Database> db = Database::openProgramStore();
        return AddressText::build(db.value()).value();
    }();
    return text;
}

// "显示所有邮箱" in the summary window.
void showTalvio(benchmark::State& state)
{
    auto* window = static_cast<mail*>(Forms::instance().show(QStringLiteral("mail")));
    for (auto _ : state) {
        window->Command1_Click();
        QCoreApplication::processEvents();
    }
    Forms::instance().unload(window);
    destroyUnloaded();
}

// A plain multi-line box given the text as one line. Its layout grows much faster than the
// text (100,000 addresses took four minutes once), so this row shows the first 10,000 only.
constexpr qsizetype kNaiveAddresses = 10000;

void showNaive(benchmark::State& state)
{
    QString text = summaryText();
    qsizetype cut = 0;
    for (qsizetype n = 0; n < kNaiveAddresses && cut >= 0; ++n)
        cut = text.indexOf(QLatin1Char(';'), cut) + 1;
    if (cut > 0)
        text.truncate(cut);
    QPlainTextEdit box;
    box.resize(433, 177);
    box.show();
    for (auto _ : state) {
        box.setPlainText(text);
        QCoreApplication::processEvents();
    }
    state.counters["addresses"] = double(text.count(QLatin1Char(';')));
}

// Qt's own cost for the same amount of text, already in lines of a few thousand characters.
void showFloor(benchmark::State& state)
{
    QString lines = summaryText();
    for (qsizetype at = 4096; at < lines.size(); at += 4097)
        lines.insert(at, QLatin1Char('\n'));
    QPlainTextEdit box;
    box.resize(433, 177);
    box.show();
    for (auto _ : state) {
        box.setPlainText(lines);
        QCoreApplication::processEvents();
    }
}

void registerAll()
{
    const QString text = QStringLiteral("AddressText");
    addRow(text, "talvio", textTalvio)->Unit(benchmark::kMillisecond);
    addRow(text, "naive", textNaive)->Unit(benchmark::kMillisecond);
    addRow(text, "floor", textFloor)->Unit(benchmark::kMillisecond);

    const QString show = QStringLiteral("AddressBoxShow");
    addRow(show, "talvio", showTalvio)->Unit(benchmark::kMillisecond);
    addRow(show, "naive", showNaive)->Unit(benchmark::kMillisecond);
    addRow(show, "floor", showFloor)->Unit(benchmark::kMillisecond);
}

} // namespace

int main(int argc, char** argv)
{
    return BenchSupport::run(argc, argv, registerAll);
}
