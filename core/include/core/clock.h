#pragma once

#include <QDate>

// Today's date for the program. Tests fix it, so that what depends on the date (the date
// range's defaults, the status bar's date) is the same on every day of the year.
namespace Clock {

QDate today();

namespace Testing {
// Fixes today to `date`; an invalid date returns to the system clock.
void setToday(const QDate& date);
} // namespace Testing

} // namespace Clock
