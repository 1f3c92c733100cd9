#pragma once

#include <QString>
#include <QtGlobal>
#include <stdexcept>

namespace rp::suite {

// Where the suite finds the project's files and the state of the shared PostgreSQL cluster: in the environment,
// which main takes from the file the build writes next to the executable. Compiled in, the paths of one checkout
// would make every clone's objects differ for the compiler cache.
inline QString pathFromEnvironment(const char* name)
{
    const QString path = qEnvironmentVariable(name);
    if (path.isEmpty()) {
        throw std::runtime_error(std::string(name) +
                                 " is not set (the build writes it into reminder_tests.env next to the suite)");
    }
    return path;
}

inline QString sourceDir()
{
    return pathFromEnvironment("REMINDER_SOURCE_DIR");
}

inline QString pgStateFile()
{
    return pathFromEnvironment("REMINDER_PG_STATE");
}

} // namespace rp::suite
