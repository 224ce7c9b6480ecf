#include "ImportWithProgress.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <memory>
#include <optional>

namespace ImportWithProgress {

namespace {

void show(QProgressDialog& dialog, const LegacyImport::Progress& p, bool cancelled)
{
    if (cancelled)
        return;
    dialog.setLabelText(LegacyImport::describe(p));
    // Building the indexes gives no steps to count: the bar just runs.
    const bool counted = p.step != LegacyImport::Progress::Step::Finishing;
    dialog.setRange(0, counted ? int(qMin<qint64>(p.total, INT_MAX)) : 0);
    dialog.setValue(counted ? int(qMin<qint64>(p.done, INT_MAX)) : 0);
}

} // namespace

Result<LegacyImport::Report> run(QWidget* owner, const QString& source, const QString& target)
{
    QProgressDialog dialog(QStringLiteral("正在读取旧数据…"), QStringLiteral("取消"), 0, 0, owner);
    dialog.setWindowTitle(QStringLiteral("旧数据导入"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumDuration(0);
    std::atomic<bool> cancel{false};
    // The import stops at its next step, which may take a moment: the dialog stays and says so,
    // however it was asked to go (its button, Escape or its close box).
    const auto stop = [&dialog, &cancel] {
        cancel = true;
        dialog.setLabelText(QStringLiteral("正在取消导入，请稍候…"));
        if (auto* button = dialog.findChild<QPushButton*>())
            button->setEnabled(false);
        QTimer::singleShot(0, &dialog, &QWidget::show);
    };
    QObject::disconnect(&dialog, &QProgressDialog::canceled, &dialog, &QProgressDialog::cancel);
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, stop);
    QObject::connect(&dialog, &QDialog::rejected, &dialog, stop);

    // Progress arrives on the worker thread; the dialog is updated on its own.
    const LegacyImport::ProgressNotice notice = [&dialog,
                                                 &cancel](const LegacyImport::Progress& p) {
        QMetaObject::invokeMethod(
            &dialog, [&dialog, &cancel, p] { show(dialog, p, cancel); }, Qt::QueuedConnection);
    };
    std::optional<Result<LegacyImport::Report>> outcome;
    std::unique_ptr<QThread> worker(QThread::create(
        [&] { outcome.emplace(LegacyImport::run(source, target, notice, &cancel)); }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    dialog.show();
    worker->start();
    loop.exec();
    worker->wait();
    return std::move(*outcome);
}

} // namespace ImportWithProgress
