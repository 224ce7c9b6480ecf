#pragma once

#include "Result.h"

#include <QString>
#include <QStringList>

// One spreadsheet format: a row of captions, then the rows, each cell written as text. A failure
// says what went wrong; the caller names the file.
class TableWriter
{
public:
    virtual ~TableWriter() = default;

    // Starts the file at `path`, which exists and is empty, with the row of captions.
    virtual Status begin(const QString& path, const QStringList& captions) = 0;
    virtual Status writeRow(const QStringList& cells) = 0;
    // Completes the file; after a failure, or without this call, the file is not usable.
    virtual Status finish() = 0;
};
