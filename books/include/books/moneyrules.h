#pragma once

#include <books/money.h>

#include <QString>

#include <functional>

// The one rule for each money decision of an invoice. The main window, the batch run, its
// preview and the books' auditor call these; none keeps a copy of its own.
namespace Books {

// Delivery charge: the feature is on, a customer is selected, the merchandise total is above
// 0 and at most 100.00, no shipment of the invoice is a cash sale, the customer is flagged
// for the charge, and the charge code is set (Unconfigured when only the code is missing).
struct DeliveryChargeCase
{
    bool featureOn = false;
    QString customer;
    Money total;
    bool cashSale = false;
    QString chargeCode;
};

enum class DeliveryChargeOutcome
{
    Off,
    Unconfigured,
    On
};

// customerFlagged is asked only when everything before it qualifies, since it reads the
// customer's record.
DeliveryChargeOutcome decideDeliveryCharge(const DeliveryChargeCase& invoice,
                                           const std::function<bool()>& customerFlagged);
// The total alone: above 0 and at most 100.00.
bool totalQualifiesForDeliveryCharge(const Money& total);

// A prepayment may not exceed what the invoice will be due: its shipments and, when it is
// applied, the delivery charge.
bool prepaymentExceeds(const Money& amount, const Money& invoiceTotal);

// An invoice needs a supervisor's approval when the customer's balance with it would exceed
// the credit limit: a difference of exactly 0 needs none.
bool creditApprovalNeeded(const Money& limit, const Money& balance, const Money& invoiceTotal);

} // namespace Books
