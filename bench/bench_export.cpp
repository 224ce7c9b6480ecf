// Exporting the full list of $TALVIO_BENCH_MEMBERS members (default 1,000,000) to an Excel and a
// CSV file: through the member window's menu, progress dialog included, against SQLite's C
// interface handing the same cells to the same writer (libxlsxwriter) or to plain CSV bytes.

#include "BenchSupport.h"
#include "Form.h"
#include "Forms.h"
#include "RawSqlite.h"
#include "ResidentSet.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>

#include <xlsxwriter.h>

#include <cstdio>
#include <string>
#include <unistd.h>

using namespace BenchSupport;

namespace {

QString outputFolder()
{
    const QString folder = storeFolder() + QStringLiteral("-export");
    QDir().mkpath(folder);
    return folder;
}

// Peak resident set over one export, with the file's size, as counters of the row.
struct Measured
{
    explicit Measured(benchmark::State& state) : m_state(state) { ResidentSet::restartPeak(); }
    void done(const QString& file)
    {
        m_state.counters["peak_MB"] = double(ResidentSet::read().peakKb) / 1024;
        m_state.counters["file_MB"] = double(QFileInfo(file).size()) / (1024 * 1024);
        QFile::remove(file);
    }
    benchmark::State& m_state;
};

// The operator's way: right-click menu of the member window, file picked, progress shown.
void exportTalvio(benchmark::State& state, const char* action, const char* ending)
{
    auto* window = Forms::instance().show(QStringLiteral("xianshi"));
    auto* menu = window->findChild<QMenu*>(QStringLiteral("DataGrid1Menu"));
    const QString file = outputFolder() + QStringLiteral("/members.") + QLatin1String(ending);
    for (auto _ : state) {
        dialogs().clear();
        dialogs().saveFiles = {file};
        Measured measured(state);
        menu->findChild<QAction*>(QLatin1String(action))->trigger();
        state.PauseTiming();
        if (dialogs().messages().size() != 1 ||
            !dialogs().messages().first().text.startsWith(QStringLiteral("已导出")))
            state.SkipWithError(qPrintable(dialogs().messageTexts().join(u' ')));
        measured.done(file);
        state.ResumeTiming();
    }
    Forms::instance().unload(window);
    destroyUnloaded();
}

RawSqlite::Connection& floorStore()
{
    static RawSqlite::Connection db(QFile::encodeName(storeFolder() + "/hd.db").toStdString());
    return db;
}

constexpr const char* kFloorSelect =
    "SELECT xingming, xingbie, nianling, dianhua, qq, youxiang, dizhi FROM user ORDER BY id DESC";

void syncFile(const std::string& path)
{
    if (FILE* f = std::fopen(path.c_str(), "r+b")) {
        ::fsync(fileno(f));
        std::fclose(f);
    }
}

void excelFloor(benchmark::State& state)
{
    const QString file = outputFolder() + QStringLiteral("/floor.xlsx");
    const std::string path = QFile::encodeName(file).toStdString();
    std::string tmp = QFile::encodeName(outputFolder()).toStdString();
    for (auto _ : state) {
        Measured measured(state);
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        options.tmpdir = tmp.data();
        lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
        lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
        RawSqlite::Statement rows(floorStore(), kFloorSelect);
        lxw_row_t row = 0;
        for (int c = 0; c < 7; ++c)
            worksheet_write_string(sheet, row, lxw_col_t(c), "caption", nullptr);
        std::string cell;
        while (rows.next()) {
            ++row;
            for (int c = 0; c < 7; ++c) {
                cell.assign(rows.text(c));
                worksheet_write_string(sheet, row, lxw_col_t(c), cell.c_str(), nullptr);
            }
        }
        workbook_close(book);
        syncFile(path);
        state.PauseTiming();
        measured.done(file);
        state.ResumeTiming();
    }
}

// Quoting as the program does it, on UTF-8 bytes, into a buffered stdio file.
void csvFloor(benchmark::State& state)
{
    const QString file = outputFolder() + QStringLiteral("/floor.csv");
    const std::string path = QFile::encodeName(file).toStdString();
    for (auto _ : state) {
        Measured measured(state);
        FILE* out = std::fopen(path.c_str(), "wb");
        std::fputs("\xEF\xBB\xBF"
                   "captions\r\n",
                   out);
        RawSqlite::Statement rows(floorStore(), kFloorSelect);
        std::string line;
        while (rows.next()) {
            line.clear();
            for (int c = 0; c < 7; ++c) {
                const std::string_view v = rows.text(c);
                if (c > 0)
                    line += ',';
                if (!v.empty() && (v[0] == '=' || v[0] == '+' || v[0] == '-' || v[0] == '@'))
                    line += '\'';
                if (v.find_first_of(",\"\r\n") == std::string_view::npos) {
                    line += v;
                    continue;
                }
                line += '"';
                for (char ch : v)
                    line += ch == '"' ? std::string_view("\"\"") : std::string_view(&ch, 1);
                line += '"';
            }
            line += "\r\n";
            std::fwrite(line.data(), 1, line.size(), out);
        }
        std::fflush(out);
        ::fsync(fileno(out));
        std::fclose(out);
        state.PauseTiming();
        measured.done(file);
        state.ResumeTiming();
    }
}

void registerAll()
{
    addRow(QStringLiteral("ExportExcel"), "talvio", exportTalvio, "exportExcel", "xlsx")
        ->Unit(benchmark::kSecond)
        ->Iterations(1);
    addRow(QStringLiteral("ExportExcel"), "floor", excelFloor)
        ->Unit(benchmark::kSecond)
        ->Iterations(1);
    addRow(QStringLiteral("ExportCsv"), "talvio", exportTalvio, "exportCsv", "csv")
        ->Unit(benchmark::kSecond)
        ->Iterations(1);
    addRow(QStringLiteral("ExportCsv"), "floor", csvFloor)->Unit(benchmark::kSecond)->Iterations(1);
}

} // namespace

int main(int argc, char** argv)
{
    return BenchSupport::run(argc, argv, registerAll);
}
