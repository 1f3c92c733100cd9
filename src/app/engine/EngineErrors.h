#pragma once

#include "app/engine/EngineError.h"

#include <QString>

namespace rp::engine {

// The store's failures as the operator reads them: one number and one Italian text each, the same on both
// engines. `detail` is the engine's own message (with the server's SQLSTATE), kept because it is what support
// staff search for.
RuntimeError engineError(EngineErrorNumber number, const QString& description);

RuntimeError fileNotFound(const QString& path);
RuntimeError schemaNotFound(const QString& schema);
RuntimeError invalidName(const QString& name, const QString& why);
RuntimeError tableNotFound(const QString& table);
RuntimeError indexNotFound(const QString& index, const QString& table);
RuntimeError expressionIndex(const QString& index, const QString& table);
RuntimeError noPrimaryKey(const QString& index, const QString& table);
RuntimeError fieldNotFound(const QString& field, const QString& table);
RuntimeError noDatabaseFor(const QString& table);
RuntimeError noCurrentIndex(const QString& table);
RuntimeError comparisonNotAllowed(const QString& comparison);
RuntimeError keyCountMismatch(const QString& index, const QString& table, std::size_t expected, std::size_t given);
RuntimeError noCurrentRecord();
RuntimeError cursorClosed(const QString& table);
RuntimeError updateWithoutEdit();
RuntimeError nullNotAccepted(const QString& field, const QString& table);
RuntimeError valueNotAccepted(const QString& table, const QString& detail);
RuntimeError rowChangedByAnotherUser(const QString& table);
RuntimeError rowDeletedByAnotherUser(const QString& table);
RuntimeError databaseLocked(const QString& database, const QString& detail);
RuntimeError permissionDenied(const QString& database, const QString& detail);
RuntimeError readOnlyDatabase(const QString& database, const QString& detail);
RuntimeError serverConnectionFailed(const QString& detail);
RuntimeError serverConnectionLost(const QString& detail);
RuntimeError serverNotAnswering(int seconds);
RuntimeError serverFailure(const QString& database, const QString& detail);

// The seek's arguments, checked alike by both engines before any store access.
void checkSeekArguments(const QString& comparison, const QString& index, const QString& table, std::size_t expected,
                        std::size_t given);

} // namespace rp::engine
