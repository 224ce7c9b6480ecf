// Importing an older register's folder of $TALVIO_BENCH_MEMBERS members (default 100,000), each
// with a photo file, against copying the same photo files alone (the floor).

#include "BenchStore.h"
#include "LegacyImport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {

qint64 members()
{
    const qint64 n = qEnvironmentVariableIntValue("TALVIO_BENCH_MEMBERS");
    return n > 0 ? n : 100000;
}

QString cacheRoot()
{
    const QString configured = qEnvironmentVariable("TALVIO_BENCH_CACHE");
    return configured.isEmpty() ? QDir::homePath() + QStringLiteral("/.cache/talvio-bench")
                                : configured;
}

[[noreturn]] void fail(const QString& why)
{
    std::fprintf(stderr, "bench import: %s\n", qPrintable(why));
    std::exit(1);
}

// The cached older folder: hd.mdb from the test data writer, one photo per named member.
QString sourceFolder()
{
    const QString folder = cacheRoot() + QStringLiteral("/legacy-%1").arg(members());
    if (QFile::exists(folder + QStringLiteral("/complete")))
        return folder;
    QDir(folder).removeRecursively();
    if (!QDir().mkpath(folder + QStringLiteral("/照片")) ||
        !QDir().mkpath(folder + QStringLiteral("/模版照片")))
        fail(QStringLiteral("cannot create %1").arg(folder));
    QProcess writer;
    writer.start(QStringLiteral("python3"),
                 {QStringLiteral(TALVIO_LEGACY_WRITER), folder + QStringLiteral("/hd.mdb"),
                  QStringLiteral("--members"), QString::number(members())});
    if (!writer.waitForFinished(-1) || writer.exitCode() != 0)
        fail(QString::fromUtf8(writer.readAllStandardError()));
    QFile sidecar(folder + QStringLiteral("/hd.mdb.json"));
    sidecar.open(QIODevice::ReadOnly);
    const QJsonArray rows =
        QJsonDocument::fromJson(sidecar.readAll())["tables"]["user"]["rows"].toArray();
    const QByteArray photo = BenchStore::portrait();
    QStringList files{QStringLiteral("模版照片/1.jpg")};
    for (const QJsonValue& row : rows)
        if (const QString name = row["zhaopian"].toString().section(QLatin1Char('\\'), -1);
            !name.isEmpty())
            files << QStringLiteral("照片/") + name;
    for (const QString& name : files) {
        QFile file(folder + QLatin1Char('/') + name);
        if (!file.open(QIODevice::WriteOnly) || file.write(photo) != photo.size())
            fail(QStringLiteral("cannot write %1").arg(file.fileName()));
    }
    QFile(folder + QStringLiteral("/complete")).open(QIODevice::WriteOnly);
    return folder;
}

QString freshTarget()
{
    const QString target = cacheRoot() + QStringLiteral("/legacy-target");
    QDir(target).removeRecursively();
    return target;
}

void importTalvio(benchmark::State& state)
{
    const QString source = sourceFolder();
    for (auto _ : state) {
        state.PauseTiming();
        const QString target = freshTarget();
        state.ResumeTiming();
        Result<LegacyImport::Report> report = LegacyImport::run(source, target);
        if (!report)
            state.SkipWithError(qPrintable(report.error()));
        else
            state.counters["photos"] = double(report->photosCopied);
    }
    freshTarget();
}

// The photo files alone, copied the same way into one folder and synced once.
void importFloor(benchmark::State& state)
{
    const QString source = sourceFolder() + QStringLiteral("/照片/");
    const QStringList names = QDir(source).entryList(QDir::Files);
    for (auto _ : state) {
        state.PauseTiming();
        const QString target = freshTarget() + QStringLiteral("/照片/");
        QDir().mkpath(target);
        state.ResumeTiming();
        for (const QString& name : names)
            std::filesystem::copy_file(QFile::encodeName(source + name).toStdString(),
                                       QFile::encodeName(target + name).toStdString());
        const int fd = ::open(QFile::encodeName(target).constData(), O_RDONLY);
        ::syncfs(fd);
        ::close(fd);
        state.counters["photos"] = double(names.size());
    }
    freshTarget();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::RegisterBenchmark("import/talvio", importTalvio)
        ->UseRealTime()
        ->Unit(benchmark::kSecond)
        ->Iterations(1);
    benchmark::RegisterBenchmark("import/floor", importFloor)
        ->UseRealTime()
        ->Unit(benchmark::kSecond)
        ->Iterations(1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
