#pragma once

// The storage under the stand-in's views: one interface, an engine behind it (an SQLite
// file or a schema of a PostgreSQL database), opened through store.h. The views and rules
// write one SQL text for both engines: SQLite's, with "?" and "?N" parameters; the server's
// engine translates the parameters and folds quoted names to lower case. What the text cannot
// say alike (column types, how a write begins, lists given as JSON, the catalogue) each
// engine gives in its Dialect; the functions the text calls that the server lacks its
// storeSetup adds.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <unordered_map>

#include <memory>
#include <stdexcept>
#include <vector>

namespace Accpac {

// A failure of the storage below the views; the views turn it into an Errors entry.
class StorageError : public std::runtime_error
{
public:
    enum class Kind
    {
        Other,
        Busy,           // another session holds what is needed (a lock wait ran out)
        Constraint,     // a key, a unique index or a check refused the change
        Serialization,  // the server chose this transaction to give way (deadlock, conflict)
        ConnectionLost, // the server went away; nothing of the open transaction was kept
        NotADatabase,   // the file or schema holds no tables of this program
        Refused,        // no connection could be made, the file cannot be opened, or the
                        // role lacks a right
        ReadOnly,       // the file or its folder may not be written
        DiskFull,       // the disk has no room for what was written
        Damaged,        // the file's pages are damaged
    };
    // `code` is the engine's own number (SQLite's result code; 0 for the server); only the
    // engine reads it.
    StorageError(Kind kind, int code, const QString& message)
        : std::runtime_error(message.toStdString()), m_kind(kind), m_code(code), m_message(message)
    {
    }
    Kind kind() const { return m_kind; }
    int code() const { return m_code; }
    QString message() const { return m_message; }
    bool isConstraint() const { return m_kind == Kind::Constraint; }
    bool isBusy() const { return m_kind == Kind::Busy; }

private:
    Kind m_kind;
    int m_code;
    QString m_message;
};

// What differs in the SQL of the engines, in one place.
struct Dialect
{
    QByteArray integerType;  // a column of whole numbers (64 bits)
    QByteArray realType;     // a column of binary floating-point numbers
    QByteArray rowKeyColumn; // the definition of a table's own row key column
    QByteArray beginWrite;   // starts a transaction that will write
    QByteArray beginRead;    // starts a transaction that sees one moment of the data
    // What a new store gets before its tables: the functions the shared SQL calls that the
    // engine lacks.
    std::vector<QByteArray> storeSetup;
    // Conditions that the expression before them is one of the texts, or one of the whole
    // numbers, of a JSON array given as parameter ?1 (a set statement's list: one parameter
    // however many members). A key column so tested is read through its index.
    QByteArray inTextsOfJsonArray;
    QByteArray inIntegersOfJsonArray;
    // Queries of the store's own catalogue: a row when table ?1 exists (in any case); the
    // names of its tables, upper case, the engine's own left out, in order; the columns of
    // table ?1 in their order.
    QByteArray hasTable;
    QByteArray tableNames;
    QByteArray columnNames;
    // What refuses a change or removal of a journal entry in the store itself (empty where the
    // rights of the store's roles do it).
    std::vector<QByteArray> journalGuards = {};
};

class Database;
class PreparedStatement;
class ServerAdministration;
class FileStore;
// The idle prepared statements of one SQL text on one connection.
using IdleList = std::vector<std::unique_ptr<PreparedStatement>>;

// One prepared statement of an engine: the parameters are numbered from 1, the columns of
// a row from 0.
class PreparedStatement
{
public:
    virtual ~PreparedStatement() = default;
    virtual void bindNull(int index) = 0;
    virtual void bindText(int index, const QString& value) = 0;
    virtual void bindInt(int index, qint64 value) = 0;
    virtual void bindDouble(int index, double value) = 0;
    // Runs the statement on the first call, then moves to the next row; true while a row
    // is there.
    virtual bool step() = 0;
    virtual int columnCount() const = 0;
    virtual bool isNull(int column) const = 0;
    virtual qint64 columnInt(int column) const = 0;
    virtual double columnDouble(int column) const = 0;
    virtual QString columnText(int column) const = 0;
    // The text of a column as the engine holds it, in UTF-8; valid until the next step or
    // reset. Lets a reader decode it into a string it already has.
    virtual QByteArrayView columnUtf8(int column) const = 0;
    // The value as the engine keeps it (a null, a whole number, a binary number or a text).
    virtual QVariant columnValue(int column) const = 0;
    // Back to before the first step, bindings cleared.
    virtual void reset() = 0;
    virtual bool isReadOnly() const = 0;
};

// A prepared statement leased from its database's cache; reset and handed back when the
// lease ends, so each SQL text is prepared once per connection.
class Statement
{
public:
    Statement(Database* db, std::unique_ptr<PreparedStatement> stmt, IdleList* home);
    Statement(Statement&& other) noexcept = default;
    Statement& operator=(Statement&&) = delete;
    Statement(const Statement&) = delete;
    ~Statement();

    void bind(int index, const QVariant& value); // 1-based
    void bindText(int index, const QString& value) { m_stmt->bindText(index, value); }
    void bindInt(int index, qint64 value) { m_stmt->bindInt(index, value); }
    void bindDouble(int index, double value) { m_stmt->bindDouble(index, value); }
    // Steps once; true while a row is there.
    bool step();
    void exec() { step(); }
    // Back to before the first step, bindings cleared, the lease kept: for a caller that
    // runs the same statement again and again (a view's keyed read).
    void rewind() noexcept { m_stmt->reset(); }
    int columnCount() const { return m_stmt->columnCount(); }
    bool isNull(int column) const { return m_stmt->isNull(column); }
    qint64 columnInt(int column) const { return m_stmt->columnInt(column); }
    double columnDouble(int column) const { return m_stmt->columnDouble(column); }
    QString columnText(int column) const { return m_stmt->columnText(column); }
    QByteArrayView columnUtf8(int column) const { return m_stmt->columnUtf8(column); }
    QVariant columnValue(int column) const { return m_stmt->columnValue(column); }

private:
    Database* m_db;
    std::unique_ptr<PreparedStatement> m_stmt;
    IdleList* m_home; // where the statement goes back when the lease ends
};

// One connection to one store: the site's system data or one company.
class Database
{
public:
    virtual ~Database() = default;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    Statement prepare(const QByteArray& sql);
    // Runs SQL text without parameters (several statements may be separated by ';').
    virtual void exec(const QByteArray& sql) = 0;
    // The rows the last INSERT, UPDATE or DELETE changed.
    virtual int changes() const = 0;
    bool hasTable(const QString& name);
    // The store's tables (upper case, the engine's own left out) and a table's columns.
    QStringList tableNames();
    QStringList columnNames(const QString& table);
    // While on, commits do not wait for the disk (loading sample data in bulk only); off
    // again makes everything written so far durable.
    virtual void setBulkLoading(bool on) = 0;
    // True while a transaction is open on this connection.
    virtual bool inTransaction() const = 0;
    virtual const Dialect& dialect() const = 0;
    // Where the store is, as messages name it (a file, or a server's database and schema;
    // never a password).
    virtual QString location() const = 0;

    // Fault injection for tests: the write after the next `writes` ones fails once as an I/O
    // error (a negative count switches it off). Statements that change the store, BEGIN,
    // SAVEPOINT, RELEASE and COMMIT count as writes; rollbacks never fail.
    void failWriteAfter(int writes) { m_writesBeforeFault = writes; }
    int writesCounted() const { return m_writes; }
    // Tells the test's write observer (Testing::setServerWriteObserver) of a write made.
    static void observeWrite(const QByteArray& sql);
    // The writes this program began so far, on every connection (what was read before a
    // change of this count may be out of date).
    static quint64 writesInProgram();
    // How many rows a run of look-ups of one key value each may read ahead in one statement
    // (ReadAhead); 0: none. Worth it where each statement is a round trip to a server, and
    // possible only where texts sort byte by byte.
    virtual int readAheadRows() const { return 0; }
    // What only a store on a database server offers (its users are the server's roles);
    // null for a store in a file. So callers ask the store, not its name, where it is.
    virtual ServerAdministration* server() { return nullptr; }
    // What only a store in a file offers (a check of its pages, a backup copy); null on a
    // server.
    virtual FileStore* fileStore() { return nullptr; }

protected:
    Database() = default;
    virtual std::unique_ptr<PreparedStatement> prepareNew(const QByteArray& sql) = 0;
    // Counts a write of exec(); throws the injected fault when it is due.
    void countExec(const QByteArray& sql);
    // Ends the cached statements; an engine calls it before it closes its connection.
    void dropStatements();

private:
    friend class Statement;
    void countWrite();
    void giveBack(IdleList& idle, std::unique_ptr<PreparedStatement> stmt);

    int m_writesBeforeFault = -1;
    int m_writes = 0;
    // Never shrinks while the connection lives, so that the lists leases point to stay.
    std::unordered_map<QByteArray, IdleList> m_idle;
};

// A store on a database server, for the site's administration (siteroles.h).
class ServerAdministration
{
public:
    // The one-row table of each schema whose row a writer locks first (the site's set-up
    // makes it and grants its UPDATE to those who write there); not one of the store's tables.
    static constexpr const char* WriteLockTable = "writelock";

    // Runs SQL text as written, without the shared SQL's translation: role names keep their
    // case. Through the engine's retries and fault injection, as exec() is.
    virtual void execAsWritten(const QByteArray& sql) = 0;
    // The verifier the server keeps of a role's password (SCRAM-SHA-256), made here, so that
    // the password never travels in a statement nor reaches the server's log.
    virtual QByteArray passwordVerifier(const QString& role, const QByteArray& password) = 0;
    // The schema the store works in, and whether the server has it.
    virtual QString schema() const = 0;
    virtual bool schemaExists() = 0;

protected:
    ~ServerAdministration() = default;
};

// A store in one file, for the upgrade of a site's files.
class FileStore
{
public:
    virtual QString file() const = 0;
    // How long a statement waits for another connection's lock before it fails as busy.
    virtual void setLockWait(int milliseconds) = 0;
    // The first problem a full check of the file's pages finds; empty when there is none.
    virtual QString damage() = 0;
    // Copies the database as committed into a new file (made exclusively, with the site's
    // mode); while this connection holds the write lock and has written nothing, that is the
    // file as it is. Nothing is left behind when the copy fails.
    virtual void backupTo(const QString& file) = 0;

protected:
    ~FileStore() = default;
};

// A write transaction; rolled back when left without commit(). Inside an open transaction
// it nests as a savepoint.
class Transaction
{
public:
    explicit Transaction(Database& db);
    ~Transaction();
    void commit();

private:
    Database& m_db;
    bool m_nested;
    bool m_done = false;
};

// How often work the engine chose to give way to another session's (a deadlock or a
// serialization failure) is run again before the failure is reported.
inline constexpr int SerializationRetries = 3;

// Runs `work`, which opens and commits its own transaction, and runs all of it again when
// the engine ended that transaction to let another session go on: the server has undone
// the whole transaction, so no single statement of it can be repeated on its own. `work`
// must leave nothing behind in memory that a second run would trip over. Work started
// inside a transaction already open runs once; the work that opened it is the one run again.
template <class Work> void runRetried(Database& db, Work&& work)
{
    if (db.inTransaction()) {
        work();
        return;
    }
    for (int attempt = 1;; ++attempt) {
        try {
            work();
            return;
        } catch (const StorageError& e) {
            if (e.kind() != StorageError::Kind::Serialization || db.inTransaction())
                throw;
            if (attempt > SerializationRetries)
                throw StorageError(e.kind(), e.code(),
                                   e.message() + QStringLiteral(" (tried %1 times)").arg(attempt));
        }
    }
}

} // namespace Accpac
