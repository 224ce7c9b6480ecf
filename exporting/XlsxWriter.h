#pragma once

#include "TableWriter.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// An Excel workbook written with libxlsxwriter in its constant-memory mode: each row goes to disk
// as soon as the next one starts. Every cell is a text cell, so nothing in it can run as a
// formula. A sheet holds at most `rowsPerSheet` rows after its captions; the rows go on in a
// further sheet with the captions again.
class XlsxWriter : public TableWriter
{
public:
    // Excel's limits: 1,048,576 rows a sheet (one of them the captions), 32,767 characters a cell.
    static constexpr qint64 kRowsPerSheet = 1048575;
    static constexpr qsizetype kCellLimit = 32767;

    explicit XlsxWriter(qint64 rowsPerSheet = kRowsPerSheet);
    ~XlsxWriter() override;

    Status begin(const QString& path, const QStringList& captions) override;
    Status writeRow(const Cells& cells) override;
    Status finish() override;

private:
    Status addSheet();
    Status write(const Cells& cells, lxw_format* format);

    qint64 m_rowsPerSheet;
    QStringList m_captions;
    QList<QByteArray> m_captionBytes;
    QByteArray m_cell;       // the cell in hand, ended by a NUL as libxlsxwriter wants it
    QByteArray m_tempFolder; // libxlsxwriter keeps the pointer
    lxw_workbook* m_workbook = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    QList<lxw_worksheet*> m_allSheets;
    lxw_format* m_captionFormat = nullptr;
    qint64 m_row = 0; // next row of the sheet, 0 being the captions
};
