#include "app/engine/postgres/LibPq.h"

#include "app/engine/EngineErrors.h"

#include <dlfcn.h>
#include <mutex>

namespace rp::engine {

namespace {

// The soname of Debian's libpq5 package; the interface has kept this number since PostgreSQL 8.2.
constexpr const char* LibPqName = "libpq.so.5";

} // namespace

const LibPq& libpq()
{
    static std::mutex guard;
    static LibPq functions;
    static bool loaded = false;
    const std::lock_guard<std::mutex> lock(guard);
    if (loaded) {
        return functions;
    }
    void* library = dlopen(LibPqName, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        throw serverConnectionFailed(QStringLiteral("libreria del client PostgreSQL non disponibile (%1): installare "
                                                    "il pacchetto libpq5.")
                                         .arg(QString::fromLocal8Bit(dlerror())));
    }
    LibPq candidate;
    bool complete = true;
#define REMINDER_LIBPQ_RESOLVE(name)                                                                                   \
    candidate.name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name));                                       \
    complete = complete && candidate.name != nullptr;
    REMINDER_LIBPQ_FUNCTIONS(REMINDER_LIBPQ_RESOLVE)
#undef REMINDER_LIBPQ_RESOLVE
    if (!complete) {
        dlclose(library);
        throw serverConnectionFailed(QStringLiteral("libreria del client PostgreSQL incompleta: %1").arg(LibPqName));
    }
    // Kept loaded for the life of the process: connections may outlive any one workspace.
    functions = candidate;
    loaded = true;
    return functions;
}

} // namespace rp::engine
