// The member window over a large store: opening it and stepping a page.

#include "AppSetup.h"
#include "BenchStore.h"
#include "Dialogs.h"
#include "Form.h"
#include "Forms.h"
#include "Listing.h"
#include "ProgramFolder.h"
#include "xianshi.h"

#include <QApplication>
#include <QEvent>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace {

qint64 storeSize() { return qEnvironmentVariableIntValue("TALVIO_BENCH_MEMBERS") > 0
                                 ? qEnvironmentVariableIntValue("TALVIO_BENCH_MEMBERS")
                                 : 1000000; }

void useStore()
{
    static const QString folder = BenchStore::folderWith(storeSize());
    ProgramFolder::setRoot(folder);
}

void destroyUnloaded() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

void BM_OpenMemberWindow(benchmark::State& state)
{
    useStore();
    for (auto _ : state) {
        Form* window = Forms::instance().show(QStringLiteral("xianshi"));
        benchmark::DoNotOptimize(window);
        state.PauseTiming();
        Forms::instance().unload(window);
        destroyUnloaded();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenMemberWindow)->Unit(benchmark::kMillisecond);

// One press of "下一页" or "前一页", alternating, from the given page.
void BM_WindowPageStep(benchmark::State& state)
{
    useStore();
    auto* window = static_cast<xianshi*>(Forms::instance().show(QStringLiteral("xianshi")));
    window->GoToPage(state.range(0));
    bool forward = true;
    for (auto _ : state) {
        forward ? window->Command8_Click() : window->Command7_Click();
        forward = !forward;
    }
    Forms::instance().unload(window);
    destroyUnloaded();
}
BENCHMARK(BM_WindowPageStep)->Arg(1)->Arg(50000)->Unit(benchmark::kMicrosecond);

// The same step without the window: the store's share of the cost.
void BM_PagerStep(benchmark::State& state)
{
    useStore();
    Result<Database> db = Database::openProgramStore();
    Result<Pager> pager = Pager::open(db.value(), Listing::everyone());
    const qint64 page = state.range(0);
    pager->fetch(db.value(), page);
    bool forward = true;
    for (auto _ : state) {
        benchmark::DoNotOptimize(pager->fetch(db.value(), forward ? page + 1 : page));
        forward = !forward;
    }
}
BENCHMARK(BM_PagerStep)->Arg(1)->Arg(50000)->Unit(benchmark::kMicrosecond);

// The offscreen platform complains about every raise(); that noise would bury the results.
void quietRaise(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (!text.contains(QLatin1String("does not support raise")))
        std::fprintf(stderr, "%s\n", qPrintable(text));
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(quietRaise);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    AppSetup::prepareApplication(app);
    AppSetup::registerWindows();
    Dialogs::install(std::make_unique<ScriptedDialogs>());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
