#include "prepaymentrule.h"

#include <selection/frmmain.h>

#include "ui_frmmain.h"

#include <core/lookups.h>

#include <cmath>

namespace PrepaymentRule {
namespace {

// The amount in the currency's smallest units, so that sums of rounded amounts compare
// exactly.
long long units(double amount, int decimals)
{
    return std::llround(amount * std::pow(10.0, decimals));
}

} // namespace

Limit limitFor(const frmMain& window)
{
    Limit limit;
    QString currency = modGeneral::Return_CustCurCode(window.SelCustomer);
    limit.decimals = modGeneral::Return_CurrencyDecimals(currency);
    // The ticked rows' own amounts: SelTotal adds them in single precision, which loses
    // cents on large invoices.
    Books::Money total = window.selectionFacts().total;
    if (window.DelChargeApply)
        total += Books::Money::of(modGeneral::Return_MiscChargeAmount(window.DelChargeCode),
                                  limit.decimals);
    limit.total = total.toDouble();
    return limit;
}

bool tooPrecise(double amount, int decimals)
{
    // Within a millionth of a unit: the box's three decimals and the double's own error.
    return std::fabs(amount * std::pow(10.0, decimals) - double(units(amount, decimals))) > 1e-6;
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
