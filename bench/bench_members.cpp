// The member window over a large store: opening it, and one page step at the first, middle and
// last page. Each in three rows: the program, the old read-everything design, and SQLite alone.

#include "BenchSupport.h"
#include "Database.h"
#include "Forms.h"
#include "Listing.h"
#include "NaiveRegister.h"
#include "PageModel.h"
#include "ProgramFolder.h"
#include "RawSqlite.h"
#include "xianshi.h"

#include <QLineEdit>
#include <QTableView>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

using namespace BenchSupport;

namespace {

std::string databaseFile()
{
    return ProgramFolder::databaseFile().toStdString();
}

// What a page step shows in the old design: ten rows cut from the copy, bound to a grid.
struct NaiveGrid
{
    QTableView view;
    PageModel model;
    NaiveGrid() { view.setModel(&model); }
    void show(const NaiveRegister& naive, qint64 page) { model.setRows(naive.page(page)); }
};

// The full list read once and kept, as the old window keeps it between page steps.
NaiveRegister& loadedNaiveList()
{
    static NaiveRegister naive(ProgramFolder::databaseFile());
    if (naive.rows.isEmpty())
        naive.loadList();
    return naive;
}

void openTalvio(benchmark::State& state)
{
    for (auto _ : state) {
        Form* window = Forms::instance().show(QStringLiteral("xianshi"));
        benchmark::DoNotOptimize(window);
        state.PauseTiming();
        Forms::instance().unload(window);
        destroyUnloaded();
        state.ResumeTiming();
    }
}

void openNaive(benchmark::State& state)
{
    for (auto _ : state) {
        auto window = std::make_unique<xianshi>();
        NaiveRegister naive(ProgramFolder::databaseFile());
        naive.loadList();
        PageModel page;
        page.setRows(naive.page(1));
        window->show();
        benchmark::DoNotOptimize(page.rowCount());
        state.PauseTiming();
        window.reset();
        naive.close();
        state.ResumeTiming();
    }
}

// The program's statements for the same answer: the kept count and the first page.
void openFloor(benchmark::State& state)
{
    const std::string file = databaseFile();
    for (auto _ : state) {
        RawSqlite::Connection db(file);
        RawSqlite::Statement total(db, "SELECT n FROM user_total LIMIT 1");
        total.next();
        std::int64_t count = total.integer(0);
        RawSqlite::Statement page(db, std::string("SELECT ") + RawSqlite::kColumns +
                                          " FROM user ORDER BY id DESC LIMIT 10 OFFSET 0");
        std::vector<RawSqlite::Row> rows;
        while (page.next())
            rows.push_back(RawSqlite::readRow(page));
        benchmark::DoNotOptimize(count);
        benchmark::DoNotOptimize(rows.data());
    }
}

// The old design's statement alone, without Qt: how much of the naive row is the engine.
void openNaiveStatementRaw(benchmark::State& state)
{
    const std::string file = databaseFile();
    for (auto _ : state) {
        RawSqlite::Connection db(file);
        RawSqlite::Statement all(db, "SELECT * FROM user ORDER BY id DESC");
        std::vector<RawSqlite::Row> rows;
        while (all.next())
            rows.push_back(RawSqlite::readRow(all));
        benchmark::DoNotOptimize(rows.data());
    }
}

// Steps between page n and its neighbour inside the list, so that every step does work.
qint64 neighbourOf(qint64 page, qint64 pages)
{
    return page < pages ? page + 1 : page - 1;
}

void stepTalvio(benchmark::State& state, qint64 page)
{
    auto* window = static_cast<xianshi*>(Forms::instance().show(QStringLiteral("xianshi")));
    // The operator reaches a page by its buttons only.
    for (qint64 p = 1; p < page; ++p)
        press(window, "Command8");
    const bool inward = neighbourOf(page, (storeSize() + 9) / 10) > page;
    bool there = true;
    for (auto _ : state) {
        (there == inward) ? press(window, "Command8") : press(window, "Command7");
        there = !there;
    }
    const qint64 shown =
        field<QLineEdit>(window, "txtPageMsg")->text().section(u'/', 0, 0).toLongLong();
    if (shown != page && shown != neighbourOf(page, (storeSize() + 9) / 10))
        state.SkipWithError("the window did not page");
    Forms::instance().unload(window);
    destroyUnloaded();
}

// The same steps through the store's pager alone: the window's share is the difference.
void stepStore(benchmark::State& state, qint64 page)
{
    Result<Database> db = Database::openProgramStore();
    Result<Pager> pager = Pager::open(db.value(), Listing::everyone());
    if (!pager->fetch(db.value(), page))
        state.SkipWithError("the pager did not fetch");
    const qint64 other = neighbourOf(page, pager->pageCount());
    bool there = false;
    for (auto _ : state) {
        benchmark::DoNotOptimize(pager->fetch(db.value(), there ? page : other));
        there = !there;
    }
}

void stepNaive(benchmark::State& state, qint64 page)
{
    NaiveRegister& naive = loadedNaiveList();
    const qint64 other = neighbourOf(page, naive.pageCount());
    NaiveGrid grid;
    bool there = false;
    for (auto _ : state) {
        grid.show(naive, there ? page : other);
        there = !there;
    }
}

// The program's keyset statements: the ten after the page's last id, the ten before its first.
void stepFloor(benchmark::State& state, qint64 page)
{
    RawSqlite::Connection db(databaseFile());
    const std::string columns = std::string("SELECT ") + RawSqlite::kColumns + " FROM user ";
    RawSqlite::Statement jump(db, columns + "ORDER BY id DESC LIMIT 10 OFFSET ?");
    jump.bind(1, std::int64_t((page - 1) * 10));
    std::vector<RawSqlite::Row> rows;
    while (jump.next())
        rows.push_back(RawSqlite::readRow(jump));
    RawSqlite::Statement after(db, columns + "WHERE id < ? ORDER BY id DESC LIMIT 10");
    RawSqlite::Statement before(db, columns + "WHERE id > ? ORDER BY id LIMIT 10");
    const bool forwardFirst = neighbourOf(page, (storeSize() + 9) / 10) > page;
    bool forward = forwardFirst;
    for (auto _ : state) {
        RawSqlite::Statement& step = forward ? after : before;
        step.reset().bind(1, forward ? rows.back().id : rows.front().id);
        std::vector<RawSqlite::Row> next;
        next.reserve(10);
        while (step.next())
            next.push_back(RawSqlite::readRow(step));
        if (!forward)
            std::reverse(next.begin(), next.end());
        rows = std::move(next);
        forward = !forward;
    }
}

void registerAll()
{
    const QString open = QStringLiteral("OpenMemberWindow");
    addRow(open, "talvio", openTalvio)->Unit(benchmark::kMillisecond);
    addRow(open, "naive", openNaive)->Unit(benchmark::kMillisecond);
    addRow(open, "floor", openFloor)->Unit(benchmark::kMillisecond);
    addRow(open, "naive_raw", openNaiveStatementRaw)->Unit(benchmark::kMillisecond);

    for (const qint64 page : pagesToStep()) {
        const QString step = QStringLiteral("PageStep_p%1").arg(page);
        addRow(step, "talvio", stepTalvio, page)->Unit(benchmark::kMicrosecond);
        addRow(step, "talvio_store", stepStore, page)->Unit(benchmark::kMicrosecond);
        addRow(step, "naive", stepNaive, page)->Unit(benchmark::kMicrosecond);
        addRow(step, "floor", stepFloor, page)->Unit(benchmark::kMicrosecond);
    }
}

} // namespace

int main(int argc, char** argv)
{
    return BenchSupport::run(argc, argv, registerAll);
}
