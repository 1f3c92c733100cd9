#pragma once

#include <QString>
#include <exception>
#include <string>

namespace rp {

// The program's one run-time error: a number and a description, as the operator sees them in message boxes.
// The numbers of the language-level errors are the classic ones the scheduling application's users know.
class RuntimeError : public std::exception
{
public:
    static constexpr int OverflowNumber = 6;
    static constexpr int DivisionByZeroNumber = 11;
    static constexpr int TypeMismatchNumber = 13;

    RuntimeError(int number, QString description);

    static RuntimeError overflow();
    static RuntimeError divisionByZero();
    static RuntimeError typeMismatch();

    int number() const { return m_number; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    int m_number;
    QString m_description;
    std::string m_what;
};

} // namespace rp
