#pragma once

#include <invoicing/billingdesk.h>

#include <core/orderentry.h>
#include <ordergrid/ordergrid.h>

#include <books/moneyrules.h>

#include <QList>
#include <QString>

#include <cstdint>

// The invoicing commands, over what a BillingDesk provides. Each reports its own failures;
// the procedure names in those reports are the main window's.
namespace Invoicing {

// What the money rules decide an invoice of grid rows on: the rows' total in cents and
// whether any of them is a cash sale.
struct InvoiceFacts
{
    Books::Money total;
    bool cashSale = false;
};
template <class Rows> InvoiceFacts invoiceFacts(const OrderGrid& grid, const Rows& rows)
{
    InvoiceFacts facts;
    for (const int row : rows) {
        facts.total += grid.orderRow(row).money();
        facts.cashSale = facts.cashSale || grid.orderRow(row).isCashSale();
    }
    return facts;
}
// The facts of the selected customer's ticked rows.
InvoiceFacts selectionFacts(const BillingDesk& desk);
// The delivery-charge rule for one invoice of the customer, with the desk's settings and
// charge code. Throws on a setting that is no number.
Books::DeliveryChargeOutcome deliveryChargeFor(const BillingDesk& desk, const QString& customer,
                                               const InvoiceFacts& facts);

// One invoice for the shipments of one customer: the ticked rows (createInvoice) or the
// given grid rows of a batch run (createBatchInvoice), in the layout's order views. True
// when the run reached its end; every message has been shown.
bool createInvoice(BillingDesk& desk, modGeneral::OrderEntryLayout layout, const QString& customer);
bool createBatchInvoice(BillingDesk& desk, modGeneral::OrderEntryLayout layout,
                        const QString& customer, const QList<std::int16_t>& rows);

// A shipment and its lines completed ("frmMain.Update_ShipmentComplete").
void completeShipment(const QString& shipmentNumber);
// The "Complete zero amount Shipments" command; reloads the grid when done.
void completeZeroAmountShipments(BillingDesk& desk);

// The batch invoice run over the whole grid ("Invoice Batch"); ends with the range of
// invoice numbers created in the status text.
void checkOrders(BillingDesk& desk);
// "Preview Invoice Batch...": the batch options, the batch run recorded instead of made and
// its window. True when the clerk chose to run the batch now.
bool previewBatchFirst(BillingDesk& desk);

} // namespace Invoicing
