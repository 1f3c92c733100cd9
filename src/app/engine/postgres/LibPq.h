#pragma once

#include <libpq-fe.h>

namespace rp::engine {

// The functions of libpq the office store uses. libpq, with the TLS, Kerberos and LDAP libraries behind it, added
// about 8 ms to the start-up of every pop-up when the program was linked to it (measured with --version), and
// only an office on a server needs it: it is loaded on the first connection.
#define REMINDER_LIBPQ_FUNCTIONS(X)                                                                                    \
    X(PQclear)                                                                                                         \
    X(PQcmdStatus)                                                                                                     \
    X(PQcmdTuples)                                                                                                     \
    X(PQconnectPoll)                                                                                                   \
    X(PQconnectStartParams)                                                                                            \
    X(PQconninfoFree)                                                                                                  \
    X(PQconninfoParse)                                                                                                 \
    X(PQconsumeInput)                                                                                                  \
    X(PQcopyResult)                                                                                                    \
    X(PQenterPipelineMode)                                                                                             \
    X(PQerrorMessage)                                                                                                  \
    X(PQescapeIdentifier)                                                                                              \
    X(PQexitPipelineMode)                                                                                              \
    X(PQfinish)                                                                                                        \
    X(PQfreemem)                                                                                                       \
    X(PQgetResult)                                                                                                     \
    X(PQgetisnull)                                                                                                     \
    X(PQgetlength)                                                                                                     \
    X(PQgetvalue)                                                                                                      \
    X(PQisBusy)                                                                                                        \
    X(PQnfields)                                                                                                       \
    X(PQntuples)                                                                                                       \
    X(PQpipelineSync)                                                                                                  \
    X(PQresultErrorField)                                                                                              \
    X(PQresultStatus)                                                                                                  \
    X(PQsendQueryParams)                                                                                               \
    X(PQsetErrorVerbosity)                                                                                             \
    X(PQsocket)                                                                                                        \
    X(PQstatus)                                                                                                        \
    X(PQtransactionStatus)

struct LibPq
{
#define REMINDER_LIBPQ_POINTER(name) decltype(&::name) name = nullptr;
    REMINDER_LIBPQ_FUNCTIONS(REMINDER_LIBPQ_POINTER)
#undef REMINDER_LIBPQ_POINTER
};

// Loaded once; raises ServerConnectionFailed when libpq is not installed.
const LibPq& libpq();

} // namespace rp::engine
