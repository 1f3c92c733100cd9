#pragma once

#include "app/engine/EngineError.h"

#include <QString>

struct sqlite3;

namespace rp::engine {

// Turns an SQLite result code into the engine's error. `file` names the database in the description;
// `table` (optional) names the table a refused value was meant for. SQLite's own text is kept in brackets
// because it is what support staff search for.
RuntimeError sqliteFailure(sqlite3* db, int resultCode, const QString& file, const QString& table = {});

// An SQL identifier in double quotes, embedded quotes doubled: table and column names come from outside.
QString quotedIdentifier(const QString& name);

} // namespace rp::engine
