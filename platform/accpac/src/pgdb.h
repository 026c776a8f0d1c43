#pragma once

#include "storage.h"

struct pg_conn;
struct pg_result;

namespace Accpac {

// One connection to a PostgreSQL server through libpq, working in one schema of the site's
// database (the site's system data or one company). Lock waits end after LockWaitSeconds;
// a connection found lost is made again at the next statement. A statement outside a
// transaction that the server chose to give way to another session is run again (at most
// SerializationRetries times); inside a transaction the whole work is (runRetried).
class PgDatabase final : public Database
{
public:
    static constexpr int LockWaitSeconds = 10;
    // The one-row table of each schema whose row a writer locks first (the site's set-up
    // makes it and grants its UPDATE to those who write there); not one of the store's tables.
    static constexpr const char* WriteLockTable = "writelock";

    // Connects to the server that `conninfo` names (a libpq connection string) and works in
    // `schema` (empty: in the schema the connection string's search path names). Throws
    // StorageError (Refused) with one sentence when no connection is made.
    PgDatabase(const QString& conninfo, const QString& schema);
    ~PgDatabase() override;

    void exec(const QByteArray& sql) override;
    int changes() const override { return m_changes; }
    void setBulkLoading(bool on) override;
    bool inTransaction() const override;
    const Dialect& dialect() const override;
    QString location() const override;
    // Look-ups in a run are read ahead where the database's texts sort byte by byte.
    int readAheadRows() const override { return m_bytewiseTexts ? ReadAheadRows : 0; }
    static constexpr int ReadAheadRows = 256;

    QString schema() const { return m_schema; }
    bool schemaExists();
    // The SQL text as the server reads it: "?" and "?N" parameters become "$N", quoted
    // identifiers are folded to lower case as the server folds unquoted ones.
    static QByteArray translate(const QByteArray& sql, int* parameters = nullptr);

    // For the statements: the connection (made again when it was lost outside a
    // transaction), its generation (a new one after a reconnection), the failure of a
    // result, and the changes of the last statement.
    pg_conn* connection();
    int generation() const { return m_generation; }
    [[noreturn]] void raise(pg_result* result, const QByteArray& sql);
    void setChanges(int changes) { m_changes = changes; }
    QString newStatementName();

protected:
    std::unique_ptr<PreparedStatement> prepareNew(const QByteArray& sql) override;

private:
    void connect();
    void setUpSession();

    QByteArray m_conninfo;
    QString m_schema;
    QString m_server; // host and port, for messages
    pg_conn* m_conn = nullptr;
    int m_generation = 0;
    int m_changes = 0;
    int m_statements = 0;
    bool m_bytewiseTexts = false;
};

// The server's answer to a login by a short connection (closed again): accepted, a wrong
// user name or password (the server answers both alike), or a role that may not log in.
// Anything else (no server, no database) throws StorageError (Refused) with one sentence
// naming the server, told by the server's SQLSTATE whatever the server's language.
enum class LoginAnswer
{
    Accepted,
    WrongPassword,
    NotPermitted
};
LoginAnswer tryConnection(const QString& conninfo);
// True when a site is named by a connection string rather than a folder.
bool isConnectionString(const QString& site);
// The connection string without its password, for logs and messages.
QString withoutPassword(const QString& conninfo);
// The connection string in keyword form with one option set (replaced when present).
QString conninfoWith(const QString& conninfo, const QString& key, const QString& value);
// The options a connection string gives (keyword, value), the password left out.
QList<std::pair<QString, QString>> conninfoOptions(const QString& conninfo);
// A company of a server site named by one connection string: the site's connection string
// with the company's schema as the connection's search path.
QString companyConninfo(const QString& siteConninfo, const QString& schema);

} // namespace Accpac
