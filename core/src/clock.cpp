#include <core/clock.h>

namespace Clock {
namespace {

QDate& fixedToday()
{
    static QDate date;
    return date;
}

} // namespace

QDate today()
{
    return fixedToday().isValid() ? fixedToday() : QDate::currentDate();
}

void Testing::setToday(const QDate& date)
{
    fixedToday() = date;
}

} // namespace Clock
