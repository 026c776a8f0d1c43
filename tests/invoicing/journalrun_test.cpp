// The batch run and the journal: only an invoice this program made, whose completion was cut
// short, has its orders completed on its behalf; each run is recorded with what it left out.
#include "batchtesting.h"

#include "ui_frmmain.h"

#include <core/session.h>
#include <settings/settings.h>
#include <teststore.h>

#include <accpac/view.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

// Each invoice is judged by the settings its journal entry records: invoices charged while the
// delivery charge was on still agree when it is switched off today, and one that was not
// charged agrees when it is switched on.
TEST(InvoiceRunJournal, InvoicesAreJudgedByTheSettingsOfTheirTime)
{
    // Customer 1100 is flagged for the charge.
    MainWindowFixture fixture(ordersOf(
        {Row{QStringLiteral("A1"), QStringLiteral("1100"), QStringLiteral("S1"), true, 40},
         Row{QStringLiteral("A2"), QStringLiteral("1100"), QStringLiteral("S2"), true, 60}}));
    save({});
    Setting::save(Setting::DeliveryCharge, QStringLiteral("1"));
    Setting::save(Setting::DelCharge, QStringLiteral("DEL"));
    frmMain& w = fixture.open();
    w.Check_Orders();
    Setting::save(Setting::DeliveryCharge, QStringLiteral("0"));
    w.Load_Grid();
    // The other shipment of the order book, invoiced with the charge off.
    fixture.addOrders(ordersOf(
        {Row{QStringLiteral("A3"), QStringLiteral("1100"), QStringLiteral("S3"), true, 30}}));
    w.Load_Grid();
    w.Check_Orders();

    const QList<Invoice> made = invoices();
    ASSERT_EQ(made.size(), 3);
    EXPECT_TRUE(made[0].deliveryCharge);
    EXPECT_TRUE(made[1].deliveryCharge);
    EXPECT_FALSE(made[2].deliveryCharge);
    EXPECT_TRUE(fixture.boxes.shown.isEmpty()) << fixture.boxes.texts().join(u'|').toStdString();
    // Switched off today: the two charged invoices were charged while it was on.
    EXPECT_EQ(fixture.auditProblems(), QStringList());
    // Switched on today: the third was made while it was off.
    Setting::save(Setting::DeliveryCharge, QStringLiteral("1"));
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}

// Every batch run leaves one entry: its options, the invoices it created and each row it left
// out with the reason, the clerk's own ticks included.
TEST(InvoiceRunJournal, ABatchRunRecordsItsInvoicesAndTheRowsItLeftOut)
{
    MainWindowFixture fixture(
        ordersOf({Row{QStringLiteral("A1"), QStringLiteral("1210"), QStringLiteral("S1"), true},
                  Row{QStringLiteral("A2"), QStringLiteral("1840"), QString(), true},
                  Row{QStringLiteral("A3"), QStringLiteral("1840"), QStringLiteral("S3"), false},
                  Row{QStringLiteral("A4"), QStringLiteral("1420"), QStringLiteral("S4"), true}}));
    RunSettings settings;
    settings.batchOption = 2; // only shipments dated today
    save(settings);
    frmMain& w = fixture.open();
    tickOrders(w, {QStringLiteral("A4")});
    w.Check_Orders();

    const QStringList bodies = TestStore::query(
        fixture.companyFile(), QStringLiteral("SELECT BODY FROM TMJOURNAL WHERE KIND = "
                                              "'batch run' ORDER BY SEQ"));
    ASSERT_EQ(bodies.size(), 1);
    const QJsonObject entry = QJsonDocument::fromJson(bodies[0].toUtf8()).object();
    EXPECT_EQ(entry.value(QStringLiteral("ended")).toString(), QStringLiteral("normally"));
    EXPECT_EQ(entry.value(QStringLiteral("options")).toObject().value(u"batchOption").toInt(), 2);
    QStringList created;
    for (const Invoice& invoice : invoices())
        created << invoice.number;
    EXPECT_EQ(created.size(), 1);
    EXPECT_EQ(entry.value(QStringLiteral("invoices")).toVariant().toStringList(), created);
    QStringList leftOut;
    for (const QJsonValue& row : entry.value(QStringLiteral("leftOut")).toArray())
        leftOut << row[u"order"].toString() + QStringLiteral(": ") + row[u"reason"].toString();
    EXPECT_EQ(leftOut,
              (QStringList{QStringLiteral("A2: no shipment"), QStringLiteral("A3: not dated today"),
                           QStringLiteral("A4: ticked before the run")}));
    EXPECT_TRUE(fixture.boxes.shown.isEmpty()) << fixture.boxes.texts().join(u'|').toStdString();
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}
