#pragma once

#include <QString>

namespace Accpac {

class ViewRules;

// The Order Entry rules (invoices, their shipments, lines and prepayment, orders and
// shipments) for a view ID; nullptr for the views without rules of their own.
const ViewRules* orderEntryRules(const QString& viewId);

// Rounds an amount to cents, the way every stored total is kept.
double roundAmount(double amount);

} // namespace Accpac
