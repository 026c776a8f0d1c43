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
    MainWindowFixture fixture(reversalOrders());
    const QString number = invoiceForReversal(fixture.open());
    ASSERT_FALSE(number.isEmpty());

    // The number as a clerk may type it.
    const auto shown = Invoicing::invoiceToReverse(QStringLiteral(" ") + number.toLower());
    ASSERT_TRUE(std::holds_alternative<Invoicing::InvoiceToReverse>(shown));
    const auto& invoice = std::get<Invoicing::InvoiceToReverse>(shown);
    EXPECT_EQ(invoice.number, number);
    EXPECT_EQ(invoice.customer, QStringLiteral("1200"));
    EXPECT_EQ(invoice.date, QDate::currentDate());
    ASSERT_EQ(invoice.shipments.size(), 2u);
    EXPECT_EQ(invoice.shipments[0].number, QStringLiteral("SH1"));
    EXPECT_EQ(invoice.shipments[0].amount, Books::Money::of(20));
    EXPECT_EQ(invoice.shipments[1].number, QStringLiteral("SH2"));
    EXPECT_EQ(invoice.shipments[1].amount, Books::Money::of(30));
    EXPECT_EQ(invoice.deliveryCharge, QStringLiteral("DEL"));
    EXPECT_EQ(invoice.total, Books::Money::of(50) + invoice.deliveryAmount);
    EXPECT_GT(invoice.deliveryAmount, Books::Money{});
    EXPECT_EQ(invoice.prepayment, Books::Money::of(25));

    const Invoicing::Reversal reversal =
        Invoicing::reverseInvoice(number, Invoicing::AfterReversal::ShipmentsStayInvoiced);
    EXPECT_EQ(reversal.refusal, QString());
    EXPECT_EQ(reversal.creditNote, QStringLiteral("CN0000001"));
    // The prepayment stays on the customer's account, as the window tells.
    EXPECT_EQ(reversal.onAccount, Books::Money::of(25));

    const QString reversedAlready = QStringLiteral("Invoice %1 was reversed already by credit "
                                                   "note CN0000001; it cannot be reversed again.")
                                        .arg(number);
    EXPECT_EQ(std::get<QString>(Invoicing::invoiceToReverse(number)), reversedAlready);
    const Invoicing::Reversal again =
        Invoicing::reverseInvoice(number, Invoicing::AfterReversal::ShipmentsStayInvoiced);
    EXPECT_EQ(again.creditNote, QString());
    EXPECT_EQ(again.refusal, reversedAlready);
    const QString missing = std::get<QString>(Invoicing::invoiceToReverse("IN9999999"));
    EXPECT_EQ(missing, Invoicing::reverseInvoice("IN9999999",
                                                 Invoicing::AfterReversal::ShipmentsStayInvoiced)
                           .refusal);
    EXPECT_TRUE(missing.startsWith(QStringLiteral("Invoice IN9999999 does not exist in company ")))
        << missing.toStdString();
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}
