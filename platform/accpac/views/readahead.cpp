#include "readahead.h"

#include <algorithm>

namespace Accpac {

bool ReadAhead::covers(const Database* db, const QByteArray& shape, const QByteArray& key) const
{
    if (m_db != db || m_shape != shape || !m_readAt.isValid())
        return false;
    if (m_writes != Database::writesInProgram() || m_readAt.elapsed() >= AnswersForMs)
        return false;
    if (key < m_from)
        return false;
    return m_complete || (!m_rows.empty() && key <= m_rows.back().key);
}

const ReadAhead::Row* ReadAhead::find(const QByteArray& key)
{
    ++m_answered;
    // The rows are in key order, the first row of a key value before its others.
    const auto row = std::lower_bound(m_rows.begin(), m_rows.end(), key,
                                      [](const Row& r, const QByteArray& k) { return r.key < k; });
    return row != m_rows.end() && row->key == key ? &*row : nullptr;
}

bool ReadAhead::runContinues(const Database* db, const QByteArray& shape)
{
    // Look-ups with writes between them (the completion of one order after another) are
    // no run: each batch would be dropped by the next write before it answered again.
    const quint64 writes = Database::writesInProgram();
    const bool continues = m_runDb == db && m_runShape == shape && m_lastLookUp.isValid() &&
                           m_lastLookUp.elapsed() < AnswersForMs && m_runWrites == writes;
    m_runWrites = writes;
    if (!continues) {
        m_runDb = db;
        m_runShape = shape;
        m_run = 0;
    }
    m_lastLookUp.start();
    return ++m_run >= RunLength;
}

void ReadAhead::keep(const Database* db, const QByteArray& shape, const QByteArray& from,
                     std::vector<Row> rows, bool complete, quint64 writesBefore)
{
    m_db = db;
    m_shape = shape;
    m_from = from;
    m_rows = std::move(rows);
    m_complete = complete;
    m_writes = writesBefore;
    m_readAt.start();
}

} // namespace Accpac
