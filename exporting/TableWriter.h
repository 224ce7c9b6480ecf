#pragma once

#include "Result.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// One spreadsheet format: a row of captions, then the rows, each cell written as text. Cells come
// as UTF-8 bytes, as the store holds them. A failure says what went wrong; the caller names the
// file.
class TableWriter
{
public:
    using Cells = QList<QByteArrayView>;

    virtual ~TableWriter() = default;

    // Starts the file at `path`, which exists and is empty, with the row of captions.
    virtual Status begin(const QString& path, const QStringList& captions) = 0;
    virtual Status writeRow(const Cells& cells) = 0;
    // Completes the file; after a failure, or without this call, the file is not usable.
    virtual Status finish() = 0;
};
