#pragma once

#include "Member.h"
#include "Result.h"

#include <QList>
#include <QStringList>

#include <functional>

class Database;
class StagedPhoto;

// Changes to table user together with the members' photo files. Each change either happens
// whole, row and file, or leaves table and folder as they were.
namespace MemberRecords {

// How many members have exactly this telephone.
Result<qint64> countWithPhone(const Database& db, const QString& telephone);

// The ids of the rows holding this telephone; two at most, which is enough to tell whether
// only one record holds it.
Result<QList<qint64>> phoneHolders(const Database& db, const QString& telephone);

// Inserts the member with the staged photo as zhaopian; returns the new id.
Result<qint64> insert(const Database& db, const Member& member, StagedPhoto& photo);

// What a change did once its rows were written or gone: the photo files it could not delete,
// each as "path：why". The rows stay changed whatever happens to the files.
struct Removal
{
    qint64 rows = 0;
    QStringList leftFiles;
};

// Writes every column of row `member.id`, zhaopian being the staged photo's target, then deletes
// the `retired` photo files that no row names any more. When no row changed, the photo is not
// installed and nothing is deleted.
Result<Removal> update(const Database& db, const Member& member, StagedPhoto& photo,
                       const QStringList& retired = {});

// Deletes the row, then the given photo files that lie in the photo folder. A missing file is
// not an error.
Result<Removal> remove(const Database& db, qint64 id, const QStringList& photos);

// Empties table user, then deletes every ".jpg" file of the photo folder, in any letter case.
Result<Removal> clear(const Database& db);

// The stored photo path of a row, or an empty text when the row does not exist.
Result<QString> storedPhoto(const Database& db, qint64 id);

// Deletes a photo file left behind by a change, if it lies in the photo folder.
Status removePhotoFile(const QString& path);
// Deletes those of `files` that lie in the photo folder, are not `kept` and that no row names;
// returns the ones that could not be deleted, as "path：why".
QStringList retirePhotoFiles(const Database& db, const QStringList& files, const QString& kept);

namespace testing {
// Where a save with a photo can be cut short; tests end the program at each.
enum class SaveStep { Noted, PhotoInstalled };
// Called at each step, before the row is committed.
extern std::function<void(SaveStep)> atStep;
} // namespace testing

} // namespace MemberRecords
