#pragma once

#include <QString>

class BillingDesk;

// How much may be prepaid on the invoice of the desk's selection. The prepayment
// window applies it when the amount is entered, the invoice run once more before the invoice
// is made (rows may have been unticked since): the amounts of the ticked rows and, when
// applied, the delivery charge, which the run adds before the prepayment. Amounts are
// compared in the invoice currency's decimals.
namespace PrepaymentRule {

struct Limit
{
    double total = 0;
    int decimals = 2;
};

Limit limitFor(const BillingDesk& desk);
// Whether the amount needs more decimals than the currency has.
bool tooPrecise(double amount, int decimals);
bool exceeds(double amount, const Limit& limit);
// The amount as the window and the messages show it, in the currency's decimals.
QString shown(double amount, int decimals);

} // namespace PrepaymentRule
