// Every rule of the books' auditor meets its fault, planted alone (SQL, or a journal entry
// as a faulty program would have written it) in a fresh copy of a company the program made:
// the real tallymerge-check prints the rule's sentence naming the document and exits with 1,
// where the unplanted copy passes with 0.
#include "auditfixture.h"

#include "journal.h"

#include <qtprint.h>

#include <QJsonDocument>
#include <QMap>

namespace {

using namespace AuditFixture;

// One planted fault: the statements, the sentence the auditor prints for it, and further
// arguments of the program. In both texts a name in braces stands for a document of the
// copy (see PlantedFaultTest::documents).
struct Fault
{
    const char* sql;
    const char* sentence;
    QStringList arguments = {};
    bool fileOnly = false; // a fault only a company file can hold
};

// clang-format off
const Fault Faults[] = {
    // Shipments and invoices.
    {"DROP INDEX OEINVS_SHIPMENT; INSERT INTO OEINVS (INVUNIQ, SHINUMBER, SHIUNIQ, SHIDATE) "
     "SELECT 1, SHINUMBER, SHIUNIQ, SHIDATE FROM OEINVS WHERE SHINUMBER='{shipment}'",
     "Shipment {shipment} is on more than one invoice: IN0000001, {invoice}."},
    {"UPDATE OESHIH SET CUSTOMER='1300' WHERE SHINUMBER='{shipment}'",
     "Invoice {invoice} of customer 1200 lists shipment {shipment} of customer 1300."},
    {"UPDATE OESHIH SET INVNUMBER='IN0099999' WHERE SHINUMBER='{shipment}'",
     "Shipment {shipment} is marked with invoice \"IN0099999\" but listed on invoice "
     "\"{invoice}\"."},
    {"DELETE FROM OESHIH WHERE SHINUMBER='{shipment}'",
     "Invoiced shipment {shipment} ({shiuniq}) does not exist."},
    {"DELETE FROM OEINVS WHERE SHINUMBER='{shipment}'",
     "Shipment {shipment} is marked with invoice {invoice}, which does not list it."},
    {"UPDATE OEINVS SET RELEASED=1 WHERE INVUNIQ={uniq}",
     "Invoice {invoice} released its shipments but no credit note reverses it."},
    // Amounts moved between the lines of one shipment: the invoice's total still agrees.
    {"UPDATE OEINVD SET EXTINVMISC=15 WHERE INVUNIQ={uniq} AND LINENUM=1; "
     "UPDATE OEINVD SET EXTINVMISC=5 WHERE INVUNIQ={uniq} AND LINENUM=2",
     "Line 1 of invoice {invoice} bills 15.00 for shipment {shipment}, whose line comes to "
     "10.00."},
    {"DELETE FROM OEINVD WHERE INVUNIQ={uniq} AND LINENUM=5",
     "Invoice {invoice} lacks line 5 of shipment {shipment}."},
    {"UPDATE OEINVD SET EXTINVMISC=12 WHERE INVUNIQ={uniq} AND MISCCHARGE='DEL'",
     "Invoice {invoice} carries charge DEL at 12.00; the charge is 10.00."},
    {"UPDATE OEINVD SET MISCCHARGE='GONE' WHERE INVUNIQ={uniq} AND MISCCHARGE='DEL'",
     "Invoice {invoice} carries charge GONE, which does not exist."},
    {"UPDATE OEINVH SET INVNETWTX=61 WHERE INVUNIQ={uniq}",
     "Invoice {invoice} totals 61.00 but its lines come to 60.00."},

    // Numbers given once.
    {"UPDATE OEINVH SET INVNUMBER='IN0000001' WHERE INVUNIQ={uniq}",
     "Invoice number IN0000001 was given 2 times."},
    {"DROP INDEX ARBTA_K0; CREATE TEMP TABLE twice AS SELECT * FROM ARBTA WHERE CNTBTCH=5; "
     "UPDATE twice SET ROWKEY=(SELECT MAX(ROWKEY)+1 FROM ARBTA); INSERT INTO ARBTA SELECT * "
     "FROM twice",
     "Receipt batch number 5 was given 2 times."},

    // Orders after their invoices.
    {"UPDATE OEORDH SET LASTINVNUM='IN0099999' WHERE ORDNUMBER='ORD-AUDIT'",
     "Order ORD-AUDIT names IN0099999 as its last invoice, which is no invoice of the order."},
    {"UPDATE OEORDH SET LASTINVNUM='' WHERE ORDNUMBER='ORD-AUDIT'",
     "Order ORD-AUDIT has invoiced shipments but no last invoice number."},
    {"UPDATE OEORDH SET COMPLETE=1 WHERE ORDNUMBER='ORD-AUDIT'",
     "Order ORD-AUDIT is invoiced with nothing left to ship or on back order, but it is not "
     "complete (COMPLETE 1)."},
    {"UPDATE OEORDH SET COMPLETE=3 WHERE ORDNUMBER='{open}'",
     "Order {open} is complete (COMPLETE 3) but none of its shipments is invoiced: shipment "
     "{openshipment} is on no invoice."},

    // Customers' balances.
    {"UPDATE ARCUS SET AMTBALDUET=12345.67 WHERE IDCUST='1200'",
     "Customer 1200 has a balance of 12345.67; its invoices, credit notes and receipts give "
     "{balance}."},

    // Credit notes, written as a faulty program would have: not the invoice's total, two of
    // one invoice, a line changed.
    {"INSERT INTO OECRDH (CRDUNIQ, CRDNUMBER, INVUNIQ, INVNUMBER, CUSTOMER, CRDNETWTX) "
     "VALUES (1, 'CN0000001', {uniq}, '{invoice}', '1200', 50)",
     "Credit note CN0000001 of customer 1200 for 50.00 does not match invoice {invoice} of "
     "customer 1200 for 60.00."},
    {"DROP INDEX OECRDH_INVOICE; INSERT INTO OECRDH (CRDUNIQ, CRDNUMBER, INVUNIQ, INVNUMBER, "
     "CUSTOMER, CRDNETWTX) VALUES (1, 'CN0000001', {uniq}, '{invoice}', '1200', 60), "
     "(2, 'CN0000002', {uniq}, '{invoice}', '1200', 60)",
     "Invoice {invoice} is reversed by 2 credit notes."},
    {"INSERT INTO OECRDH (CRDUNIQ, CRDNUMBER, INVUNIQ, INVNUMBER, CUSTOMER, CRDNETWTX) "
     "VALUES (1, 'CN0000001', {uniq}, '{invoice}', '1200', 60); "
     "INSERT INTO OECRDD (CRDUNIQ, LINENUM, LINETYPE, ITEM, MISCCHARGE, \"DESC\", SHIUNIQ, "
     "QTYCRDT, UNITPRICE, EXTCRDMISC) SELECT 1, LINENUM, LINETYPE, ITEM, MISCCHARGE, \"DESC\", "
     "SHIUNIQ, QTYINVC, UNITPRICE, EXTINVMISC FROM OEINVD WHERE INVUNIQ={uniq}; "
     "UPDATE OECRDD SET EXTCRDMISC=1 WHERE LINENUM=2",
     "Line 2 of credit note CN0000001 does not credit line 2 of invoice {invoice} as it was "
     "billed."},
    {"INSERT INTO OECRDH (CRDUNIQ, CRDNUMBER, INVUNIQ, INVNUMBER, CUSTOMER, CRDNETWTX) "
     "VALUES (1, 'CN0000001', {uniq}, '{invoice}', '1200', 60)",
     "Credit note CN0000001 lacks line 3 of invoice {invoice}."},

    // Receipt batches and prepayments.
    {"UPDATE ARBTA SET CNTENTER=99 WHERE CNTBTCH=1",
     "Receipt batch 1 counts 99 receipts of {batchamount} but holds {batchcount} of "
     "{batchamount}."},
    {"UPDATE ARTCR SET CNTBTCH=77 WHERE ROWKEY={receipt}",
     "Receipt {item} of batch 77 belongs to no batch."},
    {"UPDATE OEPPAY SET INVUNIQ=9999 WHERE INVUNIQ={uniq}",
     "Prepayment 9999 belongs to no invoice."},
    {"UPDATE ARTCR SET IDINVC='IN0099999' WHERE ROWKEY={receipt}",
     "Receipt {item} of batch 1 is applied to invoice IN0099999, which does not exist."},
    {"UPDATE OEINVH SET INVPAYMENT=30, BANKPAYMNT=30 WHERE INVUNIQ={uniq}; "
     "UPDATE OEPPAY SET RECPAMOUNT=30 WHERE INVUNIQ={uniq}",
     "The prepayment of invoice {invoice} is 30.00 on its header, 30.00 in its prepayment "
     "record and 20.00 in its receipts."},
    {"UPDATE OEPPAY SET BATCHNUM=5 WHERE INVUNIQ={uniq}",
     "The prepayment of invoice {invoice} is in batch 1 on its header and 5 in its prepayment "
     "record; its receipt is in batch 1."},
    {"UPDATE ARTCR SET IDCUST='1300' WHERE ROWKEY={receipt}",
     "Receipt {item} of batch 1 from customer 1300 prepays invoice {invoice} of customer 1200."},
    {"UPDATE OEPPAY SET CUSTOMER='1300' WHERE INVUNIQ={uniq}",
     "The prepayment of invoice {invoice} is for customer 1300, the invoice for customer 1200."},
    {"UPDATE ARTCR SET AMTRMIT=75 WHERE ROWKEY={receipt}",
     "Invoice {invoice} totals 60.00 but was prepaid 75.00."},
    {"UPDATE OEINVH SET INVDUE=41 WHERE INVUNIQ={uniq}",
     "Invoice {invoice} has 41.00 due; its total less its prepayment is 40.00."},

    // The delivery charge.
    {"UPDATE ARCUSO SET VALIFBOOL=0 WHERE IDCUST='1200' AND OPTFIELD='DELCHARGE'",
     "Invoice {invoice} carries the delivery charge but does not qualify: customer 1200 is not "
     "flagged for it."},
    {"UPDATE OEINVD SET EXTINVMISC=20.002 WHERE INVUNIQ={uniq} AND MISCCHARGE<>'DEL'",
     "Invoice {invoice} carries the delivery charge but does not qualify: its merchandise total "
     "of 100.01 is not above 0.00 and at most 100.00."},
    {"INSERT INTO OEINVD (INVUNIQ, LINENUM, LINETYPE, MISCCHARGE, EXTINVMISC) "
     "VALUES ({uniq}, 99, 2, 'DEL', 10)",
     "Invoice {invoice} carries the delivery charge 2 times."},
    {"UPDATE OEORDH SET SHIPVIA='1' WHERE ORDNUMBER='ORD-AUDIT'",
     "Invoice {invoice} carries the delivery charge but order ORD-AUDIT on it is a cash sale."},

    // Approvals and passwords.
    {"UPDATE OEINVH SET APPROVEBY='CLERK' WHERE INVUNIQ={uniq}",
     "Invoice {invoice} was approved by \"CLERK\", who holds no right to approve credit in "
     "company SAMINC."},
    {"ALTER TABLE OEINVH ADD COLUMN APPPASSWRD TEXT NOT NULL DEFAULT ''; "
     "UPDATE OEINVH SET APPPASSWRD='SUPER' WHERE INVUNIQ={uniq}",
     "Row {invoicerow} of table OEINVH holds a password in column APPPASSWRD."},
    {"UPDATE ARTCR SET IDRMIT=' super ' WHERE ROWKEY={receipt}",
     "Row {receipt} of table ARTCR holds a known password in column IDRMIT.",
     {QStringLiteral("--known-password"), QStringLiteral("SUPER")}},
    // A server site keeps no verifiers: the server checks its roles' passwords.
    {"UPDATE ARTCR SET IDRMIT='{verifier}' WHERE ROWKEY={receipt}",
     "Row {receipt} of table ARTCR holds a password verifier in column IDRMIT.", {}, true},
};

// Decisions the journal records wrongly, as a faulty program would have written them: a
// change of the body of our invoice's entry of a kind, the chain sealed again after it.
struct JournalFault
{
    const char* kind;
    const char* change; // fields of the body replaced, as a JSON object
    const char* sentence;
};

const JournalFault JournalFaults[] = {
    {"invoice", R"({"credit": {"balanceBefore": 980, "limit": 1000, "selected": 50}})",
     "Invoice {invoice} needed a supervisor's approval by the credit check its journal entry "
     "records (a balance of 980.00 before, a limit of 1000.00, 50.00 invoiced), but records "
     "none."},
    {"prepayment", R"({"amount": 60.01})",
     "The prepayment of 60.01 that the journal records for invoice {invoice} exceeds the "
     "invoice's recorded total of 60.00."},
};
// clang-format on

class PlantedFaultTest : public AuditTest
{
protected:
    // The documents the faults name, as the copy holds them.
    QMap<QString, QString> documents() const
    {
        const auto money = [](const QString& amount) {
            return QString::number(amount.toDouble(), 'f', 2);
        };
        const QString receipt = value("SELECT ROWKEY FROM ARTCR WHERE IDINVC='" + invoice() + "'");
        const QString open = value("SELECT MIN(o.ORDNUMBER) FROM OEORDH o JOIN OESHIH h ON "
                                   "h.ORDUNIQ = o.ORDUNIQ WHERE o.COMPLETE < 3 AND h.INVUNIQ = 0 "
                                   "AND h.SHINETWTX > 0");
        QMap<QString, QString> documents = {
            {QStringLiteral("invoice"), invoice()},
            {QStringLiteral("uniq"), ours()},
            {QStringLiteral("invoicerow"),
             value("SELECT ROWKEY FROM OEINVH WHERE INVUNIQ=" + ours())},
            {QStringLiteral("shipment"), shipment()},
            {QStringLiteral("shiuniq"),
             value("SELECT SHIUNIQ FROM OESHIH WHERE SHINUMBER='" + shipment() + "'")},
            {QStringLiteral("receipt"), receipt},
            {QStringLiteral("item"), value("SELECT CNTITEM FROM ARTCR WHERE ROWKEY=" + receipt)},
            {QStringLiteral("open"), open},
            {QStringLiteral("openshipment"),
             value("SELECT MIN(SHINUMBER) FROM OESHIH WHERE ORDNUMBER='" + open + "'")},
            {QStringLiteral("balance"),
             money(value("SELECT AMTBALDUET FROM ARCUS WHERE IDCUST='1200'"))},
            {QStringLiteral("batchcount"),
             value("SELECT COUNT(*) FROM ARTCR WHERE CODEPYMTYP='CA' AND CNTBTCH=1")},
            {QStringLiteral("batchamount"),
             money(value("SELECT COALESCE(SUM(AMTRMIT), 0) FROM ARTCR WHERE CODEPYMTYP='CA' "
                         "AND CNTBTCH=1"))},
        };
        if (!TestStore::onServer())
            documents[QStringLiteral("verifier")] =
                TestStore::query(folder() + QStringLiteral("/system.db"),
                                 "SELECT PWVERIFIER FROM USERS WHERE USERID='CLERK'")
                    .value(0);
        return documents;
    }

    // Replaces fields of the body of our invoice's entry of the kind and seals the chain again
    // from that entry on, so that only the recorded decision is wrong.
    void rewriteJournal(const JournalFault& fault) const
    {
        if (!TestStore::onServer())
            plant(QStringLiteral("DROP TRIGGER TMJOURNAL_NO_UPDATE"));
        const QJsonObject change = QJsonDocument::fromJson(fault.change).object();
        ASSERT_FALSE(change.isEmpty()) << fault.change;
        QString previousHash;
        bool changed = false;
        // The body is the last column: the only one that might hold a "|".
        for (const QString& row :
             TestStore::query(companyFile(), "SELECT SEQ, KIND, ENTRYTIME, USERID, PREVHASH, "
                                             "HASH, BODY FROM TMJOURNAL ORDER BY SEQ")) {
            Accpac::JournalEntry entry{row.section(u'|', 0, 0).toLongLong(),
                                       row.section(u'|', 1, 1),
                                       row.section(u'|', 2, 2),
                                       row.section(u'|', 3, 3),
                                       row.section(u'|', 6),
                                       row.section(u'|', 4, 4),
                                       row.section(u'|', 5, 5)};
            QJsonObject body = entry.bodyObject();
            if (entry.kind == QLatin1String(fault.kind) &&
                body.value(QStringLiteral("invoice")).toString().trimmed() == invoice()) {
                for (auto field = change.begin(); field != change.end(); ++field)
                    body.insert(field.key(), field.value());
                entry.body = QString::fromUtf8(QJsonDocument(body).toJson(QJsonDocument::Compact));
                changed = true;
            }
            if (changed) {
                entry.prevHash = previousHash;
                entry.hash = Accpac::journalHash(entry);
                plant(QStringLiteral("UPDATE TMJOURNAL SET BODY='%1', PREVHASH='%2', HASH='%3' "
                                     "WHERE SEQ=%4")
                          .arg(QString(entry.body).replace(u'\'', QLatin1String("''")),
                               entry.prevHash, entry.hash)
                          .arg(entry.seq));
            }
            previousHash = entry.hash;
        }
        ASSERT_TRUE(changed) << "no " << fault.kind << " entry of " << invoice().toStdString();
    }

    static QString filled(QString text, const QMap<QString, QString>& documents)
    {
        for (auto document = documents.begin(); document != documents.end(); ++document)
            text.replace(u'{' + document.key() + u'}', document.value());
        return text;
    }
};

TEST_F(PlantedFaultTest, EachRuleNamesItsPlantedFaultAndTheProgramExitsWithOne)
{
    // The copy's site (a server's copy is a new database each time).
    const auto arguments = [&] {
        return QStringList{QStringLiteral("--hive"), hive, QStringLiteral("--site"), site,
                           Sample::CompanyId};
    };
    Outcome run = check(arguments());
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    ASSERT_TRUE(run.out.endsWith(QStringLiteral(": the books agree.\n"))) << run.out.toStdString();

    const QMap<QString, QString> documents = this->documents();
    for (const QString& document : documents)
        ASSERT_FALSE(document.isEmpty()) << documents.key(document).toStdString();
    for (const Fault& fault : Faults) {
        if (fault.fileOnly && TestStore::onServer())
            continue;
        const QString sentence = filled(QLatin1String(fault.sentence), documents);
        SCOPED_TRACE(sentence.toStdString());
        copyBooks();
        plant(filled(QLatin1String(fault.sql), documents));
        run = check(arguments() + fault.arguments);
        EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
        EXPECT_TRUE(holds(run.out.split(u'\n', Qt::SkipEmptyParts), sentence));
    }
    for (const JournalFault& fault : JournalFaults) {
        const QString sentence = filled(QLatin1String(fault.sentence), documents);
        SCOPED_TRACE(sentence.toStdString());
        copyBooks();
        rewriteJournal(fault);
        run = check(arguments());
        EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
        const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
        EXPECT_TRUE(holds(lines, sentence));
        // The chain is whole: the recorded decision alone is wrong.
        EXPECT_EQ(lines.filter(QStringLiteral("Journal entr")), QStringList());
    }
}

} // namespace
