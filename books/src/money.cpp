#include <books/money.h>

#include <algorithm>
#include <cmath>

namespace Books {
namespace {

qint64 scale(int decimals)
{
    qint64 factor = 1;
    for (int i = 0; i < decimals; ++i)
        factor *= 10;
    return factor;
}

// Both amounts in the finer of their two scales.
std::pair<qint64, qint64> aligned(const Money& a, const Money& b)
{
    const int decimals = std::max(a.decimals, b.decimals);
    return {a.units * scale(decimals - a.decimals), b.units * scale(decimals - b.decimals)};
}

} // namespace

Money Money::of(double amount, int decimals)
{
    decimals = std::clamp(decimals, 0, 7);
    return {std::llround(amount * double(scale(decimals))), decimals};
}

double Money::toDouble() const
{
    return double(units) / double(scale(decimals));
}

Money Money::operator+(const Money& other) const
{
    const auto [a, b] = aligned(*this, other);
    return {a + b, std::max(decimals, other.decimals)};
}

Money Money::operator-(const Money& other) const
{
    const auto [a, b] = aligned(*this, other);
    return {a - b, std::max(decimals, other.decimals)};
}

Money& Money::operator+=(const Money& other)
{
    return *this = *this + other;
}

std::strong_ordering Money::operator<=>(const Money& other) const
{
    const auto [a, b] = aligned(*this, other);
    return a <=> b;
}

} // namespace Books
