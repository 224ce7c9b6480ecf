#pragma once

#include "TableWriter.h"

#include <QFile>

// Comma-separated values as RFC 4180 has them (CRLF line ends, fields quoted where they hold a
// comma, a quote or a line break), in UTF-8 with a byte-order mark so that spreadsheet programs
// read Chinese text.
class CsvWriter : public TableWriter
{
public:
    Status begin(const QString& path, const QStringList& captions) override;
    Status writeRow(const QStringList& cells) override;
    Status finish() override;

    // One field as written. A value a spreadsheet would take for a formula (= + - @ first) gets
    // a leading apostrophe, which makes it text.
    static QString field(const QString& value);

private:
    Status write(const QStringList& cells);
    Status failure() const;

    QFile m_file;
};
