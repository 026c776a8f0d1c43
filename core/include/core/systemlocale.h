#pragma once

#include <QLocale>

class QDate;

// The "system" number and date settings of the program. Every date or number the program
// shows in the system's format goes through this one locale; tests fix it to English
// (United States).
namespace SystemLocale {

QLocale locale();
// Changes the locale, for the edit boxes too.
void setLocale(const QLocale& locale);
// Makes the edit boxes read this locale (their dates, currency and separators).
void useInEditBoxes();

// The pattern of the system's short date, always with a four-digit year ("M/d/yyyy").
QString shortDateFormat();

// The system's short date format, e.g. "12/8/2026" in English (United States).
QString shortDate(const QDate& date);

// Reads a date written by a person or by the system: the short date format and the usual
// long and ISO forms. Returns an invalid QDate when the text is no date.
QDate parseDate(const QString& text);

} // namespace SystemLocale
