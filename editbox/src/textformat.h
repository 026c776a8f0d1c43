#pragma once

#include "localesource.h"
#include <vrexeditbox/vrexeditbox_export.h>

#include <QDate>
#include <QString>

#include <optional>

// Number, currency, percent and date texts as the edit box checks and formats them. Numbers
// are handled as decimal strings, so rounding is exact (half away from zero) whatever the
// length of the text.
namespace vrex {

struct DecimalNumber
{
    bool negative = false;
    QString integerDigits;  // at least one digit, no leading zeros but a single "0"
    QString fractionDigits; // as typed
};

// A number as the locale writes it: blanks around it, an optional sign, digits with an
// optional decimal point (the locale's), at least one digit; the locale's group separators
// are allowed between groups of three integer digits.
VREXEDITBOX_EXPORT std::optional<DecimalNumber> parseNumber(const QString& text,
                                                            const VrexLocaleValues& locale);
VREXEDITBOX_EXPORT bool isNumber(const QString& text, const VrexLocaleValues& locale);
// An amount: a number with the locale's currency symbol before or after it, or none.
VREXEDITBOX_EXPORT std::optional<DecimalNumber> parseAmount(const QString& text,
                                                            const VrexLocaleValues& locale);
// A number (an amount when withSymbol) written as typing gives it: the sign and digits as
// they stand and the locale's point, without blanks, group separators or symbol.
VREXEDITBOX_EXPORT std::optional<QString>
plainNumber(const QString& text, const VrexLocaleValues& locale, bool withSymbol);

// Rounds to the number of digits and writes it as "####0.00" does: no grouping, at least
// one integer digit; a result of zero loses its sign.
VREXEDITBOX_EXPORT QString formatFixed(const DecimalNumber& number, int digits,
                                       const VrexLocaleValues& locale);
// With group separators, the locale's currency symbol placed by its position, or none.
VREXEDITBOX_EXPORT QString formatCurrency(const DecimalNumber& number, int digits,
                                          const VrexLocaleValues& locale, bool withSymbol);
// The value shown as a percentage with the locale's number digits: 12.5 gives "12.50%".
VREXEDITBOX_EXPORT QString formatPercent(const DecimalNumber& number,
                                         const VrexLocaleValues& locale);

// A two-digit year placed by the century rule: not above centuryYear is the current century,
// above it the previous one.
VREXEDITBOX_EXPORT int expandTwoDigitYear(int twoDigits, int centuryYear, int currentYear);

// Reads a date in the order of the short-date pattern (day, month, year tokens), split at
// the date separator; years of 1 or 2 digits follow the century rule.
VREXEDITBOX_EXPORT std::optional<QDate> parseLocaleDate(const QString& text,
                                                        const VrexLocaleValues& locale,
                                                        int centuryYear, int currentYear);
// The short-date pattern as a Qt date format (the Windows and Qt letters agree on d, M, y;
// a single "y" is the year without century).
VREXEDITBOX_EXPORT QString formatLocaleDate(const QDate& date, const VrexLocaleValues& locale);

// Whether a pasted text is a date or a time: a date in the locale's order, a date written
// M/d/y, or a time h:mm or h:mm:ss with an optional AM or PM.
VREXEDITBOX_EXPORT bool isDateOrTime(const QString& text, const VrexLocaleValues& locale,
                                     int centuryYear, int currentYear);

} // namespace vrex
