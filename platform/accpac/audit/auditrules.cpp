// The rules of the books, each one query and one sentence (see accpac/audit.h).
#include "auditrules.h"

#include <iterator>

namespace Accpac {

namespace {

QString t(const Statement& st, int column)
{
    return auditText(st, column);
}

QString money(const Statement& st, int column)
{
    return auditMoney(st, column);
}

// The receipts of the prepayments: a receipt of type "CA" names the invoice it pays.
#define PREPAID_RECEIPTS "ARTCR r JOIN OEINVH i ON i.INVNUMBER = r.IDINVC AND r.CODEPYMTYP = 'CA' "

// An invoice's lines of each shipment ("billed") and the shipment's own lines ("shipped"),
// each numbered in its order: the program copies the shipment's lines one for one.
// A line is its shipment line's or its charge's amount rounded to the cent, which moves it
// by half a cent at most (whichever way the half is rounded).
#define OFF_BY_MORE_THAN_ROUNDING(a, b) "ABS(" a " - " b ") > 0.0051"
#define SHIPPED_LINES                                                                              \
    "WITH billed AS (SELECT d.INVUNIQ, d.SHIUNIQ, d.LINENUM, d.EXTINVMISC, ROW_NUMBER() OVER "     \
    "(PARTITION BY d.INVUNIQ, d.SHIUNIQ ORDER BY d.LINENUM) AS n FROM OEINVD d "                   \
    "WHERE d.SHIUNIQ <> 0), shipped AS (SELECT l.SHIUNIQ, l.EXTSHIMISC, "                          \
    "ROW_NUMBER() OVER (PARTITION BY l.SHIUNIQ ORDER BY l.LINENUM) AS n FROM OESHID l) "

// clang-format off
const AuditRule Books[] = {
    // Shipments and invoices.
    // A shipment released by a reversal counts on no invoice: it may go on another.
    {"SELECT MAX(s.SHINUMBER), (SELECT GROUP_CONCAT(n, ', ') FROM (SELECT TRIM(i.INVNUMBER) AS n "
     "FROM OEINVS o JOIN OEINVH i ON i.INVUNIQ = o.INVUNIQ WHERE o.SHIUNIQ = s.SHIUNIQ "
     "AND o.RELEASED = 0 ORDER BY n) invoices) "
     "FROM OEINVS s WHERE s.RELEASED = 0 GROUP BY s.SHIUNIQ HAVING COUNT(*) > 1 ORDER BY 1",
     [](const Statement& st) {
         return QStringLiteral("Shipment %1 is on more than one invoice: %2.")
             .arg(t(st, 0), t(st, 1));
     }},
    {"SELECT i.INVNUMBER, i.CUSTOMER, s.SHINUMBER, h.CUSTOMER FROM OEINVS s "
     "JOIN OEINVH i ON i.INVUNIQ = s.INVUNIQ JOIN OESHIH h ON h.SHIUNIQ = s.SHIUNIQ "
     "WHERE TRIM(h.CUSTOMER) <> TRIM(i.CUSTOMER) ORDER BY i.INVNUMBER, s.SHINUMBER",
     [](const Statement& st) {
         return QStringLiteral("Invoice %1 of customer %2 lists shipment %3 of customer %4.")
             .arg(t(st, 0), t(st, 1), t(st, 2), t(st, 3));
     }},
    {"SELECT s.SHINUMBER, h.INVNUMBER, COALESCE(i.INVNUMBER, '') FROM OEINVS s "
     "JOIN OESHIH h ON h.SHIUNIQ = s.SHIUNIQ LEFT JOIN OEINVH i ON i.INVUNIQ = s.INVUNIQ "
     "WHERE s.RELEASED = 0 AND (h.INVUNIQ <> s.INVUNIQ OR i.INVUNIQ IS NULL "
     "OR h.INVNUMBER <> i.INVNUMBER)",
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
     "(SELECT 1 FROM OEINVS s WHERE s.INVUNIQ = h.INVUNIQ AND s.SHIUNIQ = h.SHIUNIQ "
     "AND s.RELEASED = 0)",
     [](const Statement& st) {
         return QStringLiteral("Shipment %1 is marked with invoice %2, which does not list it.")
             .arg(t(st, 0), t(st, 1));
     }},
    // Only a credit note releases an invoice's shipments, and all of them.
    {"SELECT i.INVNUMBER, MIN(s.RELEASED) FROM OEINVS s JOIN OEINVH i ON i.INVUNIQ = s.INVUNIQ "
     "GROUP BY s.INVUNIQ, i.INVNUMBER HAVING MAX(s.RELEASED) <> 0 AND (MIN(s.RELEASED) = 0 "
     "OR NOT EXISTS (SELECT 1 FROM OECRDH c WHERE c.INVUNIQ = s.INVUNIQ)) ORDER BY 1",
     [](const Statement& st) {
         if (st.columnInt(1) == 0)
             return QStringLiteral("Invoice %1 released some of its shipments but not all.")
                 .arg(t(st, 0));
         return QStringLiteral("Invoice %1 released its shipments but no credit note reverses "
                               "it.").arg(t(st, 0));
     }},
    {SHIPPED_LINES "SELECT i.INVNUMBER, b.LINENUM, COALESCE(h.SHINUMBER, CAST(b.SHIUNIQ AS TEXT)), "
     "b.EXTINVMISC, p.EXTSHIMISC FROM billed b JOIN OEINVH i ON i.INVUNIQ = b.INVUNIQ "
     "LEFT JOIN OESHIH h ON h.SHIUNIQ = b.SHIUNIQ "
     "LEFT JOIN shipped p ON p.SHIUNIQ = b.SHIUNIQ AND p.n = b.n "
     "WHERE p.SHIUNIQ IS NULL OR " OFF_BY_MORE_THAN_ROUNDING("b.EXTINVMISC", "p.EXTSHIMISC") " "
     "ORDER BY i.INVNUMBER, b.LINENUM",
     [](const Statement& st) {
         const QString line = QStringLiteral("Line %1 of invoice %2 bills %3 for shipment %4")
                                  .arg(t(st, 1), t(st, 0), money(st, 3), t(st, 2));
         if (st.columnText(4).isEmpty())
             return line + QStringLiteral(", which has no such line.");
         return line + QStringLiteral(", whose line comes to %1.").arg(money(st, 4));
     }},
    {SHIPPED_LINES "SELECT i.INVNUMBER, p.n, s.SHINUMBER FROM OEINVS s "
     "JOIN OEINVH i ON i.INVUNIQ = s.INVUNIQ JOIN shipped p ON p.SHIUNIQ = s.SHIUNIQ "
     "WHERE NOT EXISTS (SELECT 1 FROM billed b WHERE b.INVUNIQ = s.INVUNIQ "
     "AND b.SHIUNIQ = s.SHIUNIQ AND b.n = p.n) ORDER BY i.INVNUMBER, s.SHINUMBER, p.n",
     [](const Statement& st) {
         return QStringLiteral("Invoice %1 lacks line %2 of shipment %3.")
             .arg(t(st, 0), t(st, 1), t(st, 2));
     }},
    // A charge line carries its charge's amount, as the program adds it.
    {"SELECT i.INVNUMBER, d.MISCCHARGE, d.EXTINVMISC, m.AMOUNT, m.MISCCHARGE FROM OEINVD d "
     "JOIN OEINVH i ON i.INVUNIQ = d.INVUNIQ LEFT JOIN OEMISC m ON TRIM(m.MISCCHARGE) = "
     "TRIM(d.MISCCHARGE) WHERE d.LINETYPE = 2 "
     "AND (m.MISCCHARGE IS NULL OR " OFF_BY_MORE_THAN_ROUNDING("d.EXTINVMISC", "m.AMOUNT") ") "
     "ORDER BY i.INVNUMBER, d.LINENUM",
     [](const Statement& st) {
         if (st.columnText(4).isEmpty())
             return QStringLiteral("Invoice %1 carries charge %2, which does not exist.")
                 .arg(t(st, 0), t(st, 1));
         return QStringLiteral("Invoice %1 carries charge %2 at %3; the charge is %4.")
             .arg(t(st, 0), t(st, 1), money(st, 2), money(st, 3));
     }},
    {"SELECT i.INVNUMBER, i.INVNETWTX, COALESCE(SUM(d.EXTINVMISC), 0) FROM OEINVH i "
     "LEFT JOIN OEINVD d ON d.INVUNIQ = i.INVUNIQ GROUP BY i.INVUNIQ, i.INVNUMBER, i.INVNETWTX "
     "HAVING ABS(i.INVNETWTX - COALESCE(SUM(d.EXTINVMISC), 0)) >= 0.005",
     [](const Statement& st) {
         return QStringLiteral("Invoice %1 totals %2 but its lines come to %3.")
             .arg(t(st, 0), money(st, 1), money(st, 2));
     }},

    // Credit notes: each reverses one invoice whole, and an invoice is reversed once.
    {"SELECT c.CRDNUMBER, c.INVNUMBER, c.CUSTOMER, c.CRDNETWTX, COALESCE(i.INVNUMBER, ''), "
     "COALESCE(i.CUSTOMER, ''), COALESCE(i.INVNETWTX, 0) FROM OECRDH c "
     "LEFT JOIN OEINVH i ON i.INVUNIQ = c.INVUNIQ WHERE i.INVUNIQ IS NULL "
     "OR i.INVNUMBER <> c.INVNUMBER OR TRIM(i.CUSTOMER) <> TRIM(c.CUSTOMER) "
     "OR ABS(i.INVNETWTX - c.CRDNETWTX) >= 0.005 ORDER BY c.CRDNUMBER",
     [](const Statement& st) {
         if (st.columnText(4).isEmpty())
             return QStringLiteral("Credit note %1 reverses invoice %2, which does not exist.")
                 .arg(t(st, 0), t(st, 1));
         return QStringLiteral("Credit note %1 of customer %2 for %3 does not match invoice %4 "
                               "of customer %5 for %6.")
             .arg(t(st, 0), t(st, 2), money(st, 3), t(st, 4), t(st, 5), money(st, 6));
     }},
    {"SELECT MAX(INVNUMBER), COUNT(*) FROM OECRDH GROUP BY INVUNIQ HAVING COUNT(*) > 1 "
     "ORDER BY 1",
     [](const Statement& st) {
         return QStringLiteral("Invoice %1 is reversed by %2 credit notes.")
             .arg(t(st, 0), t(st, 1));
     }},
    {"SELECT c.CRDNUMBER, l.LINENUM, c.INVNUMBER, 1 FROM OECRDD l "
     "JOIN OECRDH c ON c.CRDUNIQ = l.CRDUNIQ WHERE NOT EXISTS (SELECT 1 FROM OEINVD d "
     "WHERE d.INVUNIQ = c.INVUNIQ AND d.LINENUM = l.LINENUM AND d.LINETYPE = l.LINETYPE "
     "AND d.SHIUNIQ = l.SHIUNIQ AND TRIM(d.MISCCHARGE) = TRIM(l.MISCCHARGE) "
     "AND ABS(d.EXTINVMISC - l.EXTCRDMISC) < 0.005) "
     "UNION ALL SELECT c.CRDNUMBER, d.LINENUM, c.INVNUMBER, 0 FROM OECRDH c "
     "JOIN OEINVD d ON d.INVUNIQ = c.INVUNIQ WHERE NOT EXISTS (SELECT 1 FROM OECRDD l "
     "WHERE l.CRDUNIQ = c.CRDUNIQ AND l.LINENUM = d.LINENUM) ORDER BY 1, 2",
     [](const Statement& st) {
         if (st.columnInt(3) == 0)
             return QStringLiteral("Credit note %1 lacks line %2 of invoice %3.")
                 .arg(t(st, 0), t(st, 1), t(st, 2));
         return QStringLiteral("Line %2 of credit note %1 does not credit line %2 of invoice %3 "
                               "as it was billed.").arg(t(st, 0), t(st, 1), t(st, 2));
     }},

    // Numbers given once.
    {"SELECT INVNUMBER, COUNT(*) FROM OEINVH GROUP BY INVNUMBER HAVING COUNT(*) > 1",
     [](const Statement& st) {
         return QStringLiteral("Invoice number %1 was given %2 times.").arg(t(st, 0), t(st, 1));
     }},
    {"SELECT CRDNUMBER, COUNT(*) FROM OECRDH GROUP BY CRDNUMBER HAVING COUNT(*) > 1",
     [](const Statement& st) {
         return QStringLiteral("Credit note number %1 was given %2 times.")
             .arg(t(st, 0), t(st, 1));
     }},
    {"SELECT CNTBTCH, COUNT(*) FROM ARBTA GROUP BY CODEPYMTYP, CNTBTCH HAVING COUNT(*) > 1",
     [](const Statement& st) {
         return QStringLiteral("Receipt batch number %1 was given %2 times.")
             .arg(t(st, 0), t(st, 1));
     }},

    // Orders after their invoices.
    {"SELECT o.ORDNUMBER, o.LASTINVNUM FROM OEORDH o WHERE TRIM(o.LASTINVNUM) <> '' AND NOT EXISTS "
     "(SELECT 1 FROM OEINVH i JOIN OEINVS s ON s.INVUNIQ = i.INVUNIQ "
     "JOIN OESHIH h ON h.SHIUNIQ = s.SHIUNIQ WHERE i.INVNUMBER = o.LASTINVNUM "
     "AND h.ORDUNIQ = o.ORDUNIQ)",
     [](const Statement& st) {
         return QStringLiteral("Order %1 names %2 as its last invoice, which is no invoice of the "
                               "order.").arg(t(st, 0), t(st, 1));
     }},
    {"SELECT o.ORDNUMBER FROM OEORDH o WHERE TRIM(o.LASTINVNUM) = '' AND EXISTS "
     "(SELECT 1 FROM OESHIH h WHERE h.ORDUNIQ = o.ORDUNIQ AND h.INVUNIQ <> 0)",
     [](const Statement& st) {
         return QStringLiteral("Order %1 has invoiced shipments but no last invoice number.")
             .arg(t(st, 0));
     }},
    {"SELECT o.ORDNUMBER, o.COMPLETE FROM OEORDH o WHERE o.COMPLETE < 3 "
     "AND EXISTS (SELECT 1 FROM OESHIH h WHERE h.ORDUNIQ = o.ORDUNIQ AND h.INVUNIQ <> 0) "
     "AND NOT EXISTS (SELECT 1 FROM OEORDD d WHERE d.ORDUNIQ = o.ORDUNIQ "
     "AND (d.QTYBACKORD > 0 OR d.QTYSHIPPED < d.QTYORDERED))",
     [](const Statement& st) {
         return QStringLiteral("Order %1 is invoiced with nothing left to ship or on back order, "
                               "but it is not complete (COMPLETE %2).").arg(t(st, 0), t(st, 1));
     }},
    // Shipped goods are billed: an order is complete only once a shipment of it is invoiced
    // (a zero-amount shipment needs no invoice).
    {"SELECT o.ORDNUMBER, o.COMPLETE, MIN(h.SHINUMBER) FROM OEORDH o "
     "JOIN OESHIH h ON h.ORDUNIQ = o.ORDUNIQ WHERE o.COMPLETE >= 3 AND h.INVUNIQ = 0 "
     "AND ABS(h.SHINETWTX) >= 0.005 "
     "AND NOT EXISTS (SELECT 1 FROM OESHIH x WHERE x.ORDUNIQ = o.ORDUNIQ AND x.INVUNIQ <> 0) "
     "GROUP BY o.ORDUNIQ, o.ORDNUMBER, o.COMPLETE ORDER BY o.ORDNUMBER",
     [](const Statement& st) {
         return QStringLiteral("Order %1 is complete (COMPLETE %2) but none of its shipments is "
                               "invoiced: shipment %3 is on no invoice.")
             .arg(t(st, 0), t(st, 1), t(st, 2));
     }},

    // Customers' balances.
    {"SELECT * FROM (SELECT c.IDCUST, c.AMTBALDUET, c.AMTOPENBAL "
     "+ COALESCE((SELECT SUM(INVNETWTX) FROM OEINVH i WHERE i.CUSTOMER = c.IDCUST), 0) "
     "- COALESCE((SELECT SUM(AMTRMIT) FROM ARTCR r WHERE r.IDCUST = c.IDCUST), 0) "
     "- COALESCE((SELECT SUM(CRDNETWTX) FROM OECRDH n WHERE n.CUSTOMER = c.IDCUST), 0) AS expected "
     "FROM ARCUS c) b WHERE ABS(b.AMTBALDUET - b.expected) >= 0.005",
     [](const Statement& st) {
         return QStringLiteral("Customer %1 has a balance of %2; its invoices, credit notes and "
                               "receipts give %3.").arg(t(st, 0), money(st, 1), money(st, 2));
     }},

    // Receipt batches and prepayments.
    {"SELECT b.CNTBTCH, b.CNTENTER, b.AMTENTER, COUNT(r.CNTITEM), COALESCE(SUM(r.AMTRMIT), 0) "
     "FROM ARBTA b LEFT JOIN ARTCR r ON r.CODEPYMTYP = b.CODEPYMTYP AND r.CNTBTCH = b.CNTBTCH "
     "GROUP BY b.CODEPYMTYP, b.CNTBTCH, b.CNTENTER, b.AMTENTER "
     "HAVING b.CNTENTER <> COUNT(r.CNTITEM) "
     "OR ABS(b.AMTENTER - COALESCE(SUM(r.AMTRMIT), 0)) >= 0.005",
     [](const Statement& st) {
         return QStringLiteral("Receipt batch %1 counts %2 receipts of %3 but holds %4 of %5.")
             .arg(t(st, 0), t(st, 1), money(st, 2), t(st, 3), money(st, 4));
     }},
    {"SELECT r.CNTBTCH, r.CNTITEM FROM ARTCR r LEFT JOIN ARBTA b ON b.CODEPYMTYP = r.CODEPYMTYP "
     "AND b.CNTBTCH = r.CNTBTCH WHERE b.CNTBTCH IS NULL",
     [](const Statement& st) {
         return QStringLiteral("Receipt %2 of batch %1 belongs to no batch.")
             .arg(t(st, 0), t(st, 1));
     }},
    {"SELECT p.INVUNIQ FROM OEPPAY p LEFT JOIN OEINVH i ON i.INVUNIQ = p.INVUNIQ "
     "WHERE i.INVUNIQ IS NULL",
     [](const Statement& st) {
         return QStringLiteral("Prepayment %1 belongs to no invoice.").arg(t(st, 0));
     }},
    {"SELECT r.CNTITEM, r.CNTBTCH, r.IDCUST, i.INVNUMBER, i.CUSTOMER FROM " PREPAID_RECEIPTS
     "WHERE TRIM(r.IDCUST) <> TRIM(i.CUSTOMER) ORDER BY r.CNTBTCH, r.CNTITEM",
     [](const Statement& st) {
         return QStringLiteral("Receipt %1 of batch %2 from customer %3 prepays invoice %4 of "
                               "customer %5.")
             .arg(t(st, 0), t(st, 1), t(st, 2), t(st, 3), t(st, 4));
     }},
    {"SELECT r.CNTITEM, r.CNTBTCH, r.IDINVC FROM ARTCR r WHERE r.CODEPYMTYP = 'CA' "
     "AND TRIM(r.IDINVC) <> '' AND NOT EXISTS (SELECT 1 FROM OEINVH i WHERE i.INVNUMBER = r.IDINVC) "
     "ORDER BY r.CNTBTCH, r.CNTITEM",
     [](const Statement& st) {
         return QStringLiteral("Receipt %1 of batch %2 is applied to invoice %3, which does not "
                               "exist.").arg(t(st, 0), t(st, 1), t(st, 2));
     }},
    // The invoice's header, its prepayment record and its receipts tell one prepayment. A
    // prepayment whose batch was not found is received nowhere: its record and receipts are
    // nil, and the header keeps what the clerk entered.
    {"SELECT * FROM (SELECT i.INVNUMBER, i.INVPAYMENT, i.BANKPAYMNT, "
     "COALESCE(p.RECPAMOUNT, 0) AS recorded, COALESCE((SELECT SUM(r.AMTRMIT) FROM ARTCR r "
     "WHERE r.IDINVC = i.INVNUMBER AND r.CODEPYMTYP = 'CA'), 0) AS received "
     "FROM OEINVH i LEFT JOIN OEPPAY p ON p.INVUNIQ = i.INVUNIQ) q "
     "WHERE (ABS(q.recorded) >= 0.005 OR ABS(q.received) >= 0.005) "
     "AND (ABS(q.INVPAYMENT - q.recorded) >= 0.005 OR ABS(q.BANKPAYMNT - q.recorded) >= 0.005 "
     "OR ABS(q.received - q.recorded) >= 0.005) ORDER BY q.INVNUMBER",
     [](const Statement& st) {
         const QString header = money(st, 1) == money(st, 2)
                                    ? money(st, 1)
                                    : QStringLiteral("%1 (bank payment %2)").arg(money(st, 1),
                                                                                 money(st, 2));
         return QStringLiteral("The prepayment of invoice %1 is %2 on its header, %3 in its "
                               "prepayment record and %4 in its receipts.")
             .arg(t(st, 0), header, money(st, 3), money(st, 4));
     }},
    {"SELECT DISTINCT i.INVNUMBER, i.REBATCHNUM, p.BATCHNUM, r.CNTBTCH FROM OEPPAY p "
     "JOIN OEINVH i ON i.INVUNIQ = p.INVUNIQ LEFT JOIN ARTCR r ON r.IDINVC = i.INVNUMBER "
     "AND r.CODEPYMTYP = 'CA' WHERE i.REBATCHNUM <> p.BATCHNUM OR r.CNTBTCH <> p.BATCHNUM "
     "ORDER BY i.INVNUMBER",
     [](const Statement& st) {
         const QString receipt = st.columnText(3).isEmpty()
                                     ? QStringLiteral("it has no receipt")
                                     : QStringLiteral("its receipt is in batch %1").arg(t(st, 3));
         return QStringLiteral("The prepayment of invoice %1 is in batch %2 on its header and %3 "
                               "in its prepayment record; %4.")
             .arg(t(st, 0), t(st, 1), t(st, 2), receipt);
     }},
    {"SELECT i.INVNUMBER, p.CUSTOMER, i.CUSTOMER FROM OEPPAY p JOIN OEINVH i "
     "ON i.INVUNIQ = p.INVUNIQ WHERE TRIM(p.CUSTOMER) <> TRIM(i.CUSTOMER)",
     [](const Statement& st) {
         return QStringLiteral("The prepayment of invoice %1 is for customer %2, the invoice for "
                               "customer %3.").arg(t(st, 0), t(st, 1), t(st, 2));
     }},
    {"SELECT i.INVNUMBER, i.INVNETWTX, SUM(r.AMTRMIT) FROM " PREPAID_RECEIPTS
     "GROUP BY i.INVUNIQ, i.INVNUMBER, i.INVNETWTX HAVING SUM(r.AMTRMIT) - i.INVNETWTX >= 0.005",
     [](const Statement& st) {
         return QStringLiteral("Invoice %1 totals %2 but was prepaid %3.")
             .arg(t(st, 0), money(st, 1), money(st, 2));
     }},
    {"SELECT * FROM (SELECT i.INVNUMBER, i.INVDUE, i.INVNETWTX - COALESCE((SELECT SUM(r.AMTRMIT) "
     "FROM ARTCR r WHERE r.IDINVC = i.INVNUMBER AND r.CODEPYMTYP = 'CA'), 0) AS due FROM OEINVH i) "
     "d WHERE ABS(d.INVDUE - d.due) >= 0.005",
     [](const Statement& st) {
         return QStringLiteral("Invoice %1 has %2 due; its total less its prepayment is %3.")
             .arg(t(st, 0), money(st, 1), money(st, 2));
     }},
};

// The settings as a one-row table, and the delivery-charge lines: the miscellaneous-charge
// lines of the configured code.
#define WITH_SETTING "WITH setting (code, switchedOn) AS (SELECT CAST(?1 AS TEXT), CAST(?2 AS INTEGER)) "
#define DELIVERY_LINE(d) \
    d ".LINETYPE = 2 AND TRIM(" d ".MISCCHARGE) = setting.code AND setting.code <> ''"

const AuditRule DeliveryCharge[] = {
    {WITH_SETTING "SELECT * FROM (SELECT i.INVNUMBER, i.CUSTOMER, "
     "(SELECT ROUND(COALESCE(SUM(m.EXTINVMISC), 0), 2) FROM OEINVD m "
     "WHERE m.INVUNIQ = i.INVUNIQ AND NOT (" DELIVERY_LINE("m") ")) AS merchandise, "
     "CASE WHEN EXISTS (SELECT 1 FROM ARCUSO f WHERE f.IDCUST = i.CUSTOMER "
     "AND f.OPTFIELD = 'DELCHARGE' AND f.VALIFBOOL <> 0) THEN 1 ELSE 0 END AS flagged, "
     "setting.switchedOn FROM OEINVH i, setting "
     "WHERE EXISTS (SELECT 1 FROM OEINVD d WHERE d.INVUNIQ = i.INVUNIQ AND " DELIVERY_LINE("d") ")) "
     "q WHERE q.switchedOn <> 1 OR q.flagged = 0 OR q.merchandise <= 0 OR q.merchandise > 100 "
     "ORDER BY q.INVNUMBER",
     [](const Statement& st) {
         // The first reason that disqualifies the invoice, in the order the charge is decided.
         QString why;
         if (st.columnInt(4) != 1)
             why = QStringLiteral("the delivery charge is switched off");
         else if (st.columnInt(3) == 0)
             why = QStringLiteral("customer %1 is not flagged for it").arg(t(st, 1));
         else
             why = QStringLiteral("its merchandise total of %1 is not above 0.00 and at most "
                                  "100.00").arg(money(st, 2));
         return QStringLiteral("Invoice %1 carries the delivery charge but does not qualify: %2.")
             .arg(t(st, 0), why);
     }},
    {WITH_SETTING "SELECT i.INVNUMBER, COUNT(*) FROM OEINVD d "
     "JOIN OEINVH i ON i.INVUNIQ = d.INVUNIQ, setting WHERE " DELIVERY_LINE("d") " "
     "GROUP BY d.INVUNIQ, i.INVNUMBER HAVING COUNT(*) > 1 ORDER BY i.INVNUMBER",
     [](const Statement& st) {
         return QStringLiteral("Invoice %1 carries the delivery charge %2 times.")
             .arg(t(st, 0), t(st, 1));
     }},
    // Cash sales (ship-via "1") carry no delivery charge, whatever else is on the invoice.
    {WITH_SETTING "SELECT DISTINCT i.INVNUMBER, o.ORDNUMBER FROM OEINVH i "
     "JOIN OEINVS s ON s.INVUNIQ = i.INVUNIQ JOIN OESHIH h ON h.SHIUNIQ = s.SHIUNIQ "
     "JOIN OEORDH o ON o.ORDUNIQ = h.ORDUNIQ, setting WHERE TRIM(o.SHIPVIA) = '1' "
     "AND EXISTS (SELECT 1 FROM OEINVD d WHERE d.INVUNIQ = i.INVUNIQ AND " DELIVERY_LINE("d") ") "
     "ORDER BY i.INVNUMBER, o.ORDNUMBER",
     [](const Statement& st) {
         return QStringLiteral("Invoice %1 carries the delivery charge but order %2 on it is a "
                               "cash sale.").arg(t(st, 0), t(st, 1));
     }},
};
// clang-format on

#undef PREPAID_RECEIPTS
#undef SHIPPED_LINES
#undef OFF_BY_MORE_THAN_ROUNDING
#undef DELIVERY_LINE
#undef WITH_SETTING

} // namespace

std::span<const AuditRule> bookRules()
{
    return Books;
}

std::span<const AuditRule> deliveryChargeRules()
{
    return DeliveryCharge;
}

} // namespace Accpac
