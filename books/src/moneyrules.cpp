#include <books/moneyrules.h>

namespace Books {

bool totalQualifiesForDeliveryCharge(const Money& total)
{
    return total > Money{0, 0} && total <= Money{100, 0};
}

DeliveryChargeOutcome decideDeliveryCharge(const DeliveryChargeCase& invoice,
                                           const std::function<bool()>& customerFlagged)
{
    if (!invoice.featureOn || invoice.customer.trimmed().isEmpty() ||
        !totalQualifiesForDeliveryCharge(invoice.total) || invoice.cashSale || !customerFlagged())
        return DeliveryChargeOutcome::Off;
    if (invoice.chargeCode.trimmed().isEmpty())
        return DeliveryChargeOutcome::Unconfigured;
    return DeliveryChargeOutcome::On;
}

bool prepaymentExceeds(const Money& amount, const Money& invoiceTotal)
{
    return amount > invoiceTotal;
}

bool creditApprovalNeeded(const Money& limit, const Money& balance, const Money& invoiceTotal)
{
    return limit - balance - invoiceTotal < Money{0, 0};
}

} // namespace Books
