#pragma once

#include "Member.h"
#include "MemberColumns.h"

#include <QAbstractTableModel>
#include <QList>

// The rows of the page on show; the grid never holds more than one page.
class PageModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using enum MemberColumns::Column;

    using QAbstractTableModel::QAbstractTableModel;

    void setRows(QList<Member> rows);
    const QList<Member>& rows() const { return m_rows; }
    const Member* member(int row) const;

    // The text of one cell, as the detail fields take it.
    static QString cellText(const Member& member, int column);
    static QString caption(int column);
    static int widthTwips(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QList<Member> m_rows;
};
