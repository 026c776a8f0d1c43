#pragma once

#include <core/orderentry.h>

#include <QString>

// The order routines in either Order Entry layout: back orders cleared, the order completed.
// Each reports its own failures, under its procedure's name for that layout, and returns.
namespace OrderCompletion {

void clearBackOrders(modGeneral::OrderEntryLayout layout, const QString& orderNumber);
void completeOrder(modGeneral::OrderEntryLayout layout, const QString& orderNumber);

} // namespace OrderCompletion
