// The member list: loading, paging and the window's way in and out.

#include "xianshi.h"

#include "CaptureFiles.h"
#include "Dialogs.h"
#include "Forms.h"
#include "Module1.h"
#include "PageModel.h"
#include "PhotoBox.h"
#include "Twips.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>

void xianshi::Form_Load()
{
    Module1::RecordPhoto.clear();
    takeCameraPhotos();
    LoadList();
    if (t9->text() == QLatin1String("0")) {
        lss->setText(QStringLiteral(" 数据库为空!!!"));
        Module1::PhoneTaken = QStringLiteral("1");
        Module1::intCondCount = 0;
    }
}

void xianshi::Form_Unload()
{
    rs.reset();
    cn.reset();
    Module1::RecordPhoto.clear();
}

// The connection itself stays open: closing the last one makes SQLite checkpoint and sync the
// whole store, which would cost every add, edit and delete a few disk flushes.
void xianshi::discardListing()
{
    rs.reset();
}

void xianshi::reportFailure(const QString& text)
{
    Dialogs::current().message(this, text, QStringLiteral("系统提示"), Dialogs::Icon::Critical);
}

void xianshi::LoadList()
{
    intCurPage = 1;
    discardListing();
    const Database* db = connection();
    if (!db) {
        t9->clear();
        return;
    }
    Result<Pager> listing = Pager::open(*db, Listing::everyone());
    if (!listing) {
        t9->clear();
        reportFailure(QStringLiteral("无法读取会员列表：") + listing.error());
        return;
    }
    rs = std::make_unique<Pager>(std::move(listing).value());
    t9->setText(QString::number(rs->count()));
    if (!rs->isEmpty())
        ShowData(intCurPage);
}

void xianshi::ShowData(qint64 intPage)
{
    if (!rs || !cn)
        return;
    Result<QList<Member>> rows = rs->fetch(*cn, intPage);
    if (!rows) {
        reportFailure(QStringLiteral("无法读取会员列表：") + rows.error());
        return;
    }
    blnGridReady = false;
    rsPage->setRows(std::move(rows).value());
    // The page set is left on its last row, as the operators are used to; the grid marks it.
    if (rsPage->rowCount() > 0)
        DataGrid1->selectionModel()->setCurrentIndex(rsPage->index(rsPage->rowCount() - 1, 0),
                                                     QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
    DataGrid1->scrollToTop();
    blnGridReady = true;
    for (int column = 0; column < PageModel::ColumnCount; ++column)
        DataGrid1->setColumnWidth(column, Twips::toPixels(PageModel::widthTwips(column)));
    txtPageMsg->setText(QStringLiteral("%1/%2").arg(intPage).arg(rs->pageCount()));
}

void xianshi::Command7_Click()
{
    if (!rs || intCurPage <= 1)
        return;
    --intCurPage;
    ShowData(intCurPage);
}

void xianshi::Command8_Click()
{
    if (!rs || intCurPage >= rs->pageCount())
        return;
    ++intCurPage;
    ShowData(intCurPage);
}

void xianshi::Command11_Click()
{
    ReloadList();
}

void xianshi::ReloadList()
{
    discardListing();
    LoadList();
    ClearDetails();
}

void xianshi::ClearDetails()
{
    Picture1->clear();
    for (QLineEdit* field : {t1, t3, T4, T5, T6})
        field->clear();
    T7->clear();
    Combo1->setEditText(QStringLiteral("请选择性别"));
    t8->clear();
    lss->clear();
    Module1::RecordPhoto.clear();
    Module1::PhotoSource.clear();
    CaptureFiles::releaseAllBut(QString());
}

void xianshi::Command14_Click()
{
    Forms::instance().unload(this);
    Forms::instance().show(QStringLiteral("admin1"));
}

void xianshi::ReopenWindow()
{
    Forms::instance().unload(this);
    Forms::instance().show(QStringLiteral("xianshi"));
}
