// Reversing an invoice with a credit note ("OE0240"): the invoice's lines and total credited,
// the customer's balance lowered, a prepayment left on account, the shipments still invoiced;
// refusals of bad input and of a clerk; a failed write anywhere leaves the books as before.
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

    // Inserts the credit note of the invoice; the header view afterwards.
    std::unique_ptr<AccpacView> reverse(const QString& number)
    {
        auto header = link->OpenView(QStringLiteral("OE0240"));
        header->ClearRecord();
        header->InitRecord(0);
        header->Field(QStringLiteral("INVNUMBER")).SetValue(number);
        header->Insert();
        return header;
    }

    // What a reversal changes, to compare before and after a refused one.
    QStringList books() const
    {
        return TestStore::query(
            companyFile,
            QStringLiteral("SELECT (SELECT COUNT(*) FROM OECRDH), (SELECT COUNT(*) FROM OECRDD), "
                           "(SELECT COUNT(*) FROM TMJOURNAL), (SELECT SUM(AMTBALDUET) FROM "
                           "ARCUS), (SELECT COUNT(*) FROM OESHIH WHERE INVUNIQ <> 0)"));
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
    const QStringList before = books();
    int failures = 0;
    QString creditNote;
    for (int write = 0; write < 100 && creditNote.isEmpty(); ++write) {
        SCOPED_TRACE(write);
        Accpac::Testing::failCompanyWriteAfter(*session, write);
        try {
            creditNote = reverse(invoice)->Field("CRDNUMBER").GetValue().toString();
        } catch (const ComError&) {
            ++failures;
            const auto errors = takeErrors();
            ASSERT_EQ(errors.size(), 1);
            EXPECT_TRUE(errors[0].first.contains("I/O")) << errors[0].first.toStdString();
            EXPECT_EQ(books(), before);
            EXPECT_EQ(problems(), QStringList());
        }
    }
    Accpac::Testing::failCompanyWriteAfter(*session, -1);
    // The transaction, the header, each line, the balance and the journal each failed once.
    EXPECT_GE(failures, 6);
    EXPECT_EQ(creditNote, QStringLiteral("CN0000001"));
    EXPECT_NEAR(balance("1100"), balanceBefore - 25.5, 0.001);
    EXPECT_EQ(problems(), QStringList());
}
