// A browse's look-up answered from rows read ahead (readahead.h): the part of the views that
// makes a run of look-ups one round trip to a server.
#include "viewimpl.h"

#include <algorithm>

namespace Accpac {

std::optional<bool> ViewImpl::lookUpReadAhead()
{
    const int rows = m_db->readAheadRows();
    if (rows == 0 || !m_ascending || m_whereParams.size() != 1 || m_db->inTransaction())
        return std::nullopt;
    // Only a selection of one value of the order's first column, a text.
    const int keyField = m_def.orders[m_order].front();
    const QByteArray keyColumn = quoted(m_def.fields[keyField].column);
    if (m_def.fields[keyField].type != FieldType::Text || m_where != keyColumn + " = ?")
        return std::nullopt;
    const QByteArray sql = m_def.selectFrom + " WHERE " + keyColumn + ">=?" +
                           m_def.orderBy[m_order] + " LIMIT " + QByteArray::number(rows);
    const QString value = m_whereParams.front().toString();
    const QByteArray key = value.toUtf8();
    ReadAhead& ahead = m_core->readAhead;
    const bool inRun = ahead.runContinues(m_db, sql);
    if (!ahead.covers(m_db, sql, key)) {
        if (!inRun)
            return std::nullopt;
        const quint64 writesBefore = Database::writesInProgram();
        const auto stored =
            std::find(m_def.storedFields.begin(), m_def.storedFields.end(), keyField);
        const int keyValue = int(stored - m_def.storedFields.begin());
        std::vector<ReadAhead::Row> batch;
        Statement st = m_db->prepare(sql);
        st.bindText(1, value);
        while (st.step()) {
            ReadAhead::Row row{st.columnInt(0), {}, {}};
            row.values.reserve(m_def.storedFields.size());
            int column = 1;
            for (int i : m_def.storedFields)
                row.values.push_back(storedValue(st, column++, m_def.fields[i].type));
            row.key = row.values[keyValue].toString().toUtf8();
            batch.push_back(std::move(row));
        }
        const bool complete = int(batch.size()) < rows;
        ahead.keep(m_db, sql, key, std::move(batch), complete, writesBefore);
    }
    const ReadAhead::Row* row = ahead.find(key);
    if (!row)
        return false;
    m_rowid = row->rowid;
    for (size_t n = 0; n < m_def.storedFields.size(); ++n)
        m_values[m_def.storedFields[n]] = row->values[n];
    markStored();
    m_position.clear();
    for (int i : m_def.orders[m_order])
        m_position.push_back(m_values[i]);
    m_positioned = true;
    return true;
}

} // namespace Accpac
