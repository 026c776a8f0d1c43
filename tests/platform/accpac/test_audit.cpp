// The books' auditor: every rule meets a fault planted by hand (SQL) in a copy of a fresh
// sample company and must name the document in its exact sentence; the real
// tallymerge-check program for exit statuses, bad input and the read-only promise.
#include "auditfixture.h"

#include <qtprint.h>

#include <auditsettings.h>
#include <invoicesequence.h>

#include <system/comerror.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

using namespace AuditFixture;

TEST_F(AuditTest, TheSampleBooksAgreeWithEveryRuleRun)
{
    const Accpac::AuditReport report =
        audit({Sample::AdminPassword, Sample::SupervisorPassword, Sample::ClerkPassword});
    EXPECT_EQ(report.problems, QStringList());
    EXPECT_EQ(report.skipped, QStringList());
    // The invoice carries what the rules look at.
    EXPECT_EQ(value("SELECT COUNT(*) FROM OEINVD WHERE MISCCHARGE='DEL' AND INVUNIQ=" + ours()),
              QStringLiteral("1"));
    EXPECT_EQ(value("SELECT APPROVEBY FROM OEINVH WHERE INVUNIQ=" + ours()), Sample::SupervisorId);
    EXPECT_EQ(value("SELECT INVDUE FROM OEINVH WHERE INVUNIQ=" + ours()).toDouble(), 40.0);
}

TEST_F(AuditTest, AShipmentOnTwoInvoicesOrOfAnotherCustomerIsNamed)
{
    plant("DROP INDEX OEINVS_SHIPMENT; INSERT INTO OEINVS (INVUNIQ, SHINUMBER, SHIUNIQ, SHIDATE) "
          "SELECT 1, SHINUMBER, SHIUNIQ, SHIDATE FROM OEINVS WHERE SHINUMBER='" +
          shipment() + "'");
    EXPECT_TRUE(holds(problems(), QStringLiteral("Shipment %1 is on more than one invoice: "
                                                 "IN0000001, %2.")
                                      .arg(shipment(), invoice())));

    plant("DELETE FROM OEINVS WHERE INVUNIQ=1 AND SHINUMBER='" + shipment() +
          "'; UPDATE OESHIH SET CUSTOMER='1300' WHERE SHINUMBER='" + shipment() + "'");
    EXPECT_EQ(problems(), QStringList({QStringLiteral("Invoice %1 of customer 1200 lists shipment "
                                                      "%2 of customer 1300.")
                                           .arg(invoice(), shipment())}));
}

TEST_F(AuditTest, ADeliveryChargeOnlyOnAnInvoiceThatQualifiesAndOnce)
{
    const QString notQualified =
        QStringLiteral("Invoice %1 carries the delivery charge but does not qualify: %2.");
    // The customer's flag cleared.
    plant("UPDATE ARCUSO SET VALIFBOOL=0 WHERE IDCUST='1200' AND OPTFIELD='DELCHARGE'");
    EXPECT_EQ(problems(), QStringList(notQualified.arg(
                              invoice(), QStringLiteral("customer 1200 is not flagged for it"))));
    plant("UPDATE ARCUSO SET VALIFBOOL=1 WHERE IDCUST='1200' AND OPTFIELD='DELCHARGE'");

    // The feature switched off, or a value that is no number: no invoice qualifies.
    for (const QString& value : {QStringLiteral("0"), QStringLiteral("2"), QStringLiteral("yes")}) {
        writeHive("\"DeliveryCharge\"=\"" + value + "\"\n\"DelCharge\"=\"DEL\"\n");
        EXPECT_EQ(problems(),
                  QStringList(notQualified.arg(
                      invoice(), QStringLiteral("the delivery charge is switched off"))))
            << value.toStdString();
    }
    // An absent switch reads as its default, off; without a code no line is a delivery charge.
    writeHive(QStringLiteral("\"DelCharge\"=\"DEL\"\n"));
    EXPECT_EQ(problems().size(), 1);
    writeHive(QStringLiteral("\"DeliveryCharge\"=\"0\"\n"));
    EXPECT_EQ(problems(), QStringList());
    writeHive(QStringLiteral("\"DeliveryCharge\"=\" 1 \"\n\"DelCharge\"=\" DEL \"\n"));
    EXPECT_EQ(problems(), QStringList());

    // The merchandise total: 100.00 still qualifies, 100.01 and 0.00 do not.
    const QString merchandise = "UPDATE OEINVD SET EXTINVMISC=%1 WHERE MISCCHARGE<>'DEL' AND "
                                "INVUNIQ=" +
                                ours();
    plant(merchandise.arg("20"));
    EXPECT_EQ(deliveryProblems(), QStringList());
    plant(merchandise.arg("20.002"));
    EXPECT_EQ(deliveryProblems(),
              QStringList(notQualified.arg(invoice(),
                                           QStringLiteral("its merchandise total of 100.01 is not "
                                                          "above 0.00 and at most 100.00"))));
    plant(merchandise.arg("0"));
    EXPECT_EQ(deliveryProblems(),
              QStringList(
                  notQualified.arg(invoice(), QStringLiteral("its merchandise total of 0.00 is not "
                                                             "above 0.00 and at most 100.00"))));
    plant(merchandise.arg("10"));

    // Twice on one invoice (the second line, of 0.00, not at the charge's amount either).
    plant("INSERT INTO OEINVD (INVUNIQ, LINENUM, LINETYPE, MISCCHARGE, EXTINVMISC) SELECT INVUNIQ, "
          "99, 2, 'DEL', 0 FROM OEINVH WHERE INVUNIQ=" +
          ours());
    EXPECT_EQ(
        problems(),
        QStringList(
            {QStringLiteral("Invoice %1 carries charge DEL at 0.00; the charge is "
                            "10.00.")
                 .arg(invoice()),
             QStringLiteral("Invoice %1 carries the delivery charge 2 times.").arg(invoice())}));
}

TEST_F(AuditTest, WithoutAReadableHiveTheDeliveryRulesAreSkippedAndTheOthersRun)
{
    plant("UPDATE ARCUSO SET VALIFBOOL=0 WHERE IDCUST='1200'; "
          "UPDATE OEINVH SET INVDUE=INVDUE+1 WHERE INVUNIQ=" +
          ours());
    const QString due =
        QStringLiteral("Invoice %1 has 41.00 due; its total less its prepayment is 40.00.")
            .arg(invoice());
    // The journal records the amount due when the invoice was made.
    const QStringList dueProblems = {
        due, QStringLiteral("Invoice %1 totals 60.00 with 41.00 due; its journal entry records "
                            "60.00 with 40.00 due.")
                 .arg(invoice())};

    const Accpac::AuditReport none = Accpac::auditCompanyFile(companyFile());
    EXPECT_EQ(none.skipped, QStringList(QStringLiteral("The delivery-charge rules were skipped: "
                                                       "the machine's settings were not given.")));
    EXPECT_EQ(none.problems, dueProblems);

    for (const QByteArray& bad :
         {QByteArray("garbage\n"),
          QByteArray("Windows Registry Editor Version 5.00\n\"x\"=\"1\"\n")}) {
        QFile file(hive);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bad);
        file.close();
        const QByteArray before = bad;
        const Accpac::AuditReport report = audit();
        ASSERT_EQ(report.skipped.size(), 1);
        EXPECT_TRUE(report.skipped.first().startsWith(
            QStringLiteral(
                "The delivery-charge rules were skipped: the settings hive \"%1\" cannot "
                "be read (line ")
                .arg(hive)))
            << report.skipped.first().toStdString();
        EXPECT_EQ(report.problems, dueProblems);
        // The hive is never set aside or changed.
        QFile again(hive);
        ASSERT_TRUE(again.open(QIODevice::ReadOnly));
        EXPECT_EQ(again.readAll(), before);
    }
    QFile::remove(hive);
    EXPECT_EQ(audit().skipped.size(), 1);
}

TEST_F(AuditTest, APrepaymentIsTheInvoiceCustomersWithinItsTotalAndItsBatchAgrees)
{
    const QString receipt = "(SELECT ROWKEY FROM ARTCR WHERE IDINVC='" + invoice() + "')";
    plant("UPDATE ARTCR SET IDCUST='1300' WHERE ROWKEY=" + receipt +
          "; UPDATE OEPPAY SET CUSTOMER='1300' WHERE INVUNIQ=" + ours());
    const QString item = value("SELECT CNTITEM FROM ARTCR WHERE IDINVC='" + invoice() + "'");
    QStringList found = problems();
    EXPECT_TRUE(holds(found, QStringLiteral("Receipt %1 of batch 1 from customer 1300 prepays "
                                            "invoice %2 of customer 1200.")
                                 .arg(item, invoice())));
    EXPECT_TRUE(holds(found, QStringLiteral("The prepayment of invoice %1 is for customer 1300, "
                                            "the invoice for customer 1200.")
                                 .arg(invoice())));
    plant("UPDATE ARTCR SET IDCUST='1200' WHERE ROWKEY=" + receipt +
          "; UPDATE OEPPAY SET CUSTOMER='1200' WHERE INVUNIQ=" + ours());
    ASSERT_EQ(problems(), QStringList());

    // More received than the invoice's total, with the amount due, the header, the
    // prepayment record and the batch kept in step.
    const QString prepaid =
        "; UPDATE OEINVH SET INVPAYMENT=%1, BANKPAYMNT=%1 WHERE INVUNIQ=" + ours() +
        "; UPDATE OEPPAY SET RECPAMOUNT=%1 WHERE INVUNIQ=" + ours();
    plant("UPDATE ARTCR SET AMTRMIT=75 WHERE ROWKEY=" + receipt + prepaid.arg(75) +
          "; UPDATE OEINVH SET INVDUE=-15 WHERE INVUNIQ=" + ours() +
          "; UPDATE ARBTA SET AMTENTER=AMTENTER+55 WHERE CNTBTCH=1; "
          "UPDATE ARCUS SET AMTBALDUET=AMTBALDUET-55 WHERE IDCUST='1200'");
    EXPECT_EQ(problems(),
              QStringList(
                  {QStringLiteral("Invoice %1 totals 60.00 but was prepaid 75.00.").arg(invoice()),
                   QStringLiteral("Invoice %1 totals 60.00 with -15.00 due; its journal "
                                  "entry records 60.00 with 40.00 due.")
                       .arg(invoice())}));

    // The amount due left at the total, and a batch that counts a receipt it does not hold.
    plant("UPDATE ARTCR SET AMTRMIT=20 WHERE ROWKEY=" + receipt + prepaid.arg(20) +
          "; UPDATE OEINVH SET INVDUE=60 "
          "WHERE INVUNIQ=" +
          ours() +
          "; UPDATE ARBTA SET AMTENTER=AMTENTER-55 WHERE CNTBTCH=1; "
          "UPDATE ARCUS SET AMTBALDUET=AMTBALDUET+55 WHERE IDCUST='1200'; "
          "UPDATE ARBTA SET CNTENTER=CNTENTER+1 WHERE CNTBTCH=1");
    const int counted = value("SELECT CNTENTER FROM ARBTA WHERE CNTBTCH=1").toInt();
    const QString entered =
        QString::number(value("SELECT AMTENTER FROM ARBTA WHERE CNTBTCH=1").toDouble(), 'f', 2);
    found = problems();
    EXPECT_EQ(found.size(), 3) << found.join(u'|').toStdString();
    EXPECT_TRUE(holds(found, QStringLiteral("Invoice %1 totals 60.00 with 60.00 due; its journal "
                                            "entry records 60.00 with 40.00 due.")
                                 .arg(invoice())));
    EXPECT_TRUE(holds(found, QStringLiteral("Invoice %1 has 60.00 due; its total less its "
                                            "prepayment is 40.00.")
                                 .arg(invoice())));
    EXPECT_TRUE(holds(found, QStringLiteral("Receipt batch 1 counts %1 receipts of %2 but holds "
                                            "%3 of %2.")
                                 .arg(counted)
                                 .arg(entered)
                                 .arg(counted - 1)));
}

TEST_F(AuditTest, AnInvoicedOrderWithNothingLeftIsCompleteAndNamesItsLastInvoice)
{
    plant("UPDATE OEORDH SET COMPLETE=1 WHERE ORDNUMBER='ORD-AUDIT'");
    EXPECT_EQ(problems(),
              QStringList(QStringLiteral("Order ORD-AUDIT is invoiced with nothing left "
                                         "to ship or on back order, but it is not "
                                         "complete (COMPLETE 1).")));
    // A quantity still on back order, or still to ship, keeps an order open.
    const QString order = "(SELECT ORDUNIQ FROM OEORDH WHERE ORDNUMBER='ORD-AUDIT')";
    plant("INSERT INTO OEORDD (ORDUNIQ, LINENUM, LINETYPE, QTYORDERED, QTYSHIPPED, QTYBACKORD) "
          "VALUES (" +
          order + ", 1, 1, 3, 2, 1)");
    EXPECT_EQ(problems(), QStringList());
    plant("UPDATE OEORDD SET QTYBACKORD=0 WHERE ORDUNIQ=" + order);
    EXPECT_EQ(problems(), QStringList());
    plant("UPDATE OEORDD SET QTYORDERED=2 WHERE ORDUNIQ=" + order);
    EXPECT_EQ(problems().size(), 1);
    plant("UPDATE OEORDH SET COMPLETE=3 WHERE ORDUNIQ=" + order);
    ASSERT_EQ(problems(), QStringList());

    // Another customer's invoice, then a number no invoice has.
    for (const QString& other : {QStringLiteral("IN0000001"), QStringLiteral("IN0099999")}) {
        plant("UPDATE OEORDH SET LASTINVNUM='" + other + "' WHERE ORDNUMBER='ORD-AUDIT'");
        EXPECT_EQ(problems(), QStringList(QStringLiteral("Order ORD-AUDIT names %1 as its last "
                                                         "invoice, which is no invoice of the "
                                                         "order.")
                                              .arg(other)));
    }
}

TEST_F(AuditTest, AnApprovalIsByAUserWhoHoldsTheRight)
{
    const QString line = QStringLiteral("Invoice %1 was approved by \"%2\", who holds no right to "
                                        "approve credit in company SAMINC.");
    for (const QString& user : {QStringLiteral("CLERK"), QStringLiteral("NOBODY")}) {
        plant("UPDATE OEINVH SET APPROVEBY='" + user + "' WHERE INVUNIQ=" + ours());
        EXPECT_EQ(problems(), QStringList(line.arg(invoice(), user)));
    }
    plant("UPDATE OEINVH SET APPROVEBY='ADMIN' WHERE INVUNIQ=" + ours());
    EXPECT_EQ(problems(), QStringList());

    // Without the site's users the rule is skipped, and says so.
    plant("UPDATE OEINVH SET APPROVEBY='CLERK' WHERE INVUNIQ=" + ours());
    if (TestStore::onServer())
        return; // a server site's users are in its database, which cannot go missing apart
    ASSERT_TRUE(QFile::remove(folder() + QStringLiteral("/system.db")));
    const Accpac::AuditReport report = audit();
    EXPECT_EQ(report.problems, QStringList());
    ASSERT_EQ(report.skipped.size(), 1);
    EXPECT_TRUE(report.skipped.first().startsWith(
        QStringLiteral("The approvals were not checked: the site's users cannot be read")));
    // The site named apart from the company file's folder.
    Accpac::AuditOptions options;
    options.siteFolder = books->site.folder;
    EXPECT_EQ(Accpac::auditCompanyFile(companyFile(), options).problems,
              QStringList(line.arg(invoice(), QStringLiteral("CLERK"))));
}

TEST_F(AuditTest, NoPasswordIsStoredInAnyColumn)
{
    const QString rowid = value("SELECT ROWKEY FROM OEINVH WHERE INVUNIQ=" + ours());
    const QString receipt = value("SELECT ROWKEY FROM ARTCR WHERE IDINVC='" + invoice() + "'");
    // The approver's ID equals the sample password; user IDs are not passwords.
    EXPECT_EQ(audit({Sample::SupervisorPassword}).problems, QStringList());

    plant("ALTER TABLE OEINVH ADD COLUMN APPPASSWRD TEXT NOT NULL DEFAULT ''");
    EXPECT_EQ(problems(), QStringList()) << "an empty password column holds no password";
    plant("UPDATE OEINVH SET APPPASSWRD='SUPER' WHERE INVUNIQ=" + ours());
    EXPECT_EQ(problems(), QStringList(QStringLiteral("Row %1 of table OEINVH holds a password in "
                                                     "column APPPASSWRD.")
                                          .arg(rowid)));
    plant("UPDATE OEINVH SET APPPASSWRD='' WHERE INVUNIQ=" + ours());

    // A password verifier from the site's users (a server site keeps none: the server checks
    // its roles' passwords).
    if (!TestStore::onServer()) {
        const QString verifier =
            TestStore::query(folder() + QStringLiteral("/system.db"),
                             "SELECT PWVERIFIER FROM USERS WHERE USERID='CLERK'")
                .value(0);
        ASSERT_FALSE(verifier.isEmpty());
        plant("UPDATE ARTCR SET IDRMIT='" + verifier + "' WHERE ROWKEY=" + receipt);
        EXPECT_EQ(problems(), QStringList(QStringLiteral("Row %1 of table ARTCR holds a password "
                                                         "verifier in column IDRMIT.")
                                              .arg(receipt)));
    }

    // A known password, typed in another case, found whole only.
    plant("UPDATE ARTCR SET IDRMIT=' super ' WHERE ROWKEY=" + receipt);
    EXPECT_EQ(problems(), QStringList());
    const QStringList found = audit({Sample::SupervisorPassword}).problems;
    EXPECT_EQ(found, QStringList(QStringLiteral("Row %1 of table ARTCR holds a known password in "
                                                "column IDRMIT.")
                                     .arg(receipt)));
    EXPECT_FALSE(found.join(u' ').contains(QStringLiteral("SUPER"), Qt::CaseInsensitive));
    plant("UPDATE ARTCR SET IDRMIT='SUPERIOR' WHERE ROWKEY=" + receipt);
    EXPECT_EQ(audit({Sample::SupervisorPassword}).problems, QStringList());
}

TEST_F(AuditTest, InvoiceAndReceiptBatchNumbersAreGivenOnce)
{
    plant("UPDATE OEINVH SET INVNUMBER='IN0000001' WHERE INVUNIQ=" + ours());
    EXPECT_TRUE(holds(problems(), QStringLiteral("Invoice number IN0000001 was given 2 times.")));

    plant("UPDATE OEINVH SET INVNUMBER='" + invoice() + "' WHERE INVUNIQ=" + ours() +
          "; DROP INDEX ARBTA_K0; CREATE TEMP TABLE twice AS SELECT * FROM ARBTA WHERE "
          "CNTBTCH=5; UPDATE twice SET ROWKEY=(SELECT MAX(ROWKEY)+1 FROM ARBTA); "
          "INSERT INTO ARBTA SELECT * FROM twice");
    EXPECT_EQ(problems(), QStringList(QStringLiteral("Receipt batch number 5 was given 2 times.")));
}

// The program itself --------------------------------------------------------------------------

QByteArray bytesOf(const QString& file)
{
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("(missing)");
}

TEST_F(AuditTest, TheProgramReportsEachDocumentAndNeverWritesTheFile)
{
    if (TestStore::onServer()) {
        // A server site's company, named by the site's connection string and its ID: each
        // document reported, nothing written.
        const QStringList arguments = {QStringLiteral("--hive"), hive, QStringLiteral("--site"),
                                       site, Sample::CompanyId};
        Outcome run = check(arguments);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.out.endsWith(QStringLiteral(": the books agree.\n")))
            << run.out.toStdString();
        EXPECT_FALSE(run.out.contains(QStringLiteral("password=")));
        plant("UPDATE OEORDH SET COMPLETE=1 WHERE ORDNUMBER='ORD-AUDIT'");
        const QStringList before =
            TestStore::query(companyFile(), "SELECT * FROM OEORDH ORDER BY 1");
        run = check(arguments);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.out, QStringLiteral("Order ORD-AUDIT is invoiced with nothing left to ship "
                                          "or on back order, but it is not complete "
                                          "(COMPLETE 1).\n"));
        EXPECT_EQ(TestStore::query(companyFile(), "SELECT * FROM OEORDH ORDER BY 1"), before);
        return;
    }
    Outcome run = check({QStringLiteral("--hive"), hive, companyFile()});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, companyFile() + QStringLiteral(": the books agree.\n"));

    // Another program keeps the company open with a change in its WAL, not yet written into
    // the file: the auditor reads that change and leaves both files as they were.
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(companyFile().toUtf8().constData(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer,
                           "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0; "
                           "UPDATE OEORDH SET COMPLETE=1 WHERE ORDNUMBER='ORD-AUDIT'",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const QByteArray file = bytesOf(companyFile());
    const QByteArray wal = bytesOf(companyFile() + QStringLiteral("-wal"));
    ASSERT_GT(wal.size(), 0);
    run = check({QStringLiteral("--hive"), hive, companyFile()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, QStringLiteral("Order ORD-AUDIT is invoiced with nothing left to ship or on "
                                      "back order, but it is not complete (COMPLETE 1).\n"));
    EXPECT_EQ(bytesOf(companyFile()), file);
    EXPECT_EQ(bytesOf(companyFile() + QStringLiteral("-wal")), wal);
    sqlite3_close(writer);

    // Alone with the file (the writer closed and its WAL written back), and through --site.
    const QByteArray closed = bytesOf(companyFile());
    run = check({QStringLiteral("--site"), folder(), QStringLiteral("saminc")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, QStringLiteral("The delivery-charge rules were skipped: the machine's "
                                      "settings were not given.\n"
                                      "Order ORD-AUDIT is invoiced with nothing left to ship or on "
                                      "back order, but it is not complete (COMPLETE 1).\n"));
    EXPECT_EQ(bytesOf(companyFile()), closed);

    // A hive that does not parse: said, and the other rules still run.
    QFile bad(hive);
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly | QIODevice::Truncate));
    bad.write("not a hive\n");
    bad.close();
    run = check({QStringLiteral("--hive"), hive, companyFile()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("The delivery-charge rules were skipped: the "
                                                  "settings hive \"%1\" cannot be read (line 1: "
                                                  "the header is missing).\nOrder ORD-AUDIT ")
                                       .arg(hive)))
        << run.out.toStdString();

    run = check({QStringLiteral("--help")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains(QStringLiteral("--hive <file>")));
    run = check({QStringLiteral("--version")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("tallymerge-check ")));
}

TEST_F(AuditTest, BadInputIsOneSentenceAndExitStatusTwo)
{
    if (TestStore::onServer())
        GTEST_SKIP() << "about files that are no company file, and a file locked by SQLite";
    const auto refused = [](const QStringList& arguments, const QString& sentence) {
        const Outcome run = check(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(u' ').toStdString();
        EXPECT_EQ(run.out, QString());
        EXPECT_EQ(run.err, sentence + u'\n');
    };
    const QString usage = QStringLiteral(" Usage: tallymerge-check [--hive FILE] "
                                         "[--known-password TEXT]... {COMPANY-FILE | --site "
                                         "FOLDER COMPANY}");
    refused({}, QStringLiteral("tallymerge-check: One company file, or --site and one company "
                               "ID, is needed.") +
                    usage);
    refused({QStringLiteral("--bogus"), companyFile()},
            QStringLiteral("tallymerge-check: Unknown option 'bogus'.") + usage);
    const QString missing = folder() + QStringLiteral("/NONE.db");
    refused({missing}, QStringLiteral("The company file \"%1\" does not exist.").arg(missing));

    // Not a company: a text file, and the site's system data.
    const QString text = folder() + QStringLiteral("/notes.txt");
    QFile notes(text);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write(QByteArray(4096, 'x'));
    notes.close();
    refused({text}, QStringLiteral("The file \"%1\" is not a company file.").arg(text));
    const QString system = folder() + QStringLiteral("/system.db");
    refused({system},
            QStringLiteral("The file \"%1\" is not a company file: it has no table CSCOM.")
                .arg(system));

    // Made by a newer program.
    const QString known = value("SELECT MAX(VERSION) FROM SCHEMAVERSION");
    plant("UPDATE SCHEMAVERSION SET VERSION=VERSION+1");
    refused({companyFile()}, QStringLiteral("The company file \"%1\" was made by a newer version "
                                            "of the program (tables of version %2; this program "
                                            "knows up to version %3).")
                                 .arg(companyFile())
                                 .arg(known.toInt() + 1)
                                 .arg(known));
    plant("UPDATE SCHEMAVERSION SET VERSION=VERSION-1");

    // Locked by another program.
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(companyFile().toUtf8().constData(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder,
                           "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; "
                           "UPDATE CSCOM SET NAME=NAME",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    refused({companyFile()}, QStringLiteral("The company file \"%1\" is locked by another program; "
                                            "check it again when that program has finished.")
                                 .arg(companyFile()));
    sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_EQ(check({companyFile()}).exitCode, 0);
}

} // namespace

namespace {

// A journal entry removed, reordered or changed by the store's owner is named, and the
// program exits with status 1.
TEST_F(AuditTest, AJournalEntryRemovedReorderedOrChangedIsNamed)
{
    const QString unguard = TestStore::onServer()
                                ? QString()
                                : QStringLiteral("DROP TRIGGER TMJOURNAL_NO_UPDATE; DROP TRIGGER "
                                                 "TMJOURNAL_NO_DELETE; ");
    const QString original = companyFile() + QStringLiteral(".original");
    if (!TestStore::onServer()) {
        ASSERT_TRUE(QFile::copy(companyFile(), original));
    }
    // Entry 1 is the sample's invoice, 2 ours, 3 its prepayment receipt.
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("UPDATE TMJOURNAL SET BODY = REPLACE(BODY, '60', '50') WHERE SEQ = 2"),
         QStringLiteral("Journal entry 2 (invoice of ")},
        {QStringLiteral("DELETE FROM TMJOURNAL WHERE SEQ = 2"),
         QStringLiteral("Journal entry 2 was removed.")},
        {QStringLiteral("UPDATE TMJOURNAL SET SEQ = -SEQ WHERE SEQ IN (2, 3); UPDATE TMJOURNAL "
                        "SET SEQ = 5 + SEQ WHERE SEQ < 0"),
         QStringLiteral("Journal entry 2 (prepayment of ")},
    };
    for (const auto& [sql, named] : cases) {
        SCOPED_TRACE(sql.toStdString());
        if (TestStore::onServer()) {
            site = TestStore::copySite(books->site.folder);
        } else {
            QFile::remove(companyFile());
            ASSERT_TRUE(QFile::copy(original, companyFile()));
        }
        EXPECT_EQ(check({companyFile()}).exitCode, 0);
        // Without the guards the store's owner can change anything.
        plant(unguard + sql);
        const Outcome run = check({companyFile()});
        EXPECT_EQ(run.exitCode, 1) << run.out.toStdString();
        EXPECT_TRUE(run.out.contains(named)) << run.out.toStdString();
        EXPECT_FALSE(run.out.contains(QStringLiteral("the books agree")));
    }
}

// The guards refuse a change or removal of an entry (the file's engine keeps them).
TEST_F(AuditTest, TheJournalRefusesChangesOfItsEntries)
{
    if (TestStore::onServer())
        return; // on a server the roles' rights keep the journal
    EXPECT_NE(TestStore::execute(companyFile(), QStringLiteral("UPDATE TMJOURNAL SET BODY = '{}'")),
              QString());
    EXPECT_NE(TestStore::execute(companyFile(), QStringLiteral("DELETE FROM TMJOURNAL")),
              QString());
    EXPECT_EQ(problems(), QStringList());
}

} // namespace

namespace {

// A journal that cannot be read is one sentence and exit status 2, never "the books agree".
TEST_F(AuditTest, AJournalThatCannotBeReadIsExitStatusTwo)
{
    const QString original = companyFile() + QStringLiteral(".original");
    if (!TestStore::onServer()) {
        ASSERT_TRUE(QFile::copy(companyFile(), original));
    }
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("ALTER TABLE TMJOURNAL RENAME COLUMN HASH TO DAMAGED"),
         QStringLiteral("The journal of the company file")},
        {QStringLiteral("DROP TABLE TMJOURNAL; UPDATE SCHEMAVERSION SET VERSION = 3"),
         QStringLiteral("has tables of version 3, older than this program's 6, whose rules read "
                        "tables it lacks")},
    };
    for (const auto& [sql, sentence] : cases) {
        SCOPED_TRACE(sql.toStdString());
        if (TestStore::onServer()) {
            site = TestStore::copySite(books->site.folder);
        } else {
            QFile::remove(companyFile());
            ASSERT_TRUE(QFile::copy(original, companyFile()));
        }
        plant(sql);
        const Outcome run = check({companyFile()});
        EXPECT_EQ(run.exitCode, 2) << run.out.toStdString();
        EXPECT_TRUE(run.err.contains(sentence)) << run.err.toStdString();
        EXPECT_FALSE(run.out.contains(QStringLiteral("the books agree")));
    }
}

} // namespace
