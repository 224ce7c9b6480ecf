#include "XlsxWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <xlsxwriter.h>

#include <cstdio>
#include <string_view>

namespace {
Failure engineFailure(lxw_error error)
{
    return Failure{QString::fromUtf8(lxw_strerror(error))};
}
// Excel reads "_x0041_" in a cell as the character it encodes (libxlsxwriter writes control
// characters that way); a text that holds such a run itself keeps it by escaping its underscore.
void cellBytes(QByteArrayView text, QByteArray& cell)
{
    const std::string_view bytes(text.data(), size_t(text.size()));
    cell.resize(0);
    if (bytes.find("_x") == bytes.npos && bytes.find("_X") == bytes.npos) {
        cell.append(text.data(), text.size());
        return;
    }
    static const QRegularExpression encoded(QStringLiteral("_(?=[xX][0-9A-Fa-f]{4}_)"));
    cell = QString::fromUtf8(text).replace(encoded, QStringLiteral("_x005F_")).toUtf8();
}
} // namespace

XlsxWriter::XlsxWriter(qint64 rowsPerSheet) : m_rowsPerSheet(rowsPerSheet) {}

XlsxWriter::~XlsxWriter()
{
    if (!m_workbook)
        return;
    // Freeing a workbook that was never closed leaves each sheet's row file open, and that
    // deleted file keeps its room on the disk until the program ends.
    for (lxw_worksheet* sheet : m_allSheets)
        if (sheet->optimize_tmpfile) {
            std::fclose(sheet->optimize_tmpfile);
            sheet->optimize_tmpfile = nullptr;
        }
    lxw_workbook_free(m_workbook);
}

Status XlsxWriter::begin(const QString& path, const QStringList& captions)
{
    m_captions = captions;
    for (const QString& caption : captions)
        m_captionBytes.append(caption.toUtf8());
    // The sheet's rows wait in a temporary file until the workbook is zipped; beside the target
    // they cannot fill a /tmp kept in memory.
    m_tempFolder = QFile::encodeName(QFileInfo(path).absolutePath());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = m_tempFolder.data();
    m_workbook = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    if (!m_workbook)
        return Failure{QStringLiteral("无法创建 Excel 工作簿")};
    m_captionFormat = workbook_add_format(m_workbook);
    format_set_bold(m_captionFormat);
    return addSheet();
}

Status XlsxWriter::addSheet()
{
    const qsizetype number = m_allSheets.size() + 1;
    const QString name =
        number == 1 ? QStringLiteral("会员列表") : QStringLiteral("会员列表 (%1)").arg(number);
    m_sheet = workbook_add_worksheet(m_workbook, name.toUtf8().constData());
    if (!m_sheet)
        return Failure{QStringLiteral("无法创建工作表")};
    m_allSheets.append(m_sheet);
    worksheet_set_column(m_sheet, 0, lxw_col_t(m_captions.size() - 1), 16, nullptr);
    worksheet_freeze_panes(m_sheet, 1, 0);
    m_row = 0;
    Cells captions;
    for (const QByteArray& caption : m_captionBytes)
        captions.append(caption);
    return write(captions, m_captionFormat);
}

Status XlsxWriter::writeRow(const Cells& cells)
{
    if (m_row > m_rowsPerSheet)
        if (Status added = addSheet(); !added)
            return added;
    return write(cells, nullptr);
}

Status XlsxWriter::write(const Cells& cells, lxw_format* format)
{
    for (qsizetype column = 0; column < cells.size(); ++column) {
        const QByteArrayView text = cells.at(column);
        // A character takes a byte at least, so only a long text needs counting.
        if (const qsizetype length = text.size() > kCellLimit ? QString::fromUtf8(text).size() : 0;
            length > kCellLimit)
            return Failure{QStringLiteral("“%1”一栏有 %2 个字符，超过 Excel 单元格能容纳的 %3 个")
                               .arg(m_captions.value(column))
                               .arg(length)
                               .arg(kCellLimit)};
        cellBytes(text, m_cell);
        const lxw_error written = worksheet_write_string(
            m_sheet, lxw_row_t(m_row), lxw_col_t(column), m_cell.constData(), format);
        if (written != LXW_NO_ERROR)
            return engineFailure(written);
    }
    ++m_row;
    return {};
}

Status XlsxWriter::finish()
{
    lxw_workbook* workbook = m_workbook;
    m_workbook = nullptr; // closing frees it, whatever the outcome
    if (const lxw_error closed = workbook_close(workbook); closed != LXW_NO_ERROR)
        return engineFailure(closed);
    return {};
}
