#pragma once

#include "Result.h"

#include <QString>
#include <QtGlobal>

// A ready-to-use program folder: a store with one operator, the default photo and members with
// photos of their own.
namespace DemoFolder {

extern const QString kOperator;
extern const QString kPassword;

Status create(const QString& folder, qint64 members);

} // namespace DemoFolder
