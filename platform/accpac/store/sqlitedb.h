#pragma once

#include "storage.h"

#include <QElapsedTimer>

struct sqlite3;

namespace Accpac {

// One connection to one SQLite file: WAL, a busy timeout and foreign keys on.
class SqliteDatabase final : public Database, public FileStore
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
    SqliteDatabase(const QString& file, bool create, Access access = Access::ReadWrite);
    ~SqliteDatabase() override;

    void exec(const QByteArray& sql) override;
    int changes() const override;
    void setBulkLoading(bool on) override;
    bool inTransaction() const override;
    const Dialect& dialect() const override;
    QString location() const override { return m_file; }
    FileStore* fileStore() override { return this; }

    QString file() const override { return m_file; }
    void setLockWait(int milliseconds) override;
    QString damage() override;
    void backupTo(const QString& file) override;
    [[noreturn]] void raise(int code) const;
    // The failure a result code stands for, in the program's words where the engine's say
    // nothing to a user.
    StorageError failure(int code, const QString& engineWords) const;
    // The kind of failure an SQLite result code stands for.
    static StorageError::Kind kindOf(int code);

protected:
    std::unique_ptr<PreparedStatement> prepareNew(const QByteArray& sql) override;

private:
    static int retryWhileBusy(void* database, int tries);

    sqlite3* m_db = nullptr;
    QString m_file;
    int m_lockWaitMs = 0;
    QElapsedTimer m_busySince;
};

} // namespace Accpac
