#pragma once

#include <odbc/errors.h>

#include <QString>

#include <cstdint>
#include <memory>

// An ADO-like connection to an ODBC data source. The program opens one for each grid load
// and each connection test; every failure throws ComError with the number the program's
// handlers test (see AdoErrorNumber and docs/odbc-standin.md) after the ODBC diagnostics
// were put into Errors().

enum CursorLocationEnum
{
    adUseServer = 2,
    adUseClient = 3
};
enum ObjectStateEnum
{
    adStateClosed = 0,
    adStateOpen = 1
};
enum CursorTypeEnum
{
    adOpenForwardOnly = 0
};
enum LockTypeEnum
{
    adLockReadOnly = 1
};
enum CommandTypeEnum
{
    adCmdText = 1
};
enum ConnectOptionEnum
{
    adConnectUnspecified = -1
};

// The numbers the connection and record set throw besides the three connection failures
// of ComErrorNumber (AuthFailed, E_Fail, PermissionDenied) and AlreadyOpen.
namespace AdoErrorNumber {
constexpr std::int32_t ObjectClosed = 3704;           // operation needs an open object
constexpr std::int32_t ProviderNotFound = 3706;       // a provider other than ODBC
constexpr std::int32_t ConnectionClosed = 3709;       // record set opened on a closed connection
constexpr std::int32_t NoCurrentRecord = 3021;        // BOF or EOF
constexpr std::int32_t ItemNotFound = 3265;           // no field of that name or index
constexpr std::int32_t ErrorsInCommand = -2147217900; // 0x80040E14 syntax or access error
constexpr std::int32_t NoSuchTable = -2147217865;     // 0x80040E37
constexpr std::int32_t TimeoutExpired = -2147217871;  // 0x80040E31
constexpr std::int32_t ConnectionStringInvalid = -2147217805; // 0x80040E73
} // namespace AdoErrorNumber

class Recordset;

class Connection
{
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // "DSN=...;UID=...;PWD=..." and any other ODBC attributes; "Provider=MSDASQL" is
    // accepted and dropped. Build user-supplied values with OdbcConnectionString::attribute.
    QString ConnectionString() const;
    void setConnectionString(const QString& text); // 3705 while open

    // Kept for the record sets opened on this connection (default adUseServer).
    CursorLocationEnum CursorLocation() const;
    void setCursorLocation(CursorLocationEnum location);

    // Seconds a statement may run; 0 = no limit (default 30).
    int CommandTimeout() const;
    void setCommandTimeout(int seconds);

    // Seconds the login may take; 0 = the driver's own limit (default 15).
    int ConnectionTimeout() const;
    void setConnectionTimeout(int seconds);

    // Opens the connection. A non-empty `connectionString` replaces ConnectionString; a
    // non-empty `userId` or `password` replaces the string's UID or PWD.
    void Open(const QString& connectionString = {}, const QString& userId = {},
              const QString& password = {}, int options = adConnectUnspecified);
    ObjectStateEnum State() const;
    // The database the data source connected to (empty when the driver names none).
    QString DefaultDatabase() const;
    // The server the data source reached, as its driver names it (empty when it names none).
    QString ServerName() const;
    // Closes the record sets still open on it, then the connection.
    void Close();

    // The diagnostics of the last operation on the connection or its record sets.
    AdoErrors& Errors();
    const AdoErrors& Errors() const;

private:
    friend class Recordset;
    struct Private;
    std::unique_ptr<Private> d;
};

// Fault injection for tests: while set, the next Connection::Open throws ComError of this
// number and text before it reaches the driver manager (nothing connected, Errors() empty),
// and the fault clears itself. Off unless a test sets it; clearOpenFault forgets one that
// has not fired.
// failFetchAfter: the fetch after the next `rows` rows of any record set fails as a failed
// driver call does: the connection's Errors() holds one record of this number and text
// (SQLSTATE HY000) and the record set is closed; then the fault clears itself.
namespace OdbcTesting {
void failNextOpen(std::int32_t number, const QString& description);
void clearOpenFault();
void failFetchAfter(int rows, std::int32_t number, const QString& description);
void clearFetchFault();
} // namespace OdbcTesting
