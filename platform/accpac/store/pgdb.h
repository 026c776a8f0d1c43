#pragma once

#include "storage.h"

#include <functional>

struct pg_conn;
struct pg_result;

namespace Accpac {

// One connection to a PostgreSQL server through libpq, working in one schema of the site's
// database (the site's system data or one company). Lock waits end after LockWaitSeconds;
// a connection found lost is made again at the next statement. A statement outside a
// transaction that the server chose to give way to another session is run again (at most
// SerializationRetries times); inside a transaction the whole work is (runRetried).
class PgDatabase final : public Database, public ServerAdministration
{
public:
    static constexpr int LockWaitSeconds = 10;

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

    ServerAdministration* server() override { return this; }
    void execAsWritten(const QByteArray& sql) override;
    QByteArray passwordVerifier(const QString& role, const QByteArray& password) override;
    QString schema() const override { return m_schema; }
    bool schemaExists() override;

    // The SQL text as the server reads it: "?" and "?N" parameters become "$N", quoted
    // identifiers are folded to lower case as the server folds unquoted ones.
    static QByteArray translate(const QByteArray& sql, int* parameters = nullptr);

protected:
    std::unique_ptr<PreparedStatement> prepareNew(const QByteArray& sql) override;

private:
    friend class PgStatement;

    void connect();
    void setUpSession();
    // The connection, made again when it was lost outside a transaction; its generation
    // counts the reconnections.
    pg_conn* connection();
    int generation() const { return m_generation; }
    [[noreturn]] void raise(pg_result* result, const QByteArray& sql);
    QString newStatementName();
    // Sends one statement by `send` and returns its result, or raises its failure. Outside
    // a transaction a statement is sent again: at most SerializationRetries times when the
    // server chose it to give way to another session, and once, on a new connection, when
    // the server ended the connection meanwhile and `safeOnNewConnection` (nothing of it can
    // have been changed).
    pg_result* sendRetried(const QByteArray& sql, bool safeOnNewConnection,
                           const std::function<pg_result*(pg_conn*)>& send);
    // Runs SQL text (translated or as written) as exec() does.
    void execText(const QByteArray& sql, const QByteArray& text);

    QByteArray m_conninfo;
    QString m_schema;
    QString m_server; // host and port, for messages
    pg_conn* m_conn = nullptr;
    int m_generation = 0;
    int m_changes = 0;
    int m_statements = 0;
    bool m_bytewiseTexts = false;
};

} // namespace Accpac
