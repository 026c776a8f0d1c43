#include <invoicing/invoicecommands.h>

#include <core/lookups.h>
#include <core/text.h>
#include <settings/settings.h>

#include <vector>

namespace Invoicing {

InvoiceFacts selectionFacts(const BillingDesk& desk)
{
    // The selected customer's ticked rows: a batch run keeps the ticks of the customers it
    // has invoiced until it ends.
    const OrderGrid& grid = *desk.orderGrid();
    const QString customer = desk.selCustomer();
    std::vector<int> rows;
    for (const int row : grid.gridModel()->checkedRows())
        if (grid.orderRow(row).customer == customer)
            rows.push_back(row);
    return invoiceFacts(grid, rows);
}

Books::DeliveryChargeOutcome deliveryChargeFor(const BillingDesk& desk, const QString& customer,
                                               const InvoiceFacts& facts)
{
    const Books::DeliveryChargeCase invoice{
        Setting::toNumber(Setting::read(Setting::DeliveryCharge)) == 1, customer, facts.total,
        facts.cashSale, Text::trim(desk.delChargeCode())};
    return Books::decideDeliveryCharge(
        invoice, [&] { return modGeneral::Valid_DeliveryCustomer(customer); });
}

} // namespace Invoicing
