#include "PageModel.h"

namespace {
// The id and photo columns are there for the detail view but practically invisible.
constexpr int kWidthsTwips[PageModel::ColumnCount] = {10,   1000, 500,  500, 1500,
                                                      1500, 1500, 3400, 10};
} // namespace

void PageModel::setRows(QList<Member> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

const Member* PageModel::member(int row) const
{
    return (row >= 0 && row < m_rows.size()) ? &m_rows.at(row) : nullptr;
}

QString PageModel::cellText(const Member& m, int column)
{
    return MemberColumns::text(m, column);
}

QString PageModel::caption(int column)
{
    return MemberColumns::caption(column);
}

int PageModel::widthTwips(int column)
{
    return (column >= 0 && column < ColumnCount) ? kWidthsTwips[column] : 0;
}

int PageModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int PageModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PageModel::data(const QModelIndex& index, int role) const
{
    const Member* m = index.isValid() ? member(index.row()) : nullptr;
    if (!m || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    return cellText(*m, index.column());
}

QVariant PageModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return caption(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}
