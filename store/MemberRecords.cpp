#include "MemberRecords.h"

#include "Database.h"
#include "MemberTable.h"
#include "PhotoFiles.h"
#include "ProgramFolder.h"
#include "SaveJournal.h"
#include "StagedPhoto.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace MemberRecords {

namespace testing {
std::function<void(SaveStep)> atStep;
}

namespace {

QVariantList columnValues(Member m, const QString& photo)
{
    m.zhaopian = photo;
    return MemberTable::textValues(m);
}

Status photoFileIsFree(const Database& db, const QString& path, qint64 ownId)
{
    if (!QFileInfo::exists(path))
        return {};
    Result<QSqlQuery> owners = db.run(
        QStringLiteral("SELECT count(*) FROM user WHERE zhaopian = ? AND id <> ?"), {path, ownId});
    if (!owners)
        return owners.failure();
    if (owners->next() && owners->value(0).toLongLong() > 0)
        return Failure{QStringLiteral("照片文件 %1 已是另一位会员的照片，为免覆盖，未作改动。"
                                      "请修改姓名或电话后再试")
                           .arg(QDir::toNativeSeparators(path))};
    return {};
}

// Runs the statement and, if it changed a row, puts the photo in place before the commit and
// retires the row's former photo files after it. A note beside the store covers the whole way,
// so that start-up can finish or undo a save the program did not live to finish.
struct Written
{
    Removal outcome;
    qint64 rowId = 0;
};

Result<Written> writeWithPhoto(const Database& db, const QString& sql, const QVariantList& values,
                               StagedPhoto& photo, bool isInsert, const QStringList& retired)
{
    if (Status begun = db.begin(); !begun)
        return begun.failure();
    Written written;
    Removal& outcome = written.outcome;
    qint64& rowId = written.rowId;
    {
        Result<QSqlQuery> statement = db.run(sql, values);
        if (!statement) {
            db.rollback();
            return statement.failure();
        }
        outcome.rows = statement->numRowsAffected();
        if (outcome.rows <= 0) {
            db.rollback();
            outcome.rows = 0;
            return written;
        }
        rowId = isInsert ? statement->lastInsertId().toLongLong() : values.last().toLongLong();
    }
    // Different names and telephones can give the same file name; another member's photo is
    // never overwritten, only a file that no row names.
    if (Status free = photoFileIsFree(db, photo.target(), rowId); !free) {
        db.rollback();
        return free.failure();
    }
    Result<SaveJournal> journal = SaveJournal::write(db, rowId, values.mid(0, 8), photo, retired);
    if (!journal) {
        db.rollback();
        return journal.failure();
    }
    if (testing::atStep)
        testing::atStep(testing::SaveStep::Noted);
    if (Status installed = photo.install(); !installed) {
        db.rollback();
        photo.undo();
        return installed.failure();
    }
    if (testing::atStep)
        testing::atStep(testing::SaveStep::PhotoInstalled);
    if (Status committed = db.commit(); !committed) {
        db.rollback();
        photo.undo();
        return committed.failure();
    }
    photo.keep();
    outcome.leftFiles = retirePhotoFiles(db, retired, photo.target());
    return written;
}

} // namespace

Result<qint64> countWithPhone(const Database& db, const QString& telephone)
{
    Result<QSqlQuery> q =
        db.run(QStringLiteral("SELECT count(*) FROM user WHERE dianhua = ?"), {telephone});
    if (!q)
        return q.failure();
    return q->next() ? q->value(0).toLongLong() : 0;
}

Result<QList<qint64>> phoneHolders(const Database& db, const QString& telephone)
{
    Result<QSqlQuery> q =
        db.run(QStringLiteral("SELECT id FROM user WHERE dianhua = ? LIMIT 2"), {telephone});
    if (!q)
        return q.failure();
    QList<qint64> ids;
    while (q->next())
        ids.append(q->value(0).toLongLong());
    return ids;
}

Result<qint64> insert(const Database& db, const Member& member, StagedPhoto& photo)
{
    Result<Written> written = writeWithPhoto(db, MemberTable::insertStatement(),
                                             columnValues(member, photo.target()), photo, true, {});
    if (!written)
        return written.failure();
    return written->outcome.rows > 0 ? written->rowId : 0;
}

Result<Removal> update(const Database& db, const Member& member, StagedPhoto& photo,
                       const QStringList& retired)
{
    QVariantList values = columnValues(member, photo.target());
    values.append(member.id);
    Result<Written> written =
        writeWithPhoto(db, MemberTable::updateStatement(), values, photo, false, retired);
    if (!written)
        return written.failure();
    return written->outcome;
}

Result<QString> storedPhoto(const Database& db, qint64 id)
{
    Result<QSqlQuery> q = db.run(QStringLiteral("SELECT zhaopian FROM user WHERE id = ?"), {id});
    if (!q)
        return q.failure();
    return q->next() ? q->value(0).toString() : QString();
}

QStringList retirePhotoFiles(const Database& db, const QStringList& files, const QString& kept)
{
    QStringList tried{QDir::cleanPath(QFileInfo(kept).absoluteFilePath())};
    QStringList left;
    for (const QString& photo : files) {
        const QString file = QDir::cleanPath(QFileInfo(photo).absoluteFilePath());
        if (photo.isEmpty() || tried.contains(file))
            continue;
        tried << file;
        Result<QSqlQuery> owners =
            db.run(QStringLiteral("SELECT count(*) FROM user WHERE zhaopian = ?"), {photo});
        if (!owners || !owners->next() || owners->value(0).toLongLong() > 0)
            continue; // still some member's photo, or no way to tell: it stays
        if (Status removed = removePhotoFile(photo); !removed)
            left << removed.error();
    }
    return left;
}

Status removePhotoFile(const QString& path)
{
    if (path.isEmpty() || !PhotoFiles::isInPhotoFolder(path) || !QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.remove())
        return Failure{
            QStringLiteral("%1：%2").arg(QDir::toNativeSeparators(path), file.errorString())};
    return {};
}

Result<Removal> remove(const Database& db, qint64 id, const QStringList& photos)
{
    // Lets start-up delete the files should the program end between the row and its files. A
    // folder that takes no note does not stop the delete.
    const Result<SaveJournal> note = SaveJournal::writeRemoval(db, id, photos);
    Result<QSqlQuery> deleted = db.run(QStringLiteral("DELETE FROM user WHERE id = ?"), {id});
    if (!deleted)
        return deleted.failure();
    Removal removal;
    removal.rows = deleted->numRowsAffected();
    if (removal.rows <= 0)
        return removal; // someone else's row is gone already; its files are not ours to judge
    QStringList tried;
    for (const QString& photo : photos) {
        const QString file = QDir::cleanPath(QFileInfo(photo).absoluteFilePath());
        if (tried.contains(file))
            continue; // the shown and the stored photo are often one file
        tried << file;
        if (Status removed = removePhotoFile(photo); !removed)
            removal.leftFiles << removed.error();
    }
    return removal;
}

Result<Removal> clear(const Database& db)
{
    Result<QSqlQuery> deleted = db.run(QStringLiteral("DELETE FROM user"));
    if (!deleted)
        return deleted.failure();
    Removal removal;
    removal.rows = deleted->numRowsAffected();
    // The older file system matched "*.jpg" without regard to letter case; so does the clear.
    QDir folder(ProgramFolder::photoFolder());
    folder.setNameFilters({QStringLiteral("*.jpg")});
    folder.setFilter(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : folder.entryList()) {
        QFile file(folder.filePath(name));
        if (!file.remove())
            removal.leftFiles << QStringLiteral("%1：%2").arg(
                QDir::toNativeSeparators(file.fileName()), file.errorString());
    }
    return removal;
}

} // namespace MemberRecords
