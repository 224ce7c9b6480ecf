#pragma once

#include "Result.h"

#include <QString>

class QWidget;

// Snapshots taken from a window: the work runs in a thread of its own with its own connection,
// and a progress dialog shows when it lasts, so the window never freezes.
namespace SnapshotProgress {

enum class Kind { BeforeClear, Daily };

// Takes a snapshot of the program folder; answers its folder name.
Result<QString> take(QWidget* parent, Kind kind);

// The daily snapshot, unless one was taken today already. A failure is shown as a warning and
// does not stand in the way of the work.
void takeDailyIfDue(QWidget* parent);

} // namespace SnapshotProgress
