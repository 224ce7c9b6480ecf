#pragma once

#include "Result.h"

#include <QString>

// Operator passwords are kept as Argon2id hashes. Rows written before hashing (plain text, as an
// imported store may hold) are still accepted.
namespace PasswordHash {

Result<QString> hash(const QString& password);
bool isHash(const QString& stored);
// Stored and typed passwords are compared with surrounding blanks removed, as sign-in always did.
bool matches(const QString& stored, const QString& typed);

} // namespace PasswordHash
