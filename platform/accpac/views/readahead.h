#pragma once

#include "storage.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QVariant>

#include <vector>

namespace Accpac {

// Rows of one browse read ahead for a run of look-ups of one key value each ("the first
// shipment of order N", order after order). Each look-up on a server costs a round trip;
// the rows of the next key values in key order cost about one. The batch holds the rows
// whose first key column is `from` or after in key order, `last` being the key value of its
// last row; it answers a key value in that range as the look-up would have: with the first
// row of that value, or with none. Ranges are compared byte by byte, so it is used only on
// stores whose texts sort that way (Database::readAheadRows).
//
// A batch answers only while nothing was written by this program (on any connection) since
// it was read and for a quarter of a second at most: a look-up it answers sees the store as
// a look-up of that moment could have seen it.
class ReadAhead
{
public:
    // A stored row: its row key and the values of the view's stored fields.
    struct Row
    {
        qint64 rowid = 0;
        QByteArray key; // the first key column's value, UTF-8
        std::vector<QVariant> values;
    };

    // True when a batch of this browse (`shape`: its statement text on `db`) answers `key`.
    bool covers(const Database* db, const QByteArray& shape, const QByteArray& key) const;
    // The first row of `key` in the batch, or nullptr when the key has none.
    const Row* find(const QByteArray& key);

    // Counts a look-up of this browse; true when it continues a run of them (nothing written
    // between) long enough to read ahead for.
    bool runContinues(const Database* db, const QByteArray& shape);
    // Keeps the rows read from `from` on; `complete` when the statement's limit was not
    // reached (no rows of later key values exist). `writesBefore`: the program's count of
    // writes (Database::writesInProgram) taken before the rows were read.
    void keep(const Database* db, const QByteArray& shape, const QByteArray& from,
              std::vector<Row> rows, bool complete, quint64 writesBefore);
    // How many look-ups a batch answered (for the tests).
    int answered() const { return m_answered; }

    // Look-ups in a row before the next ones are read ahead; the time a batch answers for.
    static constexpr int RunLength = 3;
    static constexpr qint64 AnswersForMs = 250;

private:
    const Database* m_db = nullptr;
    QByteArray m_shape;
    QByteArray m_from;
    bool m_complete = false;
    std::vector<Row> m_rows;
    QElapsedTimer m_readAt;
    quint64 m_writes = 0;
    int m_answered = 0;

    const Database* m_runDb = nullptr;
    QByteArray m_runShape;
    int m_run = 0;
    quint64 m_runWrites = 0;
    QElapsedTimer m_lastLookUp;
};

} // namespace Accpac
