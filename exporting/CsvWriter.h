#pragma once

#include "TableWriter.h"

#include <QByteArray>
#include <QFile>

// Comma-separated values as RFC 4180 has them (CRLF line ends, fields quoted where they hold a
// comma, a quote or a line break), in UTF-8 with a byte-order mark so that spreadsheet programs
// read Chinese text. A value a spreadsheet would take for a formula (= + - @ first) gets a
// leading apostrophe, which makes it text.
class CsvWriter : public TableWriter
{
public:
    Status begin(const QString& path, const QStringList& captions) override;
    Status writeRow(const Cells& cells) override;
    Status finish() override;

private:
    Status write(const Cells& cells);
    Status failure() const;

    QFile m_file;
    QByteArray m_line; // kept between rows, so its room is allocated once
};
