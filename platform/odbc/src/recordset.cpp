#include <odbc/recordset.h>

#include "connectionprivate.h"

#include <system/comerror.h>

#include <algorithm>
#include <optional>

#include <QDate>
#include <QDateTime>
#include <QTime>

using namespace OdbcSupport;

struct Recordset::Private
{
    Connection* connection = nullptr;
    Handle statement;
    bool open = false;
    bool eof = true;
    CursorLocationEnum cursorLocation = adUseServer;
    bool cursorLocationSet = false;
    QList<Field> fields;
    QList<SQLSMALLINT> types;
    QList<SQLSMALLINT> scales;

    [[noreturn]] void failStatement();
    void describeColumns();
    void fetch();
    QVariant read(SQLUSMALLINT column);
    QString readText(SQLUSMALLINT column, bool& isNull);
    QByteArray readBinary(SQLUSMALLINT column, bool& isNull);
    template <typename T> bool readFixed(SQLUSMALLINT column, SQLSMALLINT cType, T& value);
};

namespace {

[[noreturn]] void throwNoCurrentRecord()
{
    throw ComError(AdoErrorNumber::NoCurrentRecord,
                   QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                  "deleted. Requested operation requires a current record."));
}

// A fetch a test chose to fail: the rows still to come before it, and the failure.
struct FetchFault
{
    int rows = 0;
    std::int32_t number = 0;
    QString description;
};

std::optional<FetchFault>& fetchFault()
{
    static std::optional<FetchFault> fault;
    return fault;
}

[[noreturn]] void throwNoSuchItem()
{
    throw ComError(AdoErrorNumber::ItemNotFound,
                   QStringLiteral("Item cannot be found in the collection corresponding to the "
                                  "requested name or ordinal."));
}

} // namespace

void Recordset::Private::failStatement()
{
    try {
        fail(connection->d->errors, statement, statementFailureNumber,
             QStringLiteral("The ODBC statement failed."));
    } catch (...) {
        // The record set is unusable after a failed call: free it now.
        statement.reset();
        throw;
    }
}

void Recordset::Private::describeColumns()
{
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(statement.get(), &count)))
        failStatement();
    fields.clear();
    types.clear();
    scales.clear();
    for (SQLUSMALLINT column = 1; column <= count; ++column) {
        SQLWCHAR name[256] = {};
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT scale = 0;
        SQLSMALLINT nullable = 0;
        if (!SQL_SUCCEEDED(SQLDescribeColW(statement.get(), column, name, 256, &nameLength, &type,
                                           &size, &scale, &nullable))) {
            failStatement();
        }
        fields.append(Field{fromWide(name, std::clamp<qsizetype>(nameLength, 0, 255)), QVariant()});
        types.append(type);
        scales.append(scale);
    }
}

void Recordset::Private::fetch()
{
    if (std::optional<FetchFault>& fault = fetchFault(); fault && fault->rows-- == 0) {
        const FetchFault fired = *fault;
        fault.reset();
        connection->d->errors.set(
            {AdoError{fired.number, fired.description, errorSource(), QStringLiteral("HY000")}});
        statement.reset();
        throw ComError(fired.number, fired.description);
    }
    const SQLRETURN result = SQLFetch(statement.get());
    if (result == SQL_NO_DATA) {
        eof = true;
        for (Field& field : fields)
            field.Value = QVariant();
        return;
    }
    if (!SQL_SUCCEEDED(result))
        failStatement();
    eof = false;
    // Every column is read now, in order, since ODBC hands a column's data out only once.
    for (qsizetype i = 0; i < fields.size(); ++i)
        fields[i].Value = read(SQLUSMALLINT(i + 1));
}

QString Recordset::Private::readText(SQLUSMALLINT column, bool& isNull)
{
    QString text;
    SQLWCHAR buffer[2048];
    constexpr SQLLEN capacity = sizeof buffer;
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN result =
            SQLGetData(statement.get(), column, SQL_C_WCHAR, buffer, capacity, &indicator);
        if (result == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(result))
            failStatement();
        if (indicator == SQL_NULL_DATA) {
            isNull = true;
            return {};
        }
        // Long text comes in pieces: a full buffer (less its terminator) means more follows.
        const bool more =
            result == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || indicator >= capacity);
        const qsizetype characters = more ? capacity / 2 - 1 : indicator / 2;
        text += fromWide(buffer, characters);
        if (!more)
            break;
    }
    isNull = false;
    return text;
}

QByteArray Recordset::Private::readBinary(SQLUSMALLINT column, bool& isNull)
{
    QByteArray data;
    char buffer[4096];
    constexpr SQLLEN capacity = sizeof buffer;
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN result =
            SQLGetData(statement.get(), column, SQL_C_BINARY, buffer, capacity, &indicator);
        if (result == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(result))
            failStatement();
        if (indicator == SQL_NULL_DATA) {
            isNull = true;
            return {};
        }
        const bool more =
            result == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || indicator > capacity);
        data.append(buffer, more ? capacity : indicator);
        if (!more)
            break;
    }
    isNull = false;
    return data;
}

// Reads a fixed-size value; false for SQL NULL.
template <typename T>
bool Recordset::Private::readFixed(SQLUSMALLINT column, SQLSMALLINT cType, T& value)
{
    SQLLEN indicator = 0;
    if (!SQL_SUCCEEDED(
            SQLGetData(statement.get(), column, cType, &value, sizeof value, &indicator))) {
        failStatement();
    }
    return indicator != SQL_NULL_DATA;
}

QVariant Recordset::Private::read(SQLUSMALLINT column)
{
    const SQLSMALLINT type = types.at(column - 1);
    bool isNull = false;
    switch (type) {
    case SQL_BIT: {
        unsigned char value = 0;
        return readFixed(column, SQL_C_BIT, value) ? QVariant(value != 0) : QVariant();
    }
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER: {
        SQLINTEGER value = 0;
        return readFixed(column, SQL_C_SLONG, value) ? QVariant(int(value)) : QVariant();
    }
    case SQL_BIGINT: {
        SQLBIGINT value = 0;
        return readFixed(column, SQL_C_SBIGINT, value) ? QVariant(qlonglong(value)) : QVariant();
    }
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE: {
        double value = 0;
        return readFixed(column, SQL_C_DOUBLE, value) ? QVariant(value) : QVariant();
    }
    case SQL_DECIMAL:
    case SQL_NUMERIC: {
        // As text, so that no digit is lost on the way; whole numbers stay whole.
        const QString text = readText(column, isNull).trimmed();
        if (isNull)
            return {};
        bool whole = false;
        const qlonglong integer = text.toLongLong(&whole);
        if (whole)
            return QVariant(integer);
        bool ok = false;
        const double value = text.toDouble(&ok);
        return ok ? QVariant(value) : QVariant(text);
    }
    case SQL_TYPE_DATE:
    case SQL_DATE: {
        SQL_DATE_STRUCT value{};
        if (!readFixed(column, SQL_C_TYPE_DATE, value))
            return {};
        return QDate(value.year, value.month, value.day);
    }
    case SQL_TYPE_TIME:
    case SQL_TIME: {
        SQL_TIME_STRUCT value{};
        if (!readFixed(column, SQL_C_TYPE_TIME, value))
            return {};
        return QTime(value.hour, value.minute, value.second);
    }
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP: {
        SQL_TIMESTAMP_STRUCT value{};
        if (!readFixed(column, SQL_C_TYPE_TIMESTAMP, value))
            return {};
        return QDateTime(
            QDate(value.year, value.month, value.day),
            QTime(value.hour, value.minute, value.second, int(value.fraction / 1000000)));
    }
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: {
        const QByteArray data = readBinary(column, isNull);
        return isNull ? QVariant() : QVariant(data);
    }
    default: {
        const QString text = readText(column, isNull);
        return isNull ? QVariant() : QVariant(text);
    }
    }
}

Recordset::Recordset() : d(std::make_unique<Private>()) {}

Recordset::~Recordset()
{
    release();
}

CursorLocationEnum Recordset::CursorLocation() const
{
    if (d->cursorLocationSet || d->connection == nullptr)
        return d->cursorLocation;
    return d->connection->CursorLocation();
}

void Recordset::setCursorLocation(CursorLocationEnum location)
{
    if (d->open) {
        throw ComError(ComErrorNumber::AlreadyOpen,
                       QStringLiteral("Operation is not allowed when the object is open."));
    }
    d->cursorLocation = location;
    d->cursorLocationSet = true;
}

void Recordset::Open(const QString& source, Connection& activeConnection,
                     CursorTypeEnum /*cursorType*/, LockTypeEnum /*lockType*/, int /*options*/)
{
    if (d->open) {
        throw ComError(ComErrorNumber::AlreadyOpen,
                       QStringLiteral("Operation is not allowed when the object is open."));
    }
    if (activeConnection.State() != adStateOpen) {
        throw ComError(AdoErrorNumber::ConnectionClosed,
                       QStringLiteral("The connection cannot be used to perform this operation. "
                                      "It is either closed or invalid in this context."));
    }
    Connection::Private& connection = *activeConnection.d;
    connection.errors.Clear();
    if (!d->cursorLocationSet)
        d->cursorLocation = connection.cursorLocation;
    d->connection = &activeConnection;
    try {
        openStatement(source, connection);
    } catch (...) {
        release();
        throw;
    }
}

void Recordset::openStatement(const QString& source, Connection::Private& connection)
{
    if (!SQL_SUCCEEDED(d->statement.allocate(SQL_HANDLE_STMT, connection.dbc.get())))
        fail(connection.errors, connection.dbc, statementFailureNumber,
             QStringLiteral("Cannot create an ODBC statement."));
    // Forward-only and read-only are ODBC's defaults; the time-out is the connection's.
    SQLSetStmtAttrW(d->statement.get(), SQL_ATTR_QUERY_TIMEOUT,
                    reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(connection.commandTimeout)),
                    0);
    const SQLRETURN result = SQLExecDirectW(d->statement.get(), wide(source), SQL_NTS);
    if (!SQL_SUCCEEDED(result) && result != SQL_NO_DATA)
        d->failStatement();
    if (result == SQL_SUCCESS_WITH_INFO)
        keepWarnings(connection.errors, d->statement);
    d->describeColumns();
    if (d->fields.isEmpty()) {
        // No result to read (a statement that returns no rows): the set stays closed.
        release();
        return;
    }
    connection.recordsets.append(this);
    d->open = true;
    d->fetch();
}

ObjectStateEnum Recordset::State() const
{
    return d->open ? adStateOpen : adStateClosed;
}

bool Recordset::Eof() const
{
    if (!d->open)
        throw ComError(AdoErrorNumber::ObjectClosed, objectClosedText());
    return d->eof;
}

void Recordset::MoveNext()
{
    if (!d->open)
        throw ComError(AdoErrorNumber::ObjectClosed, objectClosedText());
    if (d->eof)
        throwNoCurrentRecord();
    d->connection->d->errors.Clear();
    try {
        d->fetch();
    } catch (...) {
        release();
        throw;
    }
}

int Recordset::FieldCount() const
{
    if (!d->open)
        throw ComError(AdoErrorNumber::ObjectClosed, objectClosedText());
    return int(d->fields.size());
}

const Field& Recordset::Fields(const QString& name) const
{
    if (!d->open)
        throw ComError(AdoErrorNumber::ObjectClosed, objectClosedText());
    // Callers mostly spell a name as the statement does: an exact match first, which is
    // cheap, then one ignoring case.
    for (qsizetype i = 0; i < d->fields.size(); ++i) {
        if (d->fields.at(i).Name == name)
            return Fields(int(i));
    }
    for (qsizetype i = 0; i < d->fields.size(); ++i) {
        if (d->fields.at(i).Name.compare(name, Qt::CaseInsensitive) == 0)
            return Fields(int(i));
    }
    throwNoSuchItem();
}

const Field& Recordset::Fields(int index) const
{
    if (!d->open)
        throw ComError(AdoErrorNumber::ObjectClosed, objectClosedText());
    if (index < 0 || index >= d->fields.size())
        throwNoSuchItem();
    if (d->eof)
        throwNoCurrentRecord();
    return d->fields.at(index);
}

void Recordset::Close()
{
    if (!d->open)
        throw ComError(AdoErrorNumber::ObjectClosed, objectClosedText());
    release();
}

void Recordset::release() noexcept
{
    d->statement.reset();
    if (d->connection != nullptr && d->open)
        d->connection->d->recordsets.removeOne(this);
    d->connection = nullptr;
    d->open = false;
    d->eof = true;
    d->fields.clear();
    d->types.clear();
    d->scales.clear();
}

namespace OdbcTesting {

void failFetchAfter(int rows, std::int32_t number, const QString& description)
{
    fetchFault() = FetchFault{rows, number, description};
}

void clearFetchFault()
{
    fetchFault().reset();
}

} // namespace OdbcTesting
