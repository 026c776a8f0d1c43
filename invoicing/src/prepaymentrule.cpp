#include "prepaymentrule.h"

#include <invoicing/invoicecommands.h>

#include <core/lookups.h>

namespace PrepaymentRule {

Limit limitFor(const BillingDesk& desk)
{
    Limit limit;
    QString currency = modGeneral::Return_CustCurCode(desk.selCustomer());
    limit.decimals = modGeneral::Return_CurrencyDecimals(currency);
    // The ticked rows' own amounts: SelTotal adds them in single precision, which loses
    // cents on large invoices.
    Books::Money total = Invoicing::selectionFacts(desk).total;
    if (desk.delChargeApply())
        total += Books::Money::of(modGeneral::Return_MiscChargeAmount(desk.delChargeCode()),
                                  limit.decimals);
    limit.total = total.toDouble();
    return limit;
}

bool tooPrecise(double amount, int decimals)
{
    // The amount in the finest units an amount keeps (seven decimals, below the double's
    // own error) against the amount in the currency's.
    return Books::Money::of(amount, 7) != Books::Money::of(amount, decimals);
}

bool exceeds(double amount, const Limit& limit)
{
    return Books::prepaymentExceeds(Books::Money::of(amount, limit.decimals),
                                    Books::Money::of(limit.total, limit.decimals));
}

QString shown(double amount, int decimals)
{
    return modGeneral::Format_Decimals(amount, decimals);
}

} // namespace PrepaymentRule
