// Peak resident set of a process with the member window open over the store, in three rows plus
// the program's own way there: sign-in first. Each row is one child process; the figures are
// counters in kB.

#include "BenchSupport.h"
#include "Spawn.h"

#include <sstream>

using namespace BenchSupport;

namespace {

void weigh(benchmark::State& state, const std::string& program,
           const std::vector<std::string>& arguments)
{
    long peakKb = 0;
    long nowKb = 0;
    long lifetimePeakKb = 0;
    double firstOpenMs = 0;
    for (auto _ : state) {
        const Spawn::Outcome outcome = Spawn::run(Spawn::binFolder() + "/" + program, arguments);
        std::istringstream figures(outcome.output);
        if (outcome.exitCode != 0 || !(figures >> peakKb >> nowKb >> lifetimePeakKb)) {
            state.SkipWithError(("no figures from " + program).c_str());
            break;
        }
        figures >> firstOpenMs;
    }
    state.counters["peak_rss_kB"] = double(peakKb);
    state.counters["rss_kB"] = double(nowKb);
    state.counters["lifetime_peak_rss_kB"] = double(lifetimePeakKb);
    if (firstOpenMs > 0)
        state.counters["first_open_ms"] = firstOpenMs;
}

void registerAll()
{
    const std::string folder = storeFolder().toStdString();
    const QString operation = QStringLiteral("MemberWindowMemory");
    addRow(operation, "talvio", weigh, "member_window_memory",
           std::vector<std::string>{"talvio", folder})
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    addRow(operation, "naive", weigh, "member_window_memory",
           std::vector<std::string>{"naive", folder})
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    addRow(operation, "floor", weigh, "member_window_memory_floor",
           std::vector<std::string>{folder})
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    addRow(operation, "signed_in", weigh, "member_window_memory",
           std::vector<std::string>{"signed_in", folder})
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
}

} // namespace

int main(int argc, char** argv)
{
    return BenchSupport::run(argc, argv, registerAll);
}
