#include "ConsistencyCheck.h"

#include "Database.h"
#include "PhotoFiles.h"
#include "ProgramFolder.h"
#include "ProgramLock.h"
#include "Restore.h"
#include "SaveJournal.h"
#include "SnapshotFiles.h"
#include "Snapshots.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlQuery>

#include <map>

namespace ConsistencyCheck {

namespace {

constexpr qsizetype kListedPerKind = 20;

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

struct Scan
{
    QList<Problem> problems;
    std::map<QString, bool> files;              // file name in "照片" -> some row names it
    QList<std::pair<qint64, QString>> repoints; // row id -> its conventional photo file
};

void add(Scan& s, Kind kind, const QString& text)
{
    s.problems.append({kind, text});
}

Status checkIntegrity(const Database& db, Scan& s)
{
    Result<QSqlQuery> q = db.run(QStringLiteral("PRAGMA integrity_check"));
    if (!q)
        return q.failure();
    while (q->next())
        if (const QString line = q->value(0).toString(); line != QLatin1String("ok"))
            add(s, Kind::Integrity, QStringLiteral("数据库完整性检查：%1").arg(line));
    return {};
}

void listLeftovers(const QString& folder, const QString& pattern, QDir::Filters kind, Scan& s)
{
    for (const QFileInfo& info :
         QDir(folder, pattern, QDir::Name, kind | QDir::Hidden | QDir::System).entryInfoList()) {
        if (info.isDir() && !SnapshotFiles::FolderLock(info.filePath()).ok())
            continue; // a snapshot being taken
        add(s, Kind::Leftover,
            QStringLiteral("中断的操作留下的临时文件 %1").arg(shown(info.filePath())));
    }
}

Status checkRows(const Database& db, Scan& s)
{
    Result<QSqlQuery> q =
        db.run(QStringLiteral("SELECT id, xingming, dianhua, zhaopian FROM user ORDER BY id"));
    if (!q)
        return q.failure();
    while (q->next()) {
        const qint64 id = q->value(0).toLongLong();
        const QString name = q->value(1).toString();
        const QString photo = q->value(3).toString();
        if (photo.isEmpty())
            continue;
        const QString who = QStringLiteral("会员 %1（%2）").arg(id).arg(name);
        const auto file = s.files.find(QFileInfo(photo).fileName());
        if (!PhotoFiles::isInPhotoFolder(photo)) {
            add(s, Kind::OutsidePhoto,
                QStringLiteral("%1的照片 %2 不在照片文件夹中").arg(who, shown(photo)));
        } else if (file != s.files.end()) {
            file->second = true;
            continue;
        } else {
            add(s, Kind::MissingPhoto,
                QStringLiteral("%1的照片文件 %2 不存在").arg(who, shown(photo)));
        }
        const QString conventional = PhotoFiles::memberPhotoPath(name, q->value(2).toString());
        if (s.files.count(QFileInfo(conventional).fileName()) > 0)
            s.repoints.append({id, conventional});
    }
    return {};
}

Status checkPhones(const Database& db, Scan& s)
{
    Result<QSqlQuery> q = db.run(
        QStringLiteral("SELECT dianhua, count(*) FROM user WHERE dianhua <> '' GROUP BY dianhua "
                       "HAVING count(*) > 1 ORDER BY dianhua"));
    if (!q)
        return q.failure();
    while (q->next())
        add(s, Kind::SharedPhone,
            QStringLiteral("电话 %1 由 %2 位会员共用")
                .arg(q->value(0).toString())
                .arg(q->value(1).toLongLong()));
    return {};
}

Result<Scan> scan(const Database& db, bool judgeLeftovers)
{
    Scan s;
    if (Status checked = checkIntegrity(db, s); !checked)
        return checked.failure();
    const QString photos = ProgramFolder::photoFolder();
    for (const QFileInfo& info :
         QDir(photos).entryInfoList(QDir::Files | QDir::Hidden | QDir::System))
        if (!info.fileName().startsWith(PhotoFiles::kTemporaryPrefix))
            s.files.emplace(info.fileName(), false);
    if (Status checked = checkRows(db, s); !checked)
        return checked.failure();
    for (const auto& [name, named] : s.files) {
        const QString path = QDir(photos).filePath(name);
        if (!named)
            add(s, Kind::UnnamedPhoto,
                QStringLiteral("照片文件 %1 不属于任何会员").arg(shown(path)));
        if (!PhotoFiles::readPicture(path, {64, 64}))
            add(s, Kind::UnreadablePhoto,
                QStringLiteral("照片文件 %1 不是可读取的图片").arg(shown(path)));
    }
    if (Status checked = checkPhones(db, s); !checked)
        return checked.failure();
    if (judgeLeftovers) {
        const QString temporary = PhotoFiles::kTemporaryPrefix + QLatin1Char('*');
        listLeftovers(ProgramFolder::root(),
                      PhotoFiles::kTemporaryPrefix + QStringLiteral("save-*"), QDir::Files, s);
        listLeftovers(ProgramFolder::root(),
                      PhotoFiles::kTemporaryPrefix + QStringLiteral("restore-*"), QDir::Dirs, s);
        listLeftovers(photos, temporary, QDir::Files, s);
        listLeftovers(ProgramFolder::templateFolder(), temporary, QDir::Files, s);
        listLeftovers(Snapshots::folder(ProgramFolder::root()), temporary, QDir::Dirs, s);
    }
    return s;
}

// Points rows at their conventional files and moves files no row names under "备份".
Status mend(const Database& db, Scan& s, QStringList& repairs)
{
    for (const auto& [id, path] : s.repoints) {
        bool& named = s.files[QFileInfo(path).fileName()];
        if (named)
            continue; // another member's photo, or claimed by an earlier row
        Result<QSqlQuery> q =
            db.run(QStringLiteral("UPDATE user SET zhaopian = ? WHERE id = ?"), {path, id});
        if (!q)
            return q.failure();
        named = true;
        repairs << QStringLiteral("已将会员 %1 的照片改为 %2").arg(id).arg(shown(path));
    }
    const QString aside =
        QDir(Snapshots::folder(ProgramFolder::root()))
            .filePath(QStringLiteral("无主照片_") +
                      QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")));
    for (const auto& [name, named] : s.files) {
        if (named)
            continue;
        if (!QDir().mkpath(aside))
            return Failure{QStringLiteral("无法创建文件夹 %1").arg(shown(aside))};
        const QString from = QDir(ProgramFolder::photoFolder()).filePath(name);
        QString to = QDir(aside).filePath(name);
        for (int n = 2; QFileInfo::exists(to); ++n)
            to = QDir(aside).filePath(QStringLiteral("%1-%2").arg(n).arg(name));
        if (!SnapshotFiles::renamePath(from, to))
            return Failure{QStringLiteral("无法将照片文件 %1 移到 %2：%3")
                               .arg(shown(from), shown(aside), SnapshotFiles::lastSystemError())};
        repairs << QStringLiteral("已将照片文件 %1 移到 %2").arg(shown(from), shown(to));
    }
    return {};
}

QString kindTitle(Kind kind)
{
    switch (kind) {
    case Kind::Integrity:
        return QStringLiteral("数据库完整性");
    case Kind::MissingPhoto:
        return QStringLiteral("照片文件不存在");
    case Kind::OutsidePhoto:
        return QStringLiteral("照片不在照片文件夹中");
    case Kind::UnnamedPhoto:
        return QStringLiteral("不属于任何会员的照片文件");
    case Kind::UnreadablePhoto:
        return QStringLiteral("不是可读取图片的照片文件");
    case Kind::SharedPhone:
        return QStringLiteral("多位会员共用的电话");
    case Kind::Leftover:
        return QStringLiteral("中断的操作留下的临时文件");
    }
    return {};
}

} // namespace

qsizetype Report::count(Kind kind) const
{
    return std::count_if(problems.begin(), problems.end(),
                         [kind](const Problem& p) { return p.kind == kind; });
}

QStringList Report::lines() const
{
    QStringList out;
    out << repairs;
    QHash<int, qsizetype> listed;
    for (const Problem& p : problems) {
        const qsizetype n = ++listed[int(p.kind)];
        if (n <= kListedPerKind)
            out << p.text;
        else if (n == count(p.kind))
            out << QStringLiteral("……%1另有 %2 条").arg(kindTitle(p.kind)).arg(n - kListedPerKind);
    }
    if (leftoversSkipped)
        out << QStringLiteral("Talvio 正在运行，未检查临时文件");
    out << (problems.isEmpty() ? QStringLiteral("未发现问题")
                               : QStringLiteral("发现 %1 个问题").arg(problems.size()));
    return out;
}

Result<Report> run(bool repair)
{
    const QString root = ProgramFolder::root();
    Result<Database> db = Database::open(ProgramFolder::databaseFile());
    if (!db)
        return db.failure();
    // Alone, no save is in hand; a program started meanwhile waits for the check to end.
    const ProgramLock lock(root);
    if (repair && !lock.isAlone())
        return Failure{
            QStringLiteral("Talvio 正在使用文件夹 %1，请先退出程序再修复").arg(shown(root))};
    Report report;
    report.leftoversSkipped = !lock.isAlone();
    if (repair) {
        const SaveJournal::Recovery recovery = SaveJournal::recover(
            db.value(), {ProgramFolder::photoFolder(), ProgramFolder::templateFolder()});
        if (recovery.finished + recovery.undone + recovery.leftovers > 0)
            report.repairs << QStringLiteral(
                                  "已完成 %1 次、还原 %2 次中断的保存，删除 %3 个临时文件")
                                  .arg(recovery.finished)
                                  .arg(recovery.undone)
                                  .arg(recovery.leftovers);
        for (const QString& left : recovery.problems + Restore::tidyUp(root))
            report.repairs << QStringLiteral("未能修复：") + left;
        Result<Scan> found = scan(db.value(), true);
        if (!found)
            return found.failure();
        if (Status mended = mend(db.value(), found.value(), report.repairs); !mended)
            return mended.failure();
    }
    Result<Scan> remaining = scan(db.value(), lock.isAlone());
    if (!remaining)
        return remaining.failure();
    report.problems = remaining->problems;
    return report;
}

} // namespace ConsistencyCheck
