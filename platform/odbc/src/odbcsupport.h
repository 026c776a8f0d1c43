#pragma once

// The ODBC C API side of the connection and record set: handles, wide strings, the
// diagnostic records and the failure numbers derived from them.

#include <odbc/errors.h>

#include <QList>
#include <QString>

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

namespace OdbcSupport {

// The source every diagnostic record carries.
inline QString errorSource()
{
    return QStringLiteral("ODBC Provider");
}

// An ODBC handle freed with its owner.
class Handle
{
public:
    Handle() = default;
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    // Returns the ODBC result; the handle stays null when the allocation fails.
    SQLRETURN allocate(SQLSMALLINT type, SQLHANDLE parent);
    void reset() noexcept;
    SQLHANDLE get() const { return m_handle; }
    SQLSMALLINT type() const { return m_type; }
    explicit operator bool() const { return m_handle != SQL_NULL_HANDLE; }

private:
    SQLSMALLINT m_type = 0;
    SQLHANDLE m_handle = SQL_NULL_HANDLE;
};

// UTF-16 text for the wide ODBC calls and back.
inline SQLWCHAR* wide(const QString& text)
{
    return const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(text.utf16()));
}
inline QString fromWide(const SQLWCHAR* text, qsizetype length)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length);
}

// The diagnostic records of a handle, in order, with Number 0.
QList<AdoError> diagnostics(const Handle& handle);

// The failure number of a login (SQLConnect / SQLDriverConnect) from its diagnostics.
std::int32_t connectFailureNumber(const QList<AdoError>& records);
// The failure number of a statement (execute / fetch) from its diagnostics.
std::int32_t statementFailureNumber(const QList<AdoError>& records);

// The Errors collection of a connection.
class ErrorList : public AdoErrors
{
public:
    int Count() const override { return static_cast<int>(m_items.size()); }
    AdoError Item(int index) const override;
    void Clear() override { m_items.clear(); }

    void set(QList<AdoError> items) { m_items = std::move(items); }

private:
    QList<AdoError> m_items;
};

// Puts the handle's diagnostics into `errors`, numbered by `number` (one of the two
// functions above), and throws the ComError that the first record describes.
using FailureNumber = std::int32_t (*)(const QList<AdoError>&);
[[noreturn]] void fail(ErrorList& errors, const Handle& handle, FailureNumber number,
                       const QString& fallback);

// Puts the warnings of a call that succeeded with information into `errors`.
void keepWarnings(ErrorList& errors, const Handle& handle);

} // namespace OdbcSupport
