#pragma once

// Shared by the programs that add, edit and delete members through the member window: what the
// table and the photo folder hold, faults to provoke, and the messages shown meanwhile.

#include "DataRows.h"
#include "Database.h"
#include "Dialogs.h"
#include "Member.h"
#include "MemberGenerator.h"
#include "MemberTable.h"
#include "PhotoFiles.h"
#include "TestFolder.h"

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSet>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

namespace RecordTests {

// A member with every field filled, as an operator would type it.
inline Member person(const QString& name, const QString& telephone)
{
    Member m;
    m.xingming = name;
    m.xingbie = QStringLiteral("女");
    m.nianling = QStringLiteral("28");
    m.dianhua = telephone;
    m.qq = QStringLiteral("88886666");
    m.youxiang = QStringLiteral("member@example.com");
    m.dizhi = QStringLiteral("南京市鼓楼区中山路1号");
    return m;
}

// One row exactly as given; an id above 0 is written as the row's id. Answers the row's id.
inline qint64 insertRow(const TestFolder& folder, const Member& m)
{
    Database db = folder.open();
    const bool withId = m.id > 0;
    const QVariantList values = MemberTable::textValues(m);
    const Result<QSqlQuery> q =
        db.run(MemberTable::insertStatement(withId), withId ? QVariantList{m.id} + values : values);
    if (!q)
        qFatal("cannot add row: %s", qPrintable(q.error()));
    return withId ? m.id : q->lastInsertId().toLongLong();
}

inline QString photoPath(const TestFolder& folder, const QString& fileName)
{
    return folder.path(QStringLiteral("照片/") + fileName);
}

// Adds a member with a photo of its own in "照片", under its conventional file name unless
// `photoFile` names another; an id above 0 is kept.
inline Member addMember(const TestFolder& folder, const QString& name, const QString& telephone,
                        const QString& photoFile = {}, QColor colour = QColor(200, 60, 60),
                        qint64 id = 0)
{
    Member m = person(name, telephone);
    m.id = id;
    m.zhaopian = folder.makeJpeg(
        photoPath(folder, photoFile.isEmpty() ? name + "-" + telephone + ".jpg" : photoFile),
        QSize(30, 40), colour);
    m.id = insertRow(folder, m);
    return m;
}

// Every row of table user, lowest id first: the id, then the eight text columns.
inline QList<QStringList> tableRows(const TestFolder& folder)
{
    Database db = folder.open();
    QList<QStringList> rows;
    {
        // Named here, not taken from the store's own table description, so that a column mixed
        // up there shows.
        Result<QSqlQuery> q = db.run(QStringLiteral(
            "SELECT id, xingming, xingbie, nianling, dianhua, qq, youxiang, dizhi, zhaopian "
            "FROM user ORDER BY id"));
        if (!q)
            qFatal("cannot read table user: %s", qPrintable(q.error()));
        while (q->next()) {
            QStringList row;
            for (int c = 0; c < 9; ++c)
                row << q->value(c).toString();
            rows << row;
        }
    }
    return rows;
}
// The values a row should bring into the detail fields: the id and the seven texts.
inline QStringList fieldsOf(const Member& m)
{
    return QStringList{QString::number(m.id)} << m.xingming << m.xingbie << m.nianling << m.dianhua
                                              << m.qq << m.youxiang << m.dizhi;
}
// A member as tableRows() shows it.
inline QStringList rowOf(const Member& m)
{
    return fieldsOf(m) << m.zhaopian;
}
// The row with this id, or an empty list.
inline QStringList tableRow(const TestFolder& folder, qint64 id)
{
    for (const QStringList& row : tableRows(folder))
        if (row.first() == QString::number(id))
            return row;
    return {};
}

// Every entry of "照片", hidden ones included, by name.
inline QStringList photoFiles(const TestFolder& folder)
{
    return QDir(folder.path(QStringLiteral("照片")))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                   QDir::Name);
}
// A sorted folder listing after one file went and another came; either may be empty.
inline QStringList swapped(QStringList files, const QString& gone, const QString& added)
{
    files.removeAll(gone);
    if (!added.isEmpty() && !files.contains(added))
        files << added;
    files.sort();
    return files;
}
inline QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
// Writes bytes that no picture reader accepts.
inline QString writeNonPicture(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write("this is a shopping list, not a photo\n") < 0)
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Table and photo folder, every file with its bytes.
struct Snapshot
{
    QList<QStringList> rows;
    QStringList files;
    QList<QByteArray> contents;
};
inline Snapshot snapshot(const TestFolder& folder)
{
    Snapshot s;
    s.rows = tableRows(folder);
    s.files = photoFiles(folder);
    for (const QString& name : s.files)
        s.contents << bytesOf(photoPath(folder, name));
    return s;
}
// What differs between two snapshots, in words; empty when they agree.
inline QStringList differences(const Snapshot& before, const Snapshot& after)
{
    QStringList found;
    const auto shown = [](const QStringList& row) {
        return row.join(QLatin1Char(','));
    };
    for (qsizetype i = 0; i < qMax(before.rows.size(), after.rows.size()); ++i)
        if (before.rows.value(i) != after.rows.value(i))
            found << QStringLiteral("row [%1] became [%2]")
                         .arg(shown(before.rows.value(i)), shown(after.rows.value(i)));
    if (before.files != after.files || before.contents != after.contents)
        found << QStringLiteral("photo folder held [%1] and holds [%2], or their bytes changed")
                     .arg(shown(before.files), shown(after.files));
    return found;
}

// Rows whose photo file is missing or lies outside "照片", and files of "照片" that no row names.
inline QStringList photoMismatches(const TestFolder& folder)
{
    const QString photoFolder = QDir::cleanPath(folder.path(QStringLiteral("照片")));
    QStringList found;
    QSet<QString> named;
    for (const QStringList& row : tableRows(folder)) {
        const QFileInfo photo(row.at(8));
        if (QDir::cleanPath(photo.absolutePath()) != photoFolder)
            found << QStringLiteral("row %1 names %2 outside the photo folder")
                         .arg(row.first(), row.at(8));
        else if (!photo.isFile())
            found << QStringLiteral("row %1 names missing %2").arg(row.first(), photo.fileName());
        named.insert(photo.fileName());
    }
    for (const QString& file : photoFiles(folder))
        if (!named.contains(file))
            found << QStringLiteral("%1 belongs to no row").arg(file);
    return found;
}

// Generated members, each with a real JPEG at its conventional photo path.
inline void addGenerated(const TestFolder& folder, qint64 count)
{
    Database db = folder.open();
    const Status added = MemberGenerator::insert(db, count, [&folder](const Member& m) {
        return Result<QString>(folder.makeJpeg(PhotoFiles::memberPhotoPath(m.xingming, m.dianhua)));
    });
    if (!added)
        qFatal("cannot add members: %s", qPrintable(added.error()));
}
// A store holding `generated` members with photos, and the default photo.
inline void prepareStore(TestFolder& folder, qint64 generated = 0)
{
    folder.createStore();
    folder.makeDefaultPhoto();
    if (generated > 0)
        addGenerated(folder, generated);
}
inline QString defaultPhoto(const TestFolder& folder)
{
    return folder.path(QStringLiteral("模版照片/1.jpg"));
}

// A second connection holding the write lock until it goes out of scope.
class StoreLock
{
public:
    explicit StoreLock(const TestFolder& folder) : m_db(folder.open())
    {
        m_held = bool(m_db.run(QStringLiteral("BEGIN EXCLUSIVE")));
    }
    ~StoreLock()
    {
        if (m_held)
            static_cast<void>(m_db.run(QStringLiteral("ROLLBACK")));
    }
    bool held() const { return m_held; }

private:
    Database m_db;
    bool m_held = false;
};

// Takes write permission away from a folder until it goes out of scope. Root ignores permissions;
// effective() says whether the folder really refuses new files.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString& path) : m_path(path)
    {
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        // Root writes anyway; a probe tells whether the folder really refuses.
        QFile probe(QDir(path).filePath(QStringLiteral(".probe")));
        m_effective = !probe.open(QIODevice::WriteOnly);
        if (!m_effective) {
            probe.close();
            probe.remove();
        }
    }
    ~ReadOnlyFolder()
    {
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                          QFile::ExeOther);
    }
    bool effective() const { return m_effective; }

private:
    QString m_path;
    bool m_effective = false;
};

// Each message in one line: "text | title | icon | buttons". A critical box's text is cut after its
// first "：", with "…" standing for the details that follow, which name paths and engine texts.
inline QString line(const QString& text, const QString& title,
                    Dialogs::Icon icon = Dialogs::Icon::None,
                    Dialogs::Buttons buttons = Dialogs::Buttons::Ok)
{
    return QStringLiteral("%1 | %2 | icon %3 | buttons %4")
        .arg(text, title)
        .arg(int(icon))
        .arg(int(buttons));
}
// A critical box with OK whose text starts with `lead` (ending in "：") and goes on.
inline QString critical(const QString& lead, const QString& title = QStringLiteral("系统提示"))
{
    return line(lead + QStringLiteral("…"), title, Dialogs::Icon::Critical);
}

inline QString summary(const ScriptedDialogs::Call& call)
{
    QString text = call.text;
    const qsizetype colon = text.indexOf(QStringLiteral("："));
    if (call.icon == Dialogs::Icon::Critical && colon >= 0 && colon + 1 < text.size())
        text = text.left(colon + 1) + QStringLiteral("…");
    return line(text, call.title, call.icon, call.buttons);
}
inline QStringList summaries(const QList<ScriptedDialogs::Call>& calls)
{
    QStringList lines;
    for (const ScriptedDialogs::Call& call : calls)
        lines << summary(call);
    return lines;
}

} // namespace RecordTests
