#include <invoicing/invoicecommands.h>
#include <invoicing/ordercompletion.h>

#include "viewset.h"

#include <core/busy.h>
#include <core/log.h>
#include <core/reporters.h>
#include <core/session.h>
#include <core/text.h>
#include <invoicing/orderviewlayouts.h>

#include <accpac/view.h>
#include <system/comerror.h>

#include <functional>
#include <optional>

// Completion of invoiced shipments and their orders: back orders zeroed, open lines and
// headers marked complete, so that the orders do not come back in the order list.

namespace {

using modGeneral::OrderEntryLayout;

const QString OrderHeader = QStringLiteral("OE0520");
const QString OrderLines = QStringLiteral("OE0500");
const QString ShipmentHeader = QStringLiteral("OE0692");
const QString ShipmentLines = QStringLiteral("OE0691");

void openAndCompose(ViewSet& views, const ViewLayout& layout)
{
    for (const QString& key : layout.views)
        views.open(key);
    for (const QStringList& keys : layout.composes)
        views.compose(keys);
}

int intOf(AccpacView& view, const char* name)
{
    return view.Field(QLatin1String(name)).GetValue().toInt();
}

void setInt(AccpacView& view, const char* name, int value)
{
    view.Field(QLatin1String(name)).SetValue(value);
}

// Handles every line of the selection once. Each pass restarts at the first line that
// still matches, and handling a line makes it stop matching. A pass runs only when
// MoveFirst found a line: otherwise the record holds no line and must not be written.
// handle returns whether it changed the line; a line it leaves as it was would be met
// again on every pass, so the scan stops there. Returns whether any line was handled.
bool scanLines(AccpacView& lines, const std::function<bool()>& handle)
{
    bool any = false;
    do {
        if (!lines.MoveFirst() || !handle())
            break;
        any = true;
    } while (lines.MoveNext());
    return any;
}

// Header "COMPLETE": 1 becomes 3, 2 becomes 4, other values stay as they are.
void markHeaderComplete(AccpacView& header)
{
    const int complete = intOf(header, "COMPLETE");
    if (complete == 1)
        setInt(header, "COMPLETE", 3);
    else if (complete == 2)
        setInt(header, "COMPLETE", 4);
}

enum class OrderPass
{
    ClearBackOrders,
    Complete
};

// A completion step's result, in the log.
void logStep(const QString& source, const QString& document, const QString& result)
{
    qCInfo(lcInvoicing).noquote()
        << QStringLiteral("completion %1 %2: %3").arg(source, document, result);
}

void logFailedStep(const QString& source, const QString& document, const ComError& error)
{
    qCWarning(lcInvoicing).noquote()
        << QStringLiteral("completion %1 %2: failed, %3 %4")
               .arg(source, document, QString::number(error.number()), error.description());
}

// The order routines' names, which their reports and log lines carry.
QString orderRoutineName(OrderPass pass, OrderEntryLayout layout)
{
    const bool release56 = layout == OrderEntryLayout::Release56;
    if (pass == OrderPass::ClearBackOrders)
        return release56 ? QStringLiteral("frmMain.Clear_BackOrders56")
                         : QStringLiteral("frmMain.Clear_BackOrders");
    return release56 ? QStringLiteral("frmMain.Update_OrderComplete56")
                     : QStringLiteral("frmMain.Update_OrderComplete");
}

// The two layouts differ only in the views they open and compose and in the routines' names.
void orderRoutine(OrderEntryLayout layout, OrderPass pass, const QString& orderNumber)
{
    const QString source = orderRoutineName(pass, layout);
    const QString document = QStringLiteral("order ") + Text::trim(orderNumber);
    QString result = QStringLiteral("not found or complete already, nothing changed");
    try {
        ViewSet views;
        openAndCompose(views, OrderViewLayouts::order(layout));
        AccpacView& header = views[OrderHeader];
        AccpacView& lines = views[OrderLines];
        header.ClearRecord();
        header.InitRecord(0);
        header.SetOrder(1);
        header.Field(QStringLiteral("ORDNUMBER")).SetValue(Text::trim(orderNumber));
        header.PrepareRead(10);
        if (header.Read() && intOf(header, "COMPLETE") < 3) {
            lines.ClearRecord();
            lines.InitRecord(0);
            const QString uniq = header.Field(QStringLiteral("ORDUNIQ")).GetValue().toString();
            lines.Browse(QStringLiteral("ORDUNIQ = ") + uniq +
                             (pass == OrderPass::ClearBackOrders
                                  ? QStringLiteral(" AND QTYBACKORD > 0")
                                  : QStringLiteral(" AND COMPLETE = 0")),
                         true);
            lines.PrepareRead(10);
            if (pass == OrderPass::ClearBackOrders) {
                const bool changed = scanLines(lines, [&] {
                    if (!(lines.Field(QStringLiteral("QTYBACKORD")).GetValue().toDouble() > 0))
                        return false;
                    setInt(lines, "QTYORDERED", 0);
                    setInt(lines, "QTYBACKORD", 0);
                    lines.Update();
                    lines.Process();
                    return true;
                });
                if (changed) {
                    header.Update();
                    header.Post();
                }
                result = changed ? QStringLiteral("back orders cleared")
                                 : QStringLiteral("no back orders");
            } else {
                scanLines(lines, [&] {
                    if (intOf(lines, "COMPLETE") != 0)
                        return false;
                    setInt(lines, "COMPLETE", 2);
                    lines.Update();
                    lines.Process();
                    return true;
                });
                markHeaderComplete(header);
                header.Update();
                header.Post();
                result = QStringLiteral("completed");
            }
        }
        views.close(OrderLines);
        views.close(OrderHeader);
        logStep(source, document, result);
    } catch (const std::exception& failure) {
        logFailedStep(source, document, comErrorOf(failure));
        modGeneral::reportFailure(failure, source, modGeneral::Reporter::Accpac);
    }
}

} // namespace

void OrderCompletion::clearBackOrders(OrderEntryLayout layout, const QString& orderNumber)
{
    orderRoutine(layout, OrderPass::ClearBackOrders, orderNumber);
}

void OrderCompletion::completeOrder(OrderEntryLayout layout, const QString& orderNumber)
{
    orderRoutine(layout, OrderPass::Complete, orderNumber);
}

void Invoicing::completeShipment(const QString& shipmentNumber)
{
    const QString source = QStringLiteral("frmMain.Update_ShipmentComplete");
    const QString document = QStringLiteral("shipment ") + Text::trim(shipmentNumber);
    QString result = QStringLiteral("not found or complete already, nothing changed");
    try {
        ViewSet views;
        openAndCompose(views, OrderViewLayouts::shipment());
        AccpacView& header = views[ShipmentHeader];
        AccpacView& lines = views[ShipmentLines];
        header.ClearRecord();
        header.InitRecord(0);
        header.PrepareRead(10);
        header.SetOrder(1);
        header.Field(QStringLiteral("SHINUMBER")).SetValue(Text::trim(shipmentNumber));
        if (header.Read() && intOf(header, "COMPLETE") < 3) {
            lines.ClearRecord();
            lines.InitRecord(0);
            lines.PrepareRead(10);
            lines.Browse(QStringLiteral("SHIUNIQ = ") +
                             header.Field(QStringLiteral("SHIUNIQ")).GetValue().toString() +
                             QStringLiteral(" AND COMPLETE = 0"),
                         true);
            scanLines(lines, [&] {
                if (intOf(lines, "COMPLETE") != 0)
                    return false;
                for (const char* quantity : {"ORDQTYORD", "ORDQTYBKOR", "ORDQTYCOMM", "ORDQTYSTD"})
                    setInt(lines, quantity, 0);
                setInt(lines, "COMPLETE", 2);
                lines.Update();
                lines.Process();
                return true;
            });
            // The finish command goes to the lines view once the pass is over, whether or not
            // it met an open line; Accpac writes nothing for a view without a current line.
            setInt(lines, "FINISHORD", 1);
            lines.Update();
            lines.Process();
            markHeaderComplete(header);
            header.Update();
            header.Post();
            result = QStringLiteral("completed");
        }
        views.close(ShipmentLines);
        views.close(ShipmentHeader);
        logStep(source, document, result);
    } catch (const std::exception& failure) {
        logFailedStep(source, document, comErrorOf(failure));
        modGeneral::reportFailure(failure, source, modGeneral::Reporter::Accpac);
    }
}

void Invoicing::completeZeroAmountShipments(BillingDesk& desk)
{
    std::optional<BusyCursor> busy(std::in_place);
    DoEvents doEvents;
    try {
        // The orders are completed in the layout of the company's Order Entry, as the
        // invoice run completes them.
        const OrderEntryLayout layout = modGeneral::orderEntryLayout();
        const OrderGrid* grid = desk.orderGrid();
        // The row count is read on every pass: the yield may let a reload change it.
        for (int row = 1; row < grid->Rows(); ++row) {
            doEvents.now();
            if (row >= grid->Rows())
                break;
            if (!grid->orderRow(row).isZeroAmountShipment())
                continue;
            const QString shipment = grid->orderRow(row).shipment;
            const QString order = grid->orderRow(row).order;
            desk.setStatusText(QStringLiteral("Completing shipment ") + shipment +
                               QStringLiteral("..."));
            completeShipment(shipment);
            OrderCompletion::clearBackOrders(layout, order);
            OrderCompletion::completeOrder(layout, order);
        }
    } catch (const std::exception& failure) {
        busy.reset();
        modGeneral::reportFailure(failure, QStringLiteral("frmMain.Complete_ZeroAmountShipments"),
                                  modGeneral::Reporter::Messenger);
        return;
    }
    busy.reset();
    if (!desk.isLoading())
        desk.Load_Grid();
}
