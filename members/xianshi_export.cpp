// Exporting the listing the grid shows, every row of it, to an Excel or CSV file.

#include "xianshi.h"

#include "Dialogs.h"
#include "MemberExport.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTableView>

#include <atomic>

namespace {
// The progress bar counts in thousandths, so any count fits its int range.
constexpr int kProgressSteps = 1000;
} // namespace

void xianshi::buildGridMenu()
{
    gridMenu = new QMenu(this);
    gridMenu->setObjectName(QStringLiteral("DataGrid1Menu"));
    QAction* excel = gridMenu->addAction(QStringLiteral("导出到 Excel 文件…"));
    excel->setObjectName(QStringLiteral("exportExcel"));
    QAction* csv = gridMenu->addAction(QStringLiteral("导出到 CSV 文件…"));
    csv->setObjectName(QStringLiteral("exportCsv"));
    gridMenu->addSeparator();
    // Most lists are handed on without the internal id and the photo's path; who needs them
    // ticks them once, and the window keeps the choice while it is open.
    exportWithId = gridMenu->addAction(QStringLiteral("导出时包含 ID 列"));
    exportWithId->setObjectName(QStringLiteral("exportWithId"));
    exportWithId->setCheckable(true);
    exportWithPhoto = gridMenu->addAction(QStringLiteral("导出时包含照片路径列"));
    exportWithPhoto->setObjectName(QStringLiteral("exportWithPhoto"));
    exportWithPhoto->setCheckable(true);
    connect(excel, &QAction::triggered, this,
            [this] { exportListing(MemberExport::Format::Excel); });
    connect(csv, &QAction::triggered, this, [this] { exportListing(MemberExport::Format::Csv); });

    DataGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DataGrid1, &QWidget::customContextMenuRequested, this, &xianshi::DataGrid1_ContextMenu);
}

void xianshi::DataGrid1_ContextMenu(const QPoint& at)
{
    gridMenu->popup(DataGrid1->viewport()->mapToGlobal(at));
}

void xianshi::exportListing(MemberExport::Format format)
{
    const bool excel = format == MemberExport::Format::Excel;
    const Listing listing = rs ? rs->listing() : Listing::everyone();
    const QString suggested =
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QLatin1Char('/') +
        (listing.where.isEmpty() ? QStringLiteral("会员列表") : QStringLiteral("查询结果")) +
        (excel ? QStringLiteral(".xlsx") : QStringLiteral(".csv"));
    const QString file = Dialogs::current().saveFile(
        this, excel ? QStringLiteral("导出到 Excel 文件") : QStringLiteral("导出到 CSV 文件"),
        excel ? QStringLiteral("Excel 工作簿|*.xlsx") : QStringLiteral("CSV 文件|*.csv"),
        suggested);
    if (file.isEmpty())
        return;
    const Database* db = connection();
    if (!db)
        return;

    QProgressDialog progress(QStringLiteral("正在导出会员…"), QStringLiteral("取消"), 0,
                             kProgressSteps, this);
    progress.setWindowTitle(QStringLiteral("导出"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setValue(0);
    std::atomic<bool> cancelled{false};
    const MemberExport::Options options{exportWithId->isChecked(), exportWithPhoto->isChecked()};
    const Result<qint64> written = MemberExport::run(
        *db, listing, file, format, options,
        [&](qint64 done, qint64 total) {
            progress.setValue(total > 0 ? int(std::min(done, total) * kProgressSteps / total)
                                        : kProgressSteps);
            cancelled = progress.wasCanceled();
        },
        &cancelled);
    progress.reset();
    if (cancelled)
        return;
    if (!written) {
        reportFailure(QStringLiteral("导出失败：") + written.error());
        return;
    }
    Dialogs::current().message(this,
                               QStringLiteral("已导出 %1 名会员到 %2")
                                   .arg(written.value())
                                   .arg(QDir::toNativeSeparators(file)),
                               QStringLiteral("导出完成"), Dialogs::Icon::Information);
}
