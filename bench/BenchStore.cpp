#include "BenchStore.h"

#include "Accounts.h"
#include "Database.h"
#include "MemberGenerator.h"
#include "PhotoFiles.h"
#include "ProgramFolder.h"
#include "Schema.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <cstdio>

namespace BenchStore {

namespace {
QString cacheRoot()
{
    const QString configured = qEnvironmentVariable("TALVIO_BENCH_CACHE");
    if (!configured.isEmpty())
        return configured;
    return QDir::homePath() + QStringLiteral("/.cache/talvio-bench");
}

void fail(const QString& why)
{
    std::fprintf(stderr, "bench store: %s\n", qPrintable(why));
    std::exit(1);
}

// A cached store made with an older layout is made again.
QByteArray schemaMark()
{
    return "schema " + QByteArray::number(Schema::kVersion);
}

bool isCurrent(const QString& folder)
{
    QFile ready(folder + QStringLiteral("/.complete"));
    return ready.open(QIODevice::ReadOnly) && ready.readAll() == schemaMark();
}

void build(const QString& folder, qint64 members)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder + QStringLiteral("/照片"));
    QDir().mkpath(folder + QStringLiteral("/模版照片"));
    QImage photo(300, 400, QImage::Format_RGB32);
    photo.fill(Qt::gray);
    photo.save(folder + QStringLiteral("/模版照片/1.jpg"), "JPEG");

    QElapsedTimer timer;
    timer.start();
    const QString previousRoot = ProgramFolder::root();
    ProgramFolder::setRoot(folder);
    {
        Result<Database> db = Database::create(ProgramFolder::databaseFile());
        if (!db)
            fail(db.error());
        if (Status added =
                Accounts::add(db.value(), QStringLiteral("admin"), QStringLiteral("talvio"));
            !added)
            fail(added.error());
        Status made =
            MemberGenerator::insert(db.value(), members, [](const Member& m) -> Result<QString> {
                return PhotoFiles::memberPhotoPath(m.xingming, m.dianhua);
            });
        if (!made)
            fail(made.error());
        for (const QString& tidy :
             {QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"), QStringLiteral("ANALYZE")}) {
            if (Result<QSqlQuery> done = db->run(tidy); !done)
                fail(done.error());
        }
    }
    ProgramFolder::setRoot(previousRoot);
    QFile ready(folder + QStringLiteral("/.complete"));
    ready.open(QIODevice::WriteOnly);
    ready.write(schemaMark());
    std::fprintf(stderr, "bench store: %lld members made in %.1f s at %s\n", qlonglong(members),
                 double(timer.elapsed()) / 1000.0, qPrintable(folder));
}
} // namespace

QString folderWith(qint64 members)
{
    const QString folder = cacheRoot() + QStringLiteral("/members-%1").arg(members);
    if (!isCurrent(folder))
        build(folder, members);
    return folder;
}

QString scratchCopyOf(qint64 members)
{
    const QString source = folderWith(members);
    // One copy per process: two runs at once must not change each other's store.
    const QString copy =
        cacheRoot() +
        QStringLiteral("/scratch-%1-%2").arg(members).arg(QCoreApplication::applicationPid());
    QDir(copy).removeRecursively();
    QDir().mkpath(copy + QStringLiteral("/照片"));
    QDir().mkpath(copy + QStringLiteral("/模版照片"));
    for (const QString& name : {QStringLiteral("hd.db"), QStringLiteral("模版照片/1.jpg")})
        if (!QFile::copy(source + QLatin1Char('/') + name, copy + QLatin1Char('/') + name))
            fail(QStringLiteral("cannot copy %1").arg(name));
    return copy;
}

QByteArray portrait()
{
    QImage image(240, 320, QImage::Format_RGB32);
    QRandomGenerator grain(7);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int g = int(grain.bounded(40));
            image.setPixel(x, y, qRgb(150 + g, 120 + y / 4 + g / 2, 100 + x / 3));
        }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

} // namespace BenchStore
