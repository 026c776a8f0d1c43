// The integrity checker of a company file (see accpac/standin.h).
#include "sqlitedb.h"

#include <accpac/standin.h>
#include <system/comerror.h>

namespace Accpac {

namespace {

// Each query returns the rows that break one rule; `describe` turns a row into a sentence.
struct Rule
{
    const char* sql;
    QString (*describe)(const Statement&);
};

QString t(const Statement& st, int column)
{
    return st.columnText(column).trimmed();
}

QString money(const Statement& st, int column)
{
    return QString::number(st.columnDouble(column), 'f', 2);
}

// clang-format off
const Rule Rules[] = {
    {"SELECT SHIUNIQ, COUNT(*) FROM OEINVS GROUP BY SHIUNIQ HAVING COUNT(*) > 1",
     [](const Statement& st) {
         return QStringLiteral("Shipment %1 is on %2 invoices.").arg(t(st, 0), t(st, 1));
     }},
    {"SELECT s.SHINUMBER, h.INVNUMBER, COALESCE(i.INVNUMBER, '') FROM OEINVS s "
     "JOIN OESHIH h ON h.SHIUNIQ = s.SHIUNIQ LEFT JOIN OEINVH i ON i.INVUNIQ = s.INVUNIQ "
     "WHERE h.INVUNIQ <> s.INVUNIQ OR i.INVUNIQ IS NULL OR h.INVNUMBER <> i.INVNUMBER",
     [](const Statement& st) {
         return QStringLiteral("Shipment %1 is marked with invoice \"%2\" but listed on invoice "
                               "\"%3\".").arg(t(st, 0), t(st, 1), t(st, 2));
     }},
    {"SELECT s.SHIUNIQ, s.SHINUMBER FROM OEINVS s LEFT JOIN OESHIH h ON h.SHIUNIQ = s.SHIUNIQ "
     "WHERE h.SHIUNIQ IS NULL",
     [](const Statement& st) {
         return QStringLiteral("Invoiced shipment %1 (%2) does not exist.").arg(t(st, 1), t(st, 0));
     }},
    {"SELECT h.SHINUMBER, h.INVNUMBER FROM OESHIH h WHERE h.INVUNIQ <> 0 AND NOT EXISTS "
     "(SELECT 1 FROM OEINVS s WHERE s.INVUNIQ = h.INVUNIQ AND s.SHIUNIQ = h.SHIUNIQ)",
     [](const Statement& st) {
         return QStringLiteral("Shipment %1 is marked with invoice %2, which does not list it.")
             .arg(t(st, 0), t(st, 1));
     }},
    {"SELECT i.INVNUMBER, i.INVNETWTX, COALESCE(SUM(d.EXTINVMISC), 0) FROM OEINVH i "
     "LEFT JOIN OEINVD d ON d.INVUNIQ = i.INVUNIQ GROUP BY i.INVUNIQ "
     "HAVING ABS(i.INVNETWTX - COALESCE(SUM(d.EXTINVMISC), 0)) >= 0.005",
     [](const Statement& st) {
         return QStringLiteral("Invoice %1 totals %2 but its lines come to %3.")
             .arg(t(st, 0), money(st, 1), money(st, 2));
     }},
    {"SELECT INVNUMBER, COUNT(*) FROM OEINVH GROUP BY INVNUMBER HAVING COUNT(*) > 1",
     [](const Statement& st) {
         return QStringLiteral("Invoice number %1 was given %2 times.").arg(t(st, 0), t(st, 1));
     }},
    {"SELECT o.ORDNUMBER, o.LASTINVNUM FROM OEORDH o WHERE o.LASTINVNUM <> '' AND NOT EXISTS "
     "(SELECT 1 FROM OESHIH h WHERE h.ORDUNIQ = o.ORDUNIQ AND h.INVNUMBER = o.LASTINVNUM)",
     [](const Statement& st) {
         return QStringLiteral("Order %1 names %2 as its last invoice, which holds none of its "
                               "shipments.").arg(t(st, 0), t(st, 1));
     }},
    {"SELECT o.ORDNUMBER FROM OEORDH o WHERE o.LASTINVNUM = '' AND EXISTS "
     "(SELECT 1 FROM OESHIH h WHERE h.ORDUNIQ = o.ORDUNIQ AND h.INVUNIQ <> 0)",
     [](const Statement& st) {
         return QStringLiteral("Order %1 has invoiced shipments but no last invoice number.")
             .arg(t(st, 0));
     }},
    {"SELECT c.IDCUST, c.AMTBALDUET, c.AMTOPENBAL "
     "+ COALESCE((SELECT SUM(INVNETWTX) FROM OEINVH i WHERE i.CUSTOMER = c.IDCUST), 0) "
     "- COALESCE((SELECT SUM(AMTRMIT) FROM ARTCR r WHERE r.IDCUST = c.IDCUST), 0) AS expected "
     "FROM ARCUS c WHERE ABS(c.AMTBALDUET - expected) >= 0.005",
     [](const Statement& st) {
         return QStringLiteral("Customer %1 has a balance of %2; its invoices and receipts give "
                               "%3.").arg(t(st, 0), money(st, 1), money(st, 2));
     }},
    {"SELECT b.CNTBTCH, b.CNTENTER, b.AMTENTER, COUNT(r.CNTITEM), COALESCE(SUM(r.AMTRMIT), 0) "
     "FROM ARBTA b LEFT JOIN ARTCR r ON r.CODEPYMTYP = b.CODEPYMTYP AND r.CNTBTCH = b.CNTBTCH "
     "GROUP BY b.CODEPYMTYP, b.CNTBTCH HAVING b.CNTENTER <> COUNT(r.CNTITEM) "
     "OR ABS(b.AMTENTER - COALESCE(SUM(r.AMTRMIT), 0)) >= 0.005",
     [](const Statement& st) {
         return QStringLiteral("Receipt batch %1 counts %2 receipts of %3 but holds %4 of %5.")
             .arg(t(st, 0), t(st, 1), money(st, 2), t(st, 3), money(st, 4));
     }},
    {"SELECT r.CNTBTCH, r.CNTITEM FROM ARTCR r LEFT JOIN ARBTA b ON b.CODEPYMTYP = r.CODEPYMTYP "
     "AND b.CNTBTCH = r.CNTBTCH WHERE b.CNTBTCH IS NULL",
     [](const Statement& st) {
         return QStringLiteral("Receipt %2 of batch %1 belongs to no batch.").arg(t(st, 0), t(st, 1));
     }},
    {"SELECT p.INVUNIQ FROM OEPPAY p LEFT JOIN OEINVH i ON i.INVUNIQ = p.INVUNIQ "
     "WHERE i.INVUNIQ IS NULL",
     [](const Statement& st) {
         return QStringLiteral("Prepayment %1 belongs to no invoice.").arg(t(st, 0));
     }},
};
// clang-format on

} // namespace

QStringList checkCompanyFile(const QString& companyFile)
{
    QStringList problems;
    try {
        Database db(companyFile, false);
        // One read transaction: every rule sees the same moment of the books.
        db.exec("BEGIN");
        for (const Rule& rule : Rules) {
            Statement st = db.prepare(rule.sql);
            while (st.step())
                problems << rule.describe(st);
        }
        db.exec("ROLLBACK");
    } catch (const StorageError& e) {
        throw ComError(ComErrorNumber::E_Fail,
                       QStringLiteral("The company file \"%1\" cannot be checked: %2")
                           .arg(companyFile, e.message()));
    }
    return problems;
}

} // namespace Accpac
