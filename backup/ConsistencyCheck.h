#pragma once

#include "Result.h"

#include <QList>
#include <QString>
#include <QStringList>

// What in the program folder does not fit together: the store, its rows and the photo files.
namespace ConsistencyCheck {

enum class Kind {
    Integrity,       // the store's own integrity check
    MissingPhoto,    // a row names a photo file that is not there
    OutsidePhoto,    // a row's zhaopian lies outside "照片"
    UnnamedPhoto,    // a file in "照片" that no row names
    UnreadablePhoto, // a file in "照片" that is not a readable picture
    SharedPhone,     // one telephone held by several members
    Leftover,        // a temporary file or folder of a save, snapshot or restore cut short
};

struct Problem
{
    Kind kind;
    QString text;
};

struct Report
{
    QList<Problem> problems;
    QStringList repairs;           // what the repair did
    bool leftoversSkipped = false; // a running program's files in hand look like leftovers
    qsizetype count(Kind kind) const;
    QStringList lines() const;
};

// Checks the program folder (ProgramFolder::root()). With `repair`, first finishes or undoes
// interrupted saves and restores and removes their temporary files, points rows at their
// conventional photo file where it exists and no row names it, and moves files no row names
// into a folder under "备份"; member texts are never changed. The report then lists what is
// still wrong. Repair refuses while the program runs on the folder.
Result<Report> run(bool repair);

} // namespace ConsistencyCheck
