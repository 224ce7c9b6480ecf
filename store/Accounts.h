#pragma once

#include "Result.h"

#include <QString>
#include <QtGlobal>

class Database;

// Operator accounts of table admin.
namespace Accounts {

enum class Verdict : quint8 {
    NoSuchUser = 0,
    WrongPassword = 1,
    Match = 2,
    Failed = 255,
};

// The first account of that name decides; the store compares names, the password is exact.
Result<Verdict> verify(const Database& db, const QString& name, const QString& password);

// Replaces the password of every account of that name; returns how many rows changed.
Result<qint64> changePassword(const Database& db, const QString& name, const QString& password);

Status add(const Database& db, const QString& name, const QString& password);

} // namespace Accounts
