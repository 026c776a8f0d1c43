// Invoices built by the program's call sequence: header, shipments, lines, totals, number,
// marks, balance, prepayment receipt, refusals and their priorities, faults and two programs.
#include "orderentrytest.h"

#include <system/comerror.h>

#include <QFile>
#include <QProcess>
#include <QSet>

using Sample::createInvoice;
using Sample::InvoiceRequest;

namespace {

InvoiceRequest::Prepayment prepayment(int batch, double amount)
{
    return InvoiceRequest::Prepayment::cheque(batch, amount, QStringLiteral("CHQ-4711"));
}

} // namespace

class Invoices : public OrderEntryTest
{
};

TEST_F(Invoices, BothLayoutsGiveTheInvoiceTheCheckerAccepts)
{
    for (const bool layout56 : {false, true}) {
        SCOPED_TRACE(layout56 ? "5.6 layout" : "older layout");
        Sample::Options options;
        options.oeVersion = layout56 ? QStringLiteral("56A") : QStringLiteral("55A");
        makeSite(options);
        const QString customer = QStringLiteral("1100");
        const QStringList shipments = openShipments(customer);
        ASSERT_GE(shipments.size(), 2);
        const double before = balance(customer);
        const double goods = shipmentTotal(shipments);
        const int batchCount = one("SELECT CNTENTER FROM ARBTA WHERE CNTBTCH=1").toInt();

        InvoiceRequest request;
        request.customer = QStringLiteral(" 1100 ");
        request.shipments = shipments;
        request.layout56 = layout56;
        request.prepayment = prepayment(1, 25.5);
        request.deliveryCharge = QStringLiteral("DEL");
        request.approverId = Sample::SupervisorId;
        request.approverPassword = Sample::SupervisorPassword;
        const auto result = createInvoice(*link, request);
        EXPECT_TRUE(result.skippedMessages.isEmpty())
            << result.skippedMessages.join('\n').toStdString();
        ASSERT_FALSE(result.invoiceNumber.isEmpty());
        const QString uniq =
            one("SELECT INVUNIQ FROM OEINVH WHERE INVNUMBER='" + result.invoiceNumber + "'");
        ASSERT_FALSE(uniq.isEmpty());

        // Header: totals from the lines, the customer's defaults, the approval without its
        // password, the prepayment fields.
        const double total = goods + 10.0;
        EXPECT_NEAR(one("SELECT INVNETWTX FROM OEINVH WHERE INVUNIQ=" + uniq).toDouble(), total,
                    0.001);
        EXPECT_NEAR(one("SELECT INVDUE FROM OEINVH WHERE INVUNIQ=" + uniq).toDouble(), total - 25.5,
                    0.001);
        EXPECT_EQ(one("SELECT INSOURCURR FROM OEINVH WHERE INVUNIQ=" + uniq), "USD");
        EXPECT_EQ(one("SELECT BILNAME FROM OEINVH WHERE INVUNIQ=" + uniq),
                  "Bargain Mart - San Diego");
        EXPECT_EQ(one("SELECT APPROVEBY FROM OEINVH WHERE INVUNIQ=" + uniq), "SUPER");
        EXPECT_EQ(one("SELECT APPLYTO, REBATCHNUM, CHECKNUM FROM OEINVH WHERE INVUNIQ=" + uniq),
                  "2|1|CHQ-4711");
        EXPECT_FALSE(TestStore::columns(companyFile, "OEINVH").contains("APPPASSWRD"));
        EXPECT_TRUE(TestStore::columns(companyFile, "OEINVH").contains("APPROVEBY"));

        // Lines: every shipment line and the delivery charge.
        const int shipmentLines =
            one("SELECT COUNT(*) FROM OESHID d JOIN OESHIH h ON h.SHIUNIQ=d.SHIUNIQ WHERE "
                "h.INVNUMBER='" +
                result.invoiceNumber + "'")
                .toInt();
        EXPECT_EQ(one("SELECT COUNT(*) FROM OEINVD WHERE INVUNIQ=" + uniq).toInt(),
                  shipmentLines + 1);
        EXPECT_EQ(
            one("SELECT MISCCHARGE, EXTINVMISC FROM OEINVD WHERE LINETYPE=2 AND INVUNIQ=" + uniq),
            "DEL|10");

        // Marks, orders, balance, receipt in its batch.
        EXPECT_EQ(sql("SELECT SHINUMBER FROM OESHIH WHERE INVNUMBER='" + result.invoiceNumber +
                      "' ORDER BY SHINUMBER"),
                  shipments);
        EXPECT_EQ(one("SELECT COUNT(*) FROM OEORDH o JOIN OESHIH h ON h.ORDUNIQ=o.ORDUNIQ WHERE "
                      "h.INVNUMBER='" +
                      result.invoiceNumber + "' AND o.LASTINVNUM<>h.INVNUMBER"),
                  "0");
        EXPECT_NEAR(balance(customer), before + total - 25.5, 0.001);
        EXPECT_EQ(one("SELECT CNTENTER FROM ARBTA WHERE CNTBTCH=1").toInt(), batchCount + 1);
        EXPECT_EQ(one("SELECT AMTRMIT, IDINVC FROM ARTCR WHERE CNTBTCH=1 ORDER BY CNTITEM DESC"),
                  "25.5|" + result.invoiceNumber);
        EXPECT_EQ(one("SELECT RECPAMOUNT FROM OEPPAY WHERE INVUNIQ=" + uniq).toDouble(), 25.5);
        EXPECT_EQ(problems(), QStringList());

        // The same shipments cannot be invoiced again: each is left out with priority 2
        // and the invoice without shipments is refused.
        InvoiceRequest again;
        again.customer = customer;
        again.shipments = shipments;
        again.layout56 = layout56;
        EXPECT_THROW(createInvoice(*link, again), ComError);
        const auto errors = takeErrors();
        ASSERT_EQ(errors.size(), 1);
        EXPECT_EQ(errors[0].second, 3);
        EXPECT_TRUE(errors[0].first.contains("no shipments")) << errors[0].first.toStdString();
        EXPECT_EQ(problems(), QStringList());
    }
}

TEST_F(Invoices, RefusedShipmentsAreLeftOutWithAPriorityThatLetsTheCallerGoOn)
{
    const QStringList mine = openShipments("1200");
    const QStringList theirs = openShipments("1300");
    ASSERT_FALSE(mine.isEmpty());
    ASSERT_FALSE(theirs.isEmpty());
    const QString complete = mine.last();
    auto shipments = link->OpenView("OE0692");
    shipments->SetOrder(1);
    shipments->Field("SHINUMBER").SetValue(complete);
    ASSERT_TRUE(shipments->Read());
    shipments->Field("COMPLETE").SetValue(3);
    shipments->Update();

    InvoiceRequest request;
    request.customer = "1200";
    request.shipments = {mine.first(), "NOSUCH", theirs.first(), mine.first(), complete, ""};
    const double before = balance("1200");
    const auto result = createInvoice(*link, request);
    ASSERT_FALSE(result.invoiceNumber.isEmpty());
    ASSERT_EQ(result.skippedMessages.size(), 5) << result.skippedMessages.join('\n').toStdString();
    EXPECT_TRUE(result.skippedMessages[0].contains("does not exist"));
    EXPECT_TRUE(result.skippedMessages[1].contains("belongs to customer \"1300\""));
    EXPECT_TRUE(result.skippedMessages[2].contains("on this invoice already"));
    EXPECT_TRUE(result.skippedMessages[3].contains("complete"));
    EXPECT_EQ(sql("SELECT SHINUMBER FROM OESHIH WHERE INVNUMBER='" + result.invoiceNumber + "'"),
              QStringList{mine.first()});
    EXPECT_NEAR(balance("1200"), before + shipmentTotal({mine.first()}), 0.001);
    EXPECT_EQ(problems(), QStringList());
}

TEST_F(Invoices, PrepaymentBatchesAndCustomersTheBooksDoNotKnow)
{
    // A batch that is not found: the prepayment record keeps the header's values, no receipt
    // is recorded and the balance takes the whole invoice.
    const QStringList shipments = openShipments("1105");
    ASSERT_FALSE(shipments.isEmpty());
    InvoiceRequest request;
    request.customer = "1105";
    request.shipments = shipments;
    request.prepayment = prepayment(999, 20.0);
    const double before = balance("1105");
    const QString receipts = one("SELECT COUNT(*) FROM ARTCR");
    const auto result = createInvoice(*link, request);
    ASSERT_FALSE(result.invoiceNumber.isEmpty());
    EXPECT_EQ(one("SELECT COUNT(*) FROM ARTCR"), receipts);
    EXPECT_EQ(one("SELECT BATCHNUM, RECPAMOUNT FROM OEPPAY p JOIN OEINVH i ON "
                  "i.INVUNIQ=p.INVUNIQ WHERE i.INVNUMBER='" +
                  result.invoiceNumber + "'"),
              "0|0");
    EXPECT_EQ(
        one("SELECT CHECKNUM, APPLYTO FROM OEINVH WHERE INVNUMBER='" + result.invoiceNumber + "'"),
        "CHQ-4711|2");
    EXPECT_NEAR(balance("1105"), before + shipmentTotal(shipments), 0.001);
    EXPECT_EQ(problems(), QStringList());

    // A posted batch takes no receipts: the prepayment is refused with priority 3, the run
    // ends and nothing of the invoice is stored.
    const QStringList others = openShipments("1310");
    ASSERT_FALSE(others.isEmpty());
    const QString invoices = one("SELECT COUNT(*) FROM OEINVH");
    request.customer = "1310";
    request.shipments = others;
    request.prepayment = prepayment(2, 5.0);
    EXPECT_THROW(createInvoice(*link, request), ComError);
    auto errors = takeErrors();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].second, 3);
    EXPECT_TRUE(errors[0].first.contains("batch 2 is not open"));
    EXPECT_EQ(one("SELECT COUNT(*) FROM OEINVH"), invoices);

    // A prepayment larger than the invoice is refused.
    request.prepayment = prepayment(1, 1.0e6);
    EXPECT_THROW(createInvoice(*link, request), ComError);
    errors = takeErrors();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].first.contains("more than"));

    // A customer Accounts Receivable does not know: refused when the header is processed.
    request = {};
    request.customer = "9999";
    request.shipments = others;
    EXPECT_THROW(createInvoice(*link, request), ComError);
    errors = takeErrors();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].second, 3);
    EXPECT_TRUE(errors[0].first.contains("\"9999\" does not exist"));

    // A wrong approval password refuses the invoice instead of recording a false approval.
    request = {};
    request.customer = "1310";
    request.shipments = others;
    request.approverId = Sample::SupervisorId;
    request.approverPassword = "wrong";
    EXPECT_THROW(createInvoice(*link, request), ComError);
    errors = takeErrors();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].first.contains("cannot be accepted"));
    EXPECT_EQ(one("SELECT COUNT(*) FROM OEINVH"), invoices);
    EXPECT_EQ(problems(), QStringList());
}

// An approval is recorded only for a user allowed to approve credit in this company: valid
// password, enabled, "OECREDIT" in one of the user's "OE" profiles here (ADMIN always).
TEST_F(Invoices, OnlyAUserWithTheCreditRightApproves)
{
    using namespace Accpac::Admin;
    const QString folder = site->folder;
    addAuthorisation(folder, "TEMP", Sample::CompanyId, "OE", "OESUPER");
    addUser(folder, "LOCKED", "Locked out", "LOCKED", HashStrength::Minimal);
    addAuthorisation(folder, "LOCKED", Sample::CompanyId, "OE", "OESUPER");
    setUserFlags(folder, "LOCKED", false, true);
    addUser(folder, "ELSEWHER", "Elsewhere", "ELSEWHER", HashStrength::Minimal);
    addAuthorisation(folder, "ELSEWHER", Sample::CompanyId, "OE", "OECLERK");
    addAuthorisation(folder, "ELSEWHER", "OTHER", "OE", "OESUPER");
    addAuthorisation(folder, "CLERK", Sample::CompanyId, "AR", "OESUPER"); // not an "OE" profile

    const QStringList shipments = openShipments("1310");
    ASSERT_GE(shipments.size(), 2);
    const QString invoices = one("SELECT COUNT(*) FROM OEINVH");
    struct Refused
    {
        const char* user;
        const char* password;
        const char* says;
    };
    const Refused refusals[] = {{"CLERK", "CLERK", "no right to approve credit in company SAMINC"},
                                {"ELSEWHER", "ELSEWHER", "no right to approve credit"},
                                {"TEMP", "TEMP", "has been disabled"},
                                {"LOCKED", "LOCKED", "is locked out"},
                                {"SUPER", "WRONG", "the user or the password is wrong"},
                                {"NOBODY", "X", "the user or the password is wrong"}};
    for (const Refused& r : refusals) {
        SCOPED_TRACE(r.user);
        InvoiceRequest request;
        request.customer = "1310";
        request.shipments = {shipments[0]};
        request.approverId = r.user;
        request.approverPassword = r.password;
        EXPECT_THROW(createInvoice(*link, request), ComError);
        const auto errors = takeErrors();
        ASSERT_EQ(errors.size(), 1);
        EXPECT_EQ(errors[0].second, 3);
        EXPECT_TRUE(errors[0].first.contains(r.says)) << errors[0].first.toStdString();
        if (QLatin1String(r.password) != QLatin1String(r.user)) {
            EXPECT_FALSE(errors[0].first.contains(r.password)) << "the password is not shown";
        }
        EXPECT_EQ(one("SELECT COUNT(*) FROM OEINVH"), invoices);
    }
    // ADMIN, and SUPER through the second of its two "OE" profiles, in small letters.
    const std::pair<QString, QString> approvers[] = {{"ADMIN", "ADMIN"}, {" super", "super"}};
    for (int i = 0; i < 2; ++i) {
        InvoiceRequest request;
        request.customer = "1310";
        request.shipments = {shipments[i]};
        request.approverId = approvers[i].first;
        request.approverPassword = approvers[i].second;
        const auto result = createInvoice(*link, request);
        EXPECT_EQ(
            one("SELECT APPROVEBY FROM OEINVH WHERE INVNUMBER='" + result.invoiceNumber + "'"),
            approvers[i].first.trimmed().toUpper());
    }
    EXPECT_EQ(problems(), QStringList());
}

TEST_F(Invoices, HeaderFieldsAreCheckedAtSetValue)
{
    auto header = link->OpenView("OE0420");
    header->ClearRecord();
    header->InitRecord(0);
    for (const auto& [field, value] : {std::pair<const char*, QVariant>{"MULTISHI", 2},
                                       {"APPLYTO", -1},
                                       {"INVPAYMENT", -5.0},
                                       {"INVSHIPMTS", "yes"},
                                       {"CUSTOMER", QString(13, 'X')}}) {
        const QVariant before = header->Field(field).GetValue();
        EXPECT_THROW(header->Field(field).SetValue(value), ComError) << field;
        EXPECT_EQ(header->Field(field).GetValue(), before) << field;
        const auto errors = takeErrors();
        ASSERT_EQ(errors.size(), 1) << field;
        EXPECT_EQ(errors[0].second, 3);
        EXPECT_TRUE(errors[0].first.contains(field)) << errors[0].first.toStdString();
    }
    // Without a composed header, a shipment of the invoice has nowhere to go.
    auto alone = link->OpenView("OE0427");
    alone->Field("SHINUMBER").SetValueDirect("SH1000-1");
    EXPECT_THROW(alone->Insert(), ComError);
    EXPECT_TRUE(takeErrors().value(0).first.contains("composed"));
}

TEST_F(Invoices, AFailedWriteAnywhereInTheInsertLeavesNothingBehind)
{
    const QStringList shipments = openShipments("1100");
    ASSERT_FALSE(shipments.isEmpty());
    const QString lastNumber = one("SELECT MAX(INVNUMBER) FROM OEINVH");
    const QString invoices = one("SELECT COUNT(*) FROM OEINVH");
    const double before = balance("1100");
    InvoiceRequest request;
    request.customer = "1100";
    request.shipments = shipments;
    request.prepayment = prepayment(1, 12.0);
    request.deliveryCharge = "DEL";
    int failures = 0;
    QString number;
    for (int write = 0; write < 200 && number.isEmpty(); ++write) {
        SCOPED_TRACE(write);
        Accpac::Testing::failCompanyWriteAfter(*session, write);
        try {
            number = createInvoice(*link, request).invoiceNumber;
        } catch (const ComError&) {
            ++failures;
            const auto errors = takeErrors();
            ASSERT_EQ(errors.size(), 1);
            EXPECT_TRUE(errors[0].first.contains("I/O")) << errors[0].first.toStdString();
            EXPECT_EQ(one("SELECT COUNT(*) FROM OEINVH"), invoices);
            EXPECT_EQ(openShipments("1100"), shipments);
            EXPECT_DOUBLE_EQ(balance("1100"), before);
            EXPECT_EQ(problems(), QStringList());
        }
    }
    Accpac::Testing::failCompanyWriteAfter(*session, -1);
    // Every write of the insert failed once (the header, lines, shipments, marks, orders,
    // balance, receipt, batch, prepayment, transaction) before one went through.
    EXPECT_GE(failures, 10);
    ASSERT_FALSE(number.isEmpty());
    EXPECT_EQ(number,
              QStringLiteral("IN%1").arg(lastNumber.mid(2).toInt() + 1, 7, 10, QLatin1Char('0')));
    EXPECT_TRUE(openShipments("1100").isEmpty());
    EXPECT_EQ(problems(), QStringList());
}

TEST_F(Invoices, TwoProgramsInvoicingTheSameShipmentsGiveEachToOneInvoice)
{
    QStringList items;
    for (const QString& customer : sql("SELECT IDCUST FROM ARCUS WHERE SWHOLD=0 ORDER BY 1"))
        for (const QString& shipment : openShipments(customer))
            items << customer + ':' + shipment;
    ASSERT_GE(items.size(), 10);
    QStringList reversed = items;
    std::reverse(reversed.begin(), reversed.end());

    // Both sign on first, then start together when the go file appears.
    const QString go = site->dir.filePath(QStringLiteral("go"));
    QProcess first, second;
    first.start(QStringLiteral(ACCPAC_INVOICER), QStringList{site->folder, go} + items);
    second.start(QStringLiteral(ACCPAC_INVOICER), QStringList{site->folder, go} + reversed);
    for (QProcess* p : {&first, &second}) {
        while (!p->canReadLine())
            ASSERT_TRUE(p->waitForReadyRead(30000)) << p->readAllStandardError().toStdString();
        ASSERT_EQ(p->readLine().trimmed(), "ready");
    }
    QFile(go).open(QIODevice::WriteOnly);
    ASSERT_TRUE(first.waitForFinished(60000));
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();

    // Each program reports the invoices it made; together they made one per shipment.
    QSet<QString> invoiced;
    QSet<QString> numbers;
    int made = 0;
    QList<int> madeBy;
    for (QProcess* p : {&first, &second}) {
        madeBy << 0;
        for (const QString& line :
             QString::fromUtf8(p->readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
            ++made;
            ++madeBy.last();
            invoiced.insert(line.section(' ', 0, 0));
            numbers.insert(line.section(' ', 1, 1));
        }
    }
    RecordProperty("InvoicesByFirst", madeBy[0]);
    RecordProperty("InvoicesBySecond", madeBy[1]);
    EXPECT_EQ(made, items.size());
    EXPECT_EQ(invoiced.size(), items.size());
    EXPECT_EQ(numbers.size(), items.size());
    EXPECT_EQ(one("SELECT COUNT(*) FROM OEINVS s JOIN OEINVH h ON h.INVUNIQ=s.INVUNIQ WHERE "
                  "h.INVDATE>0")
                  .toInt(),
              sql("SELECT SHIUNIQ FROM OESHIH WHERE INVUNIQ<>0").size());
    EXPECT_EQ(problems(), QStringList());
}

TEST_F(Invoices, ClearRecordDropsTheShipmentsOfTheInvoiceInTheMaking)
{
    const QStringList shipments = openShipments("1100");
    ASSERT_FALSE(shipments.isEmpty());
    auto header = link->OpenView("OE0420");
    auto attached = link->OpenView("OE0427");
    attached->Compose({header.get()});
    auto start = [&] {
        header->Field("CUSTOMER").SetValue("1100");
        header->Field("PROCESSCMD").SetValueDirect("1");
        header->Process();
    };
    header->ClearRecord();
    header->InitRecord(0);
    start();
    EXPECT_EQ(header->Field("INSOURCURR").GetValue().toString(), "USD");
    attached->ClearRecord();
    attached->Field("SHINUMBER").SetValueDirect(shipments.first());
    attached->Insert();
    EXPECT_EQ(attached->Field("INVUNIQ").GetValue(), header->Field("INVUNIQ").GetValue());

    // Started afresh without InitRecord: the shipment attached before is gone.
    header->ClearRecord();
    start();
    EXPECT_THROW(header->Insert(), ComError);
    EXPECT_TRUE(takeErrors().value(0).first.contains("no shipments"));
    EXPECT_EQ(openShipments("1100"), shipments);

    // Attached again, it is invoiced once; the stored invoice is not processed or inserted
    // a second time.
    attached->ClearRecord();
    attached->Field("SHINUMBER").SetValueDirect(shipments.first());
    attached->Insert();
    header->Field("INVSHIPMTS").SetValue(1);
    header->Process();
    const double total = header->Field("INVNETWTX").GetValue().toDouble();
    EXPECT_NEAR(total, shipmentTotal({shipments.first()}), 0.001);
    header->Insert();
    EXPECT_TRUE(header->Field("INVNUMBER").GetValue().toString().startsWith("IN"));
    EXPECT_THROW(header->Insert(), ComError);
    EXPECT_THROW(header->Process(), ComError);
    EXPECT_THROW(header->Update(), ComError);
    EXPECT_EQ(takeErrors().size(), 3);
    EXPECT_EQ(problems(), QStringList());
}

// The company file itself holds a shipment to one invoice: a writer that skipped the
// engine's check cannot attach an invoiced shipment to a second invoice.
TEST_F(Invoices, TheCompanyFileRefusesASecondInvoiceOfAShipment)
{
    const QStringList shipments = openShipments("1100");
    ASSERT_FALSE(shipments.isEmpty());
    Sample::InvoiceRequest request;
    request.customer = QStringLiteral("1100");
    request.shipments = {shipments.first()};
    const QString number = Sample::createInvoice(*link, request).invoiceNumber;
    ASSERT_FALSE(number.isEmpty());
    const QString shiUniq = one(
        QStringLiteral("SELECT SHIUNIQ FROM OESHIH WHERE SHINUMBER='%1'").arg(shipments.first()));

    // The store itself refuses a second listing of the shipment, whoever writes it.
    const QString refusal =
        TestStore::execute(companyFile, QStringLiteral("INSERT INTO OEINVS (INVUNIQ, SHINUMBER, "
                                                       "SHIUNIQ, SHIDATE) VALUES (999999, '%1', "
                                                       "%2, 20261208)")
                                            .arg(shipments.first(), shiUniq));
    EXPECT_TRUE(refusal.contains(QLatin1String("UNIQUE"), Qt::CaseInsensitive) ||
                refusal.contains(QLatin1String("unique constraint")))
        << refusal.toStdString();
    EXPECT_EQ(one(QStringLiteral("SELECT COUNT(*) FROM OEINVS WHERE SHIUNIQ=%1").arg(shiUniq)),
              QStringLiteral("1"));
    EXPECT_EQ(problems(), QStringList());
}

// An invoice of several shipments marks them all in one statement. Another program that
// writes without taking the books' lock (here in the middle of the invoice's transaction, on
// a server, where nothing else stops it) and marks one of them first makes the whole invoice
// fail, naming that shipment: nothing of it is stored and no shipment is on two invoices.
TEST_F(Invoices, AShipmentMarkedByAnotherProgramInsideTheInvoiceStopsItWhole)
{
    if (!TestStore::onServer())
        GTEST_SKIP() << "an SQLite file's write lock keeps every other writer out";
    const QStringList shipments = openShipments("1100");
    ASSERT_GE(shipments.size(), 3);
    const QString taken = shipments[1];
    bool marked = false;
    Accpac::Testing::setServerWriteObserver([&](const QByteArray& sql) {
        if (marked || !sql.contains("INSERT INTO \"OEINVH\""))
            return;
        marked = true;
        EXPECT_EQ(TestStore::execute(companyFile, QStringLiteral("UPDATE OESHIH SET "
                                                                 "INVUNIQ=999999, INVNUMBER="
                                                                 "'OTHER' WHERE SHINUMBER='%1'")
                                                      .arg(taken)),
                  QString());
    });
    Sample::InvoiceRequest request;
    request.customer = QStringLiteral("1100");
    request.shipments = shipments.mid(0, 3);
    const double balanceBefore = balance("1100");
    const QString invoicesBefore = one("SELECT COUNT(*) FROM OEINVH");
    EXPECT_THROW(Sample::createInvoice(*link, request), ComError);
    Accpac::Testing::setServerWriteObserver({});
    ASSERT_TRUE(marked);
    const auto errors = takeErrors();
    ASSERT_FALSE(errors.isEmpty());
    EXPECT_TRUE(errors.back().first.endsWith(
        QStringLiteral("Shipment \"%1\" was invoiced by another user meanwhile. The invoice was "
                       "not created.")
            .arg(taken)))
        << errors.back().first.toStdString();
    EXPECT_EQ(one("SELECT COUNT(*) FROM OEINVH"), invoicesBefore);
    for (const QString& s : {shipments[0], shipments[2]})
        EXPECT_EQ(one(QStringLiteral("SELECT INVUNIQ FROM OESHIH WHERE SHINUMBER='%1'").arg(s)),
                  QStringLiteral("0"));
    EXPECT_EQ(sql(QStringLiteral("SELECT SHINUMBER FROM OEINVS WHERE SHINUMBER IN ('%1','%2','%3')")
                      .arg(shipments[0], shipments[1], shipments[2])),
              QStringList());
    EXPECT_DOUBLE_EQ(balance("1100"), balanceBefore);
    // The other program's mark undone, the books are as before.
    EXPECT_EQ(TestStore::execute(companyFile, QStringLiteral("UPDATE OESHIH SET INVUNIQ=0, "
                                                             "INVNUMBER='' WHERE SHINUMBER='%1'")
                                                  .arg(taken)),
              QString());
    EXPECT_EQ(problems(), QStringList());
}
