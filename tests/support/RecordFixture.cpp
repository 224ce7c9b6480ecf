#include "RecordFixture.h"

#include "MemberGenerator.h"
#include "MemberTable.h"
#include "PhotoFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlQuery>

namespace RecordTests {

Member person(const QString& name, const QString& telephone)
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

qint64 insertRow(const TestFolder& folder, const Member& m)
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

Member addMember(const TestFolder& folder, const QString& name, const QString& telephone,
                 const QString& photoFile, QColor colour, qint64 id)
{
    Member m = person(name, telephone);
    m.id = id;
    m.zhaopian = folder.makeJpeg(
        photoPath(folder, photoFile.isEmpty() ? name + "-" + telephone + ".jpg" : photoFile),
        QSize(30, 40), colour);
    m.id = insertRow(folder, m);
    return m;
}

QStringList rowOf(const Member& m)
{
    return fieldsOf(m) << m.zhaopian;
}

QList<QStringList> tableRows(const TestFolder& folder)
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

QStringList tableRow(const TestFolder& folder, qint64 id)
{
    for (const QStringList& row : tableRows(folder))
        if (row.first() == QString::number(id))
            return row;
    return {};
}

QStringList photoFiles(const TestFolder& folder)
{
    return QDir(folder.path(QStringLiteral("照片")))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                   QDir::Name);
}

QString photoPath(const TestFolder& folder, const QString& fileName)
{
    return folder.path(QStringLiteral("照片/") + fileName);
}

QStringList swapped(QStringList files, const QString& gone, const QString& added)
{
    files.removeAll(gone);
    if (!added.isEmpty() && !files.contains(added))
        files << added;
    files.sort();
    return files;
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString writeNonPicture(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write("this is a shopping list, not a photo\n") < 0)
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

Snapshot snapshot(const TestFolder& folder)
{
    Snapshot s;
    s.rows = tableRows(folder);
    s.files = photoFiles(folder);
    for (const QString& name : s.files)
        s.contents << bytesOf(photoPath(folder, name));
    return s;
}

QStringList differences(const Snapshot& before, const Snapshot& after)
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

QStringList photoMismatches(const TestFolder& folder)
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

void prepareStore(TestFolder& folder, qint64 generated)
{
    folder.createStore();
    folder.makeDefaultPhoto();
    if (generated > 0)
        addGenerated(folder, generated);
}

void addGenerated(const TestFolder& folder, qint64 count)
{
    Database db = folder.open();
    const Status added = MemberGenerator::insert(db, count, [&folder](const Member& m) {
        return Result<QString>(folder.makeJpeg(PhotoFiles::memberPhotoPath(m.xingming, m.dianhua)));
    });
    if (!added)
        qFatal("cannot add members: %s", qPrintable(added.error()));
}

QString defaultPhoto(const TestFolder& folder)
{
    return folder.path(QStringLiteral("模版照片/1.jpg"));
}

StoreLock::StoreLock(const TestFolder& folder) : m_db(folder.open())
{
    m_held = bool(m_db.run(QStringLiteral("BEGIN EXCLUSIVE")));
}

StoreLock::~StoreLock()
{
    if (m_held)
        m_db.run(QStringLiteral("ROLLBACK"));
}

ReadOnlyFolder::ReadOnlyFolder(const QString& path) : m_path(path)
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

ReadOnlyFolder::~ReadOnlyFolder()
{
    QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                      QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                      QFile::ExeOther);
}

QString line(const QString& text, const QString& title, Dialogs::Icon icon,
             Dialogs::Buttons buttons)
{
    return QStringLiteral("%1 | %2 | icon %3 | buttons %4")
        .arg(text, title)
        .arg(int(icon))
        .arg(int(buttons));
}

QString critical(const QString& lead, const QString& title)
{
    return line(lead + QStringLiteral("…"), title, Dialogs::Icon::Critical);
}

namespace {

QString summary(const ScriptedDialogs::Call& call)
{
    QString text = call.text;
    const qsizetype colon = text.indexOf(QStringLiteral("："));
    if (call.icon == Dialogs::Icon::Critical && colon >= 0 && colon + 1 < text.size())
        text = text.left(colon + 1) + QStringLiteral("…");
    return line(text, call.title, call.icon, call.buttons);
}

} // namespace

QStringList summaries(const QList<ScriptedDialogs::Call>& calls)
{
    QStringList lines;
    for (const ScriptedDialogs::Call& call : calls)
        lines << summary(call);
    return lines;
}

} // namespace RecordTests
