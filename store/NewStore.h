#pragma once

#include "Result.h"

#include <QString>

// A new, empty store with its first operator, as the admin tool's init and the first-start
// window make it.
namespace NewStore {

// The rules for the first operator: a name, a password that is not blank, typed the same twice.
// The reason comes back in words when they refuse.
Status checkOperator(const QString& name, const QString& password, const QString& again);

// Makes folder/hd.db with one operator (the name trimmed). The store is built under another name
// and appears whole or not at all; a folder that holds hd.db already is refused.
Status create(const QString& folder, const QString& name, const QString& password);

} // namespace NewStore
