#include "sqlitedb.h"

#include "store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QUrl>

#include <system/sitefiles.h>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Accpac {

namespace {

StorageError sqliteError(int code, const QString& message)
{
    return StorageError(SqliteDatabase::kindOf(code), code, message);
}

// A write that found no room on the disk is a full disk, also where the engine reports it as
// an I/O error (growing its shared-memory file, for one).
int withFullDisk(sqlite3* db, int code)
{
    if ((code & 0xff) == SQLITE_IOERR && db && sqlite3_system_errno(db) == ENOSPC)
        return SQLITE_FULL;
    return code;
}

// How a message names the file: the site's system file, or a company's.
QString fileNoun(const QString& file)
{
    const QString path = QDir::toNativeSeparators(file);
    return file == QDir(QFileInfo(file).path()).filePath(QLatin1String(SiteSystemFile))
               ? QStringLiteral("the site's system file \"%1\"").arg(path)
               : QStringLiteral("the company file \"%1\"").arg(path);
}

constexpr int BusyTimeoutMs = 10000;

// A database, its WAL or its shared-memory file replaced by a symbolic link is never
// opened: the link could lead a write of the site's group anywhere.
void refuseLinks(const QString& file)
{
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        const QString path = file + QLatin1String(suffix);
        if (SiteFiles::isSymbolicLink(path))
            throw sqliteError(SQLITE_CANTOPEN_SYMLINK,
                              QStringLiteral("The file \"%1\" is a symbolic link, which is "
                                             "never opened; remove it.")
                                  .arg(path));
    }
}

// SQLite makes new databases 0644; the site's files are for its group only.
void shareNewFile(const QString& file)
{
    const int fd = SiteFiles::openNoFollow(file, O_RDONLY, 0);
    const bool ok = fd >= 0 && ::fchmod(fd, SiteFiles::SharedFileMode) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!ok)
        throw sqliteError(SQLITE_CANTOPEN,
                          QStringLiteral("The mode of the new database file \"%1\" cannot be "
                                         "set.")
                              .arg(file));
}

} // namespace

StorageError::Kind SqliteDatabase::kindOf(int code)
{
    switch (code & 0xff) {
    case SQLITE_CONSTRAINT:
        return StorageError::Kind::Constraint;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return StorageError::Kind::Busy;
    case SQLITE_NOTADB:
        return StorageError::Kind::NotADatabase;
    case SQLITE_CANTOPEN:
        return StorageError::Kind::Refused;
    case SQLITE_READONLY:
        return StorageError::Kind::ReadOnly;
    case SQLITE_FULL:
        return StorageError::Kind::DiskFull;
    case SQLITE_CORRUPT:
        return StorageError::Kind::Damaged;
    default:
        return StorageError::Kind::Other;
    }
}

namespace {

class SqliteStatement final : public PreparedStatement
{
public:
    SqliteStatement(SqliteDatabase& db, sqlite3_stmt* stmt)
        : m_db(db), m_stmt(stmt), m_readOnly(sqlite3_stmt_readonly(stmt) != 0),
          m_texts(sqlite3_bind_parameter_count(stmt))
    {
    }
    ~SqliteStatement() override { sqlite3_finalize(m_stmt); }

    void bindNull(int index) override { check(sqlite3_bind_null(m_stmt, index)); }
    // The text is encoded into the parameter's own buffer, which the engine reads in place
    // until the next binding or reset: no copy of the text per binding, and the buffer's
    // memory is reused by the next one.
    void bindText(int index, const QString& value) override
    {
        if (index < 1 || index > int(m_texts.size()))
            check(SQLITE_RANGE);
        QByteArray& utf8 = m_texts[index - 1];
        utf8.resize(m_encoder.requiredSpace(value.size()));
        const char* end = m_encoder.appendToBuffer(utf8.data(), value);
        utf8.truncate(end - utf8.constData());
        check(sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_STATIC));
    }
    void bindInt(int index, qint64 value) override
    {
        check(sqlite3_bind_int64(m_stmt, index, value));
    }
    void bindDouble(int index, double value) override
    {
        check(sqlite3_bind_double(m_stmt, index, value));
    }
    bool step() override
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        sqlite3_reset(m_stmt);
        m_db.raise(rc);
    }
    int columnCount() const override { return sqlite3_column_count(m_stmt); }
    bool isNull(int column) const override
    {
        return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
    }
    qint64 columnInt(int column) const override { return sqlite3_column_int64(m_stmt, column); }
    double columnDouble(int column) const override { return sqlite3_column_double(m_stmt, column); }
    QString columnText(int column) const override
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        return text ? QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column)) : QString();
    }
    QByteArrayView columnUtf8(int column) const override
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        return {text, text ? sqlite3_column_bytes(m_stmt, column) : 0};
    }
    QVariant columnValue(int column) const override
    {
        switch (sqlite3_column_type(m_stmt, column)) {
        case SQLITE_NULL:
            return {};
        case SQLITE_INTEGER:
            return columnInt(column);
        case SQLITE_FLOAT:
            return columnDouble(column);
        default:
            return columnText(column);
        }
    }
    void reset() override
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    bool isReadOnly() const override { return m_readOnly; }

private:
    void check(int rc)
    {
        if (rc != SQLITE_OK)
            m_db.raise(rc);
    }

    SqliteDatabase& m_db;
    sqlite3_stmt* m_stmt;
    bool m_readOnly;
    std::vector<QByteArray> m_texts; // each parameter's bound text
    QStringEncoder m_encoder{QStringEncoder::Utf8, QStringConverter::Flag::Stateless};
};

} // namespace

SqliteDatabase::SqliteDatabase(const QString& file, bool create, Access access) : m_file(file)
{
    refuseLinks(file);
    const bool exists = QFile::exists(file);
    if (!create && !exists)
        throw sqliteError(SQLITE_CANTOPEN, QStringLiteral("The database file \"%1\" does not "
                                                          "exist.")
                                               .arg(file));
    // NOFOLLOW: SQLite itself refuses a path that goes through a symbolic link.
    const bool readOnly = access == Access::ReadOnly;
    const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                      SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW |
                      (create && !readOnly ? SQLITE_OPEN_CREATE : 0);
    // A WAL reader needs the shared-memory file beside the database, which a read-only
    // folder cannot hold. Without a WAL file there, nothing writes the file through that
    // folder either, so it is read as immutable.
    const QFileInfo info(file);
    const bool immutable = readOnly && !QFileInfo(info.path()).isWritable() &&
                           !QFileInfo::exists(file + QStringLiteral("-wal"));
    const QByteArray name =
        immutable ? QUrl::fromLocalFile(info.absoluteFilePath()).toEncoded() + "?immutable=1"
                  : QFile::encodeName(file);
    int rc = sqlite3_open_v2(name.constData(), &m_db, flags | (immutable ? SQLITE_OPEN_URI : 0),
                             nullptr);
    if (rc != SQLITE_OK) {
        const StorageError error =
            failure(rc, QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : "out of memory"));
        sqlite3_close(m_db);
        m_db = nullptr;
        throw StorageError(error.kind(), error.code(),
                           QStringLiteral("The database file \"%1\" cannot be opened: %2")
                               .arg(file, error.message()));
    }
    sqlite3_extended_result_codes(m_db, 1);
    setLockWait(BusyTimeoutMs);
    try {
        if (readOnly) {
            // The last connection to close would otherwise checkpoint the WAL into the file.
            sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
            exec("PRAGMA query_only=ON");
            return;
        }
        // A new file belongs to the site's group like every other file there; its WAL and
        // shared-memory files take the database file's mode (and owner) from SQLite.
        if (!exists)
            shareNewFile(file);
        exec("PRAGMA journal_mode=WAL");
        // FULL: a committed transaction (an invoice announced as created, its number taken)
        // survives a power cut; NORMAL may lose the last ones in WAL mode.
        exec("PRAGMA synchronous=FULL");
        exec("PRAGMA foreign_keys=ON");
    } catch (...) {
        sqlite3_close(m_db);
        m_db = nullptr;
        throw;
    }
}

SqliteDatabase::~SqliteDatabase()
{
    // The statements are finalised before the connection closes.
    dropStatements();
    sqlite3_close(m_db);
}

std::unique_ptr<PreparedStatement> SqliteDatabase::prepareNew(const QByteArray& sql)
{
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v3(m_db, sql.constData(), int(sql.size()), SQLITE_PREPARE_PERSISTENT,
                                &stmt, nullptr);
    if (rc != SQLITE_OK)
        raise(rc);
    return std::make_unique<SqliteStatement>(*this, stmt);
}

void SqliteDatabase::exec(const QByteArray& sql)
{
    countExec(sql);
    char* error = nullptr;
    int rc = sqlite3_exec(m_db, sql.constData(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        const QString message = QString::fromUtf8(error ? error : sqlite3_errstr(rc));
        sqlite3_free(error);
        throw failure(rc, message);
    }
}

int SqliteDatabase::changes() const
{
    return sqlite3_changes(m_db);
}

void SqliteDatabase::raise(int code) const
{
    throw failure(code, QString::fromUtf8(sqlite3_errmsg(m_db)));
}

// The engine's words for a lock wait that ran out ("database is locked") or a full disk
// ("disk I/O error") tell a user neither what nor which file: these say both.
StorageError SqliteDatabase::failure(int code, const QString& engineWords) const
{
    code = withFullDisk(m_db, code);
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return sqliteError(code, QStringLiteral("%1 is busy with another user's or program's "
                                                "work; please try again in a moment")
                                     .arg(fileNoun(m_file)));
    case SQLITE_FULL:
        return sqliteError(code, QStringLiteral("the disk that holds %1 is full; free some "
                                                "space and try again")
                                     .arg(fileNoun(m_file)));
    default:
        return sqliteError(code, engineWords);
    }
}

void SqliteDatabase::setLockWait(int milliseconds)
{
    m_lockWaitMs = milliseconds;
    sqlite3_busy_handler(m_db, &SqliteDatabase::retryWhileBusy, this);
}

// Another connection's lock is tried again every millisecond until the wait is over. The
// engine's own timeout backs off to a try every 100 ms, so a writer waiting behind a
// program that writes one transaction after another rarely meets the moment between two of
// them, and is starved until it fails as busy.
int SqliteDatabase::retryWhileBusy(void* database, int tries)
{
    auto* db = static_cast<SqliteDatabase*>(database);
    if (tries == 0)
        db->m_busySince.start();
    if (db->m_busySince.hasExpired(db->m_lockWaitMs))
        return 0;
    sqlite3_sleep(1);
    return 1;
}

void SqliteDatabase::setBulkLoading(bool on)
{
    exec(on ? "PRAGMA synchronous=OFF" : "PRAGMA synchronous=FULL");
    if (!on)
        exec("PRAGMA wal_checkpoint(FULL)");
}

bool SqliteDatabase::inTransaction() const
{
    return sqlite3_get_autocommit(m_db) == 0;
}

const Dialect& SqliteDatabase::dialect() const
{
    // BEGIN IMMEDIATE takes the write lock at once, so two sessions never deadlock
    // upgrading a read lock. The row key is the table's rowid under a name of its own.
    static const Dialect d = {
        .integerType = "INTEGER",
        .realType = "REAL",
        .rowKeyColumn = "INTEGER PRIMARY KEY",
        .beginWrite = "BEGIN IMMEDIATE",
        .beginRead = "BEGIN",
        .storeSetup = {},
        .inTextsOfJsonArray = " IN (SELECT value FROM json_each(?1))",
        .inIntegersOfJsonArray = " IN (SELECT CAST(value AS INTEGER) FROM json_each(?1))",
        .hasTable = "SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ? COLLATE "
                    "NOCASE",
        .tableNames = "SELECT UPPER(name) FROM sqlite_schema WHERE type = 'table' AND name NOT "
                      "LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name",
        .columnNames = "SELECT name FROM pragma_table_info(?)",
        .journalGuards = {"CREATE TRIGGER IF NOT EXISTS TMJOURNAL_NO_UPDATE BEFORE UPDATE ON "
                          "TMJOURNAL BEGIN SELECT RAISE(ABORT, 'journal entries cannot be "
                          "changed'); END",
                          "CREATE TRIGGER IF NOT EXISTS TMJOURNAL_NO_DELETE BEFORE DELETE ON "
                          "TMJOURNAL BEGIN SELECT RAISE(ABORT, 'journal entries cannot be "
                          "removed'); END"},
    };
    return d;
}

QString SqliteDatabase::damage()
{
    Statement st = prepare("PRAGMA quick_check(1)");
    const QString answer = st.step() ? st.columnText(0) : QString();
    return answer == QLatin1String("ok") ? QString() : answer;
}

// The copy is made through the engine's online backup.
void SqliteDatabase::backupTo(const QString& file)
{
    const auto fail = [&](int code, const QString& message) {
        QFile::remove(file + QLatin1String("-journal"));
        QFile::remove(file);
        throw sqliteError(code, message);
    };
    const int fd =
        SiteFiles::openNoFollow(file, O_WRONLY | O_CREAT | O_EXCL, SiteFiles::SharedFileMode);
    if (fd < 0)
        throw sqliteError(errno == ENOSPC ? SQLITE_FULL : SQLITE_CANTOPEN,
                          QStringLiteral("the backup file \"%1\" cannot be made (%2)")
                              .arg(file, QString::fromLocal8Bit(std::strerror(errno))));
    ::close(fd);
    // The copy reads through a connection of its own: this one may hold the write lock,
    // which the engine's backup does not read through, while readers of a WAL file go on.
    sqlite3* source = nullptr;
    sqlite3* copy = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(m_file).constData(), &source,
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_open_v2(QFile::encodeName(file).constData(), &copy,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_backup* backup = sqlite3_backup_init(copy, "main", source, "main");
        if (backup) {
            rc = sqlite3_backup_step(backup, -1);
            sqlite3_backup_finish(backup);
            rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
        } else {
            rc = sqlite3_extended_errcode(copy);
        }
    }
    rc = withFullDisk(copy, rc);
    const QString message = QString::fromUtf8(sqlite3_errstr(rc));
    if (sqlite3_close(copy) != SQLITE_OK && rc == SQLITE_OK)
        rc = SQLITE_IOERR;
    sqlite3_close(source);
    if (rc != SQLITE_OK)
        fail(rc,
             QStringLiteral("the backup file \"%1\" cannot be written (%2)").arg(file, message));
}

} // namespace Accpac
