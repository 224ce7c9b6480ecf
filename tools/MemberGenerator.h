#pragma once

#include "Member.h"
#include "Result.h"

#include <QtGlobal>

#include <functional>

class Database;

// Made-up members for demos, tests and benchmarks. The same number always gives the same member,
// and telephones are unique, so runs can be compared.
namespace MemberGenerator {

Member make(qint64 number);

// The photo path to store for a member; may also write the file.
using PhotoWriter = std::function<Result<QString>(const Member&)>;

// Inserts members number 1..count in one transaction, oldest first.
Status insert(const Database& db, qint64 count, const PhotoWriter& photoFor);

} // namespace MemberGenerator
