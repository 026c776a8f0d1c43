#include "prepaymentrule.h"

#include <selection/frmmain.h>

#include "ui_frmmain.h"

#include <core/lookups.h>
#include <core/systemlocale.h>
#include <core/text.h>

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
    // The rows' own amounts: SelTotal adds them in single precision, which loses cents on
    // large invoices.
    const OrderGrid* grid = window.ui()->flgMain;
    long long total = 0;
    for (int row = 1; row < grid->Rows(); ++row) {
        if (grid->gridModel()->picture(row, 0) != OrderGrid::Picture::Checked)
            continue;
        const std::optional<double> amount =
            SystemLocale::parseNumber(Text::trim(grid->TextMatrix(row, 4)));
        total += units(amount.value_or(0), limit.decimals);
    }
    if (window.DelChargeApply)
        total += units(modGeneral::Return_MiscChargeAmount(window.DelChargeCode), limit.decimals);
    limit.total = double(total) / std::pow(10.0, limit.decimals);
    return limit;
}

bool tooPrecise(double amount, int decimals)
{
    // Within a millionth of a unit: the box's three decimals and the double's own error.
    return std::fabs(amount * std::pow(10.0, decimals) - double(units(amount, decimals))) > 1e-6;
}

bool exceeds(double amount, const Limit& limit)
{
    return units(amount, limit.decimals) > units(limit.total, limit.decimals);
}

QString shown(double amount, int decimals)
{
    return modGeneral::Format_Decimals(amount, decimals);
}

} // namespace PrepaymentRule
