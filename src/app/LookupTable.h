#pragma once

#include <QString>
#include <memory>

namespace rp {

struct PopupContext;
namespace engine {
class Database;
}

// Opens a look-up table into LookupRs, offering Retry/Cancel for as long as the operator asks to retry.
// LookupOpenOk tells the outcome; nothing is raised.
void OpenLookupTable(PopupContext& ctx, const std::shared_ptr<engine::Database>& db, const QString& tableName,
                     const QString& label);

} // namespace rp
