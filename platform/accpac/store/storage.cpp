#include "storage.h"

#include <accpac/standin.h>
#include <atomic>

namespace Accpac {

namespace {

Testing::WriteObserver& writeObserver()
{
    static Testing::WriteObserver observer;
    return observer;
}

} // namespace

void Testing::setServerWriteObserver(WriteObserver observer)
{
    writeObserver() = std::move(observer);
}

void Database::observeWrite(const QByteArray& sql)
{
    if (const auto& observer = writeObserver())
        observer(sql);
}

Statement::Statement(Database* db, std::unique_ptr<PreparedStatement> stmt, IdleList* home)
    : m_db(db), m_stmt(std::move(stmt)), m_home(home)
{
}

Statement::~Statement()
{
    if (m_stmt)
        m_db->giveBack(*m_home, std::move(m_stmt));
}

void Statement::bind(int index, const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        m_stmt->bindNull(index);
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

bool Statement::step()
{
    if (!m_stmt->isReadOnly())
        m_db->countWrite();
    return m_stmt->step();
}

bool Database::hasTable(const QString& name)
{
    Statement st = prepare(dialect().hasTable);
    st.bindText(1, name);
    return st.step();
}

QStringList Database::tableNames()
{
    QStringList names;
    Statement st = prepare(dialect().tableNames);
    while (st.step())
        names << st.columnText(0);
    return names;
}

QStringList Database::columnNames(const QString& table)
{
    QStringList names;
    Statement st = prepare(dialect().columnNames);
    st.bindText(1, table);
    while (st.step())
        names << st.columnText(0);
    return names;
}

Statement Database::prepare(const QByteArray& sql)
{
    // The text is hashed once: the lease keeps where its statement goes back to.
    IdleList& idle = m_idle[sql];
    if (!idle.empty()) {
        std::unique_ptr<PreparedStatement> stmt = std::move(idle.back());
        idle.pop_back();
        return Statement(this, std::move(stmt), &idle);
    }
    return Statement(this, prepareNew(sql), &idle);
}

void Database::giveBack(IdleList& idle, std::unique_ptr<PreparedStatement> stmt)
{
    stmt->reset();
    if (idle.size() < 4)
        idle.push_back(std::move(stmt));
}

void Database::dropStatements()
{
    // The lists stay: a statement leased now goes back to its list when its lease ends.
    for (auto& entry : m_idle)
        entry.second.clear();
}

namespace {
std::atomic<quint64> programWrites{0};
} // namespace

quint64 Database::writesInProgram()
{
    return programWrites.load();
}

void Database::countWrite()
{
    ++programWrites;
    ++m_writes;
    if (m_writesBeforeFault < 0)
        return;
    if (m_writesBeforeFault-- == 0)
        throw StorageError(StorageError::Kind::Other, 0,
                           QStringLiteral("disk I/O error (injected)"));
}

void Database::countExec(const QByteArray& sql)
{
    if (!sql.startsWith("ROLLBACK") && !sql.startsWith("PRAGMA") && !sql.startsWith("SET"))
        countWrite();
}

Transaction::Transaction(Database& db) : m_db(db), m_nested(db.inTransaction())
{
    try {
        m_db.exec(m_nested ? QByteArray("SAVEPOINT tm_tx") : m_db.dialect().beginWrite);
    } catch (...) {
        // A beginning of several statements may have opened the transaction and failed after.
        if (!m_nested && m_db.inTransaction())
            m_db.exec("ROLLBACK");
        throw;
    }
}

Transaction::~Transaction()
{
    if (m_done)
        return;
    try {
        m_db.exec(m_nested ? "ROLLBACK TO SAVEPOINT tm_tx; RELEASE SAVEPOINT tm_tx" : "ROLLBACK");
    } catch (...) {
        // A failed statement may already have ended the transaction.
    }
}

void Transaction::commit()
{
    m_db.exec(m_nested ? "RELEASE SAVEPOINT tm_tx" : "COMMIT");
    m_done = true;
}

} // namespace Accpac
