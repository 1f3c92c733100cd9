#include "common/RuntimeError.h"

namespace rp {

RuntimeError::RuntimeError(int number, QString description)
    : m_number(number), m_description(std::move(description)),
      m_what(QStringLiteral("%1 - %2").arg(number).arg(m_description).toStdString())
{
}

RuntimeError RuntimeError::overflow()
{
    return RuntimeError(OverflowNumber, QStringLiteral("Overflow"));
}

RuntimeError RuntimeError::divisionByZero()
{
    return RuntimeError(DivisionByZeroNumber, QStringLiteral("Divisione per zero"));
}

RuntimeError RuntimeError::typeMismatch()
{
    return RuntimeError(TypeMismatchNumber, QStringLiteral("Tipo non corrispondente"));
}

} // namespace rp
