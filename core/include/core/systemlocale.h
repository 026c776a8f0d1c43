#pragma once

#include <books/money.h>

#include <QLocale>

#include <optional>

class QDate;

// The "system" number and date settings of the program. Every date or number the program
// shows in the system's format, and every date or amount a person types, goes through this
// one locale; tests fix it to a named locale.
namespace SystemLocale {

QLocale locale();
// Changes the locale, for the edit boxes too.
void setLocale(const QLocale& locale);
// Makes the edit boxes read this locale (their dates, currency and separators) and read and
// write their dates by the rule of parseDate and shortDate.
void useInEditBoxes();

// The pattern of the system's short date, always with a four-digit year ("M/d/yyyy").
QString shortDateFormat();

// The system's short date format, e.g. "12/8/2026" in English (United States).
QString shortDate(const QDate& date);

// Reads a date written by a person or by the system: the short date form (with or without
// leading zeros, with a four- or two-digit year, a named month also as its number), the
// locale's long form and the ISO form. Returns an invalid QDate when the text is no date,
// also for a date in another locale's order.
QDate parseDate(const QString& text);

// Reads a number as the locale writes it: its decimal point, its group separators between
// groups of three (a blank stands for a blank-like separator), an optional sign. Nothing
// when the text is no such number (a number in another locale's form included).
std::optional<double> parseNumber(const QString& text);

// An amount as the locale writes it, read by the rule of parseNumber and rounded to the
// currency's decimals. Nothing when the text is no number, or no finite one.
std::optional<Books::Money> parseMoney(const QString& text, int decimals = 2);

// An amount in the locale's form with its currency's decimals ("1,234.50", "1.234,50").
QString formatMoney(const Books::Money& amount);

} // namespace SystemLocale
