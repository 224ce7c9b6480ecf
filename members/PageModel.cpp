#include "PageModel.h"

namespace {
struct ColumnLook
{
    const char16_t* caption;
    int width;
};

// The id and photo columns are there for the detail view but practically invisible.
constexpr ColumnLook kColumns[PageModel::ColumnCount] = {
    {u"ID", 10},           {u"   姓名", 1000},       {u"性别", 500},
    {u"年龄", 500},        {u"      电话", 1500},    {u"      QQ", 1500},
    {u"      邮箱", 1500}, {u"         地址", 3400}, {u"      照片", 10},
};
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
    switch (column) {
    case Id:
        return QString::number(m.id);
    case Name:
        return m.xingming;
    case Gender:
        return m.xingbie;
    case Age:
        return m.nianling;
    case Phone:
        return m.dianhua;
    case QQ:
        return m.qq;
    case Mail:
        return m.youxiang;
    case Address:
        return m.dizhi;
    case Photo:
        return m.zhaopian;
    default:
        return {};
    }
}

QString PageModel::caption(int column)
{
    return (column >= 0 && column < ColumnCount) ? QString::fromUtf16(kColumns[column].caption)
                                                 : QString();
}

int PageModel::widthTwips(int column)
{
    return (column >= 0 && column < ColumnCount) ? kColumns[column].width : 0;
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
