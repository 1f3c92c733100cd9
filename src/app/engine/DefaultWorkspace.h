#pragma once

#include <QString>
#include <memory>

namespace rp::engine {

class Workspace;

// The one place that chooses the engine, above both of them: a blank server connection is the embedded store of
// database files, any other text a libpq connection string for the office server. One workspace per process and
// store, created on first use and shared by all three databases while anyone holds it.
std::shared_ptr<Workspace> defaultWorkspace(const QString& serverConnection = {});

} // namespace rp::engine
