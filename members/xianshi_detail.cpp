// Browsing: the selected row's values in the detail fields and its photo in the picture box.

#include "xianshi.h"

#include "Dialogs.h"
#include "Module1.h"
#include "PageModel.h"
#include "PhotoBox.h"
#include "PhotoFiles.h"
#include "ProgramFolder.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>

namespace {
const QString kNotice = QStringLiteral("系统提示");
}

void xianshi::DataGrid1_RowColChange()
{
    if (!blnGridReady)
        return;
    Module1::RecordPhoto.clear();
    Picture1->clear();
    const Member* row = rsPage->member(DataGrid1->currentIndex().row());
    if (!row)
        return;
    t8->setText(PageModel::cellText(*row, PageModel::Id));
    t1->setText(row->xingming);
    Combo1->setEditText(row->xingbie);
    t3->setText(row->nianling);
    T4->setText(row->dianhua);
    T5->setText(row->qq);
    T6->setText(row->youxiang);
    T7->setPlainText(row->dizhi);
    // A long value shows its beginning, not the end where setText leaves the cursor.
    for (QLineEdit* field : {t8, t1, t3, T4, T5, T6, Combo1->lineEdit()})
        if (field)
            field->setCursorPosition(0);
    QString photo = row->zhaopian;
    ShowPhoto(photo);
}

void xianshi::ShowPhoto(QString& path)
{
    // A missing file is repaired from the default photo, once per selection. A file that exists
    // but is no readable picture is reported and left alone: it may be a photo worth keeping.
    if (!path.isEmpty() && PhotoFiles::exists(path)) {
        Result<QImage> picture = PhotoFiles::readPicture(path, Picture1->decodeSize());
        if (!picture) {
            reportFailure(QStringLiteral("会员照片无法显示：") + picture.error());
            return;
        }
        Picture1->drawFitted(picture.value());
        Module1::RecordPhoto = path;
        return;
    }

    Dialogs::current().message(this, QStringLiteral("检测到会员图片丢失，系统开始自我修复"),
                               kNotice);
    const QString repaired = PhotoFiles::memberPhotoPath(t1->text(), T4->text());
    if (!PhotoFiles::defaultPhotoExists()) {
        reportFailure(
            QStringLiteral("系统自我修复失败：默认照片 %1 也不存在，请在“添加会员默认图片”"
                           "窗口中重新设置")
                .arg(ProgramFolder::defaultPhoto()));
        return;
    }
    // A default photo that is no picture must not land under the member's name as a "success".
    if (Result<QImage> fallback = PhotoFiles::readPicture(ProgramFolder::defaultPhoto(), {64, 64});
        !fallback) {
        reportFailure(QStringLiteral("系统自我修复失败：") + fallback.error());
        return;
    }
    if (Status copied = PhotoFiles::copyAtomically(ProgramFolder::defaultPhoto(), repaired);
        !copied) {
        reportFailure(QStringLiteral("系统自我修复失败：") + copied.error());
        return;
    }
    Dialogs::current().message(this,
                               QStringLiteral("系统自我修复成功,如果确定用此照片请点击修改保存"),
                               QStringLiteral("修复成功"));
    path = repaired;
    Result<QImage> picture = PhotoFiles::readPicture(path, Picture1->decodeSize());
    if (!picture) {
        reportFailure(QStringLiteral("会员照片无法显示：") + picture.error());
        return;
    }
    Picture1->drawFitted(picture.value());
    Module1::RecordPhoto = path;
}

void xianshi::moveCurrentRow(int step)
{
    const int rows = rsPage->rowCount();
    if (rows == 0)
        return;
    const QModelIndex current = DataGrid1->currentIndex();
    const int from = current.isValid() ? current.row() : rows - 1;
    const int to = std::clamp(from + step, 0, rows - 1);
    if (to != from || !current.isValid()) {
        DataGrid1->setCurrentIndex(rsPage->index(to, current.isValid() ? current.column() : 0));
        return;
    }
    // A page is shown standing on its last row without showing it; a press that stays there
    // still brings that record into the fields.
    const Member* row = rsPage->member(to);
    if (row && t8->text() != PageModel::cellText(*row, PageModel::Id))
        DataGrid1_RowColChange();
}

void xianshi::Command9_Click()
{
    moveCurrentRow(-1);
}

void xianshi::Command10_Click()
{
    moveCurrentRow(+1);
}
