#pragma once

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

} // namespace BenchStore
