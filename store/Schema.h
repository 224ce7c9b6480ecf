#pragma once

#include "Result.h"

class Database;

// The layout of a member store. Only the admin tool and tests create stores; the program itself
// never creates or alters tables.
namespace Schema {

constexpr int kVersion = 1;

Status create(const Database& db);

} // namespace Schema
