#pragma once

#include "Result.h"

class Database;

// The layout of a member store. Only the admin tool and tests create stores; the program itself
// never creates or alters tables.
namespace Schema {

// 2: members per gender are kept in user_gender_total.
constexpr int kVersion = 2;

Status create(const Database& db);

// For loading many members at once: drop the member indexes and triggers, and later make them
// again and recompute what they maintain (the counts and the address index).
Status suspendMemberIndexes(const Database& db);
Status restoreMemberIndexes(const Database& db);

} // namespace Schema
