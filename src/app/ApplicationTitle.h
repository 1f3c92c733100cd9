#pragma once

#include <QString>

namespace rp {

// The application's own title, used by the load error box and the unhandled-error message.
inline QString applicationTitle()
{
    return QStringLiteral("Promemoria appuntamenti");
}

} // namespace rp
