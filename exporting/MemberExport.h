#pragma once

#include "Listing.h"
#include "Result.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <atomic>
#include <functional>
#include <optional>

class Database;

// Writing a member listing, every row of it in its order, to an Excel or CSV file with the grid's
// column captions.
namespace MemberExport {

enum class Format { Excel, Csv };

struct Options
{
    // The grid's id and photo path columns, which operators rarely want in a list to hand on.
    bool withId = false;
    bool withPhoto = false;
};

// Called every few hundred members with the members written so far and the listing's count.
using ProgressNotice = std::function<void(qint64 done, qint64 total)>;

// The format that a file name's ending asks for (.xlsx or .csv, in any letter case).
std::optional<Format> formatFor(const QString& file);

// The grid's columns an export writes, in the grid's order, and their captions without the
// blanks that centre them in the grid.
QList<int> columns(Options options);
QStringList captions(Options options);

// Writes the listing to `file`, replacing a file of that name only once the new one is complete.
// Answers the number of members written. A failure, or `cancel` turning true, leaves no file
// under the name, and a file that stood there before stays as it was.
Result<qint64> run(const Database& db, const Listing& listing, const QString& file, Format format,
                   Options options = {}, const ProgressNotice& progress = {},
                   const std::atomic<bool>* cancel = nullptr);

} // namespace MemberExport
