#pragma once

// Shared by the programs that add, edit and delete members through the member window: what the
// table and the photo folder hold, faults to provoke, and the messages shown meanwhile.

#include "Database.h"
#include "Dialogs.h"
#include "Member.h"
#include "TestFolder.h"

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

namespace RecordTests {

// A member with every field filled, as an operator would type it.
Member person(const QString& name, const QString& telephone);

// One row exactly as given; an id above 0 is written as the row's id. Answers the row's id.
qint64 insertRow(const TestFolder& folder, const Member& member);

// Adds a member with a photo of its own in "照片", under its conventional file name unless
// `photoFile` names another; an id above 0 is kept.
Member addMember(const TestFolder& folder, const QString& name, const QString& telephone,
                 const QString& photoFile = {}, QColor colour = QColor(200, 60, 60), qint64 id = 0);

// Every row of table user, lowest id first: the id, then the eight text columns.
QList<QStringList> tableRows(const TestFolder& folder);
// The values a row should bring into the detail fields: the id and the seven texts.
inline QStringList fieldsOf(const Member& m)
{
    return QStringList{QString::number(m.id)} << m.xingming << m.xingbie << m.nianling << m.dianhua
                                              << m.qq << m.youxiang << m.dizhi;
}
// A member as tableRows() shows it.
QStringList rowOf(const Member& member);
// The row with this id, or an empty list.
QStringList tableRow(const TestFolder& folder, qint64 id);

// Every entry of "照片", hidden ones included, by name.
QStringList photoFiles(const TestFolder& folder);
QString photoPath(const TestFolder& folder, const QString& fileName);
// A sorted folder listing after one file went and another came; either may be empty.
QStringList swapped(QStringList files, const QString& gone, const QString& added);
QByteArray bytesOf(const QString& path);
// Writes bytes that no picture reader accepts.
QString writeNonPicture(const QString& path);

// Table and photo folder, every file with its bytes.
struct Snapshot
{
    QList<QStringList> rows;
    QStringList files;
    QList<QByteArray> contents;
};
Snapshot snapshot(const TestFolder& folder);
// What differs between two snapshots, in words; empty when they agree.
QStringList differences(const Snapshot& before, const Snapshot& after);

// Rows whose photo file is missing or lies outside "照片", and files of "照片" that no row names.
QStringList photoMismatches(const TestFolder& folder);

// Generated members, each with a real JPEG at its conventional photo path.
void addGenerated(const TestFolder& folder, qint64 count);
// A store holding `generated` members with photos, and the default photo.
void prepareStore(TestFolder& folder, qint64 generated = 0);
QString defaultPhoto(const TestFolder& folder);

// A second connection holding the write lock until it goes out of scope.
class StoreLock
{
public:
    explicit StoreLock(const TestFolder& folder);
    ~StoreLock();
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
    explicit ReadOnlyFolder(const QString& path);
    ~ReadOnlyFolder();
    bool effective() const { return m_effective; }

private:
    QString m_path;
    bool m_effective = false;
};

// Each message in one line: "text | title | icon | buttons". A critical box's text is cut after its
// first "：", with "…" standing for the details that follow, which name paths and engine texts.
QStringList summaries(const QList<ScriptedDialogs::Call>& calls);
QString line(const QString& text, const QString& title, Dialogs::Icon icon = Dialogs::Icon::None,
             Dialogs::Buttons buttons = Dialogs::Buttons::Ok);
// A critical box with OK whose text starts with `lead` (ending in "：") and goes on.
QString critical(const QString& lead, const QString& title = QStringLiteral("系统提示"));

} // namespace RecordTests
