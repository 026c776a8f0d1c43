#pragma once

#include <QString>

namespace Accpac {

class Database;

// What completing an invoice's orders and shipments changes, kept as it was before the
// invoice, so that a reversal can release the shipments to be invoiced again.

// Keeps the state of the orders and shipments (JSON arrays of their keys) that the invoice
// being entered goes with; inside the invoice's transaction, before its marks are set.
void recordStateBeforeInvoice(Database& db, int invUniq, const QString& orderKeys,
                              const QString& shipmentKeys);

// Why the reversed invoice's shipments cannot be released ("" when they can); nothing is
// written. invNumber names the invoice in the sentence.
QString releaseProblem(Database& db, int invUniq, const QString& invNumber);

// Puts the orders and shipments back as they were before the invoice, clears the shipments'
// invoice marks and marks the invoice's links to them released. Inside the reversal's
// transaction, once releaseProblem found none.
void releaseShipments(Database& db, int invUniq);

} // namespace Accpac
