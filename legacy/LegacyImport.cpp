#include "LegacyImport.h"

#include "Accounts.h"
#include "BuildFolder.h"
#include "Database.h"
#include "LegacyDatabase.h"
#include "MemberTable.h"
#include "PhotoFiles.h"
#include "ProgramFolder.h"
#include "Schema.h"
#include "SourcePhotos.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlQuery>

#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

namespace LegacyImport {

namespace {

constexpr qint64 kProgressEvery = 64;

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

Status copyFile(const QString& from, const QString& to)
{
    std::error_code error;
    std::filesystem::copy_file(QFile::encodeName(from).toStdString(),
                               QFile::encodeName(to).toStdString(), error);
    if (error)
        return Failure{QStringLiteral("无法复制照片 %1：%2")
                           .arg(shown(from), QString::fromLocal8Bit(error.message()))};
    return {};
}

// The older program stored the photo's absolute Windows path; only the name after the last
// separator still means anything.
QString photoName(const QString& stored)
{
    return stored.mid(std::max(stored.lastIndexOf(u'\\'), stored.lastIndexOf(u'/')) + 1);
}

class Importer
{
public:
    Importer(const QString& target, const ProgressNotice& progress, const std::atomic<bool>* cancel)
        : m_target(target), m_progress(progress), m_cancel(cancel)
    {}

    Result<Report> run(const QString& source);

private:
    bool cancelled() const { return m_cancel && m_cancel->load(); }
    void notify(Progress::Step step, qint64 done, qint64 total) const
    {
        if (m_progress)
            m_progress({step, done, total});
    }
    Status copyOperators(const Database& db, LegacyTable& admin);
    Status copyMembers(const Database& db, LegacyTable& user);
    Result<QString> placePhoto(const QString& stored);
    Status findSharedTelephones(const Database& db);

    QString m_target;
    QString m_photoFolder; // where the photos are stored in the end, as the program writes paths
    const ProgressNotice& m_progress;
    const std::atomic<bool>* m_cancel;
    std::unique_ptr<BuildFolder> m_build;
    std::optional<SourcePhotos> m_photos;
    QSet<QString> m_copied;
    Report m_report;
};

const Failure kCancelled{QStringLiteral("导入已取消")};

Result<Report> Importer::run(const QString& source)
{
    if (!QFileInfo(source).isDir())
        return Failure{QStringLiteral("找不到文件夹 %1").arg(shown(source))};
    const QString mdbFile = findIgnoringCase(source, QStringLiteral("hd.mdb"));
    if (mdbFile.isEmpty() || !QFileInfo(mdbFile).isFile())
        return Failure{QStringLiteral("文件夹 %1 中没有 hd.mdb").arg(shown(source))};
    Result<std::unique_ptr<LegacyDatabase>> legacy = LegacyDatabase::open(mdbFile);
    if (!legacy)
        return legacy.failure();
    Result<std::unique_ptr<LegacyTable>> admin =
        legacy.value()->table(QStringLiteral("admin"), {"user", "pasword"});
    if (!admin)
        return admin.failure();
    Result<std::unique_ptr<LegacyTable>> user =
        legacy.value()->table(QStringLiteral("user"), MemberTable::allColumns().split(", "));
    if (!user)
        return user.failure();
    Result<SourcePhotos> photos =
        SourcePhotos::list(source + QLatin1Char('/') + ProgramFolder::kPhotoFolderName);
    if (!photos)
        return photos.failure();
    m_photos = std::move(photos.value());
    const QString templates = findIgnoringCase(source, ProgramFolder::kTemplateFolderName);
    const QString defaultPhoto =
        templates.isEmpty() ? QString()
                            : findIgnoringCase(templates, ProgramFolder::kDefaultPhotoName);

    Result<std::unique_ptr<BuildFolder>> build = BuildFolder::create(m_target);
    if (!build)
        return build.failure();
    m_build = std::move(build.value());
    m_photoFolder =
        QDir::toNativeSeparators(QDir::cleanPath(QDir(m_target).absolutePath()) + QLatin1Char('/') +
                                 ProgramFolder::kPhotoFolderName + QLatin1Char('/'));
    {
        Result<Database> db = Database::create(m_build->path(ProgramFolder::kDatabaseName));
        if (!db)
            return db.failure();
        // The indexes are made once after the rows rather than kept up row by row.
        if (Status suspended = Schema::suspendMemberIndexes(db.value()); !suspended)
            return suspended.failure();
        if (Status begun = db->begin(); !begun)
            return begun.failure();
        if (Status copied = copyOperators(db.value(), *admin.value()); !copied)
            return copied.failure();
        if (Status copied = copyMembers(db.value(), *user.value()); !copied)
            return copied.failure();
        if (Status committed = db->commit(); !committed)
            return committed.failure();
        notify(Progress::Step::Finishing, 0, 1);
        if (Status restored = Schema::restoreMemberIndexes(db.value()); !restored)
            return restored.failure();
        if (Status found = findSharedTelephones(db.value()); !found)
            return found.failure();
    }
    if (!defaultPhoto.isEmpty()) {
        const QString to = m_build->path(ProgramFolder::kTemplateFolderName + QLatin1Char('/') +
                                         ProgramFolder::kDefaultPhotoName);
        if (Status copied = copyFile(defaultPhoto, to); !copied)
            return copied.failure();
        m_report.defaultPhotoCopied = true;
    }
    m_report.unnamedPhotos = m_photos->unusedCount();
    if (cancelled())
        return kCancelled;
    if (Status moved = m_build->moveIntoPlace(); !moved)
        return moved.failure();
    notify(Progress::Step::Finishing, 1, 1);
    return m_report;
}

Status Importer::copyOperators(const Database& db, LegacyTable& admin)
{
    QStringList row;
    while (admin.next(row)) {
        if (cancelled())
            return kCancelled;
        notify(Progress::Step::Operators, m_report.operators, admin.rowCount());
        // The name as stored, since the store compares it; the password as sign-in compared it.
        if (Status added = Accounts::add(db, row.at(0), row.at(1).trimmed()); !added)
            return added;
        ++m_report.operators;
    }
    return admin.finished();
}

Status Importer::copyMembers(const Database& db, LegacyTable& user)
{
    Result<QSqlQuery> insert = db.prepare(MemberTable::insertStatement(true));
    if (!insert)
        return insert.failure();
    QStringList row;
    const qint64 total = user.rowCount();
    while (user.next(row)) {
        if (cancelled())
            return kCancelled;
        bool isNumber = false;
        const qint64 id = row.at(0).toLongLong(&isNumber);
        if (!isNumber)
            return Failure{QStringLiteral("数据表 user 中有一行的 id 不是整数：%1").arg(row.at(0))};
        Result<QString> photo = placePhoto(row.at(8));
        if (!photo)
            return photo.failure();
        QVariantList values{id};
        for (int column = 1; column < 8; ++column)
            values << row.at(column);
        values << photo.value();
        if (Status done = db.execute(insert.value(), values); !done)
            return done;
        if (++m_report.members % kProgressEvery == 0 || m_report.members == total)
            notify(Progress::Step::Members, m_report.members, total);
    }
    return user.finished();
}

// The path the member's photo has in the new folder, its file copied there when the older
// folder holds it. A member without a file keeps the path where it would be.
Result<QString> Importer::placePhoto(const QString& stored)
{
    const QString name = photoName(stored);
    if (name.isEmpty()) {
        ++m_report.photosMissing;
        return QStringLiteral(""); // empty text, not NULL
    }
    const QString safe = PhotoFiles::safeFileName(name);
    const QString from = m_photos->find(name);
    if (from.isEmpty())
        ++m_report.photosMissing;
    else if (!m_copied.contains(safe)) {
        const QString to = m_build->path(ProgramFolder::kPhotoFolderName + QLatin1Char('/') + safe);
        if (Status copied = copyFile(from, to); !copied)
            return copied.failure();
        m_copied.insert(safe);
        ++m_report.photosCopied;
    }
    return m_photoFolder + safe;
}

// Telephones compared as the store compares them, so the list names what its checks will see.
Status Importer::findSharedTelephones(const Database& db)
{
    Result<QSqlQuery> rows = db.run(QStringLiteral(
        "SELECT u.dianhua, u.id, s.first FROM user u JOIN "
        "(SELECT dianhua AS d, min(id) AS first FROM user WHERE dianhua <> '' "
        "GROUP BY dianhua HAVING count(*) > 1) s ON u.dianhua = s.d ORDER BY s.first, u.id"));
    if (!rows)
        return rows.failure();
    qint64 group = 0;
    while (rows->next()) {
        if (m_report.sharedTelephones.isEmpty() || rows->value(2).toLongLong() != group) {
            group = rows->value(2).toLongLong();
            m_report.sharedTelephones.append({rows->value(0).toString(), {}});
        }
        m_report.sharedTelephones.last().ids.append(rows->value(1).toLongLong());
    }
    return {};
}

} // namespace

QStringList Report::lines() const
{
    QStringList out{
        QStringLiteral("导入完成"),
        QStringLiteral("操作员：%1 个").arg(operators),
        QStringLiteral("会员：%1 个").arg(members),
        QStringLiteral("照片已复制：%1 个").arg(photosCopied),
        QStringLiteral("照片缺失：%1 个（会员窗口显示这些会员时用默认照片修复）")
            .arg(photosMissing),
        QStringLiteral("旧“照片”文件夹中没有会员使用的照片：%1 个（未复制）").arg(unnamedPhotos),
        defaultPhotoCopied ? QStringLiteral("默认照片：已复制")
                           : QStringLiteral("默认照片：旧文件夹中没有“模版照片\\1.jpg”，"
                                            "首次登录时请添加"),
        QStringLiteral("多名会员共用的电话号码：%1 个").arg(sharedTelephones.size()),
    };
    for (const SharedTelephone& shared : sharedTelephones) {
        QStringList ids;
        for (qint64 id : shared.ids)
            ids << QString::number(id);
        out << QStringLiteral("  %1：会员 %2")
                   .arg(shared.telephone, ids.join(QStringLiteral("、")));
    }
    return out;
}

QString describe(const Progress& p)
{
    if (p.step == Progress::Step::Operators)
        return QStringLiteral("正在导入操作员 %1/%2").arg(p.done).arg(p.total);
    if (p.step == Progress::Step::Members)
        return QStringLiteral("正在导入会员 %1/%2（%3%）")
            .arg(p.done)
            .arg(p.total)
            .arg(p.total ? p.done * 100 / p.total : 100);
    return QStringLiteral("正在建立索引并移入目标文件夹…");
}

Result<Report> run(const QString& source, const QString& target, const ProgressNotice& progress,
                   const std::atomic<bool>* cancel)
{
    Result<Report> report = Importer(target, progress, cancel).run(source);
    if (!report)
        return Failure{report.error() + QStringLiteral("，未作改动")};
    return report;
}

} // namespace LegacyImport
