#include <selection/frmmain.h>

#include "ui_frmmain.h"

#include "viewset.h"

#include <core/busy.h>
#include <core/log.h>
#include <core/reporters.h>
#include <core/session.h>
#include <core/text.h>

#include <accpac/view.h>
#include <system/comerror.h>

#include <functional>
#include <optional>

// Completion of invoiced shipments and their orders: back orders zeroed, open lines and
// headers marked complete, so that the orders do not come back in the order list.

namespace {

const QString OrderHeader = QStringLiteral("OE0520");
const QString OrderLines = QStringLiteral("OE0500");
const QString ShipmentHeader = QStringLiteral("OE0692");
const QString ShipmentLines = QStringLiteral("OE0691");

const ViewLayout& firstOrderLayout()
{
    static const ViewLayout layout{
        {"OE0520", "OE0500", "OE0740", "OE0180", "OE0680", "OE0526", "OE0522", "OE0501", "OE0502",
         "OE0504", "OE0503"},
        {{"OE0520", "OE0500", "OE0680", "OE0180", "OE0740", "OE0526", "OE0522"},
         {"OE0500", "OE0520", "OE0501", "OE0503", "OE0502"},
         {"OE0740", "OE0520"},
         {"OE0180", "OE0520", "OE0500"},
         {"OE0680", "OE0520", "OE0500"},
         {"OE0526", "OE0520"},
         {"OE0522", "OE0520"},
         {"OE0501", "OE0500"},
         {"OE0502", "OE0500", "OE0504"},
         {"OE0504", "OE0502"},
         {"OE0503", "OE0500"}}};
    return layout;
}

const ViewLayout& orderLayout56()
{
    static const ViewLayout layout{
        {"OE0520", "OE0500", "OE0740", "OE0180", "OE0999", "OE0526", "OE0522", "OE0501", "OE0502",
         "OE0504", "OE0504/2", "OE0503", "OE0508", "OE0507"},
        {{"OE0520", "OE0500", "OE0999", "OE0180", "OE0740", "OE0526", "OE0522"},
         {"OE0500", "OE0520", "OE0501", "OE0503", "OE0502", "OE0508", "OE0507"},
         {"OE0740", "OE0520"},
         {"OE0180", "OE0520", "OE0500"},
         {"OE0526", "OE0520"},
         {"OE0522", "OE0520"},
         {"OE0501", "OE0500"},
         {"OE0503", "OE0500"},
         {"OE0502", "OE0500", "OE0504", "OE0504/2"},
         {"OE0504", "OE0502"},
         {"OE0507", "OE0500"}}};
    return layout;
}

const ViewLayout& shipmentLayout()
{
    static const ViewLayout layout{
        {"OE0692", "OE0691", "OE0682", "OE0190", "OE0745", "OE0694", "OE0704", "OE0697", "OE0702",
         "OE0705", "OE0703", "OE0698", "OE0699", "OE0706"},
        {{"OE0692", "OE0691", "OE0682", "OE0190", "OE0745", "OE0694", "OE0704"},
         {"OE0691", "OE0692", "OE0697", "OE0702", "OE0705", "OE0703"},
         {"OE0682", "OE0692", "OE0691"},
         {"OE0190", "OE0692", "OE0691"},
         {"OE0745", "OE0692"},
         {"OE0694", "OE0692"},
         {"OE0704", "OE0692"},
         {"OE0697", "OE0698", "OE0699"},
         {"OE0698", "OE0697"},
         {"OE0699", "OE0697"},
         {"OE0702", "OE0691"},
         {"OE0705", "OE0691"},
         {"OE0703", "OE0691", "OE0706", "OE0699"},
         {"OE0706", "OE0703"}}};
    return layout;
}

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

void orderRoutine(const ViewLayout& layout, OrderPass pass, const QString& orderNumber,
                  const QString& source)
{
    const QString document = QStringLiteral("order ") + Text::trim(orderNumber);
    QString result = QStringLiteral("not found or complete already, nothing changed");
    try {
        ViewSet views;
        openAndCompose(views, layout);
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
        const ComError error = comErrorOf(failure);
        logFailedStep(source, document, error);
        modGeneral::ErrorAccpac(error.number(), error.description(), source);
    }
}

// The company runs Order Entry 5.6 or later, whose order views have the 5.6 layout.
bool orderEntry56()
{
    const QString version = modGeneral::Version_APModule(QStringLiteral("OE"));
    return version == QLatin1String("56A") || version == QLatin1String("60A");
}

} // namespace

void frmMain::Clear_BackOrders(const QString& orderNumber)
{
    orderRoutine(firstOrderLayout(), OrderPass::ClearBackOrders, orderNumber,
                 QStringLiteral("frmMain.Clear_BackOrders"));
}

void frmMain::Clear_BackOrders56(const QString& orderNumber)
{
    orderRoutine(orderLayout56(), OrderPass::ClearBackOrders, orderNumber,
                 QStringLiteral("frmMain.Clear_BackOrders56"));
}

void frmMain::Update_OrderComplete(const QString& orderNumber)
{
    orderRoutine(firstOrderLayout(), OrderPass::Complete, orderNumber,
                 QStringLiteral("frmMain.Update_OrderComplete"));
}

void frmMain::Update_OrderComplete56(const QString& orderNumber)
{
    orderRoutine(orderLayout56(), OrderPass::Complete, orderNumber,
                 QStringLiteral("frmMain.Update_OrderComplete56"));
}

void frmMain::Update_ShipmentComplete(const QString& shipmentNumber)
{
    const QString source = QStringLiteral("frmMain.Update_ShipmentComplete");
    const QString document = QStringLiteral("shipment ") + Text::trim(shipmentNumber);
    QString result = QStringLiteral("not found or complete already, nothing changed");
    try {
        ViewSet views;
        openAndCompose(views, shipmentLayout());
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
        const ComError error = comErrorOf(failure);
        logFailedStep(source, document, error);
        modGeneral::ErrorAccpac(error.number(), error.description(), source);
    }
}

void frmMain::Complete_ZeroAmountShipments()
{
    std::optional<BusyCursor> busy(std::in_place);
    DoEvents doEvents;
    try {
        // The orders are completed in the layout of the company's Order Entry, as the
        // invoice run completes them.
        const bool layout56 = orderEntry56();
        OrderGrid* grid = m_ui->flgMain;
        // The row count is read on every pass: the yield may let a reload change it.
        for (int row = 1; row < grid->Rows(); ++row) {
            doEvents.now();
            if (row >= grid->Rows())
                break;
            if (!isZeroAmountShipment(row))
                continue;
            const QString shipment = grid->orderRow(row).shipment;
            const QString order = grid->orderRow(row).order;
            setStatusText(QStringLiteral("Completing shipment ") + shipment +
                          QStringLiteral("..."));
            Update_ShipmentComplete(shipment);
            if (layout56) {
                Clear_BackOrders56(order);
                Update_OrderComplete56(order);
            } else {
                Clear_BackOrders(order);
                Update_OrderComplete(order);
            }
        }
    } catch (const std::exception& failure) {
        busy.reset();
        const ComError error = comErrorOf(failure);
        modGeneral::ErrorMessenger(error.number(), error.description(),
                                   QStringLiteral("frmMain.Complete_ZeroAmountShipments"));
        return;
    }
    busy.reset();
    if (!Loading)
        Load_Grid();
}
