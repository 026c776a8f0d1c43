#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>

#include <stdexcept>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace Accpac {

// A failure of the storage below the views; the views turn it into an Errors entry.
class StorageError : public std::runtime_error
{
public:
    StorageError(int code, const QString& message)
        : std::runtime_error(message.toStdString()), m_code(code), m_message(message)
    {
    }
    int code() const { return m_code; }
    QString message() const { return m_message; }
    bool isConstraint() const;
    bool isBusy() const;

private:
    int m_code;
    QString m_message;
};

class Database;

// A prepared statement leased from its database's cache; reset and handed back when the
// lease ends, so each SQL text is prepared once per connection.
class Statement
{
public:
    Statement(Database* db, sqlite3_stmt* stmt, QByteArray sql);
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&&) = delete;
    Statement(const Statement&) = delete;
    ~Statement();

    void bind(int index, const QVariant& value); // 1-based
    void bindText(int index, const QString& value);
    void bindInt(int index, qint64 value);
    void bindDouble(int index, double value);
    // Steps once; true while a row is there.
    bool step();
    void exec() { step(); }
    int columnCount() const;
    bool isNull(int column) const;
    qint64 columnInt(int column) const;
    double columnDouble(int column) const;
    QString columnText(int column) const;

private:
    Database* m_db;
    sqlite3_stmt* m_stmt;
    QByteArray m_sql;
};

// One connection to one SQLite file: WAL, a busy timeout and foreign keys on.
class Database
{
public:
    enum class Access
    {
        ReadWrite,
        // Never writes the file, not even its journal mode: for reading a file before it is
        // known to be one this program may change.
        ReadOnly
    };
    // Opens an existing file unless create is set.
    Database(const QString& file, bool create, Access access = Access::ReadWrite);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    Statement prepare(const QByteArray& sql);
    void exec(const QByteArray& sql);
    qint64 lastInsertRowId() const;
    int changes() const;
    QString file() const { return m_file; }
    sqlite3* handle() const { return m_db; }
    [[noreturn]] void raise(int code) const;
    bool hasTable(const QString& name);
    // The first problem a full check of the file's pages finds; empty when there is none.
    QString damage();
    // Copies the database as committed into a new file (made exclusively, with the site's
    // mode) through the engine's online backup; while this connection holds the write lock
    // and has written nothing, that is the file as it is. Nothing is left behind when
    // the copy fails.
    void backupTo(const QString& file);

    // Fault injection for tests: the write after the next `writes` ones fails once as an I/O
    // error (a negative count switches it off). Statements that change the file, BEGIN,
    // SAVEPOINT, RELEASE and COMMIT count as writes; rollbacks never fail.
    void failWriteAfter(int writes) { m_writesBeforeFault = writes; }
    int writesCounted() const { return m_writes; }

private:
    void countWrite();
    int m_writesBeforeFault = -1;
    int m_writes = 0;

    friend class Statement;
    void giveBack(const QByteArray& sql, sqlite3_stmt* stmt);

    sqlite3* m_db = nullptr;
    QString m_file;
    QHash<QByteArray, std::vector<sqlite3_stmt*>> m_idle;
};

// A write transaction; rolled back when left without commit().
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

} // namespace Accpac
