#include "SaveJournal.h"

#include "Database.h"
#include "MemberRecords.h"
#include "MemberTable.h"
#include "PhotoFiles.h"
#include "StagedPhoto.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>

namespace {

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString storeFolder(const Database& db)
{
    return QFileInfo(db.file()).absolutePath();
}

// Whether row `id` holds exactly the noted columns, i.e. the noted save was committed. A save
// that changed nothing but the photo reads as committed, which leaves the row as it is either way.
Result<bool> rowIsCommitted(const Database& db, const QJsonObject& note)
{
    Result<QSqlQuery> q =
        db.run(QStringLiteral("SELECT %1 FROM user WHERE id = ?").arg(MemberTable::textColumns()),
               {note.value(QLatin1String("id")).toInteger()});
    if (!q)
        return q.failure();
    if (!q->next())
        return false;
    const QJsonArray columns = note.value(QLatin1String("columns")).toArray();
    for (int i = 0; i < 8; ++i) {
        if (q->value(i).toString() != columns.at(i).toString())
            return false;
    }
    return true;
}

bool removeIfThere(const QString& path)
{
    return !QFileInfo::exists(path) || QFile::remove(path);
}

QStringList retiredFiles(const QJsonObject& note)
{
    QStringList files;
    for (const QJsonValue& file : note.value(QLatin1String("retired")).toArray())
        files << file.toString();
    return files;
}

Status settleRemoval(const Database& db, const QJsonObject& note, SaveJournal::Recovery& recovery)
{
    Result<QSqlQuery> q = db.run(QStringLiteral("SELECT count(*) FROM user WHERE id = ?"),
                                 {note.value(QLatin1String("id")).toInteger()});
    if (!q)
        return q.failure();
    if (q->next() && q->value(0).toLongLong() == 0) {
        recovery.problems << MemberRecords::retirePhotoFiles(db, retiredFiles(note), {});
        ++recovery.finished;
    }
    return {};
}

Status writeNote(const Database& db, const QJsonObject& note, QString& written)
{
    Result<QString> file = PhotoFiles::temporaryBeside(db.file(), QStringLiteral("save"));
    if (!file)
        return file.failure();
    QFile out(file.value());
    const QByteArray text = QJsonDocument(note).toJson(QJsonDocument::Compact);
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.flush()) {
        const QString why = out.errorString();
        out.close();
        QFile::remove(file.value());
        return Failure{QStringLiteral("无法写入文件 %1：%2").arg(shown(file.value()), why)};
    }
    written = file.value();
    return {};
}

// Completes the noted save when its row is committed, otherwise puts its files back.
Status settle(const Database& db, const QJsonObject& note, SaveJournal::Recovery& recovery)
{
    if (note.value(QLatin1String("kind")).toString() == QLatin1String("remove"))
        return settleRemoval(db, note, recovery);
    const QString target = note.value(QLatin1String("target")).toString();
    const QString staged = note.value(QLatin1String("staged")).toString();
    const QString backup = note.value(QLatin1String("backup")).toString();
    Result<bool> committed = rowIsCommitted(db, note);
    if (!committed)
        return committed.failure();
    // The staged file gone means it had become the target, which no committed row names.
    const bool installed = !QFileInfo::exists(staged);
    bool clean = removeIfThere(staged);
    if (committed.value()) {
        clean = removeIfThere(backup) && clean;
        recovery.problems << MemberRecords::retirePhotoFiles(db, retiredFiles(note), target);
        ++recovery.finished;
    } else {
        if (installed)
            clean = removeIfThere(target) && clean;
        if (QFileInfo::exists(backup))
            clean = PhotoFiles::renameOver(backup, target) && clean;
        ++recovery.undone;
    }
    if (!clean)
        return Failure{QStringLiteral("无法还原照片文件 %1").arg(shown(target))};
    return {};
}

} // namespace

Result<SaveJournal> SaveJournal::write(const Database& db, qint64 rowId,
                                       const QVariantList& columns, const StagedPhoto& photo,
                                       const QStringList& retired)
{
    QJsonObject note;
    note.insert(QLatin1String("id"), rowId);
    note.insert(QLatin1String("columns"), QJsonArray::fromVariantList(columns));
    note.insert(QLatin1String("target"), photo.target());
    note.insert(QLatin1String("staged"), photo.staged());
    note.insert(QLatin1String("backup"), photo.backup());
    note.insert(QLatin1String("retired"), QJsonArray::fromStringList(retired));
    QString file;
    if (Status written = writeNote(db, note, file); !written)
        return written.failure();
    return SaveJournal(file);
}

Result<SaveJournal> SaveJournal::writeRemoval(const Database& db, qint64 rowId,
                                              const QStringList& photos)
{
    QJsonObject note;
    note.insert(QLatin1String("kind"), QStringLiteral("remove"));
    note.insert(QLatin1String("id"), rowId);
    note.insert(QLatin1String("retired"), QJsonArray::fromStringList(photos));
    QString file;
    if (Status written = writeNote(db, note, file); !written)
        return written.failure();
    return SaveJournal(file);
}

SaveJournal::SaveJournal(SaveJournal&& other) noexcept : m_file(std::move(other.m_file))
{
    other.m_file.clear();
}

SaveJournal::~SaveJournal()
{
    if (!m_file.isEmpty())
        QFile::remove(m_file);
}

SaveJournal::Recovery SaveJournal::recover(const Database& db, const QStringList& folders)
{
    Recovery recovery;
    QStringList kept; // files of notes that could not be settled stay for the next start
    QDir notes(storeFolder(db), PhotoFiles::kTemporaryPrefix + QStringLiteral("save-*"), QDir::Name,
               QDir::Files | QDir::Hidden);
    for (const QFileInfo& info : notes.entryInfoList()) {
        QFile file(info.filePath());
        const QJsonObject note = file.open(QIODevice::ReadOnly)
                                     ? QJsonDocument::fromJson(file.readAll()).object()
                                     : QJsonObject();
        file.close();
        // A note cut off while it was written: its save had not yet moved any photo file.
        if (!note.isEmpty()) {
            if (Status settled = settle(db, note, recovery); !settled) {
                recovery.problems << settled.error();
                kept << note.value(QLatin1String("staged")).toString()
                     << note.value(QLatin1String("backup")).toString();
                continue;
            }
        }
        if (!QFile::remove(info.filePath()))
            recovery.problems << QStringLiteral("无法删除文件 %1").arg(shown(info.filePath()));
    }
    for (const QString& folder : folders) {
        QDir dir(folder, PhotoFiles::kTemporaryPrefix + QLatin1Char('*'), QDir::Name,
                 QDir::Files | QDir::Hidden);
        for (const QFileInfo& info : dir.entryInfoList()) {
            if (kept.contains(info.absoluteFilePath()))
                continue;
            if (QFile::remove(info.filePath()))
                ++recovery.leftovers;
            else
                recovery.problems << QStringLiteral("无法删除文件 %1").arg(shown(info.filePath()));
        }
    }
    return recovery;
}
