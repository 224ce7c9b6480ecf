#pragma once

#include "Result.h"
#include "Snapshots.h"

#include <QString>
#include <QStringList>

// Putting a snapshot back in place of the program folder's store and "照片".
namespace Restore {

struct Outcome
{
    Snapshots::Info restored;
    Snapshots::Info before; // the snapshot of the state it replaced
};

// Refuses while a copy of the program runs on `root`. Takes a snapshot of the present state,
// builds the store and "照片" of snapshot `name` aside and moves them into place; a restore
// that fails leaves the present state.
Result<Outcome> run(const QString& root, const QString& name);

// Puts back or completes what a restore that was cut short left, and removes unfinished
// snapshots. Only while no copy of the program runs. Answers what could not be put right.
QStringList tidyUp(const QString& root);

} // namespace Restore
