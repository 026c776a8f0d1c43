#include "invoicerelease.h"

#include "storage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace Accpac {

namespace {

// The rows completion changes after an invoice, and their columns it changes: the orders
// (complete, back orders cleared, last invoice number) and the shipments (complete, their
// lines' order quantities cleared). Rows are named by their keys, which a copy of the company
// keeps (row keys it numbers anew); the first key chooses the invoice's orders or shipments.
struct RestoredTable
{
    const char* table;
    std::vector<const char*> keys;
    std::vector<const char*> columns;
    bool byOrder;
};

const std::vector<RestoredTable>& restoredTables()
{
    static const std::vector<RestoredTable> tables = {
        {"OEORDH", {"ORDUNIQ"}, {"COMPLETE", "LASTINVNUM"}, true},
        {"OEORDD", {"ORDUNIQ", "LINENUM"}, {"QTYORDERED", "QTYBACKORD", "COMPLETE"}, true},
        {"OESHIH", {"SHIUNIQ"}, {"COMPLETE"}, false},
        {"OESHID",
         {"SHIUNIQ", "LINENUM"},
         {"ORDQTYORD", "ORDQTYBKOR", "ORDQTYCOMM", "ORDQTYSTD", "COMPLETE"},
         false},
    };
    return tables;
}

QByteArray joined(const std::vector<const char*>& columns, const char* separator,
                  const char* suffix = "")
{
    QByteArray list;
    for (const char* column : columns)
        list += (list.isEmpty() ? "" : separator) + QByteArray(column) + suffix;
    return list;
}

// A JSON number goes back as an integer where it is one, so that either engine takes it for
// an integer column.
QVariant storable(const QJsonValue& value)
{
    if (value.isDouble()) {
        const double number = value.toDouble();
        if (number == std::trunc(number) && std::abs(number) < 1e15)
            return qint64(number);
        return number;
    }
    return value.toString();
}

QJsonObject stateBeforeInvoice(Database& db, int invUniq)
{
    Statement st = db.prepare("SELECT BODY FROM TMRESTORE WHERE INVUNIQ=?");
    st.bindInt(1, invUniq);
    if (!st.step())
        return {};
    return QJsonDocument::fromJson(st.columnText(0).toUtf8()).object();
}

} // namespace

void recordStateBeforeInvoice(Database& db, int invUniq, const QString& orderKeys,
                              const QString& shipmentKeys)
{
    QJsonObject state;
    for (const RestoredTable& table : restoredTables()) {
        const QByteArray keys = joined(table.keys, ", ");
        Statement st = db.prepare("SELECT " + keys + ", " + joined(table.columns, ", ") + " FROM " +
                                  table.table + " WHERE " + table.keys[0] +
                                  db.dialect().inIntegersOfJsonArray + " ORDER BY " + keys);
        st.bindText(1, table.byOrder ? orderKeys : shipmentKeys);
        QJsonArray rows;
        while (st.step()) {
            QJsonArray row;
            for (int i = 0; i < st.columnCount(); ++i)
                row.append(QJsonValue::fromVariant(st.columnValue(i)));
            rows.append(row);
        }
        state.insert(QLatin1String(table.table), rows);
    }
    Statement st = db.prepare("INSERT INTO TMRESTORE (INVUNIQ, BODY) VALUES (?,?)");
    st.bindInt(1, invUniq);
    st.bindText(2, QString::fromUtf8(QJsonDocument(state).toJson(QJsonDocument::Compact)));
    st.exec();
}

QString releaseProblem(Database& db, int invUniq, const QString& invNumber)
{
    if (stateBeforeInvoice(db, invUniq).isEmpty())
        return QStringLiteral("Invoice %1 was made before the books kept what completing its "
                              "orders changes; it can only be reversed with \"The goods came "
                              "back: the shipments stay invoiced\".")
            .arg(invNumber);
    {
        // The shipments must still be marked with this invoice.
        Statement st = db.prepare(
            "SELECT s.SHINUMBER, COALESCE(h.INVNUMBER, '') FROM OEINVS s LEFT JOIN OESHIH h ON "
            "h.SHIUNIQ = s.SHIUNIQ WHERE s.INVUNIQ = ? AND (h.SHIUNIQ IS NULL OR h.INVUNIQ <> "
            "s.INVUNIQ) ORDER BY s.SHINUMBER");
        st.bindInt(1, invUniq);
        if (st.step())
            return QStringLiteral("Shipment %1 of invoice %2 is no longer marked with it (it "
                                  "carries \"%3\"); its shipments cannot be released.")
                .arg(st.columnText(0).trimmed(), invNumber, st.columnText(1).trimmed());
    }
    // A later invoice of the same orders completed them again; putting them back as they were
    // before this invoice would undo that one too.
    Statement st = db.prepare(
        "SELECT o.ORDNUMBER, h.INVNUMBER FROM OESHIH h JOIN OEORDH o ON o.ORDUNIQ = h.ORDUNIQ "
        "WHERE h.INVUNIQ > ?1 AND h.ORDUNIQ IN (SELECT x.ORDUNIQ FROM OESHIH x JOIN OEINVS s "
        "ON s.SHIUNIQ = x.SHIUNIQ WHERE s.INVUNIQ = ?1) ORDER BY h.INVUNIQ LIMIT 1");
    st.bindInt(1, invUniq);
    if (st.step())
        return QStringLiteral("Order %1 of invoice %2 was invoiced again since on invoice %3; "
                              "the shipments cannot be released. Reverse with \"The goods came "
                              "back: the shipments stay invoiced\", or reverse invoice %3 first.")
            .arg(st.columnText(0).trimmed(), invNumber, st.columnText(1).trimmed());
    return {};
}

void releaseShipments(Database& db, int invUniq)
{
    const QJsonObject state = stateBeforeInvoice(db, invUniq);
    for (const RestoredTable& table : restoredTables()) {
        Statement st = db.prepare("UPDATE " + QByteArray(table.table) + " SET " +
                                  joined(table.columns, ", ", "=?") + " WHERE " +
                                  joined(table.keys, " AND ", "=?"));
        const int keys = int(table.keys.size());
        for (const QJsonValue& rowValue : state.value(QLatin1String(table.table)).toArray()) {
            // A row is its keys, then its columns; the statement takes the columns first.
            const QJsonArray row = rowValue.toArray();
            for (int i = 0; i < row.size(); ++i)
                st.bind(i < keys ? int(row.size()) - keys + i + 1 : i - keys + 1, storable(row[i]));
            st.exec();
            st.rewind();
        }
    }
    Statement links = db.prepare("UPDATE OEINVS SET RELEASED=1 WHERE INVUNIQ=?");
    links.bindInt(1, invUniq);
    Statement marks = db.prepare("UPDATE OESHIH SET INVUNIQ=0, INVNUMBER='' WHERE INVUNIQ=?");
    marks.bindInt(1, invUniq);
    // The links first: the server clears a shipment's marks only once its link is released.
    links.exec();
    marks.exec();
}

} // namespace Accpac
