#include "MemberExport.h"

#include "CsvWriter.h"
#include "Database.h"
#include "ExportTarget.h"
#include "MemberColumns.h"
#include "TextRows.h"
#include "XlsxWriter.h"

#include <QDir>

#include <memory>

namespace MemberExport {

namespace {
constexpr qint64 kProgressEvery = 256;

// Every row of the listing in the grid's order, the chosen columns only, read forward once:
// memory stays flat however long the list, and the rows are those of one moment of the store.
QString orderedSelect(const Listing& listing, const QList<int>& chosen)
{
    QStringList sources;
    for (int column : chosen)
        sources.append(QStringLiteral("user.") + MemberColumns::source(column));
    QString sql = QStringLiteral("SELECT ") + sources.join(QStringLiteral(", ")) +
                  QStringLiteral(" FROM ") + listing.from;
    if (!listing.where.isEmpty())
        sql += QStringLiteral(" WHERE ") + listing.where;
    return sql + QStringLiteral(" ORDER BY ") + listing.key +
           (listing.newestFirst ? QStringLiteral(" DESC") : QString());
}

std::unique_ptr<TableWriter> writerFor(Format format)
{
    if (format == Format::Excel)
        return std::make_unique<XlsxWriter>();
    return std::make_unique<CsvWriter>();
}

Failure failedAt(const QString& file, const QString& what)
{
    return Failure{QStringLiteral("无法写入 %1：%2").arg(QDir::toNativeSeparators(file), what)};
}
} // namespace

std::optional<Format> formatFor(const QString& file)
{
    if (file.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
        return Format::Excel;
    if (file.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return Format::Csv;
    return std::nullopt;
}

QList<int> columns(Options options)
{
    QList<int> chosen;
    for (int column = 0; column < MemberColumns::ColumnCount; ++column) {
        if ((column == MemberColumns::Id && !options.withId) ||
            (column == MemberColumns::Photo && !options.withPhoto))
            continue;
        chosen.append(column);
    }
    return chosen;
}

QStringList captions(Options options)
{
    QStringList texts;
    for (int column : columns(options))
        texts.append(MemberColumns::caption(column).trimmed());
    return texts;
}

Result<qint64> run(const Database& db, const Listing& listing, const QString& file, Format format,
                   Options options, const ProgressNotice& progress, const std::atomic<bool>* cancel)
{
    Result<Pager> counted = Pager::open(db, listing);
    if (!counted)
        return counted.failure();
    const qint64 total = counted->count();
    ExportTarget target(file);
    if (Status opened = target.open(); !opened)
        return opened.failure();
    const std::unique_ptr<TableWriter> writer = writerFor(format);
    if (Status begun = writer->begin(target.partPath(), captions(options)); !begun)
        return failedAt(file, begun.error());
    const QList<int> chosen = columns(options);
    Result<TextRows> rows = TextRows::open(db, orderedSelect(listing, chosen), listing.values);
    if (!rows)
        return rows.failure();
    TableWriter::Cells cells(chosen.size());
    qint64 done = 0;
    while (rows->next()) {
        for (int i = 0; i < cells.size(); ++i)
            cells[i] = rows->text(i);
        if (Status written = writer->writeRow(cells); !written)
            return failedAt(
                file, QStringLiteral("第 %1 名会员（%2）：%3")
                          .arg(done + 1)
                          .arg(QString::fromUtf8(rows->text(chosen.indexOf(MemberColumns::Name))),
                               written.error()));
        if (++done % kProgressEvery == 0) {
            if (progress)
                progress(done, total);
            if (cancel && cancel->load())
                return Failure{
                    QStringLiteral("导出已取消，未写入 %1").arg(QDir::toNativeSeparators(file))};
        }
    }
    if (!rows->status())
        return rows->status().failure();
    if (Status finished = writer->finish(); !finished)
        return failedAt(file, finished.error());
    if (Status committed = target.commit(); !committed)
        return committed.failure();
    if (progress)
        progress(done, total);
    return done;
}

} // namespace MemberExport
