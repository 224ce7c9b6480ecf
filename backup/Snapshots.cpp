#include "Snapshots.h"

#include "ProgramFolder.h"
#include "SnapshotFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>

namespace Snapshots {

namespace {

const QString kInfoFile = QStringLiteral("快照信息.json");
const QString kUnfinishedPrefix = QStringLiteral(".talvio-snapshot-");
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd_HH-mm-ss");
constexpr int kDailyKept = 10;
constexpr int kKeptDays = 90;

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

const QList<std::pair<Reason, QString>>& reasonNames()
{
    static const QList<std::pair<Reason, QString>> names{
        {Reason::Daily, QStringLiteral("每日")},
        {Reason::BeforeClear, QStringLiteral("清数据库")},
        {Reason::BeforeRestore, QStringLiteral("恢复前")},
        {Reason::ByHand, QStringLiteral("手动")},
    };
    return names;
}

Status writeInfo(const QString& folder, const Info& info)
{
    QJsonObject o;
    o.insert(QLatin1String("members"), info.members);
    o.insert(QLatin1String("photos"), info.photos);
    o.insert(QLatin1String("bytes"), info.bytes);
    QFile file(folder + QLatin1Char('/') + kInfoFile);
    const QByteArray text = QJsonDocument(o).toJson();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.flush())
        return Failure{
            QStringLiteral("无法写入文件 %1：%2").arg(shown(file.fileName()), file.errorString())};
    return {};
}

// A snapshot folder's name and its information file, or nothing for any other folder.
std::optional<Info> readInfo(const QString& base, const QString& name)
{
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d)_([^_]+)(_\\d+)?$"));
    const QRegularExpressionMatch match = pattern.match(name);
    if (!match.hasMatch())
        return std::nullopt;
    Info info;
    info.name = name;
    info.path = base + QLatin1Char('/') + name;
    info.taken = QDateTime::fromString(match.captured(1), kTimeFormat);
    const auto reason = std::find_if(reasonNames().begin(), reasonNames().end(),
                                     [&](const auto& r) { return r.second == match.captured(2); });
    QFile file(info.path + QLatin1Char('/') + kInfoFile);
    if (!info.taken.isValid() || reason == reasonNames().end() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    info.reason = reason->first;
    const QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
    info.members = o.value(QLatin1String("members")).toInteger(-1);
    info.photos = o.value(QLatin1String("photos")).toInteger();
    info.bytes = o.value(QLatin1String("bytes")).toInteger();
    return info;
}

// Builds the copy in `build`; fills in what it holds.
Status fill(const QString& root, const QString& build, Info& info, const Progress& progress)
{
    const QString store = QDir(root).filePath(ProgramFolder::kDatabaseName);
    const QString photos = QDir(root).filePath(ProgramFolder::kPhotoFolderName);
    const QList<SnapshotFiles::Entry> entries = SnapshotFiles::filesBelow(photos);
    const qint64 storeBytes = QFileInfo(store).size();
    qint64 photoBytes = 0;
    for (const SnapshotFiles::Entry& e : entries)
        photoBytes += e.bytes;
    const double total = double(std::max<qint64>(1, storeBytes + photoBytes));
    // A folder whose store is gone still has photos worth keeping.
    if (QFileInfo::exists(store)) {
        Result<qint64> members = SnapshotFiles::copyStore(
            store, build + QLatin1Char('/') + ProgramFolder::kDatabaseName, [&](double share) {
                if (progress)
                    progress(share * double(storeBytes) / total);
            });
        if (!members)
            return members.failure();
        info.members = members.value();
    }
    qint64 done = storeBytes;
    if (QFileInfo(photos).isDir()) {
        if (Status linked = SnapshotFiles::linkOrCopy(
                photos, build + QLatin1Char('/') + ProgramFolder::kPhotoFolderName, entries,
                [&](qint64 bytes) {
                    done += bytes;
                    if (progress)
                        progress(double(done) / total);
                });
            !linked)
            return linked;
    }
    info.photos = entries.size();
    info.bytes = storeBytes + photoBytes;
    return writeInfo(build, info);
}

} // namespace

const QString kFolderName = QStringLiteral("备份");

QString folder(const QString& root)
{
    return QDir(root).filePath(kFolderName);
}

QString reasonText(Reason reason)
{
    for (const auto& [r, text] : reasonNames())
        if (r == reason)
            return text;
    return {};
}

Result<Info> take(const QString& root, Reason reason, const Progress& progress,
                  const QDateTime& now)
{
    const QString base = folder(root);
    if (QFileInfo(base).exists() && !QFileInfo(base).isDir())
        return Failure{QStringLiteral("%1 不是文件夹，无法在其中备份").arg(shown(base))};
    if (!QDir().mkpath(base))
        return Failure{QStringLiteral("无法创建备份文件夹 %1").arg(shown(base))};
    QTemporaryDir build(base + QLatin1Char('/') + kUnfinishedPrefix + QStringLiteral("XXXXXX"));
    if (!build.isValid())
        return Failure{
            QStringLiteral("无法在备份文件夹 %1 中写入：%2").arg(shown(base), build.errorString())};
    const SnapshotFiles::FolderLock taking(build.path());
    Info info;
    info.reason = reason;
    info.taken =
        QDateTime(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()));
    if (Status filled = fill(root, build.path(), info, progress); !filled)
        return filled.failure();
    SnapshotFiles::syncFileSystem(build.path());
    const QString stem = info.taken.toString(kTimeFormat) + QLatin1Char('_') + reasonText(reason);
    info.name = stem;
    for (int n = 2; QFileInfo::exists(base + QLatin1Char('/') + info.name); ++n)
        info.name = stem + QStringLiteral("_%1").arg(n);
    info.path = base + QLatin1Char('/') + info.name;
    if (!SnapshotFiles::renamePath(build.path(), info.path))
        return Failure{QStringLiteral("无法完成备份 %1：%2")
                           .arg(shown(info.path), SnapshotFiles::lastSystemError())};
    build.setAutoRemove(false);
    // Old snapshots go only once the new one is safe; one that will not go is tried next time.
    if (Result<QList<Info>> all = list(root))
        for (const QString& name : expired(all.value(), now))
            QDir(base + QLatin1Char('/') + name).removeRecursively();
    return info;
}

Result<QList<Info>> list(const QString& root)
{
    const QString base = folder(root);
    QList<Info> found;
    if (!QFileInfo(base).isDir())
        return found;
    for (const QString& name : QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (std::optional<Info> info = readInfo(base, name))
            found.append(*info);
    std::stable_sort(found.begin(), found.end(), [](const Info& a, const Info& b) {
        return a.taken < b.taken || (a.taken == b.taken && a.name < b.name);
    });
    return found;
}

Result<Info> find(const QString& root, const QString& name)
{
    Result<QList<Info>> all = list(root);
    if (!all)
        return all.failure();
    for (const Info& info : all.value())
        if (info.name == name)
            return info;
    return Failure{
        QStringLiteral("备份文件夹 %1 中没有名为“%2”的备份").arg(shown(folder(root)), name)};
}

QStringList expired(const QList<Info>& snapshots, const QDateTime& now)
{
    QList<Info> daily;
    QStringList names;
    for (const Info& info : snapshots) {
        if (info.reason == Reason::Daily)
            daily.append(info);
        else if (info.reason != Reason::ByHand && info.taken.addDays(kKeptDays) < now)
            names << info.name;
    }
    std::stable_sort(daily.begin(), daily.end(),
                     [](const Info& a, const Info& b) { return a.taken > b.taken; });
    for (qsizetype i = kDailyKept; i < daily.size(); ++i)
        names << daily.at(i).name;
    return names;
}

bool dailyIsDue(const QList<Info>& snapshots, const QDate& today)
{
    return std::none_of(snapshots.begin(), snapshots.end(), [&](const Info& info) {
        return info.reason == Reason::Daily && info.taken.date() == today;
    });
}

void removeUnfinished(const QString& root)
{
    const QDir base(folder(root));
    for (const QString& name :
         base.entryList({kUnfinishedPrefix + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden)) {
        const QString path = base.filePath(name);
        const SnapshotFiles::FolderLock unused(path);
        if (unused.ok())
            QDir(path).removeRecursively();
    }
}

} // namespace Snapshots
