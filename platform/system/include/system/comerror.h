#pragma once

#include <QString>

#include <cstdint>
#include <exception>
#include <new>

// A failure as the program's error handlers see it: a signed 32-bit number and a text.
// Every layer below a procedure's boundary throws this (or a type derived from it); the
// procedure catches it and hands number and description to its reporter.
class ComError : public std::exception
{
public:
    ComError(std::int32_t number, QString description)
        : m_number(number), m_description(std::move(description)), m_what(m_description.toUtf8())
    {
    }

    std::int32_t number() const noexcept { return m_number; }
    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    std::int32_t m_number;
    QString m_description;
    QByteArray m_what;
};

// Well-known numbers.
namespace ComErrorNumber {
constexpr std::int32_t E_Fail = -2147467259;           // 0x80004005
constexpr std::int32_t AuthFailed = -2147217843;       // 0x80040E4D, DB_SEC_E_AUTH_FAILED
constexpr std::int32_t PermissionDenied = -2147217911; // 0x80040E09, DB_SEC_E_PERMISSIONDENIED
constexpr std::int32_t AlreadyOpen = 3705;             // operation not allowed: object is open
constexpr std::int32_t InvalidProcedureCall = 5;
constexpr std::int32_t Overflow = 6;
constexpr std::int32_t OutOfMemory = 7;
constexpr std::int32_t TypeMismatch = 13;
} // namespace ComErrorNumber

// The number and text of any failure caught at a procedure's boundary: a ComError keeps its
// own; running out of memory is the runtime's error 7; anything else is an invalid call.
inline ComError comErrorOf(const std::exception& failure)
{
    if (const auto* error = dynamic_cast<const ComError*>(&failure))
        return *error;
    if (dynamic_cast<const std::bad_alloc*>(&failure))
        return ComError(ComErrorNumber::OutOfMemory, QStringLiteral("Out of memory"));
    return ComError(ComErrorNumber::InvalidProcedureCall, QString::fromUtf8(failure.what()));
}
