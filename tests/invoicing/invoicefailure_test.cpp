#include "creditwindow.h"
#include "faultyaccpac.h"
#include "invoicetesting.h"

#include <accpac/standin.h>

#include "ui_frmmain.h"

#include <core/appstate.h>
#include <core/session.h>

#include <accpac/view.h>

#include <teststore.h>

using namespace InvoiceTesting;
using modGeneral::MsgIcon;

namespace {

QString accpacBox(const QString& message, const char* routine)
{
    return message + QStringLiteral("\r\n\nIn procedure frmMain.") + QLatin1String(routine) +
           QStringLiteral(".");
}

class InvoiceFailure : public ::testing::Test
{
protected:
    explicit InvoiceFailure(
        const QList<TestOrder>& orders = {order("ORD1", "SH1", 20), order("ORD2", "SH2", 30),
                                          order("ORD3", "SH3", 40), order("ORD4", "SH4", 20),
                                          order("ORD5", "SH5", 30), order("ORD6", "SH6", 40)})
        : fixture(orders)
    {
        window = &fixture.open();
        window->setSelCustomer(QStringLiteral("1200"));
        window->setDelChargeApply(false);
        modGeneral::PendingPrepayment = {};
        modGeneral::LastInvoiceNumber = QStringLiteral("BEFORE");
        fixture.boxes.shown.clear();
    }

    int orderComplete(const QString& number)
    {
        return readField("OE0520", 1, {{"ORDNUMBER", number}}, "COMPLETE").toInt();
    }

    MainWindowFixture fixture;
    frmMain* window = nullptr;
};

} // namespace

// A warning (priority 1 or 2) on one shipment's insert is shown once; the run goes on with
// the next row, creates the invoice and still completes that row's order.
TEST_F(InvoiceFailure, AWarningOnAShipmentSkipsOnlyThatShipment)
{
    for (const int priority : {1, 2}) {
        SCOPED_TRACE(priority);
        const QList<int> rows = priority == 1 ? QList<int>{1, 2, 3} : QList<int>{4, 5, 6};
        window->Clear_AllSelections();
        tick(*window, rows);
        fixture.boxes.shown.clear();
        FaultyAccpac faults;
        faults.fail({"OE0427", "Insert", 2, QStringLiteral("Shipment refused."), priority});
        startLog(faults.realSession());
        EXPECT_TRUE(window->Create_Invoice56(QStringLiteral("1200")));
        ASSERT_EQ(fixture.boxes.shown.size(), 1);
        const auto& box = fixture.boxes.shown.first();
        EXPECT_EQ(box.text, accpacBox("Shipment refused.", "Create_Invoice56"));
        EXPECT_EQ(box.title, QStringLiteral("Sage Accpac Error"));
        EXPECT_EQ(box.icon, MsgIcon::Exclamation);
        EXPECT_EQ(box.buttons, modGeneral::MsgButtons::OK);
        const QStringList log = calls(faults.realSession());
        // The refused insert never reached the stand-in; the run went on with the next row.
        EXPECT_EQ(log.filter("OE0427 Insert").size(), 2);
        EXPECT_TRUE(log.contains("OE0420 Insert"));
        EXPECT_EQ(modGeneral::Session().Errors().Count(), 0);
        for (const int row : rows)
            EXPECT_EQ(orderComplete(QStringLiteral("ORD%1").arg(row)), 3) << row;
        EXPECT_TRUE(window->statusText().endsWith(QStringLiteral(" created successfully.")));
    }
}

// An error on the header insert ends the run: one box, False, no invoice number announced,
// no order completed, and every view released.
TEST_F(InvoiceFailure, AnErrorOnTheHeaderInsertEndsTheRun)
{
    tick(*window, {1, 2});
    FaultyAccpac faults;
    faults.fail({"OE0420", "Insert", 1, QStringLiteral("The invoice cannot be saved."), 3});
    startLog(faults.realSession());
    EXPECT_FALSE(window->Create_Invoice(QStringLiteral("1200")));
    EXPECT_EQ(fixture.boxes.texts(),
              QStringList{accpacBox("The invoice cannot be saved.", "Create_Invoice")});
    EXPECT_EQ(modGeneral::LastInvoiceNumber, QStringLiteral("BEFORE"));
    EXPECT_EQ(window->statusText(), QStringLiteral("Creating Invoice for selected shipments..."));
    const QStringList log = calls(faults.realSession());
    EXPECT_FALSE(log.contains("OE0420 GetValue INVNUMBER"));
    EXPECT_TRUE(log.filter("OE0520").isEmpty());
    EXPECT_EQ(orderComplete("ORD1"), 1);
    // Released after the failure: every view of the older layout, in the order opened.
    // (The refused insert never reached the stand-in.)
    expectCalls(log.mid(log.lastIndexOf("OE0420 Process") + 1),
                journalAttachCalls() +
                    release({"OE0420", "OE0400", "OE0660", "OE0160", "OE0720", "OE0427", "OE0422",
                             "OE0401", "OE0403", "OE0402", "OE0404"}));
}

// Several errors at once: one box each, in order; one warning among them lets the run go on.
TEST_F(InvoiceFailure, EveryErrorOfTheCollectionIsShown)
{
    tick(*window, {1});
    FaultyAccpac faults;
    // Fails the first compose with a severe error: the run ends at once.
    faults.fail({"OE0420", "Compose", 1, QStringLiteral("Composition refused."), 4});
    EXPECT_FALSE(window->Create_Invoice2(QStringLiteral("1200"), {1}));
    EXPECT_EQ(fixture.boxes.texts(),
              QStringList{accpacBox("Composition refused.", "Create_Invoice2")});
    EXPECT_EQ(modGeneral::Session().Errors().Count(), 0);

    // Two errors of one call, a severe one and a warning: both are shown in order, and the
    // warning lets the run go on.
    fixture.boxes.shown.clear();
    faults.fail({"OE0420", "Process", 1, QStringLiteral("Customer on hold."), 3});
    faults.fail({"OE0420", "Process", 1, QStringLiteral("Check the customer."), 2});
    EXPECT_TRUE(window->Create_Invoice2_56(QStringLiteral("1200"), {1}));
    EXPECT_EQ(fixture.boxes.texts(),
              QStringList({accpacBox("Customer on hold.", "Create_Invoice2_56"),
                           accpacBox("Check the customer.", "Create_Invoice2_56")}));
    EXPECT_EQ(modGeneral::Session().Errors().Count(), 0);
}

// A failure that leaves the error collection empty shows only the generic box and ends the
// run: an amount the database holds as no number in the credit check, or a call that fails
// without an entry.
TEST_F(InvoiceFailure, AFailureWithoutAccpacErrorsShowsTheGenericBox)
{
    const QString damaged = TestStore::execute(
        fixture.companyFile(),
        QStringLiteral("UPDATE OESHIH SET SHINETWTX = 'abc' WHERE SHINUMBER = 'SH2'"));
    if (TestStore::onServer()) {
        // The server's numeric column refuses the text itself.
        EXPECT_FALSE(damaged.isEmpty());
    } else {
        ASSERT_EQ(damaged, QString());
        window->Load_Grid();
        ASSERT_EQ(fixture.boxes.shown.size(), 1); // the load's report of the refused amount
        fixture.boxes.shown.clear();
        window->setSelCustomer(QStringLiteral("1200"));
        EXPECT_FALSE(window->Create_Invoice2(QStringLiteral("1200"), {1, 2}));
        ASSERT_EQ(fixture.boxes.shown.size(), 1);
        EXPECT_EQ(fixture.boxes.shown.first().title, QStringLiteral("Tallymerge Error"));
        EXPECT_TRUE(fixture.boxes.shown.first().text.startsWith(QStringLiteral("13; ")));
        EXPECT_TRUE(fixture.boxes.shown.first().text.contains(
            QStringLiteral("In Procedure: frmMain.Create_Invoice2.")));
        EXPECT_EQ(modGeneral::LastInvoiceNumber, QStringLiteral("BEFORE"));
        EXPECT_EQ(records(QStringLiteral("OE0420"), {QStringLiteral("INVNUMBER")}).size(), 0);
    }

    fixture.boxes.shown.clear();
    FaultyAccpac faults;
    faults.fail({"OE0427", "Insert", 1, QStringLiteral("Lost."), 1, true});
    tick(*window, {3});
    EXPECT_FALSE(window->Create_Invoice56(QStringLiteral("1200")));
    ASSERT_EQ(fixture.boxes.shown.size(), 1);
    EXPECT_EQ(fixture.boxes.shown.first().title, QStringLiteral("Tallymerge Error"));
    EXPECT_TRUE(fixture.boxes.shown.first().text.contains(
        QStringLiteral("In Procedure: frmMain.Create_Invoice56.")));
}

// A warning on the read of the receipt batch counts as a batch found: its fields are copied.
TEST_F(InvoiceFailure, AWarningOnTheBatchReadCopiesTheBatch)
{
    tick(*window, {1});
    auto& pending = modGeneral::PendingPrepayment;
    pending.Present = true;
    pending.BatchNumber = 1; // open, so that the receipt may go into it
    pending.ReceiptType = QStringLiteral("CASH");
    pending.ReceiptNumber = QStringLiteral("R1");
    pending.ReceiptDate = QDate(2026, 12, 7);
    pending.Amount = 0; // the invoice has no lines, so nothing is due
    FaultyAccpac faults;
    faults.fail({"AR0041", "Read", 1, QStringLiteral("Batch is being posted."), 2});
    startLog(faults.realSession());
    EXPECT_TRUE(window->Create_Invoice56(QStringLiteral("1200")));
    EXPECT_EQ(fixture.boxes.texts(),
              QStringList{accpacBox("Batch is being posted.", "Create_Invoice56")});
    const QStringList log = calls(faults.realSession());
    EXPECT_EQ(log.filter("OE0278 SetValue BATCHNUM|").size(), 1);
    EXPECT_TRUE(log.contains("OE0278 SetValue RECPAMOUNT|0"));
    EXPECT_TRUE(log.contains("OE0420 SetValue APPLYTO|2"));
}

// Nothing is undone by the program, and the company keeps no prepayment of an invoice that
// was never made: the record is written with the invoice or not at all.
TEST_F(InvoiceFailure, NoPrepaymentIsLeftWhenTheInvoiceFails)
{
    tick(*window, {1});
    modGeneral::PendingPrepayment.Present = true;
    modGeneral::PendingPrepayment.BatchNumber = 1;
    modGeneral::PendingPrepayment.ReceiptNumber = QStringLiteral("KEPT");
    FaultyAccpac faults;
    faults.fail({"OE0420", "Insert", 1, QStringLiteral("No."), 3});
    EXPECT_FALSE(window->Create_Invoice56(QStringLiteral("1200")));
    auto prepayments = modGeneral::AppDBLink->OpenView(QStringLiteral("OE0278"));
    prepayments->Browse(QString(), true);
    EXPECT_FALSE(prepayments->Fetch());
    prepayments->Close();
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}

namespace {

class CreditCheck : public InvoiceFailure
{
protected:
    CreditCheck()
        : InvoiceFailure({order("ORD1", "SH1", 150), order("ORD2", "SH2", 50),
                          order("ORD3", "SH3", 150), order("ORD4", "SH4", 50.01),
                          order("ORD5", "SH5", 1)})
    {
    }

    bool approvalAsked(const std::function<bool()>& run)
    {
        CreditWindowScript window(CreditWindow::cancel);
        startLog();
        EXPECT_TRUE(run());
        const bool asked = calls().contains("OE0420 SetValue APPROVEBY|");
        EXPECT_EQ(window.shown.size(), asked ? 1 : 0);
        return asked;
    }
};

} // namespace

// Customer 1200 has a limit of 1000 and a balance of 800: 200 fits exactly, 200.01 does
// not. A cancelled approval window lets the run go on.
TEST_F(CreditCheck, TheLimitIsExceededOnlyPastItsLastCent)
{
    EXPECT_FALSE(approvalAsked([&] {
        return window->Create_Invoice2(QStringLiteral("1200"), {1, 2});
    }));
    EXPECT_TRUE(approvalAsked([&] {
        return window->Create_Invoice2_56(QStringLiteral("1200"), {3, 4});
    }));
    EXPECT_TRUE(fixture.boxes.shown.isEmpty());
}

// A customer the company does not know (it can have no orders either) ends the run at the
// header: nothing is invoiced.
TEST_F(CreditCheck, AnUnknownInvoiceCustomerEndsTheRun)
{
    modGeneral::LastInvoiceNumber.clear();
    EXPECT_FALSE(window->Create_Invoice2(QStringLiteral("9999"), {5}));
    ASSERT_GE(fixture.boxes.shown.size(), 1);
    EXPECT_TRUE(fixture.boxes.shown[0].text.endsWith(
        QStringLiteral("In procedure frmMain.Create_Invoice2.")));
    EXPECT_TRUE(modGeneral::LastInvoiceNumber.isEmpty());
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}
