// The batch run and the journal: only an invoice this program made, whose completion was cut
// short, has its orders completed on its behalf.
#include "batchtesting.h"

#include "ui_frmmain.h"

#include <core/session.h>
#include <teststore.h>

#include <accpac/view.h>

#include <gtest/gtest.h>

using namespace BatchTesting;

namespace {

// Invoices a shipment through the views alone, as another program on the books does: its
// journal entry records no decision of this program.
void invoiceElsewhere(const QString& customer, const QString& shipment)
{
    const modGeneral::ViewPtr header = modGeneral::OpenView(QStringLiteral("OE0420"));
    const modGeneral::ViewPtr shipments = modGeneral::OpenView(QStringLiteral("OE0427"));
    shipments->Compose({header.get()});
    header->InitRecord(0);
    header->Field(QStringLiteral("CUSTOMER")).SetValue(customer);
    header->Field(QStringLiteral("PROCESSCMD")).SetValue(1);
    header->Process();
    shipments->InitRecord(0);
    shipments->Field(QStringLiteral("SHINUMBER")).SetValue(shipment);
    shipments->Insert();
    header->Insert();
}

} // namespace

// An order invoiced in part elsewhere (COMPLETE 1, 6 ordered, 5 on back order) names that
// invoice as its last: a batch run over other orders leaves it as it is.
TEST(InvoiceRunJournal, OrderInvoicedInPartElsewhereStaysOpen)
{
    MainWindowFixture fixture(
        ordersOf({Row{QStringLiteral("A1"), QStringLiteral("1210"), QStringLiteral("S1"), true},
                  Row{QStringLiteral("P1"), QStringLiteral("1840"), QStringLiteral("S9"), true}}));
    save({});
    frmMain& w = fixture.open();
    invoiceElsewhere(QStringLiteral("1840"), QStringLiteral("S9"));
    const QString company = fixture.companyFile();
    ASSERT_EQ(TestStore::execute(company,
                                 QStringLiteral("UPDATE OEORDD SET QTYORDERED = 6, QTYSHIPPED = 1, "
                                                "QTYBACKORD = 5 WHERE ORDUNIQ = (SELECT ORDUNIQ "
                                                "FROM OEORDH WHERE ORDNUMBER = 'P1')")),
              QString());
    const QString partly = QStringLiteral(
        "SELECT o.COMPLETE || ' ' || o.LASTINVNUM || ' ' || d.QTYBACKORD FROM OEORDH o "
        "JOIN OEORDD d ON d.ORDUNIQ = o.ORDUNIQ WHERE o.ORDNUMBER = 'P1'");
    const QStringList before = TestStore::query(company, partly);
    ASSERT_EQ(before.size(), 1);
    ASSERT_TRUE(before[0].startsWith(u"1 ")) << before[0].toStdString();
    w.Load_Grid();

    w.Check_Orders();

    EXPECT_EQ(shipmentsPerInvoice(), (QList<QStringList>{{"S9"}, {"S1"}}));
    EXPECT_EQ(TestStore::query(company, partly), before);
    EXPECT_TRUE(fixture.boxes.shown.isEmpty()) << fixture.boxes.texts().join(u'|').toStdString();
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}
