#pragma once

#include "Result.h"

#include <QString>

class Database;

// Every member's e-mail address followed by ";", in the order the members were stored.
// Empty addresses keep their ";"; nothing is trimmed, sorted or de-duplicated.
namespace AddressText {

Result<QString> build(const Database& db);

} // namespace AddressText
