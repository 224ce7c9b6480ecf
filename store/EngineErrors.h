#pragma once

#include <QString>

class QSqlError;

// The database engine speaks English; the operator reads Chinese. Known engine failures are
// said in Chinese by their result code, anything else keeps the engine's own words.
namespace EngineErrors {

QString describe(int resultCode, const QString& engineText);
QString describe(const QSqlError& error);

} // namespace EngineErrors
