// The reversal as its window calls it, on the program's own session: what it shows of an
// invoice, the credit note, and the refusals of an invoice reversed already or not there.
#include "invoicetesting.h"

#include <settings/settings.h>

#include "ui_frmmain.h"

#include <core/appstate.h>
#include <invoicing/invoicereversal.h>

using namespace InvoiceTesting;

TEST(InvoiceReversal, TheWindowsCallsShowTheInvoiceAndReverseItOnce)
{
    QList<TestOrder> orders = {order("ORD1", "SH1", 20), order("ORD2", "SH2", 30),
                               order("ORD3", "SH3", 40, "1300")};
    for (TestOrder& each : orders)
        each.withLines = true;
    MainWindowFixture fixture(orders);
    frmMain& w = fixture.open();
    tick(w, {1, 2});
    w.SelCustomer = QStringLiteral("1200");
    Setting::save(Setting::DeliveryCharge, QStringLiteral("1"));
    w.DelChargeApply = true;
    w.DelChargeCode = QStringLiteral("DEL");
    setPendingCheque(1, 25, QStringLiteral("CHQ-1"));
    ASSERT_TRUE(w.Create_Invoice56(w.SelCustomer));
    const QString number = modGeneral::LastInvoiceNumber;

    // The number as a clerk may type it.
    const auto shown = Invoicing::invoiceToReverse(QStringLiteral(" ") + number.toLower());
    ASSERT_TRUE(std::holds_alternative<Invoicing::InvoiceToReverse>(shown));
    const auto& invoice = std::get<Invoicing::InvoiceToReverse>(shown);
    EXPECT_EQ(invoice.number, number);
    EXPECT_EQ(invoice.customer, QStringLiteral("1200"));
    EXPECT_EQ(invoice.date, QDate::currentDate());
    ASSERT_EQ(invoice.shipments.size(), 2u);
    EXPECT_EQ(invoice.shipments[0].number, QStringLiteral("SH1"));
    EXPECT_DOUBLE_EQ(invoice.shipments[0].amount, 20);
    EXPECT_EQ(invoice.shipments[1].number, QStringLiteral("SH2"));
    EXPECT_DOUBLE_EQ(invoice.shipments[1].amount, 30);
    EXPECT_EQ(invoice.deliveryCharge, QStringLiteral("DEL"));
    EXPECT_DOUBLE_EQ(invoice.total, 50 + invoice.deliveryAmount);
    EXPECT_GT(invoice.deliveryAmount, 0);
    EXPECT_DOUBLE_EQ(invoice.prepayment, 25);

    const Invoicing::Reversal reversal = Invoicing::reverseInvoice(number);
    EXPECT_EQ(reversal.refusal, QString());
    EXPECT_EQ(reversal.creditNote, QStringLiteral("CN0000001"));
    // The prepayment stays on the customer's account, as the window tells.
    EXPECT_DOUBLE_EQ(reversal.onAccount, 25);

    const QString reversedAlready = QStringLiteral("Invoice %1 was reversed already by credit "
                                                   "note CN0000001; it cannot be reversed again.")
                                        .arg(number);
    EXPECT_EQ(std::get<QString>(Invoicing::invoiceToReverse(number)), reversedAlready);
    const Invoicing::Reversal again = Invoicing::reverseInvoice(number);
    EXPECT_EQ(again.creditNote, QString());
    EXPECT_EQ(again.refusal, reversedAlready);
    const QString missing = std::get<QString>(Invoicing::invoiceToReverse("IN9999999"));
    EXPECT_EQ(missing, Invoicing::reverseInvoice("IN9999999").refusal);
    EXPECT_TRUE(missing.startsWith(QStringLiteral("Invoice IN9999999 does not exist in company ")))
        << missing.toStdString();
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}
