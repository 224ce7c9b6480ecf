#pragma once

#include "Result.h"

class Database;

// The layout of a member store. Only the admin tool and tests create stores; the program itself
// never creates or alters tables.
namespace Schema {

constexpr int kVersion = 1;

Status create(const Database& db);

// For loading many members at once: drop the member indexes and triggers, and later make them
// again and recompute what they maintain (the count and the address index).
Status suspendMemberIndexes(const Database& db);
Status restoreMemberIndexes(const Database& db);

} // namespace Schema
