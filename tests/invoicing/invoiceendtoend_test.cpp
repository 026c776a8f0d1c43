#include "invoicetesting.h"

#include <settings/settings.h>

#include "ui_frmmain.h"

#include <core/appstate.h>
#include <core/session.h>

#include <accpac/standin.h>
#include <accpac/view.h>

#include <QRegularExpression>
#include <QTest>

using namespace InvoiceTesting;

namespace {

// An order whose shipment has a line worth its amount, so that its invoice has totals.
TestOrder withLines(TestOrder order)
{
    order.withLines = true;
    return order;
}

// No shipment is on two invoices, and every attached shipment belongs to an invoice.
void expectConsistentInvoices(const MainWindowFixture& fixture)
{
    EXPECT_EQ(fixture.auditProblems(), QStringList());
    QStringList seen;
    for (const QVariantList& row : records("OE0427", {"INVUNIQ", "SHINUMBER"})) {
        const QString shipment = row.at(1).toString();
        EXPECT_FALSE(seen.contains(shipment)) << shipment.toStdString() << " on two invoices";
        seen << shipment;
        EXPECT_EQ(
            records("OE0420", {"INVNUMBER"}, QStringLiteral("INVUNIQ = %1").arg(row.at(0).toInt()))
                .size(),
            1)
            << shipment.toStdString();
    }
}

void clickCell(OrderGrid* grid, int row, int col)
{
    const QRect cell = grid->visualRect(grid->model()->index(row - 1, col));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

} // namespace

// The typical request: three rows of customer 1200 ticked, the delivery charge applied,
// one invoice with the three shipments and the delivery line, the orders completed and gone
// from the grid after a reload.
TEST(InvoiceEndToEnd, ThreeTickedShipmentsBecomeOneInvoice)
{
    MainWindowFixture fixture(
        {withLines(order("ORD1", "SH1", 20)), withLines(order("ORD2", "SH2", 30)),
         withLines(order("ORD3", "SH3", 40)), withLines(order("ORD4", "SH4", 15, "1300"))});
    frmMain& w = fixture.open();
    w.show();
    OrderGrid* grid = w.ui()->flgMain;
    for (const int row : {1, 2, 3})
        clickCell(grid, row, 0);
    ASSERT_EQ(w.selCustomer(), QStringLiteral("1200"));
    // The charge as the window offers it: switched on, for the flagged customer.
    Setting::save(Setting::DeliveryCharge, QStringLiteral("1"));
    w.setDelChargeApply(true);
    configureDeliveryChargeCode(w, QStringLiteral("DEL"));
    modGeneral::PendingPrepayment = {};

    ASSERT_TRUE(w.Create_Invoice56(w.selCustomer()));
    const QString number = modGeneral::LastInvoiceNumber;
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^IN\\d+$")).match(number).hasMatch())
        << number.toStdString();
    EXPECT_EQ(w.statusText(),
              QStringLiteral("Invoice ") + number + QStringLiteral(" created successfully."));
    const auto headers = records("OE0420", {"INVUNIQ", "CUSTOMER", "INVNETWTX"},
                                 QStringLiteral("INVNUMBER = \"%1\"").arg(number));
    ASSERT_EQ(headers.size(), 1);
    EXPECT_EQ(headers.first().at(1).toString(), QStringLiteral("1200"));
    // 20 + 30 + 40 and the delivery charge of 10.00.
    EXPECT_DOUBLE_EQ(headers.first().at(2).toDouble(), 100.0);
    const int invUniq = headers.first().at(0).toInt();
    QStringList attached;
    for (const auto& row :
         records("OE0427", {"SHINUMBER"}, QStringLiteral("INVUNIQ = %1").arg(invUniq)))
        attached << row.at(0).toString();
    EXPECT_EQ(attached, QStringList({"SH1", "SH2", "SH3"}));
    EXPECT_EQ(records("OE0400", {"MISCCHARGE"},
                      QStringLiteral("INVUNIQ = %1 AND LINETYPE = 2").arg(invUniq))
                  .size(),
              1);
    for (const QString n : {"ORD1", "ORD2", "ORD3"})
        EXPECT_EQ(readField("OE0520", 1, {{"ORDNUMBER", n}}, "COMPLETE").toInt(), 3);
    EXPECT_EQ(readField("OE0520", 1, {{"ORDNUMBER", "ORD4"}}, "COMPLETE").toInt(), 1);
    expectConsistentInvoices(fixture);

    w.Load_Grid();
    EXPECT_EQ(grid->Rows(), 2);
    EXPECT_EQ(grid->TextMatrix(1, 1), QStringLiteral("ORD4"));
    EXPECT_TRUE(fixture.boxes.shown.isEmpty());
}

// A shipment number the stand-in refuses (unknown, or on an invoice already) is reported
// and never attached; the company holds no shipment on two invoices afterwards.
TEST(InvoiceEndToEnd, RefusedShipmentsAreReportedAndNotAttached)
{
    MainWindowFixture fixture({order("ORD1", "SH1", 20), order("ORD2", "SH2", 30)});
    frmMain& w = fixture.open();
    modGeneral::PendingPrepayment = {};
    ASSERT_TRUE(w.Create_Invoice2_56(QStringLiteral("1200"), {1}));
    fixture.boxes.shown.clear();

    // Row 1 again (invoiced already) and row 2 under a number the company does not know.
    w.ui()->flgMain->setTextMatrix(2, 3, QStringLiteral("NOSUCH"));
    w.Create_Invoice2_56(QStringLiteral("1200"), {1, 2});
    ASSERT_GE(fixture.boxes.shown.size(), 1);
    for (const auto& box : fixture.boxes.shown)
        EXPECT_TRUE(box.text.endsWith(QStringLiteral("In procedure frmMain.Create_Invoice2_56.")))
            << box.text.toStdString();
    EXPECT_TRUE(
        records("OE0427", {"SHINUMBER"}, QStringLiteral("SHINUMBER = \"NOSUCH\"")).isEmpty());
    expectConsistentInvoices(fixture);
}

// The prepayment record carries the invoice's totals, and the header its payment.
TEST(InvoiceEndToEnd, APrepaymentCarriesTheInvoiceTotals)
{
    MainWindowFixture fixture(
        {withLines(order("ORD1", "SH1", 20)), withLines(order("ORD2", "SH2", 30))});
    frmMain& w = fixture.open();
    w.show();
    // Ticked as the clerk ticks them: the customer and its name are the selection's.
    for (const int row : {1, 2})
        clickCell(w.ui()->flgMain, row, 0);
    ASSERT_EQ(w.selCustomerName(), QStringLiteral("Mr. Ronald Black"));
    w.setDelChargeApply(false);
    setPendingCheque(1, 25, QStringLiteral("CHQ-1"));
    ASSERT_TRUE(w.Create_Invoice56(QStringLiteral("1200")));
    const auto headers =
        records("OE0420", {"INVUNIQ", "INVPAYMENT", "APPLYTO"},
                QStringLiteral("INVNUMBER = \"%1\"").arg(modGeneral::LastInvoiceNumber));
    ASSERT_EQ(headers.size(), 1);
    EXPECT_DOUBLE_EQ(headers.first().at(1).toDouble(), 25.0);
    EXPECT_EQ(headers.first().at(2).toInt(), 2);
    const auto prepayments =
        records("OE0278", {"DOCTOTAL", "BATCHNUM", "RECPAMOUNT"},
                QStringLiteral("INVUNIQ = %1").arg(headers.first().at(0).toInt()));
    ASSERT_EQ(prepayments.size(), 1);
    EXPECT_DOUBLE_EQ(prepayments.first().at(0).toDouble(), 50.0);
    EXPECT_EQ(prepayments.first().at(1).toInt(), 1);
    EXPECT_DOUBLE_EQ(prepayments.first().at(2).toDouble(), 25.0);
    EXPECT_TRUE(fixture.boxes.shown.isEmpty());
}
