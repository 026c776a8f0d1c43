// Reversing an invoice with a credit note ("OE0240"): the invoice's lines and total credited,
// the customer's balance lowered, a prepayment left on account, the shipments still invoiced;
// refusals of bad input and of a clerk; a failed write anywhere leaves the books as before;
// a reversal that releases the shipments puts the completed orders back as before the invoice,
// and the shipments go on another invoice.
#include "orderentrytest.h"

#include <system/comerror.h>

using Sample::createInvoice;
using Sample::InvoiceRequest;

class Reversal : public OrderEntryTest
{
protected:
    // An invoice of customer 1100's open shipments with the delivery charge and a prepayment
    // of 25.50, made by the clerk; then the supervisor's session takes the clerk's place.
    void SetUp() override
    {
        makeSite();
        shipments = openShipments(QStringLiteral("1100"));
        ASSERT_GE(shipments.size(), 2);
        balanceBefore = balance(QStringLiteral("1100"));
        InvoiceRequest request;
        request.customer = QStringLiteral("1100");
        request.shipments = shipments;
        request.prepayment =
            InvoiceRequest::Prepayment::cheque(1, 25.5, QStringLiteral("CHQ-4711"));
        request.deliveryCharge = QStringLiteral("DEL");
        invoice = createInvoice(*link, request).invoiceNumber;
        ASSERT_FALSE(invoice.isEmpty());
        signOnAs(Sample::SupervisorId, Sample::SupervisorPassword);
    }

    void signOnAs(const QString& user, const QString& password)
    {
        link.reset();
        session = site->signOn(user, password);
        ASSERT_TRUE(session);
        link = session->OpenDBLink(1, 0);
    }

    // Inserts the credit note of the invoice, releasing its shipments when asked; the header
    // view afterwards.
    std::unique_ptr<AccpacView> reverse(const QString& number, bool release = false)
    {
        auto header = link->OpenView(QStringLiteral("OE0240"));
        header->ClearRecord();
        header->InitRecord(0);
        header->Field(QStringLiteral("INVNUMBER")).SetValue(number);
        header->Field(QStringLiteral("RELEASE")).SetValue(release ? 1 : 0);
        header->Insert();
        return header;
    }

    // Completes the invoice's orders as the program's invoice run does after the invoice.
    void completeOrders()
    {
        for (const QString& order :
             sql("SELECT DISTINCT ORDNUMBER FROM OESHIH WHERE INVNUMBER='" + invoice + "'"))
            Sample::completeInvoicedOrder(*link, order.trimmed());
    }

    // What completion changes of the invoiced shipments' orders and of the shipments.
    QStringList completionState() const
    {
        const QString orders =
            "(SELECT ORDUNIQ FROM OESHIH WHERE SHINUMBER IN ('" + shipments.join("','") + "'))";
        const QString ofShipments =
            "(SELECT SHIUNIQ FROM OESHIH WHERE SHINUMBER IN ('" + shipments.join("','") + "'))";
        return TestStore::query(companyFile, "SELECT ORDNUMBER, COMPLETE, 0, 0 FROM OEORDH WHERE "
                                             "ORDUNIQ IN " +
                                                 orders + " ORDER BY ROWKEY") +
               TestStore::query(companyFile, "SELECT ORDUNIQ, LINENUM, QTYORDERED, QTYBACKORD, "
                                             "COMPLETE FROM OEORDD WHERE ORDUNIQ IN " +
                                                 orders + " ORDER BY ROWKEY") +
               TestStore::query(companyFile, "SELECT SHINUMBER, COMPLETE FROM OESHIH WHERE "
                                             "SHIUNIQ IN " +
                                                 ofShipments + " ORDER BY ROWKEY") +
               TestStore::query(companyFile, "SELECT SHIUNIQ, LINENUM, ORDQTYORD, ORDQTYBKOR, "
                                             "ORDQTYCOMM, ORDQTYSTD, COMPLETE FROM OESHID WHERE "
                                             "SHIUNIQ IN " +
                                                 ofShipments + " ORDER BY ROWKEY");
    }

    // What a reversal changes, to compare before and after a refused one.
    QStringList books() const
    {
        return TestStore::query(
                   companyFile,
                   QStringLiteral(
                       "SELECT (SELECT COUNT(*) FROM OECRDH), (SELECT COUNT(*) FROM OECRDD), "
                       "(SELECT COUNT(*) FROM TMJOURNAL), (SELECT SUM(AMTBALDUET) FROM "
                       "ARCUS), (SELECT COUNT(*) FROM OESHIH WHERE INVUNIQ <> 0), (SELECT "
                       "COUNT(*) FROM OEINVS WHERE RELEASED <> 0)")) +
               completionState();
    }

    // Reverses the invoice with each write failing in turn until none fails; after each failure
    // the books are as before and the auditor clean. Returns how many failed.
    int reverseFailingEachWrite(bool release)
    {
        const QStringList before = books();
        int failures = 0;
        QString creditNote;
        for (int write = 0; write < 200 && creditNote.isEmpty(); ++write) {
            SCOPED_TRACE(write);
            Accpac::Testing::failCompanyWriteAfter(*session, write);
            try {
                creditNote = reverse(invoice, release)->Field("CRDNUMBER").GetValue().toString();
            } catch (const ComError&) {
                ++failures;
                const auto errors = takeErrors();
                EXPECT_EQ(errors.size(), 1);
                EXPECT_TRUE(errors.value(0).first.contains("I/O"))
                    << errors.value(0).first.toStdString();
                EXPECT_EQ(books(), before);
                EXPECT_EQ(problems(), QStringList());
            }
        }
        Accpac::Testing::failCompanyWriteAfter(*session, -1);
        EXPECT_EQ(creditNote, QStringLiteral("CN0000001"));
        return failures;
    }

    QStringList shipments;
    double balanceBefore = 0;
    QString invoice;
};

TEST_F(Reversal, TheCreditNoteCarriesTheInvoiceWholeAndLeavesThePrepaymentOnAccount)
{
    const QString uniq = one("SELECT INVUNIQ FROM OEINVH WHERE INVNUMBER='" + invoice + "'");
    const double total = one("SELECT INVNETWTX FROM OEINVH WHERE INVUNIQ=" + uniq).toDouble();
    const QString receipts = one("SELECT COUNT(*), SUM(AMTRMIT) FROM ARTCR");
    EXPECT_NEAR(balance("1100"), balanceBefore + total - 25.5, 0.001);

    // The invoice number is read as typed: spaces and small letters do not matter.
    const auto header = reverse(QStringLiteral(" ") + invoice.toLower());
    EXPECT_EQ(header->Field("CRDNUMBER").GetValue().toString(), QStringLiteral("CN0000001"));
    EXPECT_EQ(header->Field("INVNUMBER").GetValue().toString(), invoice);
    EXPECT_EQ(header->Field("CUSTOMER").GetValue().toString(), QStringLiteral("1100"));
    EXPECT_DOUBLE_EQ(header->Field("CRDNETWTX").GetValue().toDouble(), total);
    EXPECT_DOUBLE_EQ(header->Field("ONACCOUNT").GetValue().toDouble(), 25.5);
    EXPECT_EQ(takeErrors().size(), 0);

    // The invoice's lines, the delivery line among them, with their amounts.
    const QString lineColumns = QStringLiteral("LINENUM || ':' || LINETYPE || ':' || "
                                               "TRIM(MISCCHARGE) || ':' || SHIUNIQ || ':' || ");
    const QStringList invoiced =
        sql("SELECT " + lineColumns + "EXTINVMISC FROM OEINVD WHERE INVUNIQ=" + uniq +
            " ORDER BY LINENUM");
    EXPECT_EQ(
        sql("SELECT " + lineColumns + "EXTCRDMISC FROM OECRDD WHERE CRDUNIQ=1 ORDER BY LINENUM"),
        invoiced);
    EXPECT_EQ(invoiced.filter(QStringLiteral(":2:DEL:")).size(), 1);
    // The balance lowered by the invoice's total: the receipt stays a payment on account.
    EXPECT_NEAR(balance("1100"), balanceBefore - 25.5, 0.001);
    EXPECT_EQ(one("SELECT COUNT(*), SUM(AMTRMIT) FROM ARTCR"), receipts);
    // The goods came back: the shipments stay on the reversed invoice.
    EXPECT_EQ(
        sql("SELECT SHINUMBER FROM OESHIH WHERE INVNUMBER='" + invoice + "' ORDER BY SHINUMBER"),
        shipments);
    EXPECT_EQ(one("SELECT KIND, USERID FROM TMJOURNAL ORDER BY SEQ DESC LIMIT 1"),
              "credit note|SUPER");
    EXPECT_EQ(problems(), QStringList());

    // Once reversed, never again: the message names the credit note, nothing is written.
    const QStringList before = books();
    EXPECT_THROW(reverse(invoice), ComError);
    const auto errors = takeErrors();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].first, QStringLiteral("Invoice %1 was reversed already by credit note "
                                              "CN0000001; it cannot be reversed again.")
                                   .arg(invoice));
    EXPECT_EQ(errors[0].second, 3);
    EXPECT_EQ(books(), before);
    EXPECT_EQ(problems(), QStringList());
}

TEST_F(Reversal, BadInputAndAClerkAreRefusedWithAClearMessageAndNothingWritten)
{
    const QStringList before = books();
    const auto refusal = [&](const QString& number) {
        EXPECT_THROW(reverse(number), ComError);
        const auto errors = takeErrors();
        EXPECT_EQ(books(), before);
        return errors.size() == 1 ? errors[0].first
                                  : QStringLiteral("%1 errors").arg(errors.size());
    };
    EXPECT_EQ(refusal(QString()), QStringLiteral("Enter the number of the invoice to reverse."));
    // A number of no invoice here, such as one of another company.
    EXPECT_EQ(refusal(QStringLiteral("IN9999999")),
              QStringLiteral("Invoice IN9999999 does not exist in company SAMINC."));
    // A credit note's lines are never written on their own.
    auto lines = link->OpenView(QStringLiteral("OE0220"));
    lines->ClearRecord();
    lines->Field(QStringLiteral("CRDUNIQ")).SetValue(1);
    EXPECT_THROW(lines->Insert(), ComError);
    EXPECT_TRUE(takeErrors().value(0).first.contains("written when the credit note is inserted"));

    signOnAs(QStringLiteral("CLERK"), QStringLiteral("CLERK"));
    EXPECT_EQ(refusal(invoice), QStringLiteral("User CLERK may not reverse invoices in company "
                                               "SAMINC: only a user who may approve credit can."));
    // The administrator holds every right.
    signOnAs(QStringLiteral("ADMIN"), Sample::AdminPassword);
    EXPECT_EQ(reverse(invoice)->Field("CRDNUMBER").GetValue().toString(),
              QStringLiteral("CN0000001"));
    EXPECT_EQ(problems(), QStringList());
}

TEST_F(Reversal, AFailedWriteAnywhereLeavesTheInvoiceAsBefore)
{
    // The transaction, the header, each line, the balance and the journal each failed once.
    EXPECT_GE(reverseFailingEachWrite(false), 6);
    EXPECT_NEAR(balance("1100"), balanceBefore - 25.5, 0.001);
    EXPECT_EQ(problems(), QStringList());
}

TEST_F(Reversal, ReleasingTheShipmentsPutsTheOrdersBackAndTheShipmentsAreInvoicedAgain)
{
    const QStringList beforeCompletion = completionState();
    completeOrders();
    ASSERT_NE(completionState(), beforeCompletion);
    EXPECT_EQ(problems(), QStringList());

    EXPECT_EQ(reverse(invoice, true)->Field("CRDNUMBER").GetValue().toString(),
              QStringLiteral("CN0000001"));
    EXPECT_EQ(takeErrors().size(), 0);
    EXPECT_EQ(completionState(), beforeCompletion);
    EXPECT_EQ(openShipments(QStringLiteral("1100")), shipments);
    EXPECT_EQ(one("SELECT COUNT(*), MIN(RELEASED) FROM OEINVS s JOIN OEINVH i ON i.INVUNIQ = "
                  "s.INVUNIQ WHERE i.INVNUMBER = '" +
                  invoice + "'"),
              QStringLiteral("%1|1").arg(shipments.size()));
    EXPECT_TRUE(one("SELECT BODY FROM TMJOURNAL ORDER BY SEQ DESC LIMIT 1")
                    .contains(QLatin1String("\"released\":true")));
    EXPECT_EQ(problems(), QStringList());

    // The clerk invoices the shipments again; the reversed invoice stays reversed.
    signOnAs(QStringLiteral("CLERK"), QStringLiteral("CLERK"));
    InvoiceRequest request;
    request.customer = QStringLiteral("1100");
    request.shipments = shipments;
    const QString again = createInvoice(*link, request).invoiceNumber;
    ASSERT_FALSE(again.isEmpty());
    EXPECT_NE(again, invoice);
    EXPECT_EQ(
        sql("SELECT SHINUMBER FROM OESHIH WHERE INVNUMBER='" + again + "' ORDER BY SHINUMBER"),
        shipments);
    invoice = again;
    completeOrders();
    EXPECT_EQ(problems(), QStringList());
}

TEST_F(Reversal, AReleaseThatCannotPutTheOrdersBackIsRefusedWithNothingWritten)
{
    completeOrders();
    const auto refusal = [&](const QString& number) {
        const QStringList before = books();
        EXPECT_THROW(reverse(number, true), ComError);
        const auto errors = takeErrors();
        EXPECT_EQ(books(), before);
        EXPECT_EQ(problems(), QStringList());
        return errors.size() == 1 ? errors[0].first
                                  : QStringLiteral("%1 errors").arg(errors.size());
    };
    // An order invoiced again since, one shipment on each of two invoices: putting the order
    // back as before the first would undo the second's completion.
    const QString order = one("SELECT ORDNUMBER FROM OESHIH WHERE CUSTOMER='1210' AND INVUNIQ=0 "
                              "AND COMPLETE<3 GROUP BY ORDNUMBER HAVING COUNT(*) > 1 ORDER BY "
                              "ORDNUMBER LIMIT 1");
    ASSERT_FALSE(order.isEmpty());
    QStringList numbers;
    for (const QString& shipment :
         sql("SELECT SHINUMBER FROM OESHIH WHERE ORDNUMBER='" + order + "' ORDER BY SHINUMBER")
             .mid(0, 2)) {
        InvoiceRequest request;
        request.customer = QStringLiteral("1210");
        request.shipments = {shipment};
        numbers << createInvoice(*link, request).invoiceNumber;
        ASSERT_FALSE(numbers.last().isEmpty());
    }
    EXPECT_EQ(refusal(numbers[0]),
              QStringLiteral("Order %1 of invoice %2 was invoiced again since on invoice %3; the "
                             "shipments cannot be released. Reverse with \"The goods came back: "
                             "the shipments stay invoiced\", or reverse invoice %3 first.")
                  .arg(order, numbers[0], numbers[1]));

    // An invoice made before the books kept what completion changes.
    const QString kept = one("SELECT BODY FROM TMRESTORE WHERE INVUNIQ=(SELECT INVUNIQ FROM "
                             "OEINVH WHERE INVNUMBER='" +
                             invoice + "')");
    ASSERT_FALSE(kept.isEmpty());
    ASSERT_EQ(TestStore::execute(companyFile, QStringLiteral("DELETE FROM TMRESTORE")), QString());
    EXPECT_EQ(refusal(invoice),
              QStringLiteral("Invoice %1 was made before the books kept what completing its "
                             "orders changes; it can only be reversed with \"The goods came "
                             "back: the shipments stay invoiced\".")
                  .arg(invoice));
    // Such an invoice is still reversed when the goods came back.
    EXPECT_EQ(reverse(invoice)->Field("CRDNUMBER").GetValue().toString(),
              QStringLiteral("CN0000001"));
    EXPECT_EQ(problems(), QStringList());
}

TEST_F(Reversal, AReleaseFailedAtAnyWriteLeavesTheInvoiceAndTheOrdersAsBefore)
{
    completeOrders();
    // Beyond the credit note's writes, each restored row, the links and the marks failed once.
    EXPECT_GE(reverseFailingEachWrite(true), 9);
    EXPECT_EQ(openShipments(QStringLiteral("1100")), shipments);
    EXPECT_EQ(problems(), QStringList());
}
