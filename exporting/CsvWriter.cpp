#include "CsvWriter.h"

namespace {
bool looksLikeFormula(const QString& value)
{
    if (value.isEmpty())
        return false;
    const QChar first = value.front();
    return first == u'=' || first == u'+' || first == u'-' || first == u'@';
}
} // namespace

QString CsvWriter::field(const QString& value)
{
    QString text = looksLikeFormula(value) ? QLatin1Char('\'') + value : value;
    if (text.contains(u',') || text.contains(u'"') || text.contains(u'\r') || text.contains(u'\n'))
        text = QLatin1Char('"') + text.replace(u'"', QStringLiteral("\"\"")) + QLatin1Char('"');
    return text;
}

Status CsvWriter::begin(const QString& path, const QStringList& captions)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return failure();
    if (m_file.write("\xEF\xBB\xBF") != 3)
        return failure();
    return write(captions);
}

Status CsvWriter::writeRow(const QStringList& cells)
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

Status CsvWriter::write(const QStringList& cells)
{
    QString line;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            line += QLatin1Char(',');
        line += field(cells.at(i));
    }
    line += QStringLiteral("\r\n");
    const QByteArray bytes = line.toUtf8();
    if (m_file.write(bytes) != bytes.size())
        return failure();
    return {};
}

Status CsvWriter::failure() const
{
    return Failure{m_file.errorString()};
}
