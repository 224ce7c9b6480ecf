#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Program folders with many generated members, made once and kept between runs.
namespace BenchStore {

// Returns a program folder holding a store of `members` generated members (no photo files; the
// paths point into "照片"). The folder is cached under $TALVIO_BENCH_CACHE or
// ~/.cache/talvio-bench.
QString folderWith(qint64 members);

// A fresh copy of the cached folder, for benchmarks that change the store; the caller removes it.
QString scratchCopyOf(qint64 members);
// A photo of the size phone and camera portraits have after the older program's copy: 240 x 320
// with grain, about 30 KB as JPEG; copies of it cost by size alone.
QByteArray portrait();

} // namespace BenchStore
