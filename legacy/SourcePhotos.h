#pragma once

#include "Result.h"

#include <QHash>
#include <QSet>
#include <QString>

// The files of the older register's photo folder. Its file system ignored letter case, so a
// name is found exactly when it can be and otherwise without regard to case.
class SourcePhotos
{
public:
    // Lists the folder's files; a folder that is not there holds none, one that cannot be read
    // is a failure.
    static Result<SourcePhotos> list(const QString& folder);

    // The path of the file of that name, or empty text when there is none. Marks it as used.
    QString find(const QString& name);
    // Files that no find() has asked for.
    qint64 unusedCount() const { return m_names.size() - m_used.size(); }

private:
    QString m_folder;
    QSet<QString> m_names;
    QHash<QString, QString> m_byFoldedName; // case-folded name -> the first such name, sorted
    QSet<QString> m_used;
};

// The file of that name in the folder, matched without regard to case when the exact name is
// missing; empty text when there is none.
QString findIgnoringCase(const QString& folder, const QString& name);
