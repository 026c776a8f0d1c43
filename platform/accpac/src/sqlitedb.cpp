#include "sqlitedb.h"

#include <QFile>

#include <system/sitefiles.h>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Accpac {

namespace {

constexpr int BusyTimeoutMs = 10000;

// A database, its WAL or its shared-memory file replaced by a symbolic link is never
// opened: the link could lead a write of the site's group anywhere.
void refuseLinks(const QString& file)
{
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        const QString path = file + QLatin1String(suffix);
        if (SiteFiles::isSymbolicLink(path))
            throw StorageError(SQLITE_CANTOPEN_SYMLINK,
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
        throw StorageError(SQLITE_CANTOPEN,
                           QStringLiteral("The mode of the new database file \"%1\" cannot be "
                                          "set.")
                               .arg(file));
}

} // namespace

bool StorageError::isConstraint() const
{
    return (m_code & 0xff) == SQLITE_CONSTRAINT;
}

bool StorageError::isBusy() const
{
    return (m_code & 0xff) == SQLITE_BUSY || (m_code & 0xff) == SQLITE_LOCKED;
}

Statement::Statement(Database* db, sqlite3_stmt* stmt, QByteArray sql)
    : m_db(db), m_stmt(stmt), m_sql(std::move(sql))
{
}

Statement::Statement(Statement&& other) noexcept
    : m_db(other.m_db), m_stmt(other.m_stmt), m_sql(std::move(other.m_sql))
{
    other.m_stmt = nullptr;
}

Statement::~Statement()
{
    if (m_stmt)
        m_db->giveBack(m_sql, m_stmt);
}

void Statement::bind(int index, const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        sqlite3_bind_null(m_stmt, index);
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        bindDouble(index, value.toDouble());
        break;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::Bool:
        bindInt(index, value.toLongLong());
        break;
    default:
        bindText(index, value.toString());
    }
}

void Statement::bindText(int index, const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    if (int rc =
            sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT))
        m_db->raise(rc);
}

void Statement::bindInt(int index, qint64 value)
{
    if (int rc = sqlite3_bind_int64(m_stmt, index, value))
        m_db->raise(rc);
}

void Statement::bindDouble(int index, double value)
{
    if (int rc = sqlite3_bind_double(m_stmt, index, value))
        m_db->raise(rc);
}

bool Statement::step()
{
    if (!sqlite3_stmt_readonly(m_stmt))
        m_db->countWrite();
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_stmt);
    m_db->raise(rc);
}

int Statement::columnCount() const
{
    return sqlite3_column_count(m_stmt);
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

qint64 Statement::columnInt(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

double Statement::columnDouble(int column) const
{
    return sqlite3_column_double(m_stmt, column);
}

QString Statement::columnText(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column)) : QString();
}

Database::Database(const QString& file, bool create, Access access) : m_file(file)
{
    refuseLinks(file);
    const bool exists = QFile::exists(file);
    if (!create && !exists)
        throw StorageError(SQLITE_CANTOPEN, QStringLiteral("The database file \"%1\" does not "
                                                           "exist.")
                                                .arg(file));
    // NOFOLLOW: SQLite itself refuses a path that goes through a symbolic link.
    const bool readOnly = access == Access::ReadOnly;
    const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                      SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW |
                      (create && !readOnly ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(QFile::encodeName(file).constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : "out of memory");
        sqlite3_close(m_db);
        m_db = nullptr;
        throw StorageError(
            rc, QStringLiteral("The database file \"%1\" cannot be opened: %2").arg(file, message));
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, BusyTimeoutMs);
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

Database::~Database()
{
    for (auto& list : m_idle)
        for (sqlite3_stmt* stmt : list)
            sqlite3_finalize(stmt);
    sqlite3_close(m_db);
}

Statement Database::prepare(const QByteArray& sql)
{
    auto it = m_idle.find(sql);
    if (it != m_idle.end() && !it->empty()) {
        sqlite3_stmt* stmt = it->back();
        it->pop_back();
        return Statement(this, stmt, sql);
    }
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v3(m_db, sql.constData(), int(sql.size()), SQLITE_PREPARE_PERSISTENT,
                                &stmt, nullptr);
    if (rc != SQLITE_OK)
        raise(rc);
    return Statement(this, stmt, sql);
}

void Database::giveBack(const QByteArray& sql, sqlite3_stmt* stmt)
{
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    auto& list = m_idle[sql];
    if (list.size() < 4)
        list.push_back(stmt);
    else
        sqlite3_finalize(stmt);
}

void Database::countWrite()
{
    ++m_writes;
    if (m_writesBeforeFault < 0)
        return;
    if (m_writesBeforeFault-- == 0)
        throw StorageError(SQLITE_IOERR_WRITE, QStringLiteral("disk I/O error (injected)"));
}

void Database::exec(const QByteArray& sql)
{
    if (!sql.startsWith("ROLLBACK") && !sql.startsWith("PRAGMA"))
        countWrite();
    char* error = nullptr;
    int rc = sqlite3_exec(m_db, sql.constData(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        const QString message = QString::fromUtf8(error ? error : sqlite3_errstr(rc));
        sqlite3_free(error);
        throw StorageError(rc, message);
    }
}

qint64 Database::lastInsertRowId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

int Database::changes() const
{
    return sqlite3_changes(m_db);
}

void Database::raise(int code) const
{
    throw StorageError(code, QString::fromUtf8(sqlite3_errmsg(m_db)));
}

bool Database::hasTable(const QString& name)
{
    Statement st = prepare("SELECT 1 FROM sqlite_master WHERE type='table' AND name=?");
    st.bindText(1, name);
    return st.step();
}

QString Database::damage()
{
    Statement st = prepare("PRAGMA quick_check(1)");
    const QString answer = st.step() ? st.columnText(0) : QString();
    return answer == QLatin1String("ok") ? QString() : answer;
}

void Database::backupTo(const QString& file)
{
    const auto fail = [&](int code, const QString& message) {
        QFile::remove(file + QLatin1String("-journal"));
        QFile::remove(file);
        throw StorageError(code, message);
    };
    const int fd =
        SiteFiles::openNoFollow(file, O_WRONLY | O_CREAT | O_EXCL, SiteFiles::SharedFileMode);
    if (fd < 0)
        throw StorageError(errno == ENOSPC ? SQLITE_FULL : SQLITE_CANTOPEN,
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
    const QString message = QString::fromUtf8(sqlite3_errstr(rc));
    if (sqlite3_close(copy) != SQLITE_OK && rc == SQLITE_OK)
        rc = SQLITE_IOERR;
    sqlite3_close(source);
    if (rc != SQLITE_OK)
        fail(rc,
             QStringLiteral("the backup file \"%1\" cannot be written (%2)").arg(file, message));
}

// Inside an open transaction a savepoint nests; otherwise BEGIN IMMEDIATE takes the write
// lock at once, so two sessions never deadlock upgrading a read lock.
Transaction::Transaction(Database& db)
    : m_db(db), m_nested(sqlite3_get_autocommit(db.handle()) == 0)
{
    m_db.exec(m_nested ? "SAVEPOINT tm_tx" : "BEGIN IMMEDIATE");
}

Transaction::~Transaction()
{
    if (m_done)
        return;
    try {
        m_db.exec(m_nested ? "ROLLBACK TO tm_tx; RELEASE tm_tx" : "ROLLBACK");
    } catch (...) {
        // A failed statement may already have ended the transaction.
    }
}

void Transaction::commit()
{
    m_db.exec(m_nested ? "RELEASE tm_tx" : "COMMIT");
    m_done = true;
}

} // namespace Accpac
