#pragma once

#include "Dialogs.h"

#include <QAbstractButton>
#include <QList>
#include <QString>
#include <QWidget>
#include <QtGlobal>

#include <benchmark/benchmark.h>

#include <functional>
#include <utility>

// What every benchmark program shares: the store it runs on, the headless application around the
// windows, and the three rows each operation is measured in.
namespace BenchSupport {

// Members in the store under test: $TALVIO_BENCH_MEMBERS, else 1,000,000.
qint64 storeSize();
// The cached program folder with storeSize() members, made on first use.
QString storeFolder();
// A private copy of that folder for benchmarks that change the store; removed at exit.
QString scratchFolder();

// Pages 1, the middle page and the last page of the full list.
QList<qint64> pagesToStep();

// Row names: "<operation>/talvio", "<operation>/naive", "<operation>/floor".
QString rowName(const QString& operation, const char* variant);

// Registers one row, timed by the wall clock: disk flushes and child processes count.
template <typename Fn, typename... Args>
benchmark::internal::Benchmark* addRow(const QString& operation, const char* variant, Fn&& fn,
                                       Args&&... args)
{
    return benchmark::RegisterBenchmark(rowName(operation, variant).toUtf8().constData(),
                                        std::forward<Fn>(fn), std::forward<Args>(args)...)
        ->UseRealTime();
}

// The message boxes the windows raise during a run; cleared between iterations.
ScriptedDialogs& dialogs();

// Deletes windows that were unloaded, as the event loop would.
void destroyUnloaded();

template <typename T> T* field(QWidget* window, const char* name)
{
    return window->findChild<T*>(QString::fromLatin1(name));
}

// Clicks a window's button, as the operator does.
inline void press(QWidget* window, const char* button)
{
    field<QAbstractButton>(window, button)->click();
}

// Sets up a headless application with every window registered, lets `registerAll` add the
// benchmarks, runs them and returns the exit code.
int run(int argc, char** argv, const std::function<void()>& registerAll);

} // namespace BenchSupport
