#include <odbc/connection.h>

#include <odbc/connectionstring.h>
#include <odbc/recordset.h>

#include "connectionprivate.h"

#include <system/comerror.h>

#include <algorithm>
#include <optional>

using namespace OdbcSupport;

namespace {

const QString objectOpenText = QStringLiteral("Operation is not allowed when the object is open.");

std::optional<ComError>& openFault()
{
    static std::optional<ComError> fault;
    return fault;
}

bool isKeyword(const QString& keyword, const char* name)
{
    return keyword.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

// "Provider=MSDASQL" (or a versioned "MSDASQL.1") only says "through ODBC": it is dropped.
// Any other provider cannot be served here.
void dropProvider(QList<OdbcConnectionString::Attribute>& attributes)
{
    for (qsizetype i = attributes.size() - 1; i >= 0; --i) {
        if (!isKeyword(attributes.at(i).first, "Provider"))
            continue;
        const QString provider = attributes.at(i).second.trimmed();
        if (provider.compare(QLatin1String("MSDASQL"), Qt::CaseInsensitive) != 0 &&
            !provider.startsWith(QLatin1String("MSDASQL."), Qt::CaseInsensitive)) {
            throw ComError(AdoErrorNumber::ProviderNotFound,
                           QStringLiteral("Provider cannot be found. It may not be properly "
                                          "installed."));
        }
        attributes.removeAt(i);
    }
}

void setAttribute(QList<OdbcConnectionString::Attribute>& attributes, const char* keyword,
                  const QString& value)
{
    for (auto& [key, current] : attributes) {
        if (isKeyword(key, keyword)) {
            current = value;
            return;
        }
    }
    attributes.append({QLatin1String(keyword), value});
}

// The value of `keyword`, and whether the string holds nothing but DSN, UID and PWD.
QString valueOf(const QList<OdbcConnectionString::Attribute>& attributes, const char* keyword)
{
    for (const auto& [key, value] : attributes) {
        if (isKeyword(key, keyword))
            return value;
    }
    return {};
}

bool onlyDsnUserPassword(const QList<OdbcConnectionString::Attribute>& attributes)
{
    bool dsn = false;
    for (const auto& [key, value] : attributes) {
        if (isKeyword(key, "DSN"))
            dsn = true;
        else if (!isKeyword(key, "UID") && !isKeyword(key, "PWD"))
            return false;
    }
    return dsn;
}

QString connectionText(const Handle& dbc, SQLINTEGER attribute)
{
    SQLWCHAR buffer[512] = {};
    SQLINTEGER length = 0;
    if (!SQL_SUCCEEDED(SQLGetConnectAttrW(dbc.get(), attribute, buffer, sizeof buffer, &length)))
        return {};
    return fromWide(buffer, std::clamp<qsizetype>(length, 0, qsizetype(sizeof buffer) - 2) / 2);
}

QString infoText(const Handle& dbc, SQLUSMALLINT item)
{
    SQLWCHAR buffer[512] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc.get(), item, buffer, sizeof buffer, &length)))
        return {};
    return fromWide(buffer, std::clamp<qsizetype>(length, 0, qsizetype(sizeof buffer) - 2) / 2);
}

QString databaseName(const Handle& dbc)
{
    QString name = connectionText(dbc, SQL_ATTR_CURRENT_CATALOG);
    if (name.isEmpty())
        name = infoText(dbc, SQL_DATABASE_NAME);
    return name;
}

} // namespace

QString objectClosedText()
{
    return QStringLiteral("Operation is not allowed when the object is closed.");
}

Connection::Connection() : d(std::make_unique<Private>()) {}

Connection::~Connection()
{
    const QList<Recordset*> recordsets = d->recordsets;
    for (Recordset* recordset : recordsets)
        recordset->release();
    d->disconnect();
}

QString Connection::ConnectionString() const
{
    return d->connectionString;
}

void Connection::setConnectionString(const QString& text)
{
    if (d->open)
        throw ComError(ComErrorNumber::AlreadyOpen, objectOpenText);
    d->connectionString = text;
}

CursorLocationEnum Connection::CursorLocation() const
{
    return d->cursorLocation;
}

void Connection::setCursorLocation(CursorLocationEnum location)
{
    d->cursorLocation = location;
}

int Connection::CommandTimeout() const
{
    return d->commandTimeout;
}

void Connection::setCommandTimeout(int seconds)
{
    d->commandTimeout = qMax(0, seconds);
}

int Connection::ConnectionTimeout() const
{
    return d->connectionTimeout;
}

void Connection::setConnectionTimeout(int seconds)
{
    if (d->open)
        throw ComError(ComErrorNumber::AlreadyOpen, objectOpenText);
    d->connectionTimeout = qMax(0, seconds);
}

void Connection::Open(const QString& connectionString, const QString& userId,
                      const QString& password, int /*options*/)
{
    if (d->open)
        throw ComError(ComErrorNumber::AlreadyOpen, objectOpenText);
    d->errors.Clear();
    if (std::optional<ComError>& fault = openFault()) {
        const ComError fired = *fault;
        fault.reset();
        throw fired;
    }
    if (!connectionString.isEmpty())
        d->connectionString = connectionString;
    QList<OdbcConnectionString::Attribute> attributes =
        OdbcConnectionString::parse(d->connectionString);
    dropProvider(attributes);
    if (!userId.isEmpty())
        setAttribute(attributes, "UID", userId);
    if (!password.isEmpty())
        setAttribute(attributes, "PWD", password);

    if (!SQL_SUCCEEDED(d->environment.allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE)))
        throw ComError(ComErrorNumber::E_Fail,
                       QStringLiteral("Cannot start the ODBC driver manager."));
    SQLSetEnvAttr(d->environment.get(), SQL_ATTR_ODBC_VERSION,
                  reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(d->dbc.allocate(SQL_HANDLE_DBC, d->environment.get()))) {
        try {
            fail(d->errors, d->environment, connectFailureNumber,
                 QStringLiteral("Cannot create an ODBC connection."));
        } catch (...) {
            d->environment.reset();
            throw;
        }
    }
    SQLSetConnectAttrW(d->dbc.get(), SQL_ATTR_LOGIN_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(d->connectionTimeout)), 0);

    SQLRETURN result;
    if (onlyDsnUserPassword(attributes)) {
        // Plain data source logins go to SQLConnect, which takes user name and password as
        // they are: no driver's connection-string parser ever sees them.
        const QString dsn = valueOf(attributes, "DSN");
        const QString user = valueOf(attributes, "UID");
        const QString pass = valueOf(attributes, "PWD");
        result =
            SQLConnectW(d->dbc.get(), wide(dsn), SQL_NTS, wide(user), SQL_NTS, wide(pass), SQL_NTS);
    } else {
        const QString text = OdbcConnectionString::join(attributes);
        result = SQLDriverConnectW(d->dbc.get(), nullptr, wide(text), SQL_NTS, nullptr, 0, nullptr,
                                   SQL_DRIVER_NOPROMPT);
    }
    if (!SQL_SUCCEEDED(result)) {
        try {
            fail(d->errors, d->dbc, connectFailureNumber,
                 QStringLiteral("The ODBC data source refused the connection."));
        } catch (...) {
            d->dbc.reset();
            d->environment.reset();
            throw;
        }
    }
    if (result == SQL_SUCCESS_WITH_INFO)
        keepWarnings(d->errors, d->dbc);
    d->open = true;
    d->defaultDatabase = databaseName(d->dbc);
    d->serverName = infoText(d->dbc, SQL_SERVER_NAME);
}

ObjectStateEnum Connection::State() const
{
    return d->open ? adStateOpen : adStateClosed;
}

QString Connection::DefaultDatabase() const
{
    return d->open ? d->defaultDatabase : QString();
}

QString Connection::ServerName() const
{
    return d->open ? d->serverName : QString();
}

void Connection::Close()
{
    if (!d->open)
        throw ComError(AdoErrorNumber::ObjectClosed, objectClosedText());
    const QList<Recordset*> recordsets = d->recordsets;
    for (Recordset* recordset : recordsets)
        recordset->release();
    d->disconnect();
}

AdoErrors& Connection::Errors()
{
    return d->errors;
}

const AdoErrors& Connection::Errors() const
{
    return d->errors;
}

void Connection::Private::disconnect() noexcept
{
    if (open)
        SQLDisconnect(dbc.get());
    open = false;
    defaultDatabase.clear();
    dbc.reset();
    environment.reset();
}

namespace OdbcTesting {

void failNextOpen(std::int32_t number, const QString& description)
{
    openFault() = ComError(number, description);
}

void clearOpenFault()
{
    openFault().reset();
}

} // namespace OdbcTesting
