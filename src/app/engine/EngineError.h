#pragma once

#include "common/RuntimeError.h"

namespace rp::engine {

// Stable numbers for the store's own failures. They follow the numbers the desktop database engine of the
// scheduling application used, for its files and for its server connections, so that operators and support
// staff recognise them. Their Italian texts are in EngineErrors.cpp.
enum EngineErrorNumber : int
{
    FileNotFound = 3024,
    NotADatabase = 3343,
    TableNotFound = 3078,
    IndexNotFound = 3800,
    FieldNotFound = 3265,
    NoCurrentRecord = 3021,
    RowChangedByAnotherUser = 3197,
    RowDeletedByAnotherUser = 3167,
    DatabaseLocked = 3260,
    UpdateWithoutEdit = 3020,
    CursorClosed = 3420,
    ValueNotAccepted = 3163,
    ReadOnlyDatabase = 3027,
    EngineFailure = 3000,
    InvalidArgument = 3001,
    NoCurrentIndex = 3019,
    FileNotAccessible = 3051,
    InvalidName = 3125,
    NoPermission = 3033,
    ServerConnectionFailed = 3151,
    ServerFailure = 3146,
};

} // namespace rp::engine
