// Makes (or finds) the cached benchmark store: make_store N
#include "BenchStore.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 members = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    std::printf("%s\n", qPrintable(BenchStore::folderWith(members)));
    return 0;
}
