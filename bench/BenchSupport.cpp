#include "BenchSupport.h"

#include "AppSetup.h"
#include "BenchStore.h"
#include "Dialogs.h"
#include "ProgramFolder.h"

#include <QApplication>
#include <QDir>
#include <QEvent>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace BenchSupport {

namespace {
ScriptedDialogs* g_dialogs = nullptr;
QString g_scratch;

// The offscreen platform complains about every raise(); that noise would bury the results.
void quietRaise(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (!text.contains(QLatin1String("does not support raise")))
        std::fprintf(stderr, "%s\n", qPrintable(text));
    if (type == QtFatalMsg)
        std::abort();
}
} // namespace

qint64 storeSize()
{
    const qint64 configured = qEnvironmentVariable("TALVIO_BENCH_MEMBERS").toLongLong();
    return configured > 0 ? configured : 1000000;
}

QString storeFolder()
{
    static const QString folder = BenchStore::folderWith(storeSize());
    return folder;
}

QString scratchFolder()
{
    if (g_scratch.isEmpty())
        g_scratch = BenchStore::scratchCopyOf(storeSize());
    return g_scratch;
}

QList<qint64> pagesToStep()
{
    const qint64 pages = (storeSize() + 9) / 10;
    QList<qint64> list{1};
    if (pages / 2 > 1)
        list << pages / 2;
    if (pages > list.last())
        list << pages;
    return list;
}

QString rowName(const QString& operation, const char* variant)
{
    return operation + QLatin1Char('/') + QLatin1String(variant);
}

ScriptedDialogs& dialogs()
{
    return *g_dialogs;
}

void destroyUnloaded()
{
    // What an event loop would do after an unload; left queued, the events pile up and slow
    // every later iteration down.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int run(int argc, char** argv, const std::function<void()>& registerAll)
{
    qInstallMessageHandler(quietRaise);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    AppSetup::prepareApplication(app);
    AppSetup::registerWindows();
    auto scripted = std::make_unique<ScriptedDialogs>();
    g_dialogs = scripted.get();
    Dialogs::install(std::move(scripted));
    ProgramFolder::setRoot(storeFolder());

    benchmark::Initialize(&argc, argv);
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!g_scratch.isEmpty())
        QDir(g_scratch).removeRecursively();
    return 0;
}

} // namespace BenchSupport
