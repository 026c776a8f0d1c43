#pragma once

#include <vrexeditbox/vrexeditbox_export.h>

#include <QLocale>
#include <QString>

// The user-locale values the edit box reads when it gets the focus. On Windows they are the
// LOCALE_* values of the user's locale; here they are built from a QLocale (see
// docs/editbox.md for the mapping), and tests fix them with FixedLocaleSource.
struct VREXEDITBOX_EXPORT VrexLocaleValues
{
    int currencyDigits = 2;                // LOCALE_ICURRDIGITS
    int currencyPosition = 0;              // LOCALE_ICURRENCY: 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
    QString currencySymbol = "$";          // LOCALE_SCURRENCY
    QString shortDatePattern = "M/d/yyyy"; // LOCALE_SSHORTDATE
    QString dateSeparator = "/";           // LOCALE_SDATE
    QString decimalPoint = ".";            // LOCALE_SDECIMAL
    QString groupSeparator = ",";          // LOCALE_STHOUSAND
    int numberDigits = 2;                  // LOCALE_IDIGITS

    bool operator==(const VrexLocaleValues&) const = default;
};

class VREXEDITBOX_EXPORT VrexLocaleSource
{
public:
    virtual ~VrexLocaleSource() = default;
    virtual VrexLocaleValues read() const = 0;
};

// Reads the values from a Qt locale (the system locale by default).
class VREXEDITBOX_EXPORT QtLocaleSource : public VrexLocaleSource
{
public:
    explicit QtLocaleSource(const QLocale& locale = QLocale::system()) : m_locale(locale) {}
    VrexLocaleValues read() const override { return valuesFor(m_locale); }
    static VrexLocaleValues valuesFor(const QLocale& locale);

private:
    QLocale m_locale;
};

// Always answers the same values; for tests and for hosts that pin the formats.
class VREXEDITBOX_EXPORT FixedLocaleSource : public VrexLocaleSource
{
public:
    explicit FixedLocaleSource(VrexLocaleValues values = {}) : m_values(std::move(values)) {}
    VrexLocaleValues read() const override { return m_values; }

private:
    VrexLocaleValues m_values;
};
