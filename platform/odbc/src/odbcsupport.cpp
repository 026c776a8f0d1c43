#include "odbcsupport.h"

#include <system/comerror.h>

#include <odbc/connection.h>

#include <QRegularExpression>

namespace OdbcSupport {

SQLRETURN Handle::allocate(SQLSMALLINT type, SQLHANDLE parent)
{
    reset();
    m_type = type;
    const SQLRETURN result = SQLAllocHandle(type, parent, &m_handle);
    if (!SQL_SUCCEEDED(result))
        m_handle = SQL_NULL_HANDLE;
    return result;
}

void Handle::reset() noexcept
{
    if (m_handle != SQL_NULL_HANDLE)
        SQLFreeHandle(m_type, m_handle);
    m_handle = SQL_NULL_HANDLE;
}

QList<AdoError> diagnostics(const Handle& handle)
{
    QList<AdoError> records;
    if (!handle)
        return records;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        QList<SQLWCHAR> message(512);
        SQLSMALLINT length = 0;
        SQLRETURN result = SQLGetDiagRecW(handle.type(), handle.get(), record, state, &native,
                                          message.data(), SQLSMALLINT(message.size()), &length);
        if (result == SQL_SUCCESS_WITH_INFO && length >= message.size()) {
            // A longer message than the first buffer: ask again with room for all of it.
            message.resize(length + 1);
            result = SQLGetDiagRecW(handle.type(), handle.get(), record, state, &native,
                                    message.data(), SQLSMALLINT(message.size()), &length);
        }
        if (!SQL_SUCCEEDED(result))
            break;
        AdoError error;
        error.Description = fromWide(message.constData(), qMin<qsizetype>(length, message.size()));
        error.Source = errorSource();
        error.SQLState = fromWide(state, 5);
        error.NativeError = native;
        records.append(error);
    }
    return records;
}

namespace {

// Drivers that report every refused login as 08001 "unable to connect" (psqlODBC does) keep
// the server's reason only in the message; these are the server's own texts for its
// "invalid authorisation" (28) and "insufficient privilege" (42501) refusals.
std::int32_t refusalInMessage(const QString& message)
{
    static const char* const authentication[] = {
        "password authentication failed", "authentication failed for user", "no pg_hba.conf entry",
        "no password supplied", "password is too long"};
    static const char* const permission[] = {"permission denied", "not permitted to log in",
                                             "does not have CONNECT privilege"};
    if (!message.contains(QLatin1String("FATAL:")))
        return 0;
    for (const char* text : permission) {
        if (message.contains(QLatin1String(text), Qt::CaseInsensitive))
            return ComErrorNumber::PermissionDenied;
    }
    for (const char* text : authentication) {
        if (message.contains(QLatin1String(text), Qt::CaseInsensitive))
            return ComErrorNumber::AuthFailed;
    }
    // An unknown role is a refused login; an unknown database is not.
    static const QRegularExpression unknownRole(
        QStringLiteral("FATAL:\\s+role \".*\" does not exist"));
    if (unknownRole.match(message).hasMatch())
        return ComErrorNumber::AuthFailed;
    return 0;
}

} // namespace

std::int32_t connectFailureNumber(const QList<AdoError>& records)
{
    for (const AdoError& record : records) {
        // 28: invalid authorisation (wrong user or password).
        if (record.SQLState.startsWith(QLatin1String("28")))
            return ComErrorNumber::AuthFailed;
        // 42: access rule violation, e.g. no right to connect to the database.
        if (record.SQLState.startsWith(QLatin1String("42")))
            return ComErrorNumber::PermissionDenied;
        if (record.SQLState.startsWith(QLatin1String("08"))) {
            if (const std::int32_t number = refusalInMessage(record.Description))
                return number;
        }
    }
    // Unknown data source, driver not loadable, server unreachable, time-out, ...
    return ComErrorNumber::E_Fail;
}

std::int32_t statementFailureNumber(const QList<AdoError>& records)
{
    for (const AdoError& record : records) {
        const QString& state = record.SQLState;
        if (state == QLatin1String("42501") || state.startsWith(QLatin1String("28")))
            return ComErrorNumber::PermissionDenied;
        if (state == QLatin1String("42S02") || state == QLatin1String("42P01"))
            return AdoErrorNumber::NoSuchTable;
        if (state.startsWith(QLatin1String("42")) || state == QLatin1String("37000"))
            return AdoErrorNumber::ErrorsInCommand;
        // 57014: the server cancelled the statement when the time-out ran out.
        if (state == QLatin1String("HYT00") || state == QLatin1String("HYT01") ||
            state == QLatin1String("57014"))
            return AdoErrorNumber::TimeoutExpired;
    }
    return ComErrorNumber::E_Fail;
}

AdoError ErrorList::Item(int index) const
{
    if (index < 0 || index >= m_items.size()) {
        throw ComError(AdoErrorNumber::ItemNotFound,
                       QStringLiteral("Item cannot be found in the collection corresponding to "
                                      "the requested name or ordinal."));
    }
    return m_items.at(index);
}

void fail(ErrorList& errors, const Handle& handle, FailureNumber number, const QString& fallback)
{
    QList<AdoError> records = diagnostics(handle);
    const std::int32_t code = number(records);
    for (AdoError& record : records)
        record.Number = code;
    errors.set(records);
    throw ComError(code, records.isEmpty() ? fallback : records.first().Description);
}

void keepWarnings(ErrorList& errors, const Handle& handle)
{
    errors.set(diagnostics(handle));
}

} // namespace OdbcSupport
