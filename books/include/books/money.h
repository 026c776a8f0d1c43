#pragma once

#include <QtGlobal>

#include <compare>

namespace Books {

// An amount in a currency's smallest units (cents for two decimals). Money decisions add
// and compare these, never doubles: 12.34 + 87.66 is exactly 100.00 here.
struct Money
{
    qint64 units = 0;
    int decimals = 2;

    // The amount rounded half away from zero to the currency's decimals (0 to 7).
    static Money of(double amount, int decimals = 2);
    double toDouble() const;

    Money operator+(const Money& other) const;
    Money operator-(const Money& other) const;
    Money& operator+=(const Money& other);
    // Amounts of different decimals compare by value.
    std::strong_ordering operator<=>(const Money& other) const;
    bool operator==(const Money& other) const { return (*this <=> other) == 0; }
};

} // namespace Books
