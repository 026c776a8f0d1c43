#include "faultyaccpac.h"
#include "invoicetesting.h"

#include "ui_frmmain.h"

#include <core/session.h>

#include <accpac/view.h>

#include <functional>

using namespace InvoiceTesting;

namespace {

class Completion : public ::testing::Test
{
protected:
    Completion()
        : fixture({order("ORD1", "SH1", 20), order("ORD2", "SH2", 30, "1200", 2),
                   order("ORD3", "SH3", 40, "1200", 3), order("ORD4", "SH4", 0, "1200", 0),
                   order("ORD5", "SH5", 0, "1200", 4), order("ORD6", "SH6", 0)})
    {
        window = &fixture.open();
    }

    static int orderUniq(const QString& number)
    {
        return readField("OE0520", 1, {{"ORDNUMBER", number}}, "ORDUNIQ").toInt();
    }
    static int shipmentUniq(const QString& number)
    {
        return readField("OE0692", 1, {{"SHINUMBER", number}}, "SHIUNIQ").toInt();
    }
    static QVariant line(const char* viewId, int uniq, int lineNumber, const char* field)
    {
        const char* key = QByteArray(viewId) == "OE0500" ? "ORDUNIQ" : "SHIUNIQ";
        return readField(viewId, 0, {{key, uniq}, {"LINENUM", lineNumber}}, field);
    }
    static int orderComplete(const QString& number)
    {
        return readField("OE0520", 1, {{"ORDNUMBER", number}}, "COMPLETE").toInt();
    }
    static int shipmentComplete(const QString& number)
    {
        return readField("OE0692", 1, {{"SHINUMBER", number}}, "COMPLETE").toInt();
    }

    // The calls up to the header's read and COMPLETE test of an order routine.
    static QStringList orderStart(bool layout56, const QString& number)
    {
        return openAndCompose(orderLayout(layout56).views, orderLayout(layout56).composes)
               << call("OE0520", "ClearRecord") << call("OE0520", "InitRecord", {"0"})
               << call("OE0520", "SetOrder", {"1"})
               << call("OE0520", "SetValue", {"ORDNUMBER", number})
               << call("OE0520", "PrepareRead", {"10"}) << call("OE0520", "Read");
    }
    static QStringList orderFinish(bool layout56)
    {
        return QStringList{call("OE0500", "Close"), call("OE0520", "Close")}
               << release(orderLayout(layout56).views, {"OE0500", "OE0520"});
    }

    MainWindowFixture fixture;
    frmMain* window = nullptr;
};

} // namespace

// Back orders: each back-ordered line is zeroed once, in key order; the header is written
// because a line changed. The padded number is read as the trimmed one.
TEST_F(Completion, ClearBackOrdersZeroesEachBackOrderedLineOnce)
{
    const int uniq = orderUniq("ORD1");
    addOrderLine(uniq, 1, 5, 2, 0);
    addOrderLine(uniq, 2, 3, 0, 0);
    addOrderLine(uniq, 3, 4, 3, 0);
    startLog();
    window->Clear_BackOrders(QStringLiteral("  ORD1 "));
    QStringList expected = orderStart(false, "ORD1");
    expected << call("OE0520", "GetValue", {"COMPLETE"}) << call("OE0500", "ClearRecord")
             << call("OE0500", "InitRecord", {"0"}) << call("OE0520", "GetValue", {"ORDUNIQ"})
             << call("OE0500", "Browse",
                     {QStringLiteral("ORDUNIQ = %1 AND QTYBACKORD > 0").arg(uniq), "True"})
             << call("OE0500", "PrepareRead", {"10"});
    for (int pass = 0; pass < 2; ++pass)
        expected << call("OE0500", "MoveFirst") << call("OE0500", "GetValue", {"QTYBACKORD"})
                 << call("OE0500", "SetValue", {"QTYORDERED", "0"})
                 << call("OE0500", "SetValue", {"QTYBACKORD", "0"}) << call("OE0500", "Update")
                 << call("OE0500", "Process") << call("OE0500", "MoveNext");
    expected << call("OE0520", "Update") << call("OE0520", "Post") << orderFinish(false);
    expectCalls(calls(), expected);
    EXPECT_EQ(line("OE0500", uniq, 1, "QTYBACKORD").toDouble(), 0);
    EXPECT_EQ(line("OE0500", uniq, 1, "QTYORDERED").toDouble(), 0);
    EXPECT_EQ(line("OE0500", uniq, 2, "QTYORDERED").toDouble(), 3);
    EXPECT_EQ(line("OE0500", uniq, 3, "QTYBACKORD").toDouble(), 0);
    EXPECT_EQ(orderComplete("ORD1"), 1);

    // Nothing back-ordered any more: no pass and no header write.
    startLog();
    window->Clear_BackOrders56(QStringLiteral("ORD1"));
    expectCalls(calls(), emptyOrderPass(true, true, "ORD1", uniq));
    EXPECT_TRUE(fixture.boxes.shown.isEmpty());
}

// Completing an order marks its open lines 2 and its header 1 -> 3, 2 -> 4; any other
// value below 3 is written back unchanged.
TEST_F(Completion, UpdateOrderCompleteMarksOpenLinesAndTheHeader)
{
    const int uniq = orderUniq("ORD2");
    addOrderLine(uniq, 1, 5, 0, 0);
    addOrderLine(uniq, 2, 3, 0, 2);
    addOrderLine(uniq, 3, 4, 0, 0);
    startLog();
    window->Update_OrderComplete56(QStringLiteral("ORD2"));
    QStringList expected = orderStart(true, "ORD2");
    expected << call("OE0520", "GetValue", {"COMPLETE"}) << call("OE0500", "ClearRecord")
             << call("OE0500", "InitRecord", {"0"}) << call("OE0520", "GetValue", {"ORDUNIQ"})
             << call("OE0500", "Browse",
                     {QStringLiteral("ORDUNIQ = %1 AND COMPLETE = 0").arg(uniq), "True"})
             << call("OE0500", "PrepareRead", {"10"});
    for (int pass = 0; pass < 2; ++pass)
        expected << call("OE0500", "MoveFirst") << call("OE0500", "GetValue", {"COMPLETE"})
                 << call("OE0500", "SetValue", {"COMPLETE", "2"}) << call("OE0500", "Update")
                 << call("OE0500", "Process") << call("OE0500", "MoveNext");
    expected << call("OE0520", "GetValue", {"COMPLETE"})
             << call("OE0520", "SetValue", {"COMPLETE", "4"}) << call("OE0520", "Update")
             << call("OE0520", "Post") << orderFinish(true);
    expectCalls(calls(), expected);
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(line("OE0500", uniq, n, "COMPLETE").toInt(), 2) << n;
    EXPECT_EQ(orderComplete("ORD2"), 4);

    // COMPLETE 0: lines completed, header updated and posted with its value unchanged.
    const int uniq4 = orderUniq("ORD4");
    addOrderLine(uniq4, 1, 5, 0, 0);
    startLog();
    window->Update_OrderComplete(QStringLiteral("ORD4"));
    const QStringList log = calls();
    EXPECT_TRUE(log.filter("OE0520 SetValue COMPLETE").isEmpty());
    EXPECT_TRUE(log.contains("OE0520 Post"));
    EXPECT_EQ(line("OE0500", uniq4, 1, "COMPLETE").toInt(), 2);
    EXPECT_EQ(orderComplete("ORD4"), 0);
    EXPECT_TRUE(fixture.boxes.shown.isEmpty());
}

// Orders completed already (COMPLETE 3 or more) and unknown numbers are left alone, without
// a message, by all four order routines.
TEST_F(Completion, CompletedAndUnknownOrdersAreLeftAlone)
{
    const int uniq3 = orderUniq("ORD3");
    addOrderLine(uniq3, 1, 5, 2, 0);
    frmMain& w = *window;
    const QList<std::pair<std::function<void(const QString&)>, bool>> routines = {
        {[&](const QString& n) { w.Clear_BackOrders(n); }, false},
        {[&](const QString& n) { w.Clear_BackOrders56(n); }, true},
        {[&](const QString& n) { w.Update_OrderComplete(n); }, false},
        {[&](const QString& n) { w.Update_OrderComplete56(n); }, true}};
    for (const auto& routine : routines) {
        const bool layout56 = routine.second;
        for (const QString number : {"ORD3", "ORD5", "NOPE"}) {
            SCOPED_TRACE(number.toStdString() + (layout56 ? " 5.6" : " first"));
            startLog();
            routine.first(QStringLiteral(" ") + number);
            QStringList expected = orderStart(layout56, number);
            if (number != QLatin1String("NOPE"))
                expected << call("OE0520", "GetValue", {"COMPLETE"});
            expectCalls(calls(), expected << orderFinish(layout56));
        }
    }
    EXPECT_EQ(orderComplete("ORD3"), 3);
    EXPECT_EQ(orderComplete("ORD5"), 4);
    EXPECT_EQ(line("OE0500", uniq3, 1, "QTYBACKORD").toDouble(), 2);
    EXPECT_EQ(line("OE0500", uniq3, 1, "COMPLETE").toInt(), 0);
    EXPECT_TRUE(fixture.boxes.shown.isEmpty());
}

// A shipment: its open lines zeroed and marked 2, the finish command after the last line,
// the header 1 -> 3.
TEST_F(Completion, UpdateShipmentCompleteMarksTheShipment)
{
    const int uniq = shipmentUniq("SH1");
    addShipmentLine(uniq, 1, 0);
    addShipmentLine(uniq, 2, 2);
    addShipmentLine(uniq, 3, 0);
    startLog();
    window->Update_ShipmentComplete(QStringLiteral(" SH1  "));
    QStringList expected =
        openAndCompose(OrderViewLayouts::shipment().views, OrderViewLayouts::shipment().composes);
    expected << call("OE0692", "ClearRecord") << call("OE0692", "InitRecord", {"0"})
             << call("OE0692", "PrepareRead", {"10"}) << call("OE0692", "SetOrder", {"1"})
             << call("OE0692", "SetValue", {"SHINUMBER", "SH1"}) << call("OE0692", "Read")
             << call("OE0692", "GetValue", {"COMPLETE"}) << call("OE0691", "ClearRecord")
             << call("OE0691", "InitRecord", {"0"}) << call("OE0691", "PrepareRead", {"10"})
             << call("OE0692", "GetValue", {"SHIUNIQ"})
             << call("OE0691", "Browse",
                     {QStringLiteral("SHIUNIQ = %1 AND COMPLETE = 0").arg(uniq), "True"});
    for (int pass = 0; pass < 2; ++pass) {
        expected << call("OE0691", "MoveFirst") << call("OE0691", "GetValue", {"COMPLETE"});
        for (const char* field : {"ORDQTYORD", "ORDQTYBKOR", "ORDQTYCOMM", "ORDQTYSTD"})
            expected << call("OE0691", "SetValue", {field, "0"});
        expected << call("OE0691", "SetValue", {"COMPLETE", "2"}) << call("OE0691", "Update")
                 << call("OE0691", "Process") << call("OE0691", "MoveNext");
    }
    expected << call("OE0691", "SetValue", {"FINISHORD", "1"}) << call("OE0691", "Update")
             << call("OE0691", "Process") << call("OE0692", "GetValue", {"COMPLETE"})
             << call("OE0692", "SetValue", {"COMPLETE", "3"}) << call("OE0692", "Update")
             << call("OE0692", "Post") << call("OE0691", "Close") << call("OE0692", "Close")
             << release(OrderViewLayouts::shipment().views, {"OE0691", "OE0692"});
    expectCalls(calls(), expected);
    EXPECT_EQ(shipmentComplete("SH1"), 3);
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(line("OE0691", uniq, n, "COMPLETE").toInt(), 2) << n;
    EXPECT_EQ(line("OE0691", uniq, 1, "ORDQTYBKOR").toDouble(), 0);

    // No open line: the finish command is still sent, once, and the header completed.
    startLog();
    window->Update_ShipmentComplete(QStringLiteral("SH2"));
    const QStringList log = calls();
    EXPECT_EQ(log.filter("OE0691 SetValue"),
              QStringList{call("OE0691", "SetValue", {"FINISHORD", "1"})});
    EXPECT_EQ(log.filter("OE0691 Update").size(), 1);
    EXPECT_EQ(shipmentComplete("SH2"), 3);

    // Completed already, or unknown: read, then closed.
    for (const QString number : {"SH2", "SH404"}) {
        startLog();
        window->Update_ShipmentComplete(number);
        const QStringList again = calls();
        EXPECT_TRUE(again.filter("OE0692 Update").isEmpty()) << number.toStdString();
        EXPECT_TRUE(again.filter("OE0691 Browse").isEmpty()) << number.toStdString();
    }
    EXPECT_TRUE(fixture.boxes.shown.isEmpty());
}

// A failing call ends the routine with the Accpac report naming it; what was written stays,
// and the views are released.
TEST_F(Completion, AFailingCallIsReportedAndEndsOnlyThatRoutine)
{
    const int uniq = orderUniq("ORD1");
    addOrderLine(uniq, 1, 5, 2, 0);
    addOrderLine(uniq, 2, 5, 2, 0);
    FaultyAccpac faults;
    faults.fail({"OE0500", "Update", 2, QStringLiteral("Line locked."), 3});
    startLog(faults.realSession());
    window->Clear_BackOrders(QStringLiteral("ORD1"));
    EXPECT_EQ(
        fixture.boxes.texts(),
        QStringList{QStringLiteral("Line locked.\r\nIn procedure frmMain.Clear_BackOrders.")});
    EXPECT_EQ(fixture.boxes.shown.first().title, QStringLiteral("Sage Accpac Error"));
    const QStringList log = calls(faults.realSession());
    EXPECT_FALSE(log.contains("OE0520 Post"));
    const QStringList& views = orderLayout(false).views;
    EXPECT_EQ(log.mid(log.size() - views.size()), release(views));
    EXPECT_EQ(line("OE0500", uniq, 1, "QTYBACKORD").toDouble(), 0);
    EXPECT_EQ(line("OE0500", uniq, 2, "QTYBACKORD").toDouble(), 2);
}

// The zero-amount command completes the rows whose amount is zero in cents and that have a
// shipment, with their orders in the company's order layout (5.6 here), then reloads.
TEST_F(Completion, ZeroAmountShipmentsAreCompletedWithTheirOrders)
{
    // Rows: ORD1 20.00, ORD2 30.00, ORD3 40.00, ORD4 0.00, ORD6 0.00 (ORD5 is complete).
    OrderGrid* grid = window->ui()->flgMain;
    ASSERT_EQ(grid->Rows(), 6);
    ASSERT_EQ(grid->TextMatrix(4, 1), QStringLiteral("ORD4"));
    ASSERT_EQ(grid->TextMatrix(4, 4), QStringLiteral("0.00"));
    const int uniq6 = orderUniq("ORD6");
    addOrderLine(uniq6, 1, 5, 2, 0);
    addShipmentLine(shipmentUniq("SH6"), 1, 0);
    grid->setTextMatrix(4, 3, QString()); // ORD4: no shipment number shown

    window->setLoading(true); // a reload is running: the command must not start another
    startLog();
    window->Complete_ZeroAmountShipments();
    EXPECT_EQ(window->statusText(), QStringLiteral("Completing shipment SH6..."));
    EXPECT_EQ(grid->Rows(), 6);
    const QStringList log = calls();
    EXPECT_EQ(log.filter("OE0692 OpenView").size(), 1);
    EXPECT_EQ(log.filter("OE0508 OpenView").size(), 2);
    EXPECT_TRUE(log.filter("OE0680 OpenView").isEmpty());
    EXPECT_EQ(shipmentComplete("SH6"), 3);
    EXPECT_EQ(orderComplete("ORD6"), 3);
    EXPECT_EQ(line("OE0500", uniq6, 1, "QTYBACKORD").toDouble(), 0);
    EXPECT_EQ(line("OE0500", uniq6, 1, "COMPLETE").toInt(), 2);
    for (const QString number : {"SH1", "SH2", "SH4"})
        EXPECT_EQ(shipmentComplete(number), 1) << number.toStdString();
    EXPECT_EQ(orderComplete("ORD4"), 0);

    window->setLoading(false);
    window->Complete_ZeroAmountShipments();
    // Reloaded: ORD6 is complete and gone; ORD4's row is back with its shipment and is
    // completed only by the next run.
    EXPECT_EQ(grid->Rows(), 5);
    EXPECT_EQ(grid->TextMatrix(4, 1), QStringLiteral("ORD4"));
    EXPECT_EQ(grid->TextMatrix(4, 3), QStringLiteral("SH4"));
    EXPECT_TRUE(window->statusText().startsWith(QStringLiteral("Loading Complete.")));
    EXPECT_EQ(orderComplete("ORD4"), 0);
    EXPECT_TRUE(fixture.boxes.shown.isEmpty());
}

// A shipment whose lines were all completed by an earlier run that failed before the header
// was posted: the line pass meets no open line, the finish command goes to a lines view without
// a current line, which Accpac leaves alone, and the shipment is completed. The finish command
// after an empty pass harms nothing, so it is sent every time.
TEST_F(Completion, AShipmentWithoutOpenLinesIsCompletedWithItsFinishCommand)
{
    const int uniq = shipmentUniq("SH1");
    addShipmentLine(uniq, 1, 2);
    addShipmentLine(uniq, 2, 2);
    startLog();
    window->Update_ShipmentComplete(QStringLiteral("SH1"));
    const QStringList log = calls();
    EXPECT_EQ(log.filter("OE0691 SetValue"),
              QStringList{call("OE0691", "SetValue", {"FINISHORD", "1"})});
    EXPECT_EQ(log.filter("OE0691 Process").size(), 1);
    EXPECT_TRUE(fixture.boxes.shown.isEmpty());
    EXPECT_EQ(shipmentComplete("SH1"), 3);
    for (int n = 1; n <= 2; ++n) {
        EXPECT_EQ(line("OE0691", uniq, n, "FINISHORD").toInt(), 0) << n;
        EXPECT_EQ(line("OE0691", uniq, n, "COMPLETE").toInt(), 2) << n;
    }
    // The fixture's ORD3 came complete with its shipment never invoiced.
    EXPECT_EQ(fixture.auditProblems(),
              QStringList(QStringLiteral("Order ORD3 is complete (COMPLETE 3) but none of its "
                                         "shipments is invoiced: shipment SH3 is on no invoice.")));
}
