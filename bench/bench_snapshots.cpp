// A snapshot and a restore of a program folder of $TALVIO_BENCH_MEMBERS members (default
// 1,000,000) with 10,000 photo files, against `cp -a` of the same store and photos (the floor).

#include "BenchStore.h"
#include "Restore.h"
#include "Snapshots.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kPhotos = 10000;

qint64 members()
{
    const qint64 n = qEnvironmentVariableIntValue("TALVIO_BENCH_MEMBERS");
    return n > 0 ? n : 1000000;
}

[[noreturn]] void fail(const QString& why)
{
    std::fprintf(stderr, "bench snapshots: %s\n", qPrintable(why));
    std::exit(1);
}

// A private copy of the cached store with photo files of its own.
QString folder()
{
    static const QString root = [] {
        const QString copy = BenchStore::scratchCopyOf(members());
        const QByteArray photo = BenchStore::portrait();
        for (int i = 0; i < kPhotos; ++i) {
            QFile file(copy + QStringLiteral("/照片/member-%1.jpg").arg(i));
            if (!file.open(QIODevice::WriteOnly) || file.write(photo) != photo.size())
                fail(QStringLiteral("cannot write %1").arg(file.fileName()));
        }
        return copy;
    }();
    return root;
}

void dropSnapshots()
{
    QDir(Snapshots::folder(folder())).removeRecursively();
}

void snapshotTalvio(benchmark::State& state)
{
    const QString root = folder();
    for (auto _ : state) {
        state.PauseTiming();
        dropSnapshots();
        state.ResumeTiming();
        Result<Snapshots::Info> taken = Snapshots::take(root, Snapshots::Reason::ByHand);
        if (!taken)
            state.SkipWithError(qPrintable(taken.error()));
        else
            state.counters["MB"] = double(taken->bytes) / 1e6;
    }
    dropSnapshots();
}

// Restoring includes the snapshot of the present state the restore takes first.
void restoreTalvio(benchmark::State& state)
{
    const QString root = folder();
    for (auto _ : state) {
        state.PauseTiming();
        dropSnapshots();
        Result<Snapshots::Info> source = Snapshots::take(root, Snapshots::Reason::ByHand);
        if (!source)
            fail(source.error());
        state.ResumeTiming();
        if (Result<Restore::Outcome> done = Restore::run(root, source->name); !done)
            state.SkipWithError(qPrintable(done.error()));
    }
    dropSnapshots();
}

// `cp -a` of the store and "照片", then one sync of the file system, as the snapshot does.
void copyFloor(benchmark::State& state)
{
    const QString root = folder();
    const QString target = root + QStringLiteral("-cp");
    for (auto _ : state) {
        state.PauseTiming();
        QDir(target).removeRecursively();
        QDir().mkpath(target);
        state.ResumeTiming();
        if (QProcess::execute(QStringLiteral("cp"),
                              {QStringLiteral("-a"), root + QStringLiteral("/hd.db"),
                               root + QStringLiteral("/照片"), target}) != 0)
            state.SkipWithError("cp -a failed");
        const int fd = ::open(QFile::encodeName(target).constData(), O_RDONLY);
        ::syncfs(fd);
        ::close(fd);
    }
    QDir(target).removeRecursively();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    for (const auto& [name, run] :
         {std::pair{"snapshot/talvio", &snapshotTalvio},
          std::pair{"restore/talvio", &restoreTalvio}, std::pair{"copy/floor", &copyFloor}})
        benchmark::RegisterBenchmark(name, run)->UseRealTime()->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    QDir(folder()).removeRecursively();
    return 0;
}
