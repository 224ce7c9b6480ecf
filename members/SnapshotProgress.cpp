#include "SnapshotProgress.h"

#include "Dialogs.h"
#include "ProgramFolder.h"
#include "Snapshots.h"

#include <QDir>
#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <optional>

namespace SnapshotProgress {

namespace {
constexpr int kSteps = 1000;
constexpr int kShowAfterMs = 700;
} // namespace

Result<QString> take(QWidget* parent, Kind kind)
{
    const QString root = QDir::fromNativeSeparators(ProgramFolder::root());
    const Snapshots::Reason reason =
        kind == Kind::Daily ? Snapshots::Reason::Daily : Snapshots::Reason::BeforeClear;
    std::atomic<int> done{0};
    std::optional<Result<Snapshots::Info>> outcome;
    QThread* worker = QThread::create([&] {
        outcome.emplace(Snapshots::take(root, reason, [&done](double share) {
            done.store(int(share * kSteps), std::memory_order_relaxed);
        }));
    });

    QProgressDialog dialog(QStringLiteral("正在备份数据库和照片，请稍候……"), QString(), 0, kSteps,
                           parent);
    dialog.setWindowTitle(QStringLiteral("备份"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(kShowAfterMs);
    dialog.setCancelButton(nullptr);
    dialog.setValue(0);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &dialog,
                     [&] { dialog.setValue(std::min(done.load(), kSteps - 1)); });
    tick.start(100);
    QEventLoop loop;
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    delete worker;
    if (!outcome->ok())
        return outcome->failure();
    return outcome->value().name;
}

void takeDailyIfDue(QWidget* parent)
{
    Result<QList<Snapshots::Info>> all = Snapshots::list(ProgramFolder::root());
    if (all && !Snapshots::dailyIsDue(all.value(), QDate::currentDate()))
        return;
    if (Result<QString> taken = take(parent, Kind::Daily); !taken)
        Dialogs::current().message(parent,
                                   QStringLiteral("今日的自动备份未能完成：") + taken.error(),
                                   QStringLiteral("系统提示"), Dialogs::Icon::Exclamation);
}

} // namespace SnapshotProgress
