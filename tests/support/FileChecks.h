#pragma once

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRandomGenerator>
#include <QString>
#include <QTest>

// Checks on the files of a folder.

using Snapshot = QMap<QString, QByteArray>;

// Every file below the folder with its bytes, so a test can tell that nothing was made or touched.
inline Snapshot snapshot(const QString& folder)
{
    Snapshot files;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        const QString relative = QDir(folder).relativeFilePath(path);
        files.insert(relative,
                     file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<dir>"));
    }
    return files;
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

inline QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(20240611);
    for (char& byte : bytes)
        byte = static_cast<char>(generator.bounded(256));
    return bytes;
}

// A path as messages show it to the operator.
inline QString shownPath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// The message with each "%1" standing for `path` as the operator sees it.
inline QString withPath(QString message, const QString& path)
{
    return message.replace(QStringLiteral("%1"), shownPath(path));
}
