#include "CsvWriter.h"

namespace {
bool looksLikeFormula(QByteArrayView value)
{
    if (value.isEmpty())
        return false;
    const char first = value.front();
    return first == '=' || first == '+' || first == '-' || first == '@';
}

// The bytes of UTF-8 text never hold these ASCII codes inside a longer character.
bool needsQuotes(QByteArrayView value)
{
    for (char c : value)
        if (c == ',' || c == '"' || c == '\r' || c == '\n')
            return true;
    return false;
}

void appendField(QByteArray& line, QByteArrayView value)
{
    const bool quoted = needsQuotes(value);
    if (quoted)
        line += '"';
    if (looksLikeFormula(value))
        line += '\'';
    if (!quoted) {
        line += value;
        return;
    }
    for (char c : value) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}
} // namespace

Status CsvWriter::begin(const QString& path, const QStringList& captions)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return failure();
    if (m_file.write("\xEF\xBB\xBF") != 3)
        return failure();
    QList<QByteArray> bytes;
    Cells cells;
    for (const QString& caption : captions)
        bytes.append(caption.toUtf8());
    for (const QByteArray& caption : bytes)
        cells.append(caption);
    return write(cells);
}

Status CsvWriter::writeRow(const Cells& cells)
{
    return write(cells);
}

Status CsvWriter::finish()
{
    if (!m_file.flush())
        return failure();
    m_file.close();
    return {};
}

Status CsvWriter::write(const Cells& cells)
{
    m_line.resize(0);
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            m_line += ',';
        appendField(m_line, cells.at(i));
    }
    m_line += "\r\n";
    if (m_file.write(m_line) != m_line.size())
        return failure();
    return {};
}

Status CsvWriter::failure() const
{
    return Failure{m_file.errorString()};
}
