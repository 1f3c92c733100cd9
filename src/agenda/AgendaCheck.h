#pragma once

#include "agenda/AgendaOptions.h"

namespace rp::agenda {

// reminder-agenda --check: reads the settings and the store once, as a look does, writes nothing, and tells on
// standard output what an operator or administrator needs to know why a reminder does or does not show. Returns the
// exit status: 0 when windows can be shown, 2 otherwise (the reasons on the last line).
int checkAgenda(const AgendaOptions& options);

} // namespace rp::agenda
